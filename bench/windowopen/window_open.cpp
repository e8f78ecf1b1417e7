// The download centre's first open as the host makes it: a shown host widget, the plugin object,
// then "NotifySwitchMoudle" for the centre. With "--fill-history <done> <tasks>" it only writes
// that many finished downloads and unfinished record tasks into the profile's history file, for
// the runs that open the window on a full history. Otherwise it prints one line
//     open_ms=<ms> rss_before_kib=<KiB> rss_after_kib=<KiB>
// with the time from the notification to the first paint of the record table, and the process's
// resident memory before the notification and once the open has settled. With BENCH_DONE_ROWS=<n>
// it adds done_ms=<ms>, when the Done list holds n rows (they are read after the first paint). Only the first
// open builds the window, so run-bench starts this program once per measurement.
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWidget>

#include <cstdio>

#include <hostservices/CConfig.h>

#include "CDownloadHistory.h"
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

// Records of a client that has been in use for a while; the tasks' devices do not answer.
int fillHistory(int nDone, int nTasks)
{
    CDownloadHistory history(ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile);
    CDownloadHistory::Entry entry;
    DownloadInfo& info = entry.record;
    info.strChannelName = QStringLiteral("Entrance");
    info.strShopName = QStringLiteral("Shop 7");
    info.strDeviceId = QStringLiteral("device-7");
    info.stRecordFile.strBeginTime = "2024-03-01 08:00:00";
    info.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    info.stRecordFile.nFileSize = 734003200;
    for (int i = 1; i <= nDone + nTasks; ++i) {
        info.strFileName = QStringLiteral("camera-%1.mp4").arg(i);
        info.strFilePath = QStringLiteral("/srv/records/camera-%1.mp4").arg(i);
        info.strSourceUrl =
            QStringLiteral("http://127.0.0.1:9/device/device-7/channel/1/record?begin=0&end=3600");
        entry.nSeconds = i % 3600;
        if (i <= nDone ? history.addDone(entry) == 0 : history.addTask(entry) == 0) {
            return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--fill-history") {
        return fillHistory(QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt());
    }
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
    const int nDoneRows = qEnvironmentVariableIntValue("BENCH_DONE_ROWS");
    qint64 nDoneMs = -1;
    if (nDoneRows > 0) {
        const QWidget* pDone = host.findChild<QWidget*>(QStringLiteral("wgtDone"));
        const QAbstractItemView* pView = pDone ? pDone->findChild<QAbstractItemView*>() : nullptr;
        while (pView && pView->model()->rowCount() < nDoneRows && timer.elapsed() < 10000) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        nDoneMs = timer.elapsed();
    }
    settle(1000);
    std::printf("open_ms=%lld rss_before_kib=%lld rss_after_kib=%lld", firstPaint.m_nMs, nBefore,
                residentKiB());
    std::printf(nDoneRows > 0 ? " done_ms=%lld\n" : "\n", nDoneMs);
    plugin.onNotify({nullptr, 0, QStringLiteral("NotifyLoginOut"), QString()});
    return firstPaint.m_nMs < 0 ? 1 : 0;
}
