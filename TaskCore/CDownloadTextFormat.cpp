#include "CDownloadTextFormat.h"

#include <QLocale>

#include <downloadengine/DownloadInfo.h>

namespace {

const qint64 kKiB = 1024;
const qint64 kMiB = 1024 * kKiB;
const qint64 kGiB = 1024 * kMiB;

// The language the module's texts are shown in (the window picks its translation by the same
// default locale); no group separators, so that "1023B" stays as short as the cells are.
QLocale numberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

}  // namespace

QString CDownloadTextFormat::sizeText(qint64 nBytes)
{
    const QLocale locale = numberLocale();
    const double dBytes = static_cast<double>(nBytes);
    if (nBytes < kKiB) {
        return locale.toString(nBytes) + QStringLiteral("B");
    }
    if (nBytes < kMiB) {
        return locale.toString(dBytes / 1024, 'f', 1) + QStringLiteral("KB");
    }
    if (nBytes >= kGiB) {
        return locale.toString(dBytes / 1024 / 1024 / 1024, 'f', 3) + QStringLiteral("GB");
    }
    return locale.toString(dBytes / 1024 / 1024, 'f', 1) + QStringLiteral("MB");
}

QString CDownloadTextFormat::pictureSpeedText(qint64 nBytesPerSecond)
{
    const QLocale locale = numberLocale();
    const double dBytes = static_cast<double>(nBytesPerSecond);
    if (nBytesPerSecond < kKiB) {
        return locale.toString(nBytesPerSecond) + QStringLiteral("B/s");
    }
    if (nBytesPerSecond < kMiB) {
        return locale.toString(dBytes / kKiB, 'f', 1) + QStringLiteral("KB/s");
    }
    if (nBytesPerSecond < kGiB) {
        return locale.toString(dBytes / kMiB, 'f', 1) + QStringLiteral("MB/s");
    }
    return locale.toString(dBytes / kGiB, 'f', 1) + QStringLiteral("GB/s");
}

QString CDownloadTextFormat::endTimeText(const QString& strBegin, const QString& strEnd)
{
    // "yyyy-MM-dd hh:mm:ss": the date is what comes before the blank.
    const int nDateEnd = strBegin.indexOf(QLatin1Char(' '));
    return nDateEnd > 0 && strEnd.size() > nDateEnd + 1 &&
                   strEnd.startsWith(QStringView(strBegin).left(nDateEnd + 1))
               ? strEnd.mid(nDateEnd + 1)
               : strEnd;
}

QString CDownloadTextFormat::counterText(const QString& strWord, int nCount)
{
    if (nCount > kCounterCap) {
        return strWord + QStringLiteral(" 99+");
    }
    return strWord + QStringLiteral(" %1").arg(nCount);
}

bool CDownloadTextFormat::isRecordSizeUnknown(const DownloadInfo& info)
{
    if (info.stRecordFile.nFileSize == 0) {
        return true;
    }
    switch (info.nSourceKind) {
        case 2:
            return info.nDownloadMode == 0;
        case 23:
            return info.nDownloadMode == 0 || info.nDownloadMode == 2;
        default:
            return false;
    }
}
