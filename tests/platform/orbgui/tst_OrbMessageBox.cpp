#include <orbgui/OrbMessageBox.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include "ModalAnswerer.h"

using ORBGUI::OrbMessageBox;

namespace {

constexpr int kOk = OrbMessageBox::Ok, kCancel = OrbMessageBox::Cancel, kOkCancel = kOk | kCancel;

int ask(const QString& strText, int nButtons = kOkCancel, QWidget* parent = nullptr)
{
    return OrbMessageBox::ShowInformation(parent, "Download centre", strText,
                                          OrbMessageBox::StandardButtons(nButtons));
}

}  // namespace

class tst_OrbMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void init() { ModalAnswerer::reset(); }

    void cleanup()
    {
        QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
                 qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void answers_data()
    {
        QTest::addColumn<int>("nButtons");
        QTest::addColumn<int>("nAnswer");  // 0: close the box
        QTest::addColumn<int>("nExpected");
        QTest::newRow("ok") << kOkCancel << kOk << kOk;
        QTest::newRow("cancel") << kOkCancel << kCancel << kCancel;
        QTest::newRow("closed") << kOkCancel << 0 << kCancel;
        QTest::newRow("ok only") << kOk << kOk << kOk;
        QTest::newRow("ok only, closed") << kOk << 0 << kCancel;
        QTest::newRow("cancel only") << kCancel << kCancel << kCancel;
    }

    // While open, the box shows the title, the wrapped text and the buttons asked for.
    void answers()
    {
        QFETCH(int, nButtons);
        QFETCH(int, nAnswer);
        QFETCH(int, nExpected);
        QStringList listSeen;
        ModalAnswerer::answerNext(nAnswer, [&listSeen] {
            auto* pBox = qobject_cast<OrbMessageBox*>(QApplication::activeModalWidget());
            listSeen << pBox->windowTitle() << pBox->text()
                     << QString::number(pBox->findChild<QLabel*>()->wordWrap());
            for (const QPushButton* pButton : pBox->findChildren<QPushButton*>()) {
                listSeen << pButton->objectName() + " " + pButton->text() + " " +
                                QString::number(pButton->property(OrbMessageBox::kButtonProperty).toInt(),
                                                16);
            }
        });
        QCOMPARE(ask("Delete the file?", nButtons), nExpected);
        QStringList listExpected{"Download centre", "Delete the file?", "1"};
        listExpected << (nButtons & kOk ? QStringList{"btnOk OK 400"} : QStringList());
        listExpected << (nButtons & kCancel ? QStringList{"btnCancel Cancel 2000"} : QStringList());
        QCOMPARE(listSeen, listExpected);
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("nButtons");
        QTest::addColumn<int>("nKey");
        QTest::addColumn<int>("nExpected");  // -1: the key leaves the box open
        QTest::newRow("escape") << kOkCancel << int(Qt::Key_Escape) << kCancel;
        QTest::newRow("escape, ok only") << kOk << int(Qt::Key_Escape) << kCancel;
        QTest::newRow("enter") << kOkCancel << int(Qt::Key_Return) << kOk;
        QTest::newRow("keypad enter") << kOkCancel << int(Qt::Key_Enter) << kOk;
        QTest::newRow("enter, cancel only") << kCancel << int(Qt::Key_Return) << -1;
    }

    // The armed answer is the button left over; it only counts if the key leaves the box open.
    void keyboard()
    {
        QFETCH(int, nButtons);
        QFETCH(int, nKey);
        QFETCH(int, nExpected);
        bool bOpenAfterKey = false;
        ModalAnswerer::answerNext(kCancel, [&] {
            QPointer<QWidget> pBox = QApplication::activeModalWidget();
            QTest::keyClick(pBox, Qt::Key(nKey));
            bOpenAfterKey = pBox && pBox->isVisible();
        });
        QCOMPARE(ask("Key?", nButtons), nExpected < 0 ? kCancel : nExpected);
        QCOMPARE(bOpenAfterKey, nExpected < 0);
    }

    // Over a window a box is modal to it only, and does not linger as its child; should the
    // window go while the box is open, the answer is Cancel.
    void parentWindow()
    {
        auto* pWindow = new QWidget;
        pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(pWindow));
        QStringList listSeen;
        const auto record = [&] {
            QWidget* pBox = QApplication::activeModalWidget();
            listSeen << QString("%1 %2").arg(pBox->windowModality()).arg(pBox->parentWidget() == pWindow);
        };
        ModalAnswerer::answerNext(kOk, record);
        ModalAnswerer::answerNext(kOk, record);
        ModalAnswerer::answerNext(kOk, [pWindow] { delete pWindow; });
        QCOMPARE(QList<int>({ask("over the window", kOkCancel, pWindow), ask("over everything")}),
                 QList<int>({kOk, kOk}));
        QVERIFY(pWindow->findChildren<OrbMessageBox*>().isEmpty());
        QCOMPARE(listSeen, QStringList({QString("%1 1").arg(Qt::WindowModal),
                                        QString("%1 0").arg(Qt::ApplicationModal)}));
        QCOMPARE(ask("orphan", kOkCancel, pWindow), kCancel);
    }

    // The answerer: answers taken in order, a nested box takes the next one, and boxes nobody
    // expected, or lacking the armed button, are closed and reported.
    void answerer()
    {
        int nInner = -1;
        ModalAnswerer::answerNext(kOk, [&nInner] { nInner = ask("inner"); });
        ModalAnswerer::answerNext(kCancel);
        ModalAnswerer::answerNext(kCancel);
        QCOMPARE(QList<int>({ask("outer"), nInner, ask("Only OK here", kOk)}),
                 QList<int>({kOk, kCancel, kCancel}));
        ModalAnswerer::setUnexpectedBoxTimeout(300);
        QCOMPARE(ask("Nobody expects this"), kCancel);
        QCOMPARE(ModalAnswerer::questions(), QStringList({"outer", "inner", "Only OK here"}));
        QCOMPARE(ModalAnswerer::unexpectedBoxes().join(' ').count(
                     QRegularExpression("Only OK here|Nobody expects this")),
                 2);
        ModalAnswerer::reset();
        QCOMPARE(ModalAnswerer::unexpectedBoxTimeout(), ModalAnswerer::kDefaultUnexpectedBoxTimeoutMs);
    }
};

QTEST_MAIN(tst_OrbMessageBox)
#include "tst_OrbMessageBox.moc"
