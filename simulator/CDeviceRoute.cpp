#include "CDeviceRoute.h"

#include "CPicturePackageBody.h"
#include "CRecordingBody.h"
#include "CSimKnobs.h"
#include "CSimStreamer.h"

#include <httplib.h>

#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

// A parameter as a whole decimal number within [nMin, nMax]; false when it is there but is
// not one. A missing parameter leaves nValue as it is.
bool parameter(const httplib::Request& request, const char* pKey, std::uint64_t nMin, std::uint64_t nMax,
               std::uint64_t& nValue)
{
    if (!request.has_param(pKey)) {
        return true;
    }
    const std::string strValue = request.get_param_value(pKey);
    if (strValue.empty() || strValue.size() > 19 ||
        !std::all_of(strValue.begin(), strValue.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const std::uint64_t nParsed = std::stoull(strValue);
    if (nParsed < nMin || nParsed > nMax) {
        return false;
    }
    nValue = nParsed;
    return true;
}

void refuse(httplib::Response& response, const std::string& strWhy)
{
    response.status = 400;
    response.set_content(strWhy + "\n", "text/plain");
}

// The request's knobs, completed by the device's own: the request's query wins.
CSimKnobs knobsFor(const httplib::Request& request, const QString& strDeviceKnobs,
                   httplib::Request& knobRequest)
{
    knobRequest.path = request.path;
    knobRequest.params = request.params;
    const QList<QPair<QString, QString>> listItems = QUrlQuery(strDeviceKnobs).queryItems(QUrl::FullyDecoded);
    for (const QPair<QString, QString>& item : listItems) {
        const std::string strKey = item.first.toStdString();
        if (!request.has_param(strKey.c_str())) {
            knobRequest.params.emplace(strKey, item.second.toStdString());
        }
    }
    return CSimKnobs::fromRequest(knobRequest);
}

QString rangeQuery(quint32 nBegin, quint32 nEnd)
{
    return QStringLiteral("begin=%1&end=%2").arg(nBegin).arg(nEnd);
}

QString devicePath(const QString& strDeviceId, int nChannel, const char* pKind)
{
    return QStringLiteral("/device/%1/channel/%2/%3")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(strDeviceId)))
        .arg(nChannel)
        .arg(QLatin1String(pKind));
}

}  // namespace

CDeviceRoute::CDeviceRoute(std::shared_ptr<CSimDevices> pDevices)
    : m_pDevices(pDevices ? std::move(pDevices) : std::make_shared<CSimDevices>())
{
}

void CDeviceRoute::install(httplib::Server& server, const std::atomic_bool& bStopping)
{
    const std::shared_ptr<CSimDevices> pDevices = m_pDevices;
    const std::atomic_bool* pStopping = &bStopping;
    server.Get(
        R"(/device/([^/]+)/channel/(\d{1,9})/(record|pictures))",
        [pDevices, pStopping](const httplib::Request& request, httplib::Response& response) {
            CSimDevices::Request seen;
            seen.strMethod = QString::fromStdString(request.method);
            seen.strDeviceId = QString::fromStdString(request.matches[1].str());
            seen.nChannel = std::stoi(request.matches[2].str());
            seen.strKind = QString::fromStdString(request.matches[3].str());
            seen.strRange = QString::fromStdString(request.get_header_value("Range"));
            pDevices->record(seen);

            httplib::Request knobRequest;
            const CSimKnobs knobs = knobsFor(request, pDevices->knobs(seen.strDeviceId), knobRequest);
            if (knobs.answerEarly(knobRequest, response)) {
                return;
            }

            std::uint64_t nBegin = 0;
            std::uint64_t nEnd = 0;
            if (!request.has_param("begin") || !request.has_param("end") ||
                !parameter(request, "begin", 0, UINT32_MAX, nBegin) ||
                !parameter(request, "end", 0, UINT32_MAX, nEnd) || nEnd <= nBegin ||
                nEnd - nBegin > kMaxSeconds) {
                refuse(response, "begin and end must be seconds since 1970, begin before end");
                return;
            }
            const std::string strDeviceId = seen.strDeviceId.toStdString();
            const auto nBeginTime = static_cast<std::uint32_t>(nBegin);
            const auto nEndTime = static_cast<std::uint32_t>(nEnd);

            if (seen.strKind == QLatin1String("record")) {
                std::uint64_t nBitrate = kDefaultBitrate;
                std::uint64_t nCorruptAt = 0;
                // Damage is a knob like the others: it may be set for the device.
                const bool bCorrupt = knobRequest.has_param("corruptAt");
                if (!parameter(request, "bitrate", kMinBitrate, kMaxBitrate, nBitrate) ||
                    !parameter(knobRequest, "corruptAt", 0, INT64_MAX, nCorruptAt)) {
                    refuse(response, "bad bitrate or corruptAt");
                    return;
                }
                auto pBody = std::make_shared<CRecordingBody>(strDeviceId, seen.nChannel, nBeginTime,
                                                              nEndTime, nBitrate);
                if (bCorrupt) {
                    pBody->setCorruptAt(static_cast<std::int64_t>(nCorruptAt));
                }
                CSimStreamer::serve(request, response, pBody, knobs, "application/octet-stream", *pStopping);
                return;
            }

            std::uint64_t nCount = kDefaultPictureCount;
            std::uint64_t nPictureBytes = kDefaultPictureBytes;
            if (!parameter(request, "count", 1, kMaxPictureCount, nCount) ||
                !parameter(request, "size", 1, kMaxPictureBytes, nPictureBytes)) {
                refuse(response, "bad count or size");
                return;
            }
            auto pBody = std::make_shared<CPicturePackageBody>(strDeviceId, seen.nChannel, nBeginTime,
                                                               nEndTime, static_cast<int>(nCount),
                                                               static_cast<std::uint32_t>(nPictureBytes));
            CSimStreamer::serve(request, response, pBody, knobs, "application/zip", *pStopping);
        });
}

QString CDeviceRoute::recordPath(const QString& strDeviceId, int nChannel, quint32 nBegin, quint32 nEnd,
                                 quint64 nBitrate)
{
    QString strPath =
        devicePath(strDeviceId, nChannel, "record") + QLatin1Char('?') + rangeQuery(nBegin, nEnd);
    if (nBitrate != 0) {
        strPath += QStringLiteral("&bitrate=%1").arg(nBitrate);
    }
    return strPath;
}

QString CDeviceRoute::picturesPath(const QString& strDeviceId, int nChannel, quint32 nBegin, quint32 nEnd,
                                   int nCount, quint32 nPictureBytes)
{
    QString strPath =
        devicePath(strDeviceId, nChannel, "pictures") + QLatin1Char('?') + rangeQuery(nBegin, nEnd);
    if (nCount != 0) {
        strPath += QStringLiteral("&count=%1").arg(nCount);
    }
    if (nPictureBytes != 0) {
        strPath += QStringLiteral("&size=%1").arg(nPictureBytes);
    }
    return strPath;
}
