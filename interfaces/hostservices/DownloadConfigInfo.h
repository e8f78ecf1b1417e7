#pragma once

#include <QString>

namespace ConfigInfo {

// Download settings of the client.
struct DownloadConfigInfo
{
    QString strFileDownloadPath;  // receives files fetched by public URL
    QString strDownloadPath;      // receives record and picture downloads
    QString strHistoryFile;       // the download lists kept across restarts (an SQLite file)
};

}  // namespace ConfigInfo
