#include <orbgui/OrbMessageBox.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "ModalAnswerer.h"

using ORBGUI::OrbMessageBox;

namespace {

OrbMessageBox::StandardButton ask(const QString& strText, OrbMessageBox::StandardButtons buttons,
                                  QWidget* parent = nullptr)
{
    return OrbMessageBox::ShowInformation(parent, QStringLiteral("Download centre"), strText, buttons);
}

const OrbMessageBox::StandardButtons kOkCancel = OrbMessageBox::Ok | OrbMessageBox::Cancel;

}  // namespace

class tst_OrbMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void answers_data();
    void answers();
    void boxContents();
    void callbackRunsWhileOpen();
    void keyboard_data();
    void keyboard();
    void answersAreTakenInOrder();
    void nestedBoxTakesTheNextAnswer();
    void modality();
    void parentGoneWhileOpen();
    void plainDialogIsAnsweredToo();
    void missingButtonIsReported();
    void unexpectedBoxIsClosedAndReported();
};

void tst_OrbMessageBox::init()
{
    ModalAnswerer::reset();
}

void tst_OrbMessageBox::answers_data()
{
    QTest::addColumn<int>("nButtons");
    QTest::addColumn<int>("nAnswer");  // 0: close the box
    QTest::addColumn<int>("nExpected");

    QTest::newRow("ok") << int(kOkCancel) << 0x400 << 0x400;
    QTest::newRow("cancel") << int(kOkCancel) << 0x2000 << 0x2000;
    QTest::newRow("closed") << int(kOkCancel) << 0 << 0x2000;
    QTest::newRow("ok only") << int(OrbMessageBox::Ok) << 0x400 << 0x400;
    QTest::newRow("ok only, closed") << int(OrbMessageBox::Ok) << 0 << 0x2000;
    QTest::newRow("cancel only") << int(OrbMessageBox::Cancel) << 0x2000 << 0x2000;
}

void tst_OrbMessageBox::answers()
{
    QFETCH(int, nButtons);
    QFETCH(int, nAnswer);
    QFETCH(int, nExpected);

    ModalAnswerer::answerNext(nAnswer);
    QCOMPARE(ModalAnswerer::pending(), 1);
    const int nResult = ask(QStringLiteral("Delete the file?"), OrbMessageBox::StandardButtons(nButtons));
    QCOMPARE(nResult, nExpected);
    QCOMPARE(ModalAnswerer::pending(), 0);
    QCOMPARE(ModalAnswerer::questions(), QStringList{QStringLiteral("Delete the file?")});
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_OrbMessageBox::boxContents()
{
    QStringList listSeen;
    ModalAnswerer::answerNext(OrbMessageBox::Ok, [&listSeen] {
        auto* pBox = qobject_cast<OrbMessageBox*>(QApplication::activeModalWidget());
        if (!pBox) {
            return;
        }
        listSeen << pBox->windowTitle() << pBox->text();
        for (QPushButton* pButton : pBox->findChildren<QPushButton*>()) {
            listSeen << QStringLiteral("%1 %2 %3")
                            .arg(pButton->objectName(), pButton->text())
                            .arg(pButton->property(OrbMessageBox::kButtonProperty).toInt(), 0, 16);
        }
        const auto listLabels = pBox->findChildren<QLabel*>();
        for (const QLabel* pLabel : listLabels) {
            if (pLabel->text() == pBox->text()) {
                listSeen << (pLabel->wordWrap() ? QStringLiteral("wrapped") : QStringLiteral("not wrapped"));
            }
        }
    });
    QCOMPARE(ask(QStringLiteral("A long question"), kOkCancel), OrbMessageBox::Ok);
    listSeen.sort();
    QStringList listExpected{QStringLiteral("Download centre"), QStringLiteral("A long question"),
                             QStringLiteral("btnOk OK 400"), QStringLiteral("btnCancel Cancel 2000"),
                             QStringLiteral("wrapped")};
    listExpected.sort();
    QCOMPARE(listSeen, listExpected);

    // Only the buttons asked for.
    int nButtons = -1;
    ModalAnswerer::answerNext(OrbMessageBox::Ok, [&nButtons] {
        nButtons = QApplication::activeModalWidget()->findChildren<QPushButton*>().size();
    });
    QCOMPARE(ask(QStringLiteral("Just so you know"), OrbMessageBox::Ok), OrbMessageBox::Ok);
    QCOMPARE(nButtons, 1);
}

void tst_OrbMessageBox::callbackRunsWhileOpen()
{
    bool bWasOpen = false;
    bool bStillOpenAfterEvents = false;
    ModalAnswerer::answerNext(OrbMessageBox::Cancel, [&] {
        auto* pBox = qobject_cast<OrbMessageBox*>(QApplication::activeModalWidget());
        bWasOpen = pBox && pBox->isVisible() && pBox->text() == QLatin1String("Stop all downloads?");
        // Events go on while the question is open (engine signals, timers).
        QTest::qWait(50);
        bStillOpenAfterEvents = pBox && QApplication::activeModalWidget() == pBox;
    });
    QCOMPARE(ask(QStringLiteral("Stop all downloads?"), kOkCancel), OrbMessageBox::Cancel);
    QVERIFY(bWasOpen);
    QVERIFY(bStillOpenAfterEvents);
}

void tst_OrbMessageBox::keyboard_data()
{
    QTest::addColumn<int>("nButtons");
    QTest::addColumn<int>("nKey");
    QTest::addColumn<bool>("bCloses");
    QTest::addColumn<int>("nExpected");  // when the key closes the box

    QTest::newRow("escape") << int(kOkCancel) << int(Qt::Key_Escape) << true << 0x2000;
    QTest::newRow("escape, ok only") << int(OrbMessageBox::Ok) << int(Qt::Key_Escape) << true << 0x2000;
    QTest::newRow("enter") << int(kOkCancel) << int(Qt::Key_Return) << true << 0x400;
    QTest::newRow("keypad enter") << int(kOkCancel) << int(Qt::Key_Enter) << true << 0x400;
    QTest::newRow("enter, cancel only") << int(OrbMessageBox::Cancel) << int(Qt::Key_Return) << false << 0;
}

void tst_OrbMessageBox::keyboard()
{
    QFETCH(int, nButtons);
    QFETCH(int, nKey);
    QFETCH(bool, bCloses);
    QFETCH(int, nExpected);

    bool bClosedByKey = false;
    // The armed answer is a different one, used only if the key leaves the box open.
    const int nArmed = 0x2000;
    ModalAnswerer::answerNext(nArmed, [&] {
        QPointer<QWidget> pBox = QApplication::activeModalWidget();
        QTest::keyClick(pBox, Qt::Key(nKey));
        bClosedByKey = !pBox || !pBox->isVisible();
    });
    const int nResult = ask(QStringLiteral("Key?"), OrbMessageBox::StandardButtons(nButtons));
    QCOMPARE(bClosedByKey, bCloses);
    QCOMPARE(nResult, bCloses ? nExpected : nArmed);
}

void tst_OrbMessageBox::answersAreTakenInOrder()
{
    ModalAnswerer::answerNext(OrbMessageBox::Ok);
    ModalAnswerer::answerNext(OrbMessageBox::Cancel);
    ModalAnswerer::answerNext(0);
    QCOMPARE(ModalAnswerer::pending(), 3);
    QCOMPARE(ask(QStringLiteral("first"), kOkCancel), OrbMessageBox::Ok);
    QCOMPARE(ModalAnswerer::pending(), 2);
    QCOMPARE(ask(QStringLiteral("second"), kOkCancel), OrbMessageBox::Cancel);
    QCOMPARE(ask(QStringLiteral("third"), kOkCancel), OrbMessageBox::Cancel);
    QCOMPARE(ModalAnswerer::pending(), 0);
    QCOMPARE(ModalAnswerer::questions(),
             (QStringList{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")}));

    ModalAnswerer::answerNext(OrbMessageBox::Ok);
    ModalAnswerer::reset();
    QCOMPARE(ModalAnswerer::pending(), 0);
    QVERIFY(ModalAnswerer::questions().isEmpty());
}

void tst_OrbMessageBox::nestedBoxTakesTheNextAnswer()
{
    int nInner = -1;
    ModalAnswerer::answerNext(OrbMessageBox::Ok,
                              [&nInner] { nInner = ask(QStringLiteral("inner"), kOkCancel); });
    ModalAnswerer::answerNext(OrbMessageBox::Cancel);
    QCOMPARE(ask(QStringLiteral("outer"), kOkCancel), OrbMessageBox::Ok);
    QCOMPARE(nInner, int(OrbMessageBox::Cancel));
    QCOMPARE(ModalAnswerer::questions(), (QStringList{QStringLiteral("outer"), QStringLiteral("inner")}));
    QVERIFY(ModalAnswerer::unexpectedBoxes().isEmpty());
}

void tst_OrbMessageBox::modality()
{
    QWidget window;
    auto* pChild = new QWidget(&window);
    new QVBoxLayout(&window);
    window.layout()->addWidget(pChild);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<int> listModality;
    QList<QWidget*> listParents;
    const auto record = [&] {
        QWidget* pBox = QApplication::activeModalWidget();
        listModality << pBox->windowModality();
        listParents << pBox->parentWidget();
    };
    ModalAnswerer::answerNext(OrbMessageBox::Ok, record);
    ModalAnswerer::answerNext(OrbMessageBox::Ok, record);
    QCOMPARE(ask(QStringLiteral("over the window"), kOkCancel, pChild), OrbMessageBox::Ok);
    QCOMPARE(ask(QStringLiteral("over everything"), kOkCancel), OrbMessageBox::Ok);
    QCOMPARE(listModality, (QList<int>{Qt::WindowModal, Qt::ApplicationModal}));
    QCOMPARE(listParents.at(0), pChild);
    QCOMPARE(listParents.at(1), nullptr);
    // The boxes do not linger as children of the parent.
    QVERIFY(pChild->findChildren<OrbMessageBox*>().isEmpty());
}

void tst_OrbMessageBox::parentGoneWhileOpen()
{
    auto* pWindow = new QWidget();
    pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(pWindow));
    ModalAnswerer::answerNext(OrbMessageBox::Ok, [pWindow] { delete pWindow; });
    QCOMPARE(ask(QStringLiteral("orphan"), kOkCancel, pWindow), OrbMessageBox::Cancel);
}

void tst_OrbMessageBox::plainDialogIsAnsweredToo()
{
    QDialog dialog;
    auto* pLayout = new QVBoxLayout(&dialog);
    pLayout->addWidget(new QLabel(QStringLiteral("Plain question"), &dialog));
    auto* pYes = new QPushButton(QStringLiteral("Yes"), &dialog);
    pYes->setProperty(OrbMessageBox::kButtonProperty, 0x4000);
    QObject::connect(pYes, &QPushButton::clicked, &dialog, &QDialog::accept);
    pLayout->addWidget(pYes);

    ModalAnswerer::answerNext(0x4000);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    ModalAnswerer::answerNext(0);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(ModalAnswerer::questions(),
             (QStringList{QStringLiteral("Plain question"), QStringLiteral("Plain question")}));
}

void tst_OrbMessageBox::missingButtonIsReported()
{
    ModalAnswerer::answerNext(OrbMessageBox::Cancel);
    QCOMPARE(ask(QStringLiteral("Only OK here"), OrbMessageBox::Ok), OrbMessageBox::Cancel);
    QCOMPARE(ModalAnswerer::unexpectedBoxes().size(), 1);
    QVERIFY(ModalAnswerer::unexpectedBoxes().first().contains(QLatin1String("Only OK here")));
}

void tst_OrbMessageBox::unexpectedBoxIsClosedAndReported()
{
    QCOMPARE(ModalAnswerer::unexpectedBoxTimeout(), ModalAnswerer::kDefaultUnexpectedBoxTimeoutMs);
    ModalAnswerer::setUnexpectedBoxTimeout(300);
    QCOMPARE(ask(QStringLiteral("Nobody expects this"), kOkCancel), OrbMessageBox::Cancel);
    QCOMPARE(ModalAnswerer::unexpectedBoxes().size(), 1);
    QVERIFY(ModalAnswerer::unexpectedBoxes().first().contains(QLatin1String("Nobody expects this")));
    QVERIFY(ModalAnswerer::questions().isEmpty());

    // Answers armed afterwards still work, and reset restores the timeout.
    ModalAnswerer::answerNext(OrbMessageBox::Ok);
    QCOMPARE(ask(QStringLiteral("expected"), kOkCancel), OrbMessageBox::Ok);
    ModalAnswerer::reset();
    QVERIFY(ModalAnswerer::unexpectedBoxes().isEmpty());
    QCOMPARE(ModalAnswerer::unexpectedBoxTimeout(), ModalAnswerer::kDefaultUnexpectedBoxTimeoutMs);
}

QTEST_MAIN(tst_OrbMessageBox)
#include "tst_OrbMessageBox.moc"
