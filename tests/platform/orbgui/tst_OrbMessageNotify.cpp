#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using ORBGUI::OrbMessageNotify;
using ORBGUI::OrbSingleton;

namespace {

OrbMessageNotify& notify()
{
    return OrbSingleton<OrbMessageNotify>::Instance();
}

constexpr int kGoneTimeout = OrbMessageNotify::kShowMilliseconds + 5000;

}  // namespace

class tst_OrbMessageNotify : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void placedOnThePrimaryScreenWithoutAWindow();
    void signalCarriesTheText();
    void emptyTextIsIgnored();
    void twoAtOnceStackWithoutOverlap();
    void neverTakesFocus();
    void goAwayByThemselves();
    void restMoveDownWhenOneGoes();
    void removedWhenTheApplicationQuits();

private:
    QWidget* makeActiveWindow();

    QScopedPointer<QWidget> m_pWindow;
    QPointer<QLineEdit> m_pEdit;
};

QWidget* tst_OrbMessageNotify::makeActiveWindow()
{
    m_pWindow.reset(new QWidget());
    auto* pLayout = new QVBoxLayout(m_pWindow.data());
    m_pEdit = new QLineEdit(m_pWindow.data());
    pLayout->addWidget(m_pEdit);
    m_pWindow->setGeometry(100, 80, 800, 600);
    m_pWindow->show();
    m_pWindow->activateWindow();
    if (!QTest::qWaitForWindowActive(m_pWindow.data())) {
        return nullptr;
    }
    m_pEdit->setFocus();
    return m_pWindow.data();
}

void tst_OrbMessageNotify::cleanup()
{
    // Do not let one test's notifications stack under the next one's.
    for (QWidget* pToast : notify().visibleNotifications()) {
        delete pToast;
    }
    QTRY_VERIFY(notify().visibleNotifications().isEmpty());
    m_pWindow.reset();
}

void tst_OrbMessageNotify::placedOnThePrimaryScreenWithoutAWindow()
{
    QVERIFY(!QApplication::activeWindow());
    notify().AddTextNotification(QStringLiteral("No window"));
    QCOMPARE(notify().visibleNotifications().size(), 1);
    const QRect toast = notify().visibleNotifications().first()->frameGeometry();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(toast));
    QVERIFY(qAbs(toast.center().x() - screen.center().x()) <= 1);
    QVERIFY(toast.bottom() > screen.center().y());
}

void tst_OrbMessageNotify::signalCarriesTheText()
{
    QSignalSpy spy(&notify(), &OrbMessageNotify::SignalTextNotificationAdded);
    notify().AddTextNotification(QStringLiteral("Download finished: a.mp4"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Download finished: a.mp4"));
    const QList<QWidget*> listToasts = notify().visibleNotifications();
    QCOMPARE(listToasts.size(), 1);
    const QList<QLabel*> listLabels = listToasts.first()->findChildren<QLabel*>();
    auto* pLabel = qobject_cast<QLabel*>(listToasts.first());
    QVERIFY(pLabel || !listLabels.isEmpty());
    QCOMPARE((pLabel ? pLabel : listLabels.first())->text(), QStringLiteral("Download finished: a.mp4"));
}

void tst_OrbMessageNotify::emptyTextIsIgnored()
{
    QSignalSpy spy(&notify(), &OrbMessageNotify::SignalTextNotificationAdded);
    notify().AddTextNotification(QString());
    notify().AddTextNotification(QStringLiteral("   "));
    QCOMPARE(spy.count(), 0);
    QVERIFY(notify().visibleNotifications().isEmpty());
}

void tst_OrbMessageNotify::twoAtOnceStackWithoutOverlap()
{
    QWidget* pWindow = makeActiveWindow();
    QVERIFY(pWindow);
    notify().AddTextNotification(QStringLiteral("First"));
    notify().AddTextNotification(QStringLiteral("Second, a longer text than the first one"));

    const QList<QWidget*> listToasts = notify().visibleNotifications();
    QCOMPARE(listToasts.size(), 2);
    QVERIFY(QTest::qWaitForWindowExposed(listToasts.at(0)));
    QVERIFY(QTest::qWaitForWindowExposed(listToasts.at(1)));
    const QRect first = listToasts.at(0)->frameGeometry();
    const QRect second = listToasts.at(1)->frameGeometry();
    QVERIFY(!first.intersects(second));
    QVERIFY2(second.bottom() < first.top(), "the newer one stacks above");
    // Near the bottom centre of the active window.
    const QRect window = pWindow->frameGeometry();
    for (const QRect& toast : {first, second}) {
        QVERIFY(window.contains(toast));
        QVERIFY(qAbs(toast.center().x() - window.center().x()) <= 1);
    }
    QVERIFY(first.top() > window.center().y());
    for (QWidget* pToast : listToasts) {
        QVERIFY(pToast->isWindow());
        QVERIFY(pToast->windowFlags() & Qt::FramelessWindowHint);
    }
}

void tst_OrbMessageNotify::neverTakesFocus()
{
    QWidget* pWindow = makeActiveWindow();
    QVERIFY(pWindow);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_pEdit.data()));

    notify().AddTextNotification(QStringLiteral("Quietly"));
    QWidget* pToast = notify().visibleNotifications().value(0);
    QVERIFY(pToast);
    QVERIFY(QTest::qWaitForWindowExposed(pToast));
    QTest::qWait(100);  // let any activation the window system might do arrive
    QCOMPARE(QApplication::activeWindow(), pWindow);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_pEdit.data()));
    QVERIFY(pToast->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(pToast->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QCOMPARE(pToast->focusPolicy(), Qt::NoFocus);
}

void tst_OrbMessageNotify::goAwayByThemselves()
{
    QVERIFY(makeActiveWindow());
    notify().AddTextNotification(QStringLiteral("one"));
    notify().AddTextNotification(QStringLiteral("two"));
    QPointer<QWidget> pFirst = notify().visibleNotifications().value(0);
    QPointer<QWidget> pSecond = notify().visibleNotifications().value(1);
    QVERIFY(pFirst && pSecond);
    QTRY_VERIFY_WITH_TIMEOUT(!pFirst && !pSecond, kGoneTimeout);
    QVERIFY(notify().visibleNotifications().isEmpty());
}

void tst_OrbMessageNotify::restMoveDownWhenOneGoes()
{
    QVERIFY(makeActiveWindow());
    notify().AddTextNotification(QStringLiteral("older"));
    QPointer<QWidget> pOlder = notify().visibleNotifications().value(0);
    QVERIFY(pOlder);
    // The newer one must outlive the older one by a wide margin.
    QTest::qWait(OrbMessageNotify::kShowMilliseconds / 2);
    notify().AddTextNotification(QStringLiteral("newer"));
    QPointer<QWidget> pNewer = notify().visibleNotifications().value(1);
    QVERIFY(pNewer);
    const int nOlderBottom = pOlder->frameGeometry().bottom();
    QVERIFY(pNewer->frameGeometry().bottom() < pOlder->frameGeometry().top());

    QTRY_VERIFY_WITH_TIMEOUT(!pOlder, kGoneTimeout);
    QVERIFY(pNewer);
    QCOMPARE(notify().visibleNotifications(), QList<QWidget*>{pNewer.data()});
    QCOMPARE(pNewer->frameGeometry().bottom(), nOlderBottom);

    // Closed by someone else, it is dropped from the stack as well.
    notify().AddTextNotification(QStringLiteral("third"));
    QCOMPARE(notify().visibleNotifications().size(), 2);
    delete pNewer.data();
    QCOMPARE(notify().visibleNotifications().size(), 1);
    QCOMPARE(notify().visibleNotifications().first()->frameGeometry().bottom(), nOlderBottom);
}

void tst_OrbMessageNotify::removedWhenTheApplicationQuits()
{
    notify().AddTextNotification(QStringLiteral("bye"));
    QPointer<QWidget> pToast = notify().visibleNotifications().value(0);
    QVERIFY(pToast);
    QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
    QVERIFY(!pToast);
    QVERIFY(notify().visibleNotifications().isEmpty());
    // Still usable afterwards (nothing else stops the application in a test).
    notify().AddTextNotification(QStringLiteral("again"));
    QCOMPARE(notify().visibleNotifications().size(), 1);
}

QTEST_MAIN(tst_OrbMessageNotify)
#include "tst_OrbMessageNotify.moc"
