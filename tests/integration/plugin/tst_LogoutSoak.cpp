#include <CDeviceRoute.h>
#include <CGeneratedRoute.h>
#include <CSimDevices.h>
#include <CSimServer.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/ClientSettings.h>

#include <algorithm>
#include <memory>

#include "CDownloadCenterMgr.h"
#include "DownloadApp.h"
#include "DownloadingWidgetProbe.h"
#include "QDownloadCenter.h"

namespace {

const quint32 kBegin = 1700000000;
const quint64 kBitrate = 512000;
const int kTimeoutMs = 60000;

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    return statm.readAll().split(' ').value(1).toLongLong() * 4;
}

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Files in a folder that hold at least one byte.
int filesWithBytes(const QString& strFolder)
{
    const QFileInfoList listFiles = QDir(strFolder).entryInfoList(QDir::Files);
    return int(std::count_if(listFiles.begin(), listFiles.end(),
                             [](const QFileInfo& info) { return info.size() > 0; }));
}

}  // namespace

// Sessions as a user has them, one after the other in one process, with the real engine and the
// simulator's devices: the host logs in, five recordings, two picture packages and a page's file
// are on their way, and the host logs out mid-transfer. Every log-out must leave no window, no
// engine task and no file behind; under the sanitizer build, no error and no leak. Each cycle
// prints its log-out time and the resident memory after it ("cycle <n>: <ms> ms, <KiB> KiB"),
// which the benchmarks read from the Release build. DC_SOAK_CYCLES sets the count (100).
class tst_LogoutSoak : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::shared_ptr<CSimDevices> m_pDevices = std::make_shared<CSimDevices>();
    CSimServer m_server;

    QString recordUrl(const QString& strDevice, int nChannel) const
    {
        return m_server.url(CDeviceRoute::recordPath(strDevice, nChannel, kBegin, kBegin + 3600, kBitrate))
            .toString();
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_dir.isValid() && QDir().mkpath(m_dir.filePath("records")) &&
                QDir().mkpath(m_dir.filePath("files")) && m_server.start());
        QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
        settings.setValue("Download/DownloadPath", m_dir.filePath("records"));
        settings.setValue("Download/FileDownloadPath", m_dir.filePath("files"));
        settings.setValue("Download/RecordRate", 256 * 1024);
        // Nothing listens there: the page is not what this is about.
        settings.setValue("Local/WebUrl", "http://127.0.0.1:9");
        settings.sync();
        for (const char* szDevice : {"pics1", "pics2"}) {
            m_pDevices->setKnobs(szDevice, "rate=20000");
        }
    }

    void hundredSessions()
    {
        const int nCycles = qEnvironmentVariableIsSet("DC_SOAK_CYCLES")
                                ? qEnvironmentVariableIntValue("DC_SOAK_CYCLES")
                                : 100;
        QWidget host;
        host.resize(1000, 700);
        host.show();
        DownloadApp app;
        app.initPlugin(&host, nullptr, nullptr);
        for (int nCycle = 1; nCycle <= nCycles; ++nCycle) {
            app.onNotify({nullptr, 0, "NotifySwitchMoudle", json({{"menuPath", "/#/client/noPage"}})});
            QPointer<QDownloadCenter> pWindow = QDownloadCenter::current();
            QVERIFY(pWindow && pWindow->isVisible());
            CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
            for (int i = 1; i <= 5; ++i) {
                DownloadInfo task = probe::recordTask(QString("c%1-r%2.mp4").arg(nCycle).arg(i));
                task.strDeviceId = QString("cam%1").arg(i);
                task.strChannelId = "1";
                task.stRecordFile.nFileSize = 0;
                task.strSourceUrl = recordUrl(task.strDeviceId, 1);
                facade.addDownloadTask(task);
            }
            for (int i = 1; i <= 2; ++i) {
                DownloadPicInfo task = probe::picTask(QString("c%1-p%2.zip").arg(nCycle).arg(i));
                task.strDeviceId = QString("pics%1").arg(i);
                task.strChannelId = "1";
                task.strSourceUrl =
                    m_server.url(CDeviceRoute::picturesPath(task.strDeviceId, 1, kBegin, kBegin + 60))
                        .toString();
                facade.addPicDownloadTask(task);
            }
            const QJsonObject job{{"taskId", QString::number(nCycle)},
                                  {"url", m_server.url("/generated/100000000?rate=200000").toString()},
                                  {"fileName", QString("c%1.bin").arg(nCycle)}};
            app.onNotify(
                {nullptr, 0, "AddDownloadTasksByPublicUrl", json({{"downloadTasks", QJsonArray{job}}})});
            // Mid-transfer: five recordings and a picture package under way, and the page's file.
            QTRY_VERIFY_WITH_TIMEOUT(filesWithBytes(m_dir.filePath("records")) == 6 &&
                                         filesWithBytes(m_dir.filePath("files")) == 1,
                                     kTimeoutMs);

            QElapsedTimer timer;
            timer.start();
            app.onNotify({nullptr, 0, "NotifyLoginOut", QString()});
            const qint64 nLogoutMs = timer.elapsed();
            QVERIFY(!pWindow && !QDownloadCenter::current());
            QCOMPARE(CRecordDownloadManager::getInstance().getCurDownloadNumber(), 0);
            QCOMPARE(CPicDownloadManager::getInstance().getPicDownloadSize(), 0);
            // The recordings keep what they had, to be continued; the picture package and the
            // page's file leave nothing.
            QStringList listParts;
            for (int i = 1; i <= 5; ++i) {
                listParts << QString("c%1-r%2.mp4.part").arg(nCycle).arg(i);
            }
            QTRY_COMPARE_WITH_TIMEOUT(
                QDir(m_dir.filePath("records")).entryList(QDir::Files, QDir::Name).join(' '),
                listParts.join(' '), kTimeoutMs);
            QTRY_COMPARE_WITH_TIMEOUT(QDir(m_dir.filePath("files")).entryList(QDir::Files).join(' '),
                                      QString(), kTimeoutMs);
            for (const QString& strPart : listParts) {
                QVERIFY(QFile::remove(m_dir.filePath("records/" + strPart)));
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            qInfo("cycle %d: %lld ms, %lld KiB", nCycle, nLogoutMs, residentKiB());
        }
    }
};

// As a host does: the embedded browser shares GL contexts, said before the application exists.
int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tst_LogoutSoak test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LogoutSoak.moc"
