#include "CSafeFileName.h"

#include <QDir>
#include <QFileInfo>

#include <ncl/NFileName.h>

QString CSafeFileName::freeName(const QString& strFolder, const QString& strName,
                                const QSet<QString>& setTaken, const QStringList& listSuffixes)
{
    return ncl::NFileName::freeName(strFolder, strName, [&](const QString& strPath) {
        if (setTaken.contains(strPath)) {
            return true;
        }
        for (const QString& strSuffix : listSuffixes) {
            const QFileInfo info(strPath + strSuffix);
            if (info.exists() || info.isSymLink()) {
                return true;
            }
        }
        return false;
    });
}

bool CSafeFileName::isInside(const QString& strFolder, const QString& strPath)
{
    const QString strRoot = QDir::cleanPath(QDir(strFolder).absolutePath());
    const QString strClean = QDir::cleanPath(QDir(strFolder).absoluteFilePath(strPath));
    const QString strPrefix = strRoot.endsWith(QLatin1Char('/')) ? strRoot : strRoot + QLatin1Char('/');
    return strClean.startsWith(strPrefix) && strClean.size() > strPrefix.size();
}
