#include "OrbHeaderView.h"

#include <orbgui/OrbItemDataRole.h>

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace ORBGUI {

namespace {
constexpr int kLabelSpacing = 4;  // between the check-all box and the section's text
}

OrbHeaderView::OrbHeaderView(Qt::Orientation eOrientation, QWidget* parent)
    : QHeaderView(eOrientation, parent)
{
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
}

OrbHeaderView::~OrbHeaderView() = default;

void OrbHeaderView::setModel(QAbstractItemModel* model)
{
    if (model == this->model()) {
        return;
    }
    for (const QMetaObject::Connection& connection : qAsConst(m_listModelConnections)) {
        disconnect(connection);
    }
    m_listModelConnections.clear();
    m_hashAppliedWidths.clear();

    QHeaderView::setModel(model);

    if (model) {
        m_listModelConnections
            << connect(model, &QAbstractItemModel::headerDataChanged, this,
                       &OrbHeaderView::onHeaderDataChanged)
            << connect(model, &QAbstractItemModel::columnsInserted, this, &OrbHeaderView::onColumnsInserted)
            << connect(model, &QAbstractItemModel::modelReset, this, &OrbHeaderView::onModelReset)
            << connect(model, &QAbstractItemModel::layoutChanged, this, &OrbHeaderView::markCheckStateDirty)
            << connect(model, &QAbstractItemModel::rowsInserted, this, &OrbHeaderView::onRowsInserted)
            << connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                       &OrbHeaderView::onRowsAboutToBeRemoved)
            << connect(model, &QAbstractItemModel::rowsMoved, this, &OrbHeaderView::onRowsMoved)
            << connect(model, &QAbstractItemModel::dataChanged, this, &OrbHeaderView::onDataChanged);
        applySectionWidths(0, count() - 1);
    }
    markCheckStateDirty();
}

Qt::CheckState OrbHeaderView::checkState() const
{
    if (m_bCheckStateDirty) {
        m_bCheckStateDirty = false;
        m_nChecked = m_nUnchecked = 0;
        const QAbstractItemModel* pModel = model();
        if (pModel) {
            countRows(0, pModel->rowCount(rootIndex()) - 1, 1);
        }
    }
    if (m_nChecked == 0) {
        return Qt::Unchecked;
    }
    return m_nUnchecked > 0 ? Qt::PartiallyChecked : Qt::Checked;
}

void OrbHeaderView::countRows(int nFirst, int nLast, int nSign) const
{
    const QAbstractItemModel* pModel = model();
    const QModelIndex root = rootIndex();
    if (!pModel || pModel->columnCount(root) <= 0) {
        return;
    }
    for (int nRow = nFirst; nRow <= nLast; ++nRow) {
        const QVariant state = pModel->index(nRow, 0, root).data(Qt::CheckStateRole);
        if (!state.isValid()) {
            continue;  // no check box on this row
        }
        const auto eState = static_cast<Qt::CheckState>(state.toInt());
        m_nChecked += eState != Qt::Unchecked ? nSign : 0;
        m_nUnchecked += eState != Qt::Checked ? nSign : 0;
    }
}

bool OrbHeaderView::isSectionCheckable(int nLogicalIndex) const
{
    const QAbstractItemModel* pModel = model();
    if (!pModel || nLogicalIndex < 0 || nLogicalIndex >= count()) {
        return false;
    }
    return pModel->headerData(nLogicalIndex, orientation(), struTreeViewData::HeaderCheckableRole).toBool();
}

QRect OrbHeaderView::checkBoxRect(int nLogicalIndex) const
{
    if (!isSectionCheckable(nLogicalIndex) || isSectionHidden(nLogicalIndex)) {
        return {};
    }
    const int nPosition = sectionViewportPosition(nLogicalIndex);
    const int nSize = sectionSize(nLogicalIndex);
    const QRect section = orientation() == Qt::Horizontal ? QRect(nPosition, 0, nSize, viewport()->height())
                                                          : QRect(0, nPosition, viewport()->width(), nSize);
    return checkBoxRectIn(section);
}

QRect OrbHeaderView::checkBoxRectIn(const QRect& sectionRect) const
{
    // Where the style puts a cell's check box, so the header box lines up with the rows'.
    QStyleOptionViewItem itemOption;
    itemOption.initFrom(this);
    itemOption.rect = sectionRect;
    itemOption.features = QStyleOptionViewItem::HasCheckIndicator;
    QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &itemOption, this);
    box.moveTop(sectionRect.top() + (sectionRect.height() - box.height()) / 2);
    return box.intersected(sectionRect);
}

void OrbHeaderView::setAllCheckState(Qt::CheckState eState)
{
    QAbstractItemModel* pModel = model();
    const QModelIndex root = rootIndex();
    if (!pModel || pModel->columnCount(root) <= 0) {
        return;
    }
    const int nRows = pModel->rowCount(root);
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const QModelIndex index = pModel->index(nRow, 0, root);
        const QVariant state = index.data(Qt::CheckStateRole);
        if (state.isValid() && state.toInt() != eState) {
            pModel->setData(index, eState, Qt::CheckStateRole);
        }
    }
    markCheckStateDirty();
}

void OrbHeaderView::paintSection(QPainter* painter, const QRect& rect, int nLogicalIndex) const
{
    if (!painter || !rect.isValid()) {
        return;
    }
    painter->save();
    if (!isSectionCheckable(nLogicalIndex)) {
        QHeaderView::paintSection(painter, rect, nLogicalIndex);
        painter->restore();
        return;
    }

    const QAbstractItemModel* pModel = model();
    QStyleOptionHeader headerOption;
    initStyleOption(&headerOption);
    headerOption.rect = rect;
    headerOption.section = nLogicalIndex;
    headerOption.orientation = orientation();
    headerOption.text = pModel->headerData(nLogicalIndex, orientation(), Qt::DisplayRole).toString();
    const QVariant alignment = pModel->headerData(nLogicalIndex, orientation(), Qt::TextAlignmentRole);
    headerOption.textAlignment = alignment.isValid() ? Qt::Alignment(alignment.toInt()) : defaultAlignment();
    headerOption.iconAlignment = Qt::AlignVCenter;
    const int nVisual = visualIndex(nLogicalIndex);
    const bool bFirst = nVisual == 0;
    const bool bLast = nVisual == count() - 1;
    if (bFirst && bLast) {
        headerOption.position = QStyleOptionHeader::OnlyOneSection;
    } else if (bFirst) {
        headerOption.position = QStyleOptionHeader::Beginning;
    } else if (bLast) {
        headerOption.position = QStyleOptionHeader::End;
    } else {
        headerOption.position = QStyleOptionHeader::Middle;
    }
    style()->drawControl(QStyle::CE_HeaderSection, &headerOption, painter, this);

    const QRect box = checkBoxRectIn(rect);
    QStyleOptionButton boxOption;
    boxOption.initFrom(this);
    boxOption.rect = box;
    boxOption.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    switch (checkState()) {
        case Qt::Checked:
            boxOption.state |= QStyle::State_On;
            break;
        case Qt::PartiallyChecked:
            boxOption.state |= QStyle::State_NoChange;
            break;
        case Qt::Unchecked:
            boxOption.state |= QStyle::State_Off;
            break;
    }
    if (m_nPressedBoxSection == nLogicalIndex) {
        boxOption.state |= QStyle::State_Sunken;
    }
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &boxOption, painter, this);

    if (!headerOption.text.isEmpty()) {
        headerOption.rect = rect;
        headerOption.rect.setLeft(box.right() + 1 + kLabelSpacing);
        style()->drawControl(QStyle::CE_HeaderLabel, &headerOption, painter, this);
    }
    painter->restore();
}

bool OrbHeaderView::pressOnCheckBox(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    const int nLogical = logicalIndexAt(event->pos());
    if (nLogical < 0 || !checkBoxRect(nLogical).contains(event->pos())) {
        return false;
    }
    m_nPressedBoxSection = nLogical;
    viewport()->update();
    event->accept();
    return true;
}

void OrbHeaderView::mousePressEvent(QMouseEvent* event)
{
    if (pressOnCheckBox(event)) {
        return;
    }
    m_nPressedBoxSection = -1;
    QHeaderView::mousePressEvent(event);
}

void OrbHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A quick second click on the box toggles again rather than acting on the section.
    if (pressOnCheckBox(event)) {
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

void OrbHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_nPressedBoxSection < 0 || event->button() != Qt::LeftButton) {
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    const int nLogical = m_nPressedBoxSection;
    m_nPressedBoxSection = -1;
    viewport()->update();
    event->accept();
    if (checkBoxRect(nLogical).contains(event->pos())) {
        setAllCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void OrbHeaderView::onHeaderDataChanged(Qt::Orientation eOrientation, int nFirst, int nLast)
{
    if (eOrientation == orientation()) {
        applySectionWidths(nFirst, nLast);
        viewport()->update();
    }
}

void OrbHeaderView::onColumnsInserted(const QModelIndex& parent, int nFirst, int nLast)
{
    if (orientation() == Qt::Horizontal && parent == rootIndex()) {
        applySectionWidths(nFirst, nLast);
    }
    markCheckStateDirty();  // column 0 may be a different column now
}

void OrbHeaderView::onModelReset()
{
    m_hashAppliedWidths.clear();
    applySectionWidths(0, count() - 1);
    markCheckStateDirty();
}

void OrbHeaderView::onRowsInserted(const QModelIndex& parent, int nFirst, int nLast)
{
    if (parent == rootIndex() && !m_bCheckStateDirty) {
        countRows(nFirst, nLast, 1);
        viewport()->update();
    }
}

void OrbHeaderView::onRowsAboutToBeRemoved(const QModelIndex& parent, int nFirst, int nLast)
{
    if (parent == rootIndex() && !m_bCheckStateDirty) {
        countRows(nFirst, nLast, -1);
        viewport()->update();
    }
}

void OrbHeaderView::onRowsMoved(const QModelIndex& source, int nStart, int nEnd,
                                const QModelIndex& destination)
{
    Q_UNUSED(nStart)
    Q_UNUSED(nEnd)
    if (source == rootIndex() || destination == rootIndex()) {
        markCheckStateDirty();
    }
}

void OrbHeaderView::onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QVector<int>& roles)
{
    if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole)) {
        return;
    }
    if (topLeft.column() > 0 || topLeft.parent() != rootIndex() || bottomRight.column() < 0) {
        return;
    }
    markCheckStateDirty();
}

void OrbHeaderView::markCheckStateDirty()
{
    if (!m_bCheckStateDirty) {
        m_bCheckStateDirty = true;
        viewport()->update();
    }
}

void OrbHeaderView::applySectionWidths(int nFirst, int nLast)
{
    const QAbstractItemModel* pModel = model();
    if (!pModel) {
        return;
    }
    nFirst = std::max(nFirst, 0);
    nLast = std::min(nLast, count() - 1);
    for (int nSection = nFirst; nSection <= nLast; ++nSection) {
        bool bOk = false;
        const int nWidth =
            pModel->headerData(nSection, orientation(), struTreeViewData::HeaderWidthRole).toInt(&bOk);
        if (!bOk || nWidth <= 0 || m_hashAppliedWidths.value(nSection) == nWidth) {
            continue;
        }
        m_hashAppliedWidths.insert(nSection, nWidth);
        // The model knows its columns: a narrow check box column is meant to be narrow.
        if (nWidth < minimumSectionSize()) {
            setMinimumSectionSize(nWidth);
        }
        resizeSection(nSection, nWidth);
    }
}

}  // namespace ORBGUI
