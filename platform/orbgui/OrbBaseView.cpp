#include <orbgui/OrbBaseView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <QEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>

namespace ORBGUI {

OrbBaseView::OrbBaseView(QWidget* parent) : QTreeView(parent)
{
    registerItemPixmapValue();
    // Hover images need moves without a button held.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

OrbBaseView::~OrbBaseView() = default;

OrbBaseView::PixmapState OrbBaseView::pixmapState(const QModelIndex& index, int nRole) const
{
    if (nRole == 0 || !index.isValid() || nRole != m_nHoverRole || m_hoverIndex != index) {
        return PixmapNormal;
    }
    // Pressed only while the mouse is still over the icon it went down on, as buttons do.
    if (m_nPressRole == nRole && m_pressIndex == index) {
        return PixmapPressed;
    }
    return PixmapHovered;
}

int OrbBaseView::pixmapRoleAt(const QPoint& pos, QModelIndex* pIndex) const
{
    if (pIndex) {
        *pIndex = QModelIndex();
    }
    const QModelIndex index = indexAt(pos);
    // Icons of a disabled item show their disabled image and do nothing.
    if (!index.isValid() || !(index.flags() & Qt::ItemIsEnabled)) {
        return 0;
    }
    auto* pDelegate = qobject_cast<OrbTableViewItemDelegateSvg*>(itemDelegate(index));
    if (!pDelegate) {
        return 0;
    }
    const int nRole = pDelegate->pixmapRoleAt(viewItemOption(index), index, pos);
    if (nRole != 0 && pIndex) {
        *pIndex = index;
    }
    return nRole;
}

QStyleOptionViewItem OrbBaseView::viewItemOption(const QModelIndex& index) const
{
    QStyleOptionViewItem opt;
    // The view's own option for its items: Qt 6 fills one in place of returning it.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    initViewItemOption(&opt);
#else
    opt = viewOptions();
#endif
    if (!index.isValid()) {
        return opt;
    }
    opt.rect = visualRect(index);
    if (selectionModel() && selectionModel()->isSelected(index)) {
        opt.state |= QStyle::State_Selected;
    }
    if (!(index.flags() & Qt::ItemIsEnabled)) {
        opt.state &= ~QStyle::State_Enabled;
    }
    if (hasFocus() && currentIndex() == index) {
        opt.state |= QStyle::State_HasFocus;
    }
    return opt;
}

void OrbBaseView::mouseMoveEvent(QMouseEvent* event)
{
    QModelIndex index;
    const int nRole = pixmapRoleAt(event->pos(), &index);
    setHovered(index, nRole);
    // A press that started on an icon is the icon's, not a drag selection.
    if (m_nPressRole != 0) {
        event->accept();
        return;
    }
    QTreeView::mouseMoveEvent(event);
}

void OrbBaseView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        QModelIndex index;
        const int nRole = pixmapRoleAt(event->pos(), &index);
        if (nRole != 0) {
            setHovered(index, nRole);
            m_pressIndex = index;
            m_nPressRole = nRole;
            viewport()->update(visualRect(index));
            event->accept();
            return;
        }
    }
    // A press lost earlier (a box opened before the release) must not swallow this one.
    m_pressIndex = QPersistentModelIndex();
    m_nPressRole = 0;
    QTreeView::mousePressEvent(event);
}

void OrbBaseView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_nPressRole == 0 || event->button() != Qt::LeftButton) {
        QTreeView::mouseReleaseEvent(event);
        return;
    }
    const QModelIndex pressIndex = m_pressIndex;
    const int nPressRole = m_nPressRole;
    m_pressIndex = QPersistentModelIndex();
    m_nPressRole = 0;
    if (pressIndex.isValid()) {
        viewport()->update(visualRect(pressIndex));
    }
    event->accept();

    QModelIndex index;
    const int nRole = pixmapRoleAt(event->pos(), &index);
    setHovered(index, nRole);
    // Last: a receiver may change the model or the view.
    if (nRole == nPressRole && index.isValid() && index == pressIndex) {
        emit SignalPixmapClicked(index, static_cast<struTreeViewData::OrbItemDataRole>(nRole));
    }
}

void OrbBaseView::leaveEvent(QEvent* event)
{
    setHovered(QPersistentModelIndex(), 0);
    QTreeView::leaveEvent(event);
}

bool OrbBaseView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
        case QEvent::Leave:
        case QEvent::HoverLeave:
            setHovered(QPersistentModelIndex(), 0);
            break;
        case QEvent::MouseButtonDblClick: {
            // The second click of a quick double click on an icon is another click on it,
            // not an edit or expand request on the cell.
            auto* pMouse = static_cast<QMouseEvent*>(event);
            if (pMouse->button() == Qt::LeftButton && pixmapRoleAt(pMouse->pos()) != 0) {
                mousePressEvent(pMouse);
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QTreeView::viewportEvent(event);
}

void OrbBaseView::setHovered(const QPersistentModelIndex& index, int nRole)
{
    if (index == m_hoverIndex && nRole == m_nHoverRole) {
        return;
    }
    const QModelIndex oldIndex = m_hoverIndex;
    m_hoverIndex = index;
    m_nHoverRole = nRole;
    if (oldIndex.isValid()) {
        viewport()->update(visualRect(oldIndex));
    }
    if (index.isValid()) {
        viewport()->update(visualRect(index));
    }
}

}  // namespace ORBGUI
