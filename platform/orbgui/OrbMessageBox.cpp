#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbPushButton.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QVariant>

namespace ORBGUI {

namespace {
constexpr int kMinimumWidth = 360;
}

OrbMessageBox::StandardButton OrbMessageBox::ShowInformation(QWidget* parent, const QString& title,
                                                             const QString& text,
                                                             QFlags<StandardButton> buttons)
{
    // On the heap: the parent may go away while the box is open and take the box with it.
    QPointer<OrbMessageBox> pBox = new OrbMessageBox(parent, title, text, buttons);
    pBox->exec();
    if (!pBox) {
        return Cancel;
    }
    const StandardButton eClicked = pBox->clickedButton();
    delete pBox;
    return eClicked;
}

OrbMessageBox::OrbMessageBox(QWidget* parent, const QString& title, const QString& text,
                             StandardButtons buttons)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OrbMessageBox"));
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setMinimumWidth(kMinimumWidth);

    m_pText = new QLabel(text, this);
    m_pText->setObjectName(QStringLiteral("labText"));
    m_pText->setWordWrap(true);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* pButtons = new QHBoxLayout();
    pButtons->addStretch(1);
    const auto addButton = [&](StandardButton eButton, const QString& strName, const QString& strText) {
        auto* pButton = new OrbPushButton(strText, this);
        pButton->setObjectName(strName);
        pButton->setProperty(kButtonProperty, static_cast<int>(eButton));
        connect(pButton, &QPushButton::clicked, this, [this, eButton] {
            m_eClicked = eButton;
            done(eButton == Ok ? QDialog::Accepted : QDialog::Rejected);
        });
        pButtons->addWidget(pButton);
        return pButton;
    };
    // Enter presses OK, and only OK.
    if (buttons.testFlag(Ok)) {
        QPushButton* pOk = addButton(Ok, QStringLiteral("btnOk"), tr("OK"));
        pOk->setDefault(true);
        pOk->setFocus();
    }
    if (buttons.testFlag(Cancel)) {
        addButton(Cancel, QStringLiteral("btnCancel"), tr("Cancel"))->setAutoDefault(false);
    }

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pText, 1);
    pLayout->addLayout(pButtons);
}

OrbMessageBox::~OrbMessageBox() = default;

QString OrbMessageBox::text() const
{
    return m_pText ? m_pText->text() : QString();
}

}  // namespace ORBGUI
