#pragma once

#include <QStyledItemDelegate>

#include "ItemPixmapValue.h"
#include "OrbItemDataRole.h"

namespace ORBGUI {

// The kit's table delegate: paints text, selection and up to three icon slots per cell
// (PixmapRole0..2, placed by PixmapAlignmentRole). SVG images are rendered sharp at the
// device pixel ratio.
class OrbTableViewItemDelegateSvg : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit OrbTableViewItemDelegateSvg(QObject* parent = nullptr);
    ~OrbTableViewItemDelegateSvg() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Where icon slot nRole of index is drawn (empty when the slot holds no image).
    QRect pixmapRect(const QStyleOptionViewItem& option, const QModelIndex& index, int nRole) const;
    // The icon slot role at pos, or 0.
    int pixmapRoleAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos) const;
    // Whether the cell's text is cut short where it is painted; such a cell shows its tooltip
    // (Qt::ToolTipRole) or else its whole text when hovered.
    bool isTextElided(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

}  // namespace ORBGUI
