#pragma once

#include <QPushButton>

namespace ORBGUI {

// The kit's push button, styled by the skin.
class OrbPushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit OrbPushButton(QWidget* parent = nullptr);
    explicit OrbPushButton(const QString& text, QWidget* parent = nullptr);
};

}  // namespace ORBGUI
