#include "CColumnState.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QStyleOption>

#include <hostservices/ClientSettings.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>

namespace {

const int kSkinPadding = 4;

}  // namespace

CColumnState::CColumnState(ORBGUI::OrbTableView* pView, const QString& strKey, const QList<int>& listFixed,
                           const QHash<int, Fit>& hashFits)
    : QObject(pView),
      m_pHeader(pView->header()),
      m_hashFits(hashFits),
      m_strKey(strKey),
      m_listFixed(listFixed)
{
    m_pHeader->setSectionsMovable(true);
    fit();
    // The skin's sheet sets the font once the view is polished: the defaults follow it.
    pView->installEventFilter(this);
    // A state of another layout (a newer client, a damaged file) is refused and the defaults stay.
    const QByteArray state =
        QByteArray::fromBase64(ConfigInfo::ClientSettings::value(m_strKey, QVariant()).toString().toLatin1());
    if (!state.isEmpty() && m_pHeader->restoreState(state)) {
        m_bUsersOwn = true;
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
    if (pEvent->type() == QEvent::FontChange && !m_bUsersOwn && pWatched == parent()) {
        fit();
        m_bResized = false;
    }
    if (pEvent->type() == QEvent::MouseButtonRelease && m_pHeader && pWatched == m_pHeader->viewport()) {
        // A click that changed no width (a title, the check-all box) writes nothing.
        if (m_bResized) {
            save();
        }
    }
    return false;
}

void CColumnState::fit()
{
    const auto* pView = qobject_cast<const QAbstractItemView*>(parent());
    QAbstractItemModel* pModel = m_pHeader ? m_pHeader->model() : nullptr;
    if (!pView || !pModel) {
        return;
    }
    // Around a cell's text the kit keeps a focus margin and a pixel on each side twice (in the
    // style's text rectangle and in its own), and the skins pad a cell by up to 4 pixels a side.
    // A style sheet's text rectangle is that of the text, not of the cell: it cannot tell.
    const int nCellRoom =
        4 * (pView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, pView) + 1) +
        2 * kSkinPadding;
    const QFontMetrics cells(pView->font());
    const QStyle* pStyle = m_pHeader->style();
    for (auto it = m_hashFits.cbegin(); it != m_hashFits.cend(); ++it) {
        // A title as the skin draws it: in its section's own font, padding and border.
        QStyleOptionHeader title;
        title.initFrom(m_pHeader);
        title.fontMetrics = cells;  // the skins give titles the cells' font
        title.text = pModel->headerData(it.key(), Qt::Horizontal).toString();
        const int nTitle = pStyle->sizeFromContents(QStyle::CT_HeaderSection, &title, {}, m_pHeader).width();
        int nWidth = qMax(nTitle, nCellRoom + it->nBeside);
        for (const QString& strText : it->listTexts) {
            nWidth = qMax(nWidth, cells.horizontalAdvance(strText) + nCellRoom + it->nBeside);
        }
        pModel->setHeaderData(it.key(), Qt::Horizontal, nWidth, ORBGUI::struTreeViewData::HeaderWidthRole);
    }
}

void CColumnState::save()
{
    m_bResized = false;
    m_bUsersOwn = true;
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
