#pragma once

#include "CSimDevices.h"
#include "CSimRoute.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// The device endpoints, GET and HEAD:
//   /device/<id>/channel/<n>/record?begin=<s>&end=<s>[&bitrate=<bit/s>][&corruptAt=<offset>]
//       the channel's recording from begin to end (seconds since 1970), framed as the device
//       sends it (CRecordingBody); corruptAt damages one byte of the framed body
//   /device/<id>/channel/<n>/pictures?begin=<s>&end=<s>[&count=<n>][&size=<bytes>]
//       the channel's pictures of that range as one ZIP archive (CPicturePackageBody)
// Any device id is known. The knobs of CSimKnobs apply, from the query or from the device's
// knobs in CSimDevices; every request is recorded there. Bad parameters answer 400.
class CDeviceRoute : public CSimRoute
{
public:
    static constexpr quint64 kDefaultBitrate = 512000;
    static constexpr quint64 kMinBitrate = 8000;
    static constexpr quint64 kMaxBitrate = 50000000;
    static constexpr quint32 kMaxSeconds = 7 * 24 * 3600;
    static constexpr int kDefaultPictureCount = 8;
    static constexpr int kMaxPictureCount = 500;
    static constexpr quint32 kDefaultPictureBytes = 32 * 1024;
    static constexpr quint32 kMaxPictureBytes = 4 * 1024 * 1024;

    explicit CDeviceRoute(std::shared_ptr<CSimDevices> pDevices = std::make_shared<CSimDevices>());

    std::shared_ptr<CSimDevices> devices() const { return m_pDevices; }

    void install(httplib::Server& server, const std::atomic_bool& bStopping) override;

    // Path and query of a recording; 0 leaves the default bitrate.
    static QString recordPath(const QString& strDeviceId, int nChannel, quint32 nBegin, quint32 nEnd,
                              quint64 nBitrate = 0);
    // Path and query of a picture package; 0 leaves the defaults.
    static QString picturesPath(const QString& strDeviceId, int nChannel, quint32 nBegin, quint32 nEnd,
                                int nCount = 0, quint32 nPictureBytes = 0);

private:
    std::shared_ptr<CSimDevices> m_pDevices;
};
