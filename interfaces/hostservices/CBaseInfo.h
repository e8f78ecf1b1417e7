#pragma once

#include <QString>

namespace ConfigInfo {

// Facts about the client product and its behaviour switches.
class CBaseInfo
{
public:
    static CBaseInfo& instance();

    QString getProductName();
    bool getOpenOSD();

private:
    CBaseInfo() = default;
};

}  // namespace ConfigInfo
