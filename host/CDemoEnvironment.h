#pragma once

#include <QString>
#include <QTemporaryDir>

#include <CSimServer.h>

#include <memory>

class CSimDevices;

// What the demo stands up before the plugin loads: the simulator on a free loopback port and,
// unless the user brings a settings file, a throw-away profile holding the client's settings,
// the download folders and the files the platform offers. Everything goes with the object.
class CDemoEnvironment
{
public:
    CDemoEnvironment();
    CDemoEnvironment(const CDemoEnvironment&) = delete;
    CDemoEnvironment& operator=(const CDemoEnvironment&) = delete;

    // strSettingsFile empty: writes the default profile. Sets CLIENT_SETTINGS_FILE (and the log
    // folder, when the caller has none) for everything that reads settings afterwards.
    // nPort: the simulator's port, 0 for any free one (a restarted client takes its old one).
    bool start(const QString& strSettingsFile, QString& strError, int nPort = 0);
    int port() const { return m_server.port(); }
    // Keeps the temporary profile on disk for a client started again on it.
    void keepProfile() { m_profile.setAutoRemove(false); }

    // "http://127.0.0.1:<port>"
    QString baseUrl() const { return m_server.baseUrl(); }
    QString settingsFile() const { return m_strSettingsFile; }
    QString profileFolder() const { return m_profile.path(); }
    QString publicFolder() const { return m_strPublicFolder; }
    // The simulated devices: their knobs and the requests they were sent.
    std::shared_ptr<CSimDevices> devices() const { return m_pDevices; }
    // What the platform offers for download, besides the simulator's generated files.
    static QString firmwareName();

    // The folders of the settings in use, read as the module reads them.
    static QString recordFolder();
    static QString fileFolder();

private:
    bool writeProfile(QString& strError);
    bool writePublicFiles(QString& strError);

    QTemporaryDir m_profile;
    // After the profile, so that it stops (paced transfers included) before the files it serves go.
    CSimServer m_server;
    std::shared_ptr<CSimDevices> m_pDevices;
    QString m_strSettingsFile;
    QString m_strPublicFolder;
};
