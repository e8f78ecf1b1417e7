#include "CSafeFileName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int kMaxTries = 10000;
constexpr int kMaxExtensionChars = 16;

bool isRefused(QChar c)
{
    static const QString strRefused = QStringLiteral("/\\:*?\"<>|");
    return strRefused.contains(c);
}

// Cuts strName to kMaxNameBytes of UTF-8 without splitting a character, keeping the extension
// when it is short.
QString cutToLimit(const QString& strName)
{
    if (strName.toUtf8().size() <= CSafeFileName::kMaxNameBytes) {
        return strName;
    }
    const int nDot = strName.lastIndexOf(QLatin1Char('.'));
    const QString strExtension =
        nDot > 0 && strName.size() - nDot <= kMaxExtensionChars ? strName.mid(nDot) : QString();
    QString strBase = strName.left(strName.size() - strExtension.size());
    const int nBudget = CSafeFileName::kMaxNameBytes - strExtension.toUtf8().size();
    while (!strBase.isEmpty() && strBase.toUtf8().size() > nBudget) {
        strBase.chop(strBase.at(strBase.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return strBase + strExtension;
}

}  // namespace

QString CSafeFileName::sanitize(const QString& strName, const QString& strFallback)
{
    QString strSafe;
    strSafe.reserve(strName.size());
    for (const QChar c : strName) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            continue;
        }
        strSafe.append(isRefused(c) ? QLatin1Char('_') : c);
    }
    static const QRegularExpression reDots(QStringLiteral("\\.{2,}"));
    strSafe.replace(reDots, QStringLiteral("."));
    strSafe = strSafe.trimmed();
    while (strSafe.startsWith(QLatin1Char('.'))) {
        strSafe.remove(0, 1);
    }
    // Some systems drop trailing dots and blanks themselves, so two names could meet.
    while (strSafe.endsWith(QLatin1Char('.')) || strSafe.endsWith(QLatin1Char(' '))) {
        strSafe.chop(1);
    }
    strSafe = cutToLimit(strSafe).trimmed();
    return strSafe.isEmpty() ? strFallback : strSafe;
}

QString CSafeFileName::freeName(const QString& strFolder, const QString& strName,
                                const QSet<QString>& setTaken, const QStringList& listSuffixes)
{
    // Only a single name is placed; anything else would reach into other folders.
    if (strName.isEmpty() || strName.contains(QLatin1Char('/')) || strName.contains(QLatin1Char('\\')) ||
        strName == QLatin1String(".") || strName == QLatin1String("..")) {
        return QString();
    }
    const QDir folder(strFolder);
    const int nDot = strName.lastIndexOf(QLatin1Char('.'));
    const QString strBase = nDot > 0 ? strName.left(nDot) : strName;
    const QString strExtension = nDot > 0 ? strName.mid(nDot) : QString();
    for (int nTry = 0; nTry < kMaxTries; ++nTry) {
        const QString strCandidate =
            nTry == 0 ? strName : QStringLiteral("%1(%2)%3").arg(strBase).arg(nTry).arg(strExtension);
        const QString strPath = QDir::cleanPath(folder.absoluteFilePath(strCandidate));
        if (!isInside(strFolder, strPath) || setTaken.contains(strPath) || QFileInfo::exists(strPath)) {
            continue;
        }
        bool bFree = true;
        for (const QString& strSuffix : listSuffixes) {
            if (QFileInfo::exists(strPath + strSuffix)) {
                bFree = false;
                break;
            }
        }
        if (bFree) {
            return strCandidate;
        }
    }
    return QString();
}

bool CSafeFileName::isInside(const QString& strFolder, const QString& strPath)
{
    const QString strRoot = QDir::cleanPath(QDir(strFolder).absolutePath());
    const QString strClean = QDir::cleanPath(QDir(strFolder).absoluteFilePath(strPath));
    const QString strPrefix = strRoot.endsWith(QLatin1Char('/')) ? strRoot : strRoot + QLatin1Char('/');
    return strClean.startsWith(strPrefix) && strClean.size() > strPrefix.size();
}
