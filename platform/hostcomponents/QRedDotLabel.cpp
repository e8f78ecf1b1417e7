#include <hostcomponents/QRedDotLabel.h>

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kBadgeColor(229, 72, 77);

}  // namespace

QRedDotLabel::QRedDotLabel(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
}

void QRedDotLabel::setRedDotText(QString strText)
{
    setText(strText);
    update();
}

void QRedDotLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // A pill as wide as the label: a circle for one digit, longer for "10" or "99+".
    const QRectF rectBadge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal fRadius = rectBadge.height() / 2.0;
    QPainterPath path;
    path.addRoundedRect(rectBadge, fRadius, fRadius);
    painter.fillPath(path, kBadgeColor);

    if (text().isEmpty()) {
        return;
    }
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qMax(8, int(rectBadge.height() * 0.7)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
