#include "CSafeFileName.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kMaxTries = 10000;

}  // namespace

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
