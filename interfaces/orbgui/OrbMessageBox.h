#pragma once

#include <QDialog>
#include <QFlags>
#include <QString>

class QLabel;

namespace ORBGUI {

// The kit's modal message box.
class OrbMessageBox : public QDialog
{
    Q_OBJECT

public:
    enum StandardButton
    {
        NoButton = 0x0,
        Ok = 0x400,      // confirms
        Cancel = 0x2000  // cancels; also the answer when the box is closed
    };
    Q_DECLARE_FLAGS(StandardButtons, StandardButton)
    Q_FLAG(StandardButtons)

    // Shows a modal box and returns the button pressed.
    static StandardButton ShowInformation(QWidget* parent, const QString& title, const QString& text,
                                          QFlags<StandardButton> buttons);

    OrbMessageBox(QWidget* parent, const QString& title, const QString& text, StandardButtons buttons);
    ~OrbMessageBox() override;

    StandardButton clickedButton() const { return m_eClicked; }
    QString text() const;

    // Name of the dynamic property that carries a button's StandardButton value.
    static constexpr const char* kButtonProperty = "orbStandardButton";

private:
    QLabel* m_pText = nullptr;
    StandardButton m_eClicked = Cancel;
};

}  // namespace ORBGUI

Q_DECLARE_OPERATORS_FOR_FLAGS(ORBGUI::OrbMessageBox::StandardButtons)
