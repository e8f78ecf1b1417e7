#pragma once

#include <QString>
#include <QtGlobal>

// The client settings the engine reads, afresh at each use so that a changed setting applies to
// the next transfer.
class CEngineSettings
{
public:
    static constexpr qint64 kDefaultRecordRate = 1024 * 1024;
    static constexpr double kDefaultStallSeconds = 30.0;

    // Folder of record and picture downloads ("Download/DownloadPath").
    static QString downloadFolder();
    // Bytes per second of a record download at speed 1x ("Download/RecordRate"); 2x and 4x
    // multiply it. Values that are not a positive number give the default.
    static qint64 recordBaseRate();
    // Milliseconds without a byte after which a transfer fails ("Network/StallTimeout", seconds).
    static int stallTimeoutMs();
};
