#include "QDownloadListBase.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPersistentModelIndex>

#include <hostservices/CBaseInfo.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>

#include "CSkinStyle.h"
#include "CTaskTableModel.h"

void QDownloadListBase::paintEvent(QPaintEvent* event)
{
    CSkinStyle::paintBackground(this);
    QWidget::paintEvent(event);
}

void QDownloadListBase::showEvent(QShowEvent* event)
{
    const QString strProductName = ConfigInfo::CBaseInfo::instance().getProductName();
    if (strProductName != m_strProductName) {
        setProductName(strProductName);
    }
    QWidget::showEvent(event);
}

void QDownloadListBase::enableRowActions(ORBGUI::OrbTableView* pView)
{
    pView->installEventFilter(this);
    pView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pView, &QWidget::customContextMenuRequested, this, [this, pView](const QPoint& pos) {
        // Not exec(): the entries may ask questions, and the list may go while the menu is open.
        // A chosen entry acts after the menu has hidden; its deletion waits for this loop level.
        auto* pMenu = new QMenu(this);
        connect(pMenu, &QMenu::aboutToHide, pMenu, &QObject::deleteLater);
        const QModelIndex index = pView->indexAt(pos);
        if (index.isValid()) {
            fillRowMenu(pMenu, pView, index);
        }
        pMenu->addAction(tr("Open folder"), this, [this] { openFolder(); });
        pMenu->addAction(tr("Select all"), pView, [pView] { pView->setAllRowsChecked(Qt::Checked); });
        pMenu->popup(pView->viewport()->mapToGlobal(pos));
    });
}

bool QDownloadListBase::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    auto* pView = qobject_cast<ORBGUI::OrbTableView*>(pWatched);
    if (!pView || pEvent->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(pWatched, pEvent);
    }
    const QModelIndex current = pView->currentIndex();
    switch (static_cast<QKeyEvent*>(pEvent)->key()) {
        case Qt::Key_Space:
            if (current.isValid()) {
                // The row's check box, whichever cell is current.
                const QModelIndex check = current.sibling(current.row(), CTaskTableModel::ColumnCheck);
                pView->model()->setData(
                    check, check.data(Qt::CheckStateRole) == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                    Qt::CheckStateRole);
            }
            return true;
        case Qt::Key_Delete:
            deleteChecked();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current.isValid()) {
                activateRow(pView, current);
            }
            return true;
        default:
            return QWidget::eventFilter(pWatched, pEvent);
    }
}

void QDownloadListBase::addIconEntry(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& operate,
                                     int nRole)
{
    using Role = ORBGUI::struTreeViewData;
    if (!operate.data(nRole).isValid()) {
        return;
    }
    // The row may move or go before the entry is chosen.
    const QPersistentModelIndex handle(operate);
    const auto eRole = static_cast<Role::OrbItemDataRole>(nRole);
    pMenu->addAction(operate.data(Role::PixmapToolTipRole0 + nRole - Role::PixmapRole0).toString(), pView,
                     [pView, handle, eRole] {
                         if (handle.isValid()) {
                             emit pView->SignalPixmapClicked(handle, eRole);
                         }
                     });
}
