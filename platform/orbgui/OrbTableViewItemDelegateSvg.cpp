#include <orbgui/OrbBaseView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <QVector>

#include <algorithm>
#include <cmath>

#include "OrbPixmapCache.h"

namespace ORBGUI {

namespace {

constexpr int kIconSpacing = 4;  // between icons, and between icons and text
constexpr int kCellMargin = 4;   // keeps left/right aligned icons off the grid lines
constexpr int kVerticalPadding = 2;

struct IconSlot
{
    int nRole = 0;
    ItemPixmapValue value;
    QRect rect;
};

const QStyle* styleOf(const QStyleOptionViewItem& opt)
{
    return opt.widget ? opt.widget->style() : QApplication::style();
}

bool pixmapValueOf(const QModelIndex& index, int nRole, ItemPixmapValue* pValue)
{
    const QVariant data = index.data(nRole);
    if (data.userType() != qMetaTypeId<ItemPixmapValue>()) {
        return false;
    }
    *pValue = data.value<ItemPixmapValue>();
    return !pValue->isEmpty();
}

QSize iconSizeOf(const ItemPixmapValue& value)
{
    const QSize size = value.value(ItemPixmapValue::IconSize).toSize();
    if (size.isValid() && !size.isEmpty()) {
        return size;
    }
    return OrbPixmapCache::naturalSize(value.value(ItemPixmapValue::Normal));
}

Qt::Alignment pixmapAlignmentOf(const QModelIndex& index)
{
    const QVariant data = index.data(struTreeViewData::PixmapAlignmentRole);
    Qt::Alignment align = Qt::AlignCenter;
    if (data.userType() == qMetaTypeId<Qt::Alignment>()) {
        align = data.value<Qt::Alignment>();
    } else if (data.isValid()) {
        bool bOk = false;
        const int nValue = data.toInt(&bOk);
        if (bOk) {
            align = Qt::Alignment(nValue);
        }
    }
    if (!(align & Qt::AlignHorizontal_Mask)) {
        align |= Qt::AlignHCenter;
    }
    if (!(align & Qt::AlignVertical_Mask)) {
        align |= Qt::AlignVCenter;
    }
    return align;
}

// The part of the cell icons may use: not over the check box or decoration.
QRect iconAreaOf(const QStyleOptionViewItem& opt)
{
    QRect area = opt.rect.adjusted(kCellMargin, 0, -kCellMargin, 0);
    const QStyle* pStyle = styleOf(opt);
    const bool bRtl = opt.direction == Qt::RightToLeft;
    const auto exclude = [&](QStyle::SubElement eElement) {
        const QRect rect = pStyle->subElementRect(eElement, &opt, opt.widget);
        if (rect.isEmpty()) {
            return;
        }
        if (bRtl) {
            area.setRight(std::min(area.right(), rect.left() - 1 - kIconSpacing));
        } else {
            area.setLeft(std::max(area.left(), rect.right() + 1 + kIconSpacing));
        }
    };
    if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
        exclude(QStyle::SE_ItemViewItemCheckIndicator);
    }
    if (opt.features & QStyleOptionViewItem::HasDecoration) {
        exclude(QStyle::SE_ItemViewItemDecoration);
    }
    return area;
}

// Icons with an image, side by side in slot order, the group placed by PixmapAlignmentRole.
// opt must already be initialised for index.
QVector<IconSlot> layoutIcons(const QStyleOptionViewItem& opt, const QModelIndex& index,
                              Qt::Alignment* pAlign = nullptr, QRect* pGroup = nullptr)
{
    QVector<IconSlot> vecSlots;
    if (!index.isValid()) {
        return vecSlots;
    }
    int nWidth = 0;
    int nHeight = 0;
    for (int i = 0; i < struTreeViewData::kPixmapSlotCount; ++i) {
        IconSlot slot;
        slot.nRole = struTreeViewData::PixmapRole0 + i;
        if (!pixmapValueOf(index, slot.nRole, &slot.value)) {
            continue;
        }
        const QSize size = iconSizeOf(slot.value);
        if (size.isEmpty()) {
            continue;
        }
        nWidth += (vecSlots.isEmpty() ? 0 : kIconSpacing) + size.width();
        nHeight = std::max(nHeight, size.height());
        slot.rect = QRect(QPoint(), size);
        vecSlots.append(slot);
    }
    if (vecSlots.isEmpty()) {
        return vecSlots;
    }

    const Qt::Alignment align = pixmapAlignmentOf(index);
    const QRect group = QStyle::alignedRect(opt.direction, align, QSize(nWidth, nHeight), iconAreaOf(opt));
    int nX = group.left();
    for (IconSlot& slot : vecSlots) {
        const QSize size = slot.rect.size();
        int nY = group.top() + (nHeight - size.height()) / 2;
        if (align & Qt::AlignTop) {
            nY = group.top();
        } else if (align & Qt::AlignBottom) {
            nY = group.bottom() + 1 - size.height();
        }
        slot.rect = QRect(QPoint(nX, nY), size);
        nX += size.width() + kIconSpacing;
    }
    if (pAlign) {
        *pAlign = align;
    }
    if (pGroup) {
        *pGroup = group;
    }
    return vecSlots;
}

// Where the text goes: the style's text rect, less the side the icons sit on.
QRect textRectOf(const QStyleOptionViewItem& opt, const QVector<IconSlot>& vecSlots, Qt::Alignment align,
                 const QRect& group)
{
    const QStyle* pStyle = styleOf(opt);
    QRect rect = pStyle->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    const int nTextMargin = pStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    rect.adjust(nTextMargin, 0, -nTextMargin, 0);
    // A style sheet's text rectangle has the text's own width, not the cell's: the text may use
    // the cell to its end.
    rect.setRight(std::max(rect.right(), opt.rect.right() - 2 * nTextMargin));
    if (vecSlots.isEmpty()) {
        return rect;
    }
    const Qt::Alignment horizontal = QStyle::visualAlignment(opt.direction, align) & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignLeft) {
        rect.setLeft(std::max(rect.left(), group.right() + 1 + kIconSpacing));
    } else if (horizontal & Qt::AlignRight) {
        rect.setRight(std::min(rect.right(), group.left() - 1 - kIconSpacing));
    }
    return rect;
}

// Device pixels per logical pixel where the painter draws now: the device pixel ratio of
// the real target (also when a widget is rendered into a hi-dpi image), and any zoom.
qreal renderScaleOf(const QPainter* painter)
{
    const QTransform transform = painter->deviceTransform();
    const qreal dScale = std::sqrt(transform.m11() * transform.m11() + transform.m12() * transform.m12());
    if (!(dScale > 0.0)) {
        return 1.0;
    }
    // Rounded so that near-equal zooms share cache entries; bounded against silly transforms.
    return std::min(std::round(dScale * 100.0) / 100.0, 8.0);
}

}  // namespace

OrbTableViewItemDelegateSvg::OrbTableViewItemDelegateSvg(QObject* parent) : QStyledItemDelegate(parent)
{
    registerItemPixmapValue();
}

OrbTableViewItemDelegateSvg::~OrbTableViewItemDelegateSvg() = default;

void OrbTableViewItemDelegateSvg::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    if (!painter || !index.isValid()) {
        return;
    }
    // Subclasses draw on top after calling us: hand the painter back untouched.
    painter->save();

    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QStyle* pStyle = styleOf(opt);

    Qt::Alignment align = Qt::AlignCenter;
    QRect group;
    const QVector<IconSlot> vecSlots = layoutIcons(opt, index, &align, &group);
    const QRect textRect = textRectOf(opt, vecSlots, align, group);
    const QString strText = opt.text;

    // Background, selection, check box and focus through the style; text is ours so that
    // it keeps clear of the icons.
    opt.text.clear();
    pStyle->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    if (!strText.isEmpty() && textRect.width() > 0) {
        QPalette::ColorGroup eGroup = QPalette::Disabled;
        if (opt.state & QStyle::State_Enabled) {
            eGroup = (opt.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
        }
        const QPalette::ColorRole eRole =
            (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
        painter->setPen(opt.palette.color(eGroup, eRole));
        painter->setFont(opt.font);
        const QFontMetrics metrics(opt.font);
        QString strLine = strText;
        strLine.replace(QLatin1Char('\n'), QChar::LineSeparator);
        painter->drawText(textRect, static_cast<int>(opt.displayAlignment),
                          metrics.elidedText(strLine, opt.textElideMode, textRect.width()));
    }

    if (!vecSlots.isEmpty()) {
        painter->setClipRect(option.rect, Qt::IntersectClip);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        const qreal dDpr = renderScaleOf(painter);
        const bool bEnabled = (opt.state & QStyle::State_Enabled) && (index.flags() & Qt::ItemIsEnabled);
        const auto* pView = qobject_cast<const OrbBaseView*>(opt.widget);
        for (const IconSlot& slot : vecSlots) {
            int nKey = ItemPixmapValue::Normal;
            if (!bEnabled) {
                nKey = ItemPixmapValue::Disabled;
            } else if (pView) {
                switch (pView->pixmapState(index, slot.nRole)) {
                    case OrbBaseView::PixmapPressed:
                        nKey = ItemPixmapValue::Pressed;
                        break;
                    case OrbBaseView::PixmapHovered:
                        nKey = ItemPixmapValue::Hover;
                        break;
                    case OrbBaseView::PixmapNormal:
                        break;
                }
            }
            QVariant image = slot.value.value(nKey);
            if (!image.isValid()) {
                image = slot.value.value(ItemPixmapValue::Normal);
            }
            const QPixmap pix = OrbPixmapCache::pixmap(image, slot.rect.size(), dDpr);
            if (!pix.isNull()) {
                painter->drawPixmap(slot.rect, pix);
            }
        }
    }

    painter->restore();
}

QSize OrbTableViewItemDelegateSvg::sizeHint(const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    int nWidth = 0;
    int nHeight = 0;
    for (int i = 0; i < struTreeViewData::kPixmapSlotCount; ++i) {
        ItemPixmapValue value;
        if (!pixmapValueOf(index, struTreeViewData::PixmapRole0 + i, &value)) {
            continue;
        }
        const QSize size = iconSizeOf(value);
        if (size.isEmpty()) {
            continue;
        }
        nWidth += size.width() + kIconSpacing;
        nHeight = std::max(nHeight, size.height());
    }
    if (nWidth > 0) {
        hint.rwidth() += nWidth + 2 * kCellMargin;
        hint.setHeight(std::max(hint.height(), nHeight + 2 * kVerticalPadding));
    }
    return hint;
}

bool OrbTableViewItemDelegateSvg::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                            const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip) {
        const int nRole = pixmapRoleAt(option, index, event->pos());
        if (nRole != 0) {
            const int nTipRole =
                struTreeViewData::PixmapToolTipRole0 + (nRole - struTreeViewData::PixmapRole0);
            const QString strTip = index.data(nTipRole).toString();
            if (!strTip.isEmpty()) {
                QToolTip::showText(event->globalPos(), strTip, view->viewport(),
                                   pixmapRect(option, index, nRole));
                return true;
            }
        }
        // Text cut short: the cell's own tooltip, or else the whole text.
        if (nRole == 0 && isTextElided(option, index)) {
            const QString strTip = index.data(Qt::ToolTipRole).toString();
            QToolTip::showText(event->globalPos(), strTip.isEmpty() ? index.data().toString() : strTip,
                               view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool OrbTableViewItemDelegateSvg::isTextElided(const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (opt.text.isEmpty()) {
        return false;
    }
    Qt::Alignment align = Qt::AlignCenter;
    QRect group;
    const QVector<IconSlot> vecSlots = layoutIcons(opt, index, &align, &group);
    QString strLine = opt.text;
    strLine.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return QFontMetrics(opt.font).horizontalAdvance(strLine) >
           textRectOf(opt, vecSlots, align, group).width();
}

QRect OrbTableViewItemDelegateSvg::pixmapRect(const QStyleOptionViewItem& option, const QModelIndex& index,
                                              int nRole) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QVector<IconSlot> vecSlots = layoutIcons(opt, index);
    for (const IconSlot& slot : vecSlots) {
        if (slot.nRole == nRole) {
            return slot.rect;
        }
    }
    return {};
}

int OrbTableViewItemDelegateSvg::pixmapRoleAt(const QStyleOptionViewItem& option, const QModelIndex& index,
                                              const QPoint& pos) const
{
    // Icons are clipped to their cell; the part outside is not theirs.
    if (!option.rect.contains(pos)) {
        return 0;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QVector<IconSlot> vecSlots = layoutIcons(opt, index);
    for (const IconSlot& slot : vecSlots) {
        if (slot.rect.contains(pos)) {
            return slot.nRole;
        }
    }
    return 0;
}

}  // namespace ORBGUI
