#include <hostservices/ClientSettings.h>

#include <QSettings>
#include <QStandardPaths>

namespace ConfigInfo {

QString ClientSettings::filePath()
{
    const QString strPath = qEnvironmentVariable(kPathVariable);
    if (!strPath.isEmpty()) {
        return strPath;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/VideoClient/client.ini");
}

QVariant ClientSettings::value(const QString& key, const QVariant& fallback)
{
    // Opened per read: the client may rewrite the file while we run, and reads are rare.
    const QSettings settings(filePath(), QSettings::IniFormat);
    const QVariant value = settings.value(key);
    if (!value.isValid() || value.toString().trimmed().isEmpty()) {
        return fallback;
    }
    return value;
}

void ClientSettings::setValue(const QString& key, const QVariant& value)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(key, value);
}

}  // namespace ConfigInfo
