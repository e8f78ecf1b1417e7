#pragma once

#include "DownloadConfigInfo.h"

namespace ConfigInfo {

// The user's client settings.
class CConfig
{
public:
    static CConfig& instance();

    // Read afresh on every call, so a changed setting applies at once.
    DownloadConfigInfo getDownloadConfig();

private:
    CConfig() = default;
};

}  // namespace ConfigInfo
