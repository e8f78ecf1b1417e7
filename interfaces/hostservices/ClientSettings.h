#pragma once

#include <QString>
#include <QVariant>

namespace ConfigInfo {

// Where the client's settings file lives and how its keys are read. The file is an INI
// file; its path comes from CLIENT_SETTINGS_FILE, else a per-user default.
class ClientSettings
{
public:
    static constexpr const char* kPathVariable = "CLIENT_SETTINGS_FILE";

    static QString filePath();
    // The value of key, or fallback when the file or the key is missing or empty.
    static QVariant value(const QString& key, const QVariant& fallback);
    // Keeps value under key for the next start (what the user arranged, never the client's own).
    static void setValue(const QString& key, const QVariant& value);
};

}  // namespace ConfigInfo
