#include <hostservices/CConfig.h>

#include <hostservices/ClientSettings.h>
#include <ncl/NPrintLog.h>

#include <QDir>
#include <QFileInfo>
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
    // One file per profile, beside the client's log unless the profile names another place.
    const QString strLogFolder = QFileInfo(ncl::NPrintLog::instance()->logFilePath()).absolutePath();
    info.strHistoryFile =
        QDir::cleanPath(ClientSettings::value(QStringLiteral("Download/HistoryFile"),
                                              strLogFolder + QStringLiteral("/DownloadHistory.sqlite"))
                            .toString());
    return info;
}

}  // namespace ConfigInfo
