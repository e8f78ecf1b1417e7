#include "CColumnState.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>

#include <hostservices/ClientSettings.h>
#include <orbgui/OrbTableView.h>

CColumnState::CColumnState(ORBGUI::OrbTableView* pView, const QString& strKey, const QList<int>& listFixed)
    : QObject(pView), m_pHeader(pView->header()), m_strKey(strKey), m_listFixed(listFixed)
{
    m_pHeader->setSectionsMovable(true);
    // A state of another layout (a newer client, a damaged file) is refused and the defaults stay.
    const QByteArray state =
        QByteArray::fromBase64(ConfigInfo::ClientSettings::value(m_strKey, QVariant()).toString().toLatin1());
    if (!state.isEmpty() && m_pHeader->restoreState(state)) {
        // A column that must show does, whatever was kept.
        for (int nColumn : qAsConst(m_listFixed)) {
            m_pHeader->showSection(nColumn);
        }
    }
    connect(m_pHeader, &QHeaderView::sectionResized, this, [this] { m_bResized = true; });
    connect(m_pHeader, &QHeaderView::sectionMoved, this, &CColumnState::save);
    m_pHeader->viewport()->installEventFilter(this);
    m_pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pHeader, &QWidget::customContextMenuRequested, this, &CColumnState::showMenu);
}

bool CColumnState::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::MouseButtonRelease && m_pHeader && pWatched == m_pHeader->viewport()) {
        // A click that changed no width (a title, the check-all box) writes nothing.
        if (m_bResized) {
            save();
        }
    }
    return false;
}

void CColumnState::save()
{
    m_bResized = false;
    if (m_pHeader) {
        ConfigInfo::ClientSettings::setValue(m_strKey,
                                             QString::fromLatin1(m_pHeader->saveState().toBase64()));
    }
}

void CColumnState::showMenu(const QPoint& pos)
{
    const QAbstractItemModel* pModel = m_pHeader->model();
    if (!pModel) {
        return;
    }
    // Not exec(): the list may go while the menu is open.
    auto* pMenu = new QMenu(m_pHeader);
    connect(pMenu, &QMenu::aboutToHide, pMenu, &QObject::deleteLater);
    for (int nVisual = 0; nVisual < m_pHeader->count(); ++nVisual) {
        const int nColumn = m_pHeader->logicalIndex(nVisual);
        if (m_listFixed.contains(nColumn)) {
            continue;
        }
        QAction* pAction = pMenu->addAction(pModel->headerData(nColumn, Qt::Horizontal).toString());
        pAction->setCheckable(true);
        pAction->setChecked(!m_pHeader->isSectionHidden(nColumn));
        connect(pAction, &QAction::toggled, this, [this, nColumn](bool bShown) {
            m_pHeader->setSectionHidden(nColumn, !bShown);
            save();
        });
    }
    pMenu->popup(m_pHeader->viewport()->mapToGlobal(pos));
}
