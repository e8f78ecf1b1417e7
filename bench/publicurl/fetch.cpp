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

#include <ctime>

// Runs public-URL jobs with the real runner and HTTP client, all in one request as the page sends
// them: one job, or with a count N, N jobs whose address and name have %1 replaced by 1 to N.
// Then prints one line:
//     status=<3 when every job ended well> seconds=<transfer time> cpu_seconds=<user + system time of the
//     job> idle_kib=<RSS before> peak_kib=<peak RSS> start_epoch=<wall clock when the jobs were sent>
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
    const int nJobs = listArgs.size() == 4 ? listArgs.at(3).toInt() : 1;
    if ((listArgs.size() != 3 && listArgs.size() != 4) || nJobs < 1) {
        QTextStream(stderr) << "usage: dc-publicurl-fetch <url> <file name> [<count>]\n";
        return 2;
    }
    QJsonArray arrJobs;
    QJsonArray arrIds;
    for (int i = 1; i <= nJobs; ++i) {
        const auto fill = [&](const QString& strText) { return nJobs == 1 ? strText : strText.arg(i); };
        arrIds.append(QStringLiteral("bench-%1").arg(i));
        arrJobs.append(QJsonObject{{QStringLiteral("taskId"), arrIds.last()},
                                   {QStringLiteral("url"), fill(listArgs.at(1))},
                                   {QStringLiteral("fileName"), fill(listArgs.at(2))}});
    }

    CDownloadByPublicUrl runner;
    QCoreApplication::processEvents();
    const qint64 nIdleKib = statusKib("VmRSS");

    int nStatus = 0;
    QTimer poll;
    // One job: often enough to stop the clock close to its end. Many: once a second as the page
    // does (the script times them by their files), asking only for the jobs not yet ended.
    poll.setInterval(nJobs == 1 ? 5 : 1000);
    QJsonArray arrPending = arrIds;
    bool bAllWell = true;
    QObject::connect(&runner, &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
                     [&](QString& strTasksStatus) {
                         const QJsonArray arrStatus = QJsonDocument::fromJson(strTasksStatus.toUtf8())
                                                          .object()
                                                          .value(QStringLiteral("params"))
                                                          .toObject()
                                                          .value(QStringLiteral("downloadTasksStatus"))
                                                          .toArray();
                         QJsonArray arrStill;
                         for (const QJsonValue& job : arrStatus) {
                             const int nJobStatus = job.toObject().value(QStringLiteral("status")).toInt();
                             if (nJobStatus == 0) {
                                 arrStill.append(job.toObject().value(QStringLiteral("taskId")));
                             }
                             bAllWell = bAllWell && (nJobStatus == 0 || nJobStatus == 3);
                         }
                         arrPending = arrStill;
                         if (arrPending.isEmpty()) {
                             nStatus = bAllWell ? 3 : 2;
                             QCoreApplication::quit();
                         }
                     });
    QObject::connect(&poll, &QTimer::timeout, [&] {
        runner.getDownloadTasksByPublicUrlStatus({{QStringLiteral("downloadTasks"), arrPending}});
    });

    // The wall clock too, to the nanosecond: compared with the files' modification times, it gives
    // the time to the last byte written, which the polls can only bound.
    timespec startEpoch{};
    clock_gettime(CLOCK_REALTIME, &startEpoch);
    QElapsedTimer timer;
    timer.start();
    const double fCpuStart = cpuSeconds();
    runner.addDownloadTasksByPublicUrl({{QStringLiteral("downloadTasks"), arrJobs}});
    poll.start();
    app.exec();
    const double fSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double fCpu = cpuSeconds() - fCpuStart;

    out << "status=" << nStatus << " seconds=" << QString::number(fSeconds, 'f', 4)
        << " cpu_seconds=" << QString::number(fCpu, 'f', 4) << " idle_kib=" << nIdleKib
        << " peak_kib=" << statusKib("VmHWM") << " start_epoch=" << startEpoch.tv_sec << '.'
        << QString::number(startEpoch.tv_nsec).rightJustified(9, QLatin1Char('0')) << "\n";
    return nStatus == 3 ? 0 : 1;
}
