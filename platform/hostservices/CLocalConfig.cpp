#include <hostservices/CLocalConfig.h>

#include <hostservices/ClientSettings.h>

namespace ConfigInfo {

CLocalConfig& CLocalConfig::instance()
{
    static CLocalConfig s_instance;
    return s_instance;
}

QString CLocalConfig::getWebUrl()
{
    QString strUrl =
        ClientSettings::value(QStringLiteral("Local/WebUrl"), QStringLiteral("http://127.0.0.1:18080"))
            .toString()
            .trimmed();
    // Callers append paths that start with a slash.
    while (strUrl.endsWith(QLatin1Char('/'))) {
        strUrl.chop(1);
    }
    return strUrl;
}

QString CLocalConfig::getSkinVersion()
{
    return ClientSettings::value(QStringLiteral("Local/SkinVersion"), QStringLiteral("Default"))
        .toString()
        .trimmed();
}

}  // namespace ConfigInfo
