#include <CDownloadByPublicUrl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

// Runs one public-URL job with the real runner and HTTP client, then prints one line:
//     status=<job status> seconds=<transfer time> cpu_seconds=<user + system time of the job>
//     idle_kib=<RSS before> peak_kib=<peak RSS>
// The download folder comes from the client settings, as in the application.
namespace {

// User and system time of the whole process (every thread) so far, in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A field of /proc/self/status in KiB, 0 when unknown.
qint64 statusKib(const char* pField)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // Files under /proc announce no size, so the whole text is read before it is split.
    const QByteArray baPrefix = QByteArray(pField) + ':';
    const QList<QByteArray> listLines = file.readAll().split('\n');
    for (const QByteArray& baLine : listLines) {
        if (baLine.startsWith(baPrefix)) {
            return baLine.mid(baPrefix.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList listArgs = QCoreApplication::arguments();
    QTextStream out(stdout);
    if (listArgs.size() != 3) {
        QTextStream(stderr) << "usage: dc-publicurl-fetch <url> <file name>\n";
        return 2;
    }
    const QString strTaskId = QStringLiteral("bench");

    CDownloadByPublicUrl runner;
    QCoreApplication::processEvents();
    const qint64 nIdleKib = statusKib("VmRSS");

    int nStatus = 0;
    QTimer poll;
    // Often enough to stop the clock close to the end, rarely enough to cost nothing.
    poll.setInterval(5);
    QObject::connect(&runner, &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
                     [&](QString& strTasksStatus) {
                         const QJsonArray arrStatus = QJsonDocument::fromJson(strTasksStatus.toUtf8())
                                                          .object()
                                                          .value(QStringLiteral("params"))
                                                          .toObject()
                                                          .value(QStringLiteral("downloadTasksStatus"))
                                                          .toArray();
                         nStatus = arrStatus.first().toObject().value(QStringLiteral("status")).toInt();
                         if (nStatus != 0) {
                             QCoreApplication::quit();
                         }
                     });
    QObject::connect(&poll, &QTimer::timeout, [&] {
        runner.getDownloadTasksByPublicUrlStatus({{QStringLiteral("downloadTasks"), QJsonArray{strTaskId}}});
    });

    QElapsedTimer timer;
    timer.start();
    const double fCpuStart = cpuSeconds();
    runner.addDownloadTasksByPublicUrl(
        {{QStringLiteral("downloadTasks"),
          QJsonArray{QJsonObject{{QStringLiteral("taskId"), strTaskId},
                                 {QStringLiteral("url"), listArgs.at(1)},
                                 {QStringLiteral("fileName"), listArgs.at(2)}}}}});
    poll.start();
    app.exec();
    const double fSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double fCpu = cpuSeconds() - fCpuStart;

    out << "status=" << nStatus << " seconds=" << QString::number(fSeconds, 'f', 4)
        << " cpu_seconds=" << QString::number(fCpu, 'f', 4) << " idle_kib=" << nIdleKib << " peak_kib=" << statusKib("VmHWM") << "\n";
    return nStatus == 3 ? 0 : 1;
}
