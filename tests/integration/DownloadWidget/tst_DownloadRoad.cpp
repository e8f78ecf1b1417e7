#include <CDeviceRoute.h>
#include <CGeneratedRoute.h>
#include <CRecordingBody.h>
#include <CSimDevices.h>
#include <CSimServer.h>
#include <FileSha256.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/ClientSettings.h>

#include <memory>

#include "CDownloadCenterMgr.h"
#include "DownloadApp.h"
#include "DownloadingWidgetProbe.h"
#include "LogCapture.h"
#include "QDownloadCenter.h"

namespace {

const quint32 kBegin = 1700000000;
const quint64 kBitrate = 512000;
const int kTimeoutMs = 60000;
// Bytes per second of a record download at 1x: half a megabyte of recording takes half a second.
const qint64 kRecordRate = 1024 * 1024;

QByteArray recordSha256(const QString& strDevice, int nChannel, quint32 nSeconds)
{
    return CRecordingBody(strDevice.toStdString(), nChannel, kBegin, kBegin + nSeconds, kBitrate)
        .streamSha256();
}

[[maybe_unused]] qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4 : -1;
}

// Files in a folder, of names that match, that hold at least one byte.
int filesWithBytes(const QString& strFolder, const QString& strNames)
{
    const QFileInfoList listFiles = QDir(strFolder).entryInfoList({strNames}, QDir::Files);
    return int(std::count_if(listFiles.begin(), listFiles.end(),
                             [](const QFileInfo& file) { return file.size() > 0; }));
}

}  // namespace

// The window with the real engine, against the simulator's devices over HTTP on loopback, through
// what only whole processes and long runs show: a kill in mid-transfer, and a hundred sessions.
// The lists' everyday road (queue, failures, device deletion, Done) is the demo tour's.
class tst_DownloadRoad : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
    std::shared_ptr<CSimDevices> m_pDevices;
    std::unique_ptr<CSimServer> m_pServer;

    QString folder() const { return m_pDir->filePath("downloads"); }
    QString path(const QString& strName) const { return folder() + '/' + strName; }

    QString files() const { return m_pDir->filePath("files"); }
    QString history() const { return m_pDir->filePath("history.sqlite"); }
    // An address of the simulator: this process's own, or the one DC_SIMULATOR_URL names (the
    // benchmark runs it apart, so that only the module's memory is measured).
    QString simulated(const QString& strPathAndQuery) const
    {
        const QString strBase = qEnvironmentVariable("DC_SIMULATOR_URL");
        return strBase.isEmpty() ? m_pServer->url(strPathAndQuery).toString() : strBase + strPathAndQuery;
    }

    void addRecord(const QString& strDevice, int nChannel, quint32 nSeconds, const QString& strName)
    {
        DownloadInfo task = probe::recordTask(strName);
        task.strDeviceId = strDevice;
        task.stRecordFile.nFileSize = 0;
        task.strChannelId = QString::number(nChannel);
        task.strSourceUrl =
            simulated(CDeviceRoute::recordPath(strDevice, nChannel, kBegin, kBegin + nSeconds, kBitrate));
        CDownloadCenterMgr::instance().addDownloadTask(task);
    }

    void addPicture(const QString& strDevice, int nChannel, const QString& strName,
                    const QString& strKnobs = {})
    {
        DownloadPicInfo task = probe::picTask(strName);
        task.strDeviceId = strDevice;
        task.strChannelId = QString::number(nChannel);
        task.strSourceUrl =
            simulated(CDeviceRoute::picturesPath(strDevice, nChannel, kBegin, kBegin + 60) + strKnobs);
        CDownloadCenterMgr::instance().addPicDownloadTask(task);
    }

private slots:
    void init()
    {
        m_pDir = std::make_unique<QTemporaryDir>();
        m_pDevices = std::make_shared<CSimDevices>();
        m_pServer = std::make_unique<CSimServer>();
        m_pServer->addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
        m_pServer->addRoute(std::make_unique<CGeneratedRoute>());
        QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
        settings.setValue("Download/DownloadPath", folder());
        settings.setValue("Download/FileDownloadPath", files());
        settings.setValue("Download/RecordRate", kRecordRate);
        // Nothing listens there: the page is not what these tests are about.
        settings.setValue("Local/WebUrl", "http://127.0.0.1:9");
        settings.setValue("Download/HistoryFile", history());
        settings.sync();
        QVERIFY(m_pDir->isValid() && QDir().mkpath(folder()) && QDir().mkpath(files()) && m_pServer->start());
        QVERIFY(QDownloadCenter::instance());
    }

    void cleanup()
    {
        // The window's lists dispose of their engine tasks as they go.
        CDownloadCenterMgr::destroyInstance();
        m_pServer.reset();
        m_pDir.reset();
    }

    // The client killed while five recordings run, then started again on the same profile: every
    // stored task comes back, continues where its file stopped and ends byte-exact in "Done".
    void killedAndStartedAgain()
    {
        for (int i = 1; i <= 5; ++i) {
            m_pDevices->setKnobs(QString("cam%1").arg(i), "rate=100000");
        }
        // The profile is the client's alone.
        QDownloadCenter::destroyInstance();
        QProcess client;
        client.setProgram(QCoreApplication::applicationFilePath());
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DC_SMALL_HOST", m_pServer->url("").toString());
        client.setProcessEnvironment(env);
        client.start();
        QTRY_VERIFY_WITH_TIMEOUT(filesWithBytes(folder(), "*.mp4.part") == 5, kTimeoutMs);
        client.kill();
        QVERIFY(client.waitForFinished(kTimeoutMs));
        QMap<QString, qint64> mapKept;
        for (int i = 1; i <= 5; ++i) {
            mapKept[QString("cam%1").arg(i)] = QFileInfo(path(QString("cam%1.mp4.part").arg(i))).size();
            m_pDevices->setKnobs(QString("cam%1").arg(i), QString());
        }

        // Started again, here: a lock left by the dead client does not keep the lists read-only.
        LogCapture log;
        QDownloadCenter* pWindow = QDownloadCenter::instance();
        QTRY_COMPARE_WITH_TIMEOUT(probe::doneModel(*pWindow)->rowCount(), 5, kTimeoutMs);
        QVERIFY(!log.contains(6, "read-only"));
        for (auto it = mapKept.cbegin(); it != mapKept.cend(); ++it) {
            QCOMPARE(fileSha256(path(it.key() + ".mp4")), recordSha256(it.key(), 1, 24));
            // Continued from at least what was on disk at the kill (the file may have grown since).
            const QStringList listRanges = m_pDevices->ranges(it.key(), "record").filter("bytes=");
            QVERIFY2(
                listRanges.size() == 1 && listRanges.first().mid(6).chopped(1).toLongLong() >= it.value(),
                qPrintable(listRanges.join(' ')));
        }
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), 5);
    }

    // Sessions one after the other in one process, as the host has them: log-in, five
    // recordings, two picture packages and a page's file under way, log-out mid-transfer. Every
    // log-out leaves no window, no engine task and no file but the recordings' partial ones;
    // under the sanitizer build, no error and no leak. Time and memory are not checked here, as no
    // bound on them holds on a loaded machine: they are the figures logout-ms and
    // logout-cycles-rss-growth of bench/logout, whose Release build of this test prints them per
    // session ("session <n>: <ms> ms, <KiB> KiB"). DC_SESSIONS sets the count (100).
    void hundredSessions()
    {
        const int nSessions =
            qEnvironmentVariableIsSet("DC_SESSIONS") ? qEnvironmentVariableIntValue("DC_SESSIONS") : 100;
        QWidget host;
        host.resize(1000, 700);
        host.show();
        DownloadApp app;
        app.initPlugin(&host, nullptr, nullptr);
        for (int nSession = 1; nSession <= nSessions; ++nSession) {
            app.onNotify({nullptr, 0, "NotifySwitchMoudle", "{\"menuPath\":\"/#/client/noPage\"}"});
            QPointer<QDownloadCenter> pWindow = QDownloadCenter::current();
            QVERIFY(pWindow && pWindow->isVisible());
            QStringList listParts;
            for (int i = 1; i <= 5; ++i) {
                listParts << QString("s%1-r%2.mp4.part").arg(nSession).arg(i);
                addRecord(QString("cam%1").arg(i), 1, 3600, listParts.last().chopped(5));
                listParts << listParts.last() + ".source";
            }
            // Slow enough that no package can finish within a session, however loaded the machine.
            addPicture("pics1", 1, QString("s%1-p1.zip").arg(nSession), "&rate=2000");
            addPicture("pics2", 1, QString("s%1-p2.zip").arg(nSession), "&rate=2000");
            const QJsonObject job{{"taskId", QString::number(nSession)},
                                  {"url", simulated("/generated/100000000?rate=200000")},
                                  {"fileName", QString("s%1.bin").arg(nSession)}};
            app.onNotify({nullptr, 0, "AddDownloadTasksByPublicUrl",
                          QJsonDocument(QJsonObject{{"downloadTasks", QJsonArray{job}}}).toJson()});
            // Under way: the recordings and the page's file have bytes on disk, the first package
            // its partial file.
            QTRY_VERIFY_WITH_TIMEOUT(filesWithBytes(folder(), "*.mp4.part") == 5 &&
                                         filesWithBytes(files(), "*") == 1 &&
                                         QFileInfo::exists(path(QString("s%1-p1.zip.part").arg(nSession))),
                                     kTimeoutMs);

            QElapsedTimer timer;
            timer.start();
            app.onNotify({nullptr, 0, "NotifyLoginOut", QString()});
            [[maybe_unused]] const qint64 nLogoutMs = timer.elapsed();
            QVERIFY(!pWindow && !QDownloadCenter::current());
            QCOMPARE(CRecordDownloadManager::getInstance().getCurDownloadNumber(), 0);
            QCOMPARE(CPicDownloadManager::getInstance().getPicDownloadSize(), 0);
            // The recordings keep what they had, to be continued; the packages and the page's
            // file leave nothing.
            QTRY_COMPARE_WITH_TIMEOUT(QDir(files()).entryList(QDir::Files), QStringList(), kTimeoutMs);
            listParts.sort();
            QTRY_COMPARE_WITH_TIMEOUT(QDir(folder()).entryList(QDir::Files, QDir::Name), listParts,
                                      kTimeoutMs);
            // The next session starts afresh: without the stored tasks and their files.
            for (const QString& strPart : listParts) {
                QVERIFY(QFile::remove(path(strPart)));
            }
            QVERIFY(QFile::remove(history()));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
#ifdef DC_LOGOUT_FIGURES
            qInfo("session %d: %lld ms, %lld KiB", nSession, nLogoutMs, residentKiB());
#endif
        }
    }
};

// The client killedAndStartedAgain kills: a window on the test's profile that adds five recordings
// of the simulator at DC_SMALL_HOST and runs until killed.
static int runSmallHost(const QString& strSimulator)
{
    QWidget host;
    QDownloadCenter::instance()->initWidget(&host);
    for (int i = 1; i <= 5; ++i) {
        DownloadInfo task = probe::recordTask(QString("cam%1.mp4").arg(i));
        task.stRecordFile.nFileSize = 0;
        task.strSourceUrl = strSimulator + CDeviceRoute::recordPath(QString("cam%1").arg(i), 1, kBegin,
                                                                    kBegin + 24, kBitrate);
        CDownloadCenterMgr::instance().addDownloadTask(task);
    }
    return QCoreApplication::exec();
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("DC_SMALL_HOST")) {
        return runSmallHost(qEnvironmentVariable("DC_SMALL_HOST"));
    }
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_DownloadRoad test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_DownloadRoad.moc"
