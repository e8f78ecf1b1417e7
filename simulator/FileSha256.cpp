#include "FileSha256.h"

#include <QCryptographicHash>
#include <QFile>

QByteArray fileSha256(const QString& strPath)
{
    QFile file(strPath);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return QByteArray();
    }
    return hash.result().toHex();
}
