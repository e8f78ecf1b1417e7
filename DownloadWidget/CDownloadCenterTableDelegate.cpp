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

// Track geometry inside the cell: inset on the left, a gap before the label on the right.
const int kTrackLeftInset = 8;
const int kTrackHeight = 8;
const int kTrackLabelGap = 5;
// Label box: at least this wide, wider when the font needs it for "100%"; it ends this far
// before the cell's last pixel column.
const int kLabelWidth = 30;
const int kLabelRightMargin = 2;
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

void CDownloadCenterTableDelegate::initStyleOption(QStyleOptionViewItem* option,
                                                   const QModelIndex& index) const
{
    ORBGUI::OrbTableViewItemDelegateSvg::initStyleOption(option, index);
    if (m_bIconOnly) {
        option->text.clear();
    }
}

void CDownloadCenterTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    m_bIconOnly = index.data(CTaskTypes::IconForTextRole).toBool() && isTextElided(option, index);
    ORBGUI::OrbTableViewItemDelegateSvg::paint(painter, option, index);
    m_bIconOnly = false;
    if (!index.data(ProgressBarRole).isValid()) {
        return;
    }

    const QVariant varPercent = index.data(ProgressValueRole);
    const int nPercent = varPercent.isValid() ? varPercent.toInt() : 0;
    const QVariant varState = index.data(Qt::UserRole);
    const int nState = varState.isValid() ? varState.toInt() : 0;

    painter->save();

    const QRect rcCell = option.rect;
    const int nLabelWidth =
        qMax(kLabelWidth, QFontMetrics(option.font).horizontalAdvance(QStringLiteral("100%")));
    const QRect rcLabel(rcCell.right() - kLabelRightMargin - nLabelWidth, rcCell.y(), nLabelWidth,
                        rcCell.height());
    const QRect rcTrack(rcCell.x() + kTrackLeftInset, rcCell.y() + rcCell.height() / 2 - kTrackHeight / 2,
                        rcLabel.left() - kTrackLabelGap - rcCell.x() - kTrackLeftInset, kTrackHeight);
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

    // In the list's text colour, which the skin sets, so that dark skins keep it readable.
    const QColor colorLabel = option.palette.color(QPalette::Text);
    painter->setPen(colorLabel);
    painter->setFont(option.font);
    painter->setBrush(QBrush(colorLabel));
    painter->drawText(rcLabel, Qt::AlignLeft | Qt::AlignVCenter,
                      QString::number(nPercent) + QStringLiteral("%"));

    painter->restore();
}
