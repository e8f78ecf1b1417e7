#include <QtTest>

#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include "NotificationCapture.h"

namespace {

void notify(const QString& strText)
{
    ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
}

}  // namespace

class tst_NotificationCapture : public QObject
{
    Q_OBJECT

private slots:
    void collectsWhileAlive();
};

void tst_NotificationCapture::collectsWhileAlive()
{
    notify("before");
    {
        NotificationCapture capture;
        notify("first");
        notify("second");
        QCOMPARE(capture.texts(), QStringList({"first", "second"}));

        capture.clear();
        QCOMPARE(capture.texts(), QStringList());
        notify("third");
        QCOMPARE(capture.texts(), QStringList{"third"});
    }
    // Gone: a connection left behind would write to freed memory here (caught by the sanitizer build).
    notify("after");
}

QTEST_MAIN(tst_NotificationCapture)
#include "tst_NotificationCapture.moc"
