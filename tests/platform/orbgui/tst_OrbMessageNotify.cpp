#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using ORBGUI::OrbMessageNotify;

namespace {

OrbMessageNotify& notify()
{
    return ORBGUI::OrbSingleton<OrbMessageNotify>::Instance();
}

// How far a notification's centre is from r's, across.
int offCentre(const QWidget* pToast, const QRect& r)
{
    return qAbs(pToast->frameGeometry().center().x() - r.center().x());
}

}  // namespace

class tst_OrbMessageNotify : public QObject
{
    Q_OBJECT

private:
    QScopedPointer<QLineEdit> m_pWindow;  // an active window with the focus

private slots:
    void cleanup()
    {
        // One test's notifications must not stack under the next one's.
        qDeleteAll(notify().visibleNotifications());
        QTRY_VERIFY(notify().visibleNotifications().isEmpty());
        m_pWindow.reset();
    }

    // Without a window: on the primary screen, bottom centre. Blank texts show nothing.
    void textOnThePrimaryScreen()
    {
        QVERIFY(!QApplication::activeWindow());
        QSignalSpy spy(&notify(), &OrbMessageNotify::SignalTextNotificationAdded);
        notify().AddTextNotification("");
        notify().AddTextNotification("   ");
        notify().AddTextNotification("Download finished: a.mp4");
        QCOMPARE(spy, QList<QVariantList>{{"Download finished: a.mp4"}});
        QCOMPARE(notify().visibleNotifications().size(), 1);
        QWidget* pToast = notify().visibleNotifications().first();
        QCOMPARE(qobject_cast<QLabel*>(pToast)->text(), QString("Download finished: a.mp4"));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(pToast->frameGeometry()) &&
                pToast->frameGeometry().top() > screen.center().y());
        QVERIFY(offCentre(pToast, screen) <= 1);
    }

    // Over the active window, near its bottom centre, newer above older; they never take
    // the focus, go by themselves, and the rest move down; one closed by someone else goes too.
    void stackOverTheActiveWindow()
    {
        m_pWindow.reset(new QLineEdit());
        m_pWindow->setGeometry(100, 80, 800, 600);
        m_pWindow->show();
        m_pWindow->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pWindow.data()));
        QTRY_COMPARE(QApplication::focusWidget(), m_pWindow.data());
        const QRect window = m_pWindow->frameGeometry();
        notify().AddTextNotification("older");
        QPointer<QWidget> pOlder = notify().visibleNotifications().value(0);
        QTest::qWait(OrbMessageNotify::kShowMilliseconds / 2);  // the newer one outlives it by far
        notify().AddTextNotification("newer, a longer text than the older one");
        QPointer<QWidget> pNewer = notify().visibleNotifications().value(1);
        QVERIFY(pOlder && pNewer && QTest::qWaitForWindowExposed(pNewer));
        for (QWidget* pToast : {pOlder.data(), pNewer.data()}) {
            QVERIFY(window.contains(pToast->frameGeometry()) && offCentre(pToast, window) <= 1);
            QVERIFY(pToast->windowFlags() & Qt::FramelessWindowHint &&
                    pToast->windowFlags() & Qt::WindowDoesNotAcceptFocus);
            QVERIFY(pToast->testAttribute(Qt::WA_ShowWithoutActivating) &&
                    pToast->focusPolicy() == Qt::NoFocus);
        }
        const int nOlderBottom = pOlder->frameGeometry().bottom();
        QVERIFY(pNewer->frameGeometry().bottom() < pOlder->frameGeometry().top() &&
                nOlderBottom > window.center().y());
        QCOMPARE(QApplication::activeWindow(), m_pWindow.data());
        QCOMPARE(QApplication::focusWidget(), m_pWindow.data());

        QTRY_VERIFY_WITH_TIMEOUT(!pOlder, OrbMessageNotify::kShowMilliseconds + 5000);
        QCOMPARE(notify().visibleNotifications(), QList<QWidget*>{pNewer.data()});
        QCOMPARE(pNewer->frameGeometry().bottom(), nOlderBottom);
        notify().AddTextNotification("third");
        delete pNewer.data();
        QCOMPARE(notify().visibleNotifications().size(), 1);
        QCOMPARE(notify().visibleNotifications().first()->frameGeometry().bottom(), nOlderBottom);
    }

    void removedWhenTheApplicationQuits()
    {
        notify().AddTextNotification("bye");
        QPointer<QWidget> pToast = notify().visibleNotifications().value(0);
        QVERIFY(pToast && QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QVERIFY(!pToast && notify().visibleNotifications().isEmpty());
        notify().AddTextNotification("again");  // still usable afterwards
        QCOMPARE(notify().visibleNotifications().size(), 1);
    }
};

QTEST_MAIN(tst_OrbMessageNotify)
#include "tst_OrbMessageNotify.moc"
