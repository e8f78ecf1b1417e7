#include "CDemoTaskFactory.h"

#include <CDeviceRoute.h>
#include <CPicturePackageBody.h>
#include <CRecordingBody.h>

#include <algorithm>

namespace {

struct DemoDevice
{
    const char* pId;
    const char* pShop;
    QStringList listChannels;
};

const QList<DemoDevice>& demoDevices()
{
    static const QList<DemoDevice> s_listDevices = {
        {"NVR-7F3A21", "Harbour Street", {"Entrance", "Till", "Stockroom", "Car park"}},
        {"NVR-19C4E0", "Market Square", {"Front door", "Counter", "Back office"}},
        {"IPC-5520B8", "Riverside Kiosk", {"Kiosk"}},
    };
    return s_listDevices;
}

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
// Slow enough that a task of a few MB stays in progress for a while.
constexpr int kSlowRate = 64 * 1024;
constexpr int kDropPercent = 60;

quint32 seconds(const QDateTime& time)
{
    return static_cast<quint32>(std::clamp<qint64>(time.toSecsSinceEpoch(), 0, UINT32_MAX));
}

// Safe in a file name on any system: the engine cleans names too, but the demo's should not
// need it.
QString fileStem(const QString& strChannel, const QDateTime& begin, const QDateTime& end)
{
    QString strStem = strChannel + begin.toString(QStringLiteral("_yyyyMMdd_HHmmss")) +
                      end.toString(QStringLiteral("-HHmmss"));
    strStem.replace(QLatin1Char(' '), QLatin1Char('-'));
    return strStem;
}

}  // namespace

CDemoTaskFactory::CDemoTaskFactory(const QString& strBaseUrl) : m_strBaseUrl(strBaseUrl) {}

DownloadInfo CDemoTaskFactory::recordTask(const RecordRequest& request) const
{
    const quint32 nBegin = seconds(request.begin);
    const quint32 nEnd = seconds(request.end);
    QString strUrl =
        m_strBaseUrl + CDeviceRoute::recordPath(request.strDeviceId, request.nChannel, nBegin, nEnd);
    if (request.eLink == DeviceLink::DropsHalfWay) {
        const quint64 nFramed = CRecordingBody::framedSize(
            CRecordingBody::streamSizeFor(nEnd - nBegin, CDeviceRoute::kDefaultBitrate));
        strUrl += QStringLiteral("&dropAfter=%1").arg(nFramed * kDropPercent / 100);
    } else if (request.eLink == DeviceLink::Slow) {
        strUrl += QStringLiteral("&rate=%1").arg(kSlowRate);
    }

    const QString strChannel = channelName(request.strDeviceId, request.nChannel);
    DownloadInfo info;
    info.nDownloadMode = request.nDownloadMode;
    info.strChannelName = strChannel;
    info.strShopName = shopName(request.strDeviceId);
    info.strDeviceId = request.strDeviceId;
    info.strFileName = fileStem(strChannel, request.begin, request.end) + QStringLiteral(".mp4");
    info.strSourceUrl = strUrl;
    info.strChannelId = QString::number(request.nChannel);
    info.nSourceKind = request.nSourceKind;
    info.stRecordFile.strBeginTime = request.begin.toString(kTimeFormat).toStdString();
    info.stRecordFile.strEndTime = request.end.toString(kTimeFormat).toStdString();
    // What the device's record search reports: the size of the recording once unwrapped.
    info.stRecordFile.nFileSize = recordStreamBytes(request);
    return info;
}

DownloadPicInfo CDemoTaskFactory::pictureTask(const PictureRequest& request) const
{
    const quint32 nBegin = seconds(request.begin);
    const quint32 nEnd = seconds(request.end);
    const QString strChannel = channelName(request.strDeviceId, request.nChannel);
    DownloadPicInfo info;
    info.strDeviceId = request.strDeviceId;
    info.strChannelId = QString::number(request.nChannel);
    info.strBeginTime = request.begin.toString(kTimeFormat);
    info.strEndTime = request.end.toString(kTimeFormat);
    info.strFileName = fileStem(strChannel, request.begin, request.end) + QStringLiteral("_pictures.zip");
    info.strSourceUrl = m_strBaseUrl + CDeviceRoute::picturesPath(request.strDeviceId, request.nChannel,
                                                                  nBegin, nEnd, request.nPictureCount);
    info.nPictureCount = request.nPictureCount;
    info.strNotifyText = tr("%1 pictures of %2 are on their way to the download centre")
                             .arg(request.nPictureCount)
                             .arg(strChannel);
    return info;
}

QByteArray CDemoTaskFactory::recordSha256(const RecordRequest& request)
{
    return CRecordingBody(request.strDeviceId.toStdString(), request.nChannel, seconds(request.begin),
                          seconds(request.end), CDeviceRoute::kDefaultBitrate)
        .streamSha256();
}

QByteArray CDemoTaskFactory::pictureSha256(const PictureRequest& request)
{
    return CPicturePackageBody(request.strDeviceId.toStdString(), request.nChannel, seconds(request.begin),
                               seconds(request.end), request.nPictureCount,
                               CDeviceRoute::kDefaultPictureBytes)
        .sha256();
}

qint64 CDemoTaskFactory::recordStreamBytes(const RecordRequest& request)
{
    return static_cast<qint64>(CRecordingBody::streamSizeFor(seconds(request.end) - seconds(request.begin),
                                                             CDeviceRoute::kDefaultBitrate));
}

QStringList CDemoTaskFactory::deviceIds()
{
    QStringList listIds;
    for (const DemoDevice& device : demoDevices()) {
        listIds << QLatin1String(device.pId);
    }
    return listIds;
}

QString CDemoTaskFactory::shopName(const QString& strDeviceId)
{
    for (const DemoDevice& device : demoDevices()) {
        if (strDeviceId == QLatin1String(device.pId)) {
            return QString::fromUtf8(device.pShop);
        }
    }
    return strDeviceId;
}

QStringList CDemoTaskFactory::channelNames(const QString& strDeviceId)
{
    for (const DemoDevice& device : demoDevices()) {
        if (strDeviceId == QLatin1String(device.pId)) {
            return device.listChannels;
        }
    }
    return {};
}

QString CDemoTaskFactory::channelName(const QString& strDeviceId, int nChannel)
{
    const QStringList listNames = channelNames(strDeviceId);
    if (nChannel >= 1 && nChannel <= listNames.size()) {
        return listNames.at(nChannel - 1);
    }
    return tr("Channel %1").arg(nChannel);
}
