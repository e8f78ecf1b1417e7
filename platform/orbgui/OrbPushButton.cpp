#include <orbgui/OrbPushButton.h>

namespace ORBGUI {

OrbPushButton::OrbPushButton(QWidget* parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

OrbPushButton::OrbPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

}  // namespace ORBGUI
