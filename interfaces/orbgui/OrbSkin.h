#pragma once

#include <QString>

namespace ORBGUI {

// Name of the current skin folder (./Skin/<name>/...), from the client settings.
QString GetSkinVersion();

}  // namespace ORBGUI
