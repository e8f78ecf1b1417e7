// The download centre's first open as the host makes it: a shown host widget, the plugin object,
// then "NotifySwitchMoudle" for the centre. Prints one line
//     open_ms=<ms> rss_before_kib=<KiB> rss_after_kib=<KiB>
// with the time from the notification to the first paint of the record table, and the process's
// resident memory before the notification and once the open has settled. Only the first open
// builds the window, so run-bench starts this program once per measurement.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWidget>

#include <cstdio>

#include "DownloadApp.h"

namespace {

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4 : -1;
}

// Notes the first paint of the record table's viewport.
class CFirstPaint : public QObject
{
public:
    explicit CFirstPaint(const QElapsedTimer& timer) : m_timer(timer) {}
    qint64 m_nMs = -1;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (m_nMs < 0 && m_timer.isValid() && pEvent->type() == QEvent::Paint &&
            pObject->parent() != nullptr &&
            pObject->parent()->objectName() == QLatin1String("tableDownloadingList")) {
            m_nMs = m_timer.elapsed();
        }
        return false;
    }

private:
    const QElapsedTimer& m_timer;
};

void settle(int nMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWidget host;
    host.resize(1000, 700);
    host.show();
    DownloadApp plugin;
    plugin.initPlugin(&host, nullptr, nullptr);
    settle(300);

    QElapsedTimer timer;
    CFirstPaint firstPaint(timer);
    app.installEventFilter(&firstPaint);
    const qint64 nBefore = residentKiB();
    timer.start();
    plugin.onNotify({nullptr, 0, QStringLiteral("NotifySwitchMoudle"),
                     QStringLiteral("{\"menuPath\":\"/#/client/noPage\"}")});
    while (firstPaint.m_nMs < 0 && timer.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    settle(1000);
    std::printf("open_ms=%lld rss_before_kib=%lld rss_after_kib=%lld\n", firstPaint.m_nMs, nBefore,
                residentKiB());
    plugin.onNotify({nullptr, 0, QStringLiteral("NotifyLoginOut"), QString()});
    return firstPaint.m_nMs < 0 ? 1 : 0;
}
