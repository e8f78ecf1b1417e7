#include <hostservices/CConfig.h>

#include <hostservices/ClientSettings.h>

#include <QDir>
#include <QStandardPaths>

namespace ConfigInfo {

CConfig& CConfig::instance()
{
    static CConfig s_instance;
    return s_instance;
}

DownloadConfigInfo CConfig::getDownloadConfig()
{
    const QString strBase =
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + QStringLiteral("/VideoClient");
    DownloadConfigInfo info;
    info.strDownloadPath = QDir::cleanPath(
        ClientSettings::value(QStringLiteral("Download/DownloadPath"), strBase + QStringLiteral("/Record"))
            .toString());
    info.strFileDownloadPath = QDir::cleanPath(
        ClientSettings::value(QStringLiteral("Download/FileDownloadPath"), strBase + QStringLiteral("/File"))
            .toString());
    return info;
}

}  // namespace ConfigInfo
