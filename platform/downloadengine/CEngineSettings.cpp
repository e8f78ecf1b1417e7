#include "CEngineSettings.h"

#include <hostservices/CConfig.h>
#include <hostservices/ClientSettings.h>

namespace {

const char* const kRecordRateKey = "Download/RecordRate";
const char* const kStallSecondsKey = "Network/StallTimeout";

}  // namespace

QString CEngineSettings::downloadFolder()
{
    return ConfigInfo::CConfig::instance().getDownloadConfig().strDownloadPath;
}

qint64 CEngineSettings::recordBaseRate()
{
    bool bOk = false;
    const qint64 nRate =
        ConfigInfo::ClientSettings::value(QString::fromLatin1(kRecordRateKey), kDefaultRecordRate)
            .toLongLong(&bOk);
    return bOk && nRate > 0 ? nRate : kDefaultRecordRate;
}

int CEngineSettings::stallTimeoutMs()
{
    bool bOk = false;
    const double fSeconds =
        ConfigInfo::ClientSettings::value(QString::fromLatin1(kStallSecondsKey), kDefaultStallSeconds)
            .toDouble(&bOk);
    if (!bOk || !(fSeconds > 0.0) || fSeconds > 24.0 * 3600.0) {
        return static_cast<int>(kDefaultStallSeconds * 1000);
    }
    return qMax(1, static_cast<int>(fSeconds * 1000));
}
