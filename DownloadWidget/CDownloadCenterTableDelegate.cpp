#include "CDownloadCenterTableDelegate.h"

#include <QAbstractItemView>
#include <QDir>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kTrackColor(226, 229, 232);
const QColor kFillColor(96, 175, 249);
const QColor kFailedFillColor(191, 194, 197);

// Track geometry inside the cell: inset on the left, room for the label on the right.
const int kTrackLeftInset = 8;
const int kTrackHeight = 8;
const int kTrackWidthReserve = 46;
// Label box, measured back from the cell's last pixel column.
const int kLabelRightOffset = 32;
const int kLabelWidth = 30;
const float kMaxFillWidth = 1.0e9f;

}  // namespace

CDownloadCenterTableDelegate::CDownloadCenterTableDelegate(QObject* parent)
    : ORBGUI::OrbTableViewItemDelegateSvg(parent)
{
}

CDownloadCenterTableDelegate::~CDownloadCenterTableDelegate() = default;

bool CDownloadCenterTableDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                             const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip && isTextElided(option, index)) {
        const QString strPath = index.data(CTaskTypes::FilePathRole).toString();
        if (!strPath.isEmpty()) {
            QToolTip::showText(event->globalPos(), QDir::toNativeSeparators(strPath), view->viewport(),
                               option.rect);
            return true;
        }
    }
    return ORBGUI::OrbTableViewItemDelegateSvg::helpEvent(event, view, option, index);
}

void CDownloadCenterTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    ORBGUI::OrbTableViewItemDelegateSvg::paint(painter, option, index);
    if (!index.data(ProgressBarRole).isValid()) {
        return;
    }

    const QVariant varPercent = index.data(ProgressValueRole);
    const int nPercent = varPercent.isValid() ? varPercent.toInt() : 0;
    const QVariant varState = index.data(Qt::UserRole);
    const int nState = varState.isValid() ? varState.toInt() : 0;

    painter->save();

    const QRect rcCell = option.rect;
    const QRect rcTrack(rcCell.x() + kTrackLeftInset, rcCell.y() + rcCell.height() / 2 - kTrackHeight / 2,
                        rcCell.width() - kTrackWidthReserve, kTrackHeight);
    painter->setPen(kTrackColor);
    painter->setBrush(QBrush(kTrackColor));
    painter->drawRect(rcTrack);

    // Any progress past half a pixel shows at least one pixel, so a started task never looks idle.
    // The fill's first column is the track's outline: it takes two to show one.
    float fFillWidth = static_cast<float>(static_cast<double>(rcTrack.width()) * nPercent / 100.0);
    if (fFillWidth > 0.5f && fFillWidth < 2.0f) {
        fFillWidth = 2.0f;
    }
    // The percent is drawn unclamped; only absurd values are bounded so the conversion stays defined.
    fFillWidth = qBound(-kMaxFillWidth, fFillWidth, kMaxFillWidth);
    const QRect rcFill(rcTrack.x(), rcTrack.y(), static_cast<int>(fFillWidth), kTrackHeight);
    // The pen stays in the track colour: the fill keeps the track's outline.
    painter->setBrush(QBrush(nState == kFailedState ? kFailedFillColor : kFillColor));
    painter->drawRect(rcFill);

    const QRect rcLabel(rcCell.right() - kLabelRightOffset, rcCell.y(), kLabelWidth, rcCell.height());
    // In the list's text colour, which the skin sets, so that dark skins keep it readable.
    const QColor colorLabel = option.palette.color(QPalette::Text);
    painter->setPen(colorLabel);
    painter->setBrush(QBrush(colorLabel));
    painter->drawText(rcLabel, Qt::AlignLeft | Qt::AlignVCenter,
                      QString::number(nPercent) + QStringLiteral("%"));

    painter->restore();
}
