#include <orbgui/OrbSkin.h>

#include <hostservices/CLocalConfig.h>

namespace ORBGUI {

QString GetSkinVersion()
{
    return ConfigInfo::CLocalConfig::instance().getSkinVersion();
}

}  // namespace ORBGUI
