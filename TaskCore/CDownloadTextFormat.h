#pragma once

#include <QString>
#include <QtGlobal>

struct DownloadInfo;

// Text rules shared by the download lists (downloading, finished, the window's counters).
// Pure functions of their arguments and the default locale, whose way of writing numbers they
// follow ("1,5KB" in German): no translation happens here, callers pass translated words.
class CDownloadTextFormat
{
public:
    // Byte count as the lists show it: "512B", "1.5KB", "12.0MB", "1.000GB". No blank before the
    // unit; KB and MB with one decimal, GB with three; divisions in double precision.
    static QString sizeText(qint64 nBytes);

    // Transfer rate of a picture task: "1023B/s", "1.0KB/s", "1.0MB/s", "1.0GB/s" (one decimal
    // above bytes). Record rates are formatted by the engine, not here.
    static QString pictureSpeedText(qint64 nBytesPerSecond);

    // A word followed by a count, capped for narrow buttons and badges: "record 7", "record 99+"
    // from 100 on.
    // An end time on its begin's day as the time alone ("23:59:59"), since the row shows the date
    // already; any other end time as it stands.
    static QString endTimeText(const QString& strBegin, const QString& strEnd);
    static QString counterText(const QString& strWord, int nCount);

    // Whether a record task's size is shown as unknown rather than as a byte count: no size
    // reported, or source kind 2 in download mode 0, or source kind 23 in mode 0 or 2.
    static bool isRecordSizeUnknown(const DownloadInfo& info);

    // Counts of 100 and more show as "99+".
    static constexpr int kCounterCap = 99;
};
