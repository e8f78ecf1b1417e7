#pragma once

#include <QString>

namespace ConfigInfo {

// Settings of this installation of the client: where its web client lives, its skin.
class CLocalConfig
{
public:
    static CLocalConfig& instance();

    // Base address of the platform's web client, without a trailing slash.
    QString getWebUrl();
    // Name of the skin folder under ./Skin.
    QString getSkinVersion();

private:
    CLocalConfig() = default;
};

}  // namespace ConfigInfo
