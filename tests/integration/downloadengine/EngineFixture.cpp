#include "EngineFixture.h"

#include <CPicturePackageBody.h>
#include <CRecordingBody.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/ClientSettings.h>

namespace {

const quint32 kPictureSeconds = 60;

}  // namespace

EngineFixture::EngineFixture() : m_pDevices(std::make_shared<CSimDevices>())
{
    m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
    m_bValid = m_dir.isValid() && QDir().mkpath(downloadFolder()) && m_server.start() &&
               writeSettings(downloadFolder(), 4 * 1024 * 1024);
}

EngineFixture::~EngineFixture()
{
    resetEngines();
    m_server.stop();
}

QString EngineFixture::downloadPath(const QString& strName) const
{
    return downloadFolder() + QLatin1Char('/') + strName;
}

QString EngineFixture::url(const QString& strPathAndQuery) const
{
    return m_server.baseUrl() + strPathAndQuery;
}

bool EngineFixture::writeSettings(const QString& strFolder, qint64 nRecordRate)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Download/DownloadPath"), strFolder);
    settings.setValue(QStringLiteral("Download/RecordRate"), nRecordRate);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

DownloadInfo EngineFixture::recordTask(const QString& strDeviceId, int nChannel, quint32 nSeconds,
                                       quint64 nBitrate, const QString& strFileName, quint32 nOffset,
                                       const QString& strExtraQuery) const
{
    const quint32 nBegin = kBegin + nOffset;
    DownloadInfo info;
    info.strDeviceId = strDeviceId;
    info.strChannelName = QStringLiteral("Channel %1").arg(nChannel);
    info.strChannelId = QString::number(nChannel);
    info.strShopName = QStringLiteral("Shop");
    info.strFileName = strFileName;
    QString strPath = CDeviceRoute::recordPath(strDeviceId, nChannel, nBegin, nBegin + nSeconds, nBitrate);
    if (!strExtraQuery.isEmpty()) {
        strPath += QLatin1Char('&') + strExtraQuery;
    }
    info.strSourceUrl = url(strPath);
    info.stRecordFile.strBeginTime = QString::number(nBegin).toStdString();
    info.stRecordFile.strEndTime = QString::number(nBegin + nSeconds).toStdString();
    return info;
}

qint64 EngineFixture::framedSize(quint32 nSeconds, quint64 nBitrate)
{
    return static_cast<qint64>(CRecordingBody::framedSize(CRecordingBody::streamSizeFor(nSeconds, nBitrate)));
}

QByteArray EngineFixture::streamSha256(const QString& strDeviceId, int nChannel, quint32 nSeconds,
                                       quint64 nBitrate, quint32 nOffset)
{
    const quint32 nBegin = kBegin + nOffset;
    return CRecordingBody(strDeviceId.toStdString(), nChannel, nBegin, nBegin + nSeconds, nBitrate)
        .streamSha256();
}

DownloadPicInfo EngineFixture::pictureTask(const QString& strDeviceId, int nChannel, int nCount,
                                           quint32 nPictureBytes, const QString& strFileName,
                                           const QString& strExtraQuery) const
{
    DownloadPicInfo info;
    info.strDeviceId = strDeviceId;
    info.strChannelId = QString::number(nChannel);
    info.strBeginTime = QString::number(kBegin);
    info.strEndTime = QString::number(kBegin + kPictureSeconds);
    info.strFileName = strFileName;
    QString strPath = CDeviceRoute::picturesPath(strDeviceId, nChannel, kBegin, kBegin + kPictureSeconds,
                                                 nCount, nPictureBytes);
    if (!strExtraQuery.isEmpty()) {
        strPath += QLatin1Char('&') + strExtraQuery;
    }
    info.strSourceUrl = url(strPath);
    return info;
}

QByteArray EngineFixture::packageSha256(const QString& strDeviceId, int nChannel, int nCount,
                                        quint32 nPictureBytes)
{
    return CPicturePackageBody(strDeviceId.toStdString(), nChannel, kBegin, kBegin + kPictureSeconds, nCount,
                               nPictureBytes)
        .sha256();
}

qint64 EngineFixture::packageSize(const QString& strDeviceId, int nChannel, int nCount, quint32 nPictureBytes)
{
    return static_cast<qint64>(CPicturePackageBody(strDeviceId.toStdString(), nChannel, kBegin,
                                                   kBegin + kPictureSeconds, nCount, nPictureBytes)
                                   .size());
}

void EngineFixture::resetEngines()
{
    CRecordDownloadManager& record = CRecordDownloadManager::getInstance();
    const QList<int> listIndexes = record.getCurDownloadIndexs();
    for (const int nIndex : listIndexes) {
        record.stopDownload(nIndex, StopReason_Removed, true);
        record.deleteDownloadFile(nIndex);
        record.destoryDownloadObj(nIndex);
    }
    record.setMaxDownloadNum(5);
    CPicDownloadManager::getInstance().clearAllPicDownloadObj();
    m_pDevices->clearRequests();
    QDir(downloadFolder()).removeRecursively();
    QDir().mkpath(downloadFolder());
}

bool EngineFixture::waitForEnd(QSignalSpy& spy, int nIndex, bool* pSucceeded, int nTimeoutMs)
{
    const auto find = [&spy, nIndex, pSucceeded] {
        for (const QList<QVariant>& listArgs : spy) {
            if (listArgs.value(0).toInt() == nIndex) {
                if (pSucceeded != nullptr) {
                    *pSucceeded = listArgs.value(1).toBool();
                }
                return true;
            }
        }
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    while (!find()) {
        if (clock.elapsed() > nTimeoutMs) {
            return false;
        }
        spy.wait(qMax<qint64>(1, qMin<qint64>(1000, nTimeoutMs - clock.elapsed())));
    }
    return true;
}

DownloadInfo EngineFixture::endRecord(const QSignalSpy& spy, int nIndex)
{
    for (const QList<QVariant>& listArgs : spy) {
        if (listArgs.value(0).toInt() == nIndex) {
            return listArgs.value(2).value<DownloadInfo>();
        }
    }
    return DownloadInfo();
}

QStringList EngineFixture::rangesSeen(const QString& strDeviceId) const
{
    return m_pDevices->ranges(strDeviceId, QStringLiteral("record"));
}
