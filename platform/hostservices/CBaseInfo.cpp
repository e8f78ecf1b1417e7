#include <hostservices/CBaseInfo.h>

#include <hostservices/ClientSettings.h>

namespace ConfigInfo {

CBaseInfo& CBaseInfo::instance()
{
    static CBaseInfo s_instance;
    return s_instance;
}

QString CBaseInfo::getProductName()
{
    return ClientSettings::value(QStringLiteral("Base/ProductName"), QStringLiteral("Shop")).toString();
}

bool CBaseInfo::getOpenOSD()
{
    return ClientSettings::value(QStringLiteral("Base/OpenOSD"), false).toBool();
}

}  // namespace ConfigInfo
