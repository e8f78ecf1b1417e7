#pragma once

#include <CDeviceRoute.h>
#include <CSimDevices.h>
#include <CSimServer.h>
#include <FileSha256.h>

#include <QByteArray>
#include <QList>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include <downloadengine/DownloadInfo.h>

// What the engine tests share: the simulator with its device endpoints on loopback, a temporary
// download folder named in the client settings, task records pointing at the simulator, and the
// engine singletons emptied between tests.
class EngineFixture
{
public:
    // Seconds since 1970 where the tests' recordings begin.
    static constexpr quint32 kBegin = 1700000000;
    // Generous: a loaded machine may be slow, the tests never depend on its speed.
    static constexpr int kTimeoutMs = 60000;

    EngineFixture();
    ~EngineFixture();

    bool isValid() const { return m_bValid; }

    QString downloadFolder() const { return m_dir.filePath(QStringLiteral("downloads")); }
    QString downloadPath(const QString& strName) const;
    QString url(const QString& strPathAndQuery) const;
    CSimDevices& devices() const { return *m_pDevices; }

    // Writes the settings the engine reads: the download folder and the record rate at 1x.
    static bool writeSettings(const QString& strFolder, qint64 nRecordRate);
    bool setRecordRate(qint64 nRecordRate) { return writeSettings(downloadFolder(), nRecordRate); }

    // A record task for nSeconds of the device's channel from kBegin + nOffset, fetched from the
    // simulator; strExtraQuery is appended to its address ("dropAfter=1000").
    DownloadInfo recordTask(const QString& strDeviceId, int nChannel, quint32 nSeconds, quint64 nBitrate,
                            const QString& strFileName, quint32 nOffset = 0,
                            const QString& strExtraQuery = QString()) const;
    // What the simulator sends for that task, and what the decoded file must hash to.
    static qint64 framedSize(quint32 nSeconds, quint64 nBitrate);
    static QByteArray streamSha256(const QString& strDeviceId, int nChannel, quint32 nSeconds,
                                   quint64 nBitrate, quint32 nOffset = 0);

    DownloadPicInfo pictureTask(const QString& strDeviceId, int nChannel, int nCount, quint32 nPictureBytes,
                                const QString& strFileName, const QString& strExtraQuery = QString()) const;
    static QByteArray packageSha256(const QString& strDeviceId, int nChannel, int nCount,
                                    quint32 nPictureBytes);
    static qint64 packageSize(const QString& strDeviceId, int nChannel, int nCount, quint32 nPictureBytes);

    // Stops and forgets every task of both engines, removes their files, empties the folder.
    void resetEngines();

    // Waits for the record engine's end signal for nIndex in spy (a sgnDownloadStateNotify spy);
    // its success flag, or false when none came in time.
    static bool waitForEnd(QSignalSpy& spy, int nIndex, bool* pSucceeded = nullptr,
                           int nTimeoutMs = kTimeoutMs);
    // The record of that end signal.
    static DownloadInfo endRecord(const QSignalSpy& spy, int nIndex);

    // The Range headers the simulator saw for strDeviceId's recordings, in order; "" for none.
    QStringList rangesSeen(const QString& strDeviceId) const;

private:
    QTemporaryDir m_dir;
    std::shared_ptr<CSimDevices> m_pDevices;
    CSimServer m_server;
    bool m_bValid = false;
};
