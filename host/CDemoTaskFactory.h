#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <downloadengine/DownloadInfo.h>

// Record and picture tasks as the client's other modules make them, addressed to the device
// endpoints of the simulator, and what each finished task must leave on disk. Also the demo's
// small catalogue of devices, so that names in the lists read like a real installation.
class CDemoTaskFactory
{
    Q_DECLARE_TR_FUNCTIONS(CDemoTaskFactory)

public:
    // How the device's connection behaves for one task.
    enum class DeviceLink
    {
        Normal,
        DropsHalfWay,  // the transfer breaks after 60% of the body; a continue completes it
        Slow,          // 64 KiB/s from the device, whatever the engine's speed factor
    };

    struct RecordRequest
    {
        QString strDeviceId;
        int nChannel = 1;
        QDateTime begin;
        QDateTime end;
        int nSourceKind = 0;
        int nDownloadMode = 0;
        DeviceLink eLink = DeviceLink::Normal;
    };

    struct PictureRequest
    {
        QString strDeviceId;
        int nChannel = 1;
        QDateTime begin;
        QDateTime end;
        int nPictureCount = 8;
    };

    explicit CDemoTaskFactory(const QString& strBaseUrl);

    DownloadInfo recordTask(const RecordRequest& request) const;
    DownloadPicInfo pictureTask(const PictureRequest& request) const;

    // Hex SHA-256 of the decoded recording, and of the picture package, as the simulator
    // generates them.
    static QByteArray recordSha256(const RecordRequest& request);
    static QByteArray pictureSha256(const PictureRequest& request);
    // Bytes of the recording once decoded.
    static qint64 recordStreamBytes(const RecordRequest& request);

    static QStringList deviceIds();
    static QString shopName(const QString& strDeviceId);
    static QStringList channelNames(const QString& strDeviceId);
    // The channel's name, or "Channel <n>" for a channel the catalogue does not know.
    static QString channelName(const QString& strDeviceId, int nChannel);

private:
    QString m_strBaseUrl;
};
