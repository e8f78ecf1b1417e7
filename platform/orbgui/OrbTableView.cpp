#include <orbgui/OrbTableView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include "OrbHeaderView.h"

namespace ORBGUI {

OrbTableView::OrbTableView(QWidget* parent) : OrbBaseView(parent)
{
    registerItemPixmapValue();
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setAllColumnsShowFocus(true);
    m_pHeader = new OrbHeaderView(Qt::Horizontal, this);
    setHeader(m_pHeader);
    setItemDelegate(new OrbTableViewItemDelegateSvg(this));
}

OrbTableView::~OrbTableView() = default;

void OrbTableView::setModel(QAbstractItemModel* model)
{
    // The header follows the model through QTreeView (widths, check-all box).
    OrbBaseView::setModel(model);
}

Qt::CheckState OrbTableView::headerCheckState() const
{
    // Not m_pHeader: a caller may have replaced (and so deleted) our header.
    const auto* pHeader = qobject_cast<const OrbHeaderView*>(header());
    return pHeader ? pHeader->checkState() : Qt::Unchecked;
}

void OrbTableView::setAllRowsChecked(Qt::CheckState eState)
{
    if (auto* pHeader = qobject_cast<OrbHeaderView*>(header())) {
        pHeader->setAllCheckState(eState);
    }
}

}  // namespace ORBGUI
