#include "CDemoEnvironment.h"

#include <QDeadlineTimer>
#include <QThread>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <CDeviceRoute.h>
#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>
#include <CSimDevices.h>
#include <CWebClientRoute.h>
#include <hostservices/CConfig.h>
#include <hostservices/ClientSettings.h>

#include <memory>

namespace {

// A file the platform offers besides the simulator's generated ones: a firmware image made of
// the generator's bytes, so that a download of it can be checked against the folder.
const char* const kFirmwareName = "firmware-5.2.0.bin";
constexpr qint64 kFirmwareBytes = 3 * 1024 * 1024;
constexpr std::uint64_t kFirmwarePattern = 520;

}  // namespace

CDemoEnvironment::CDemoEnvironment() : m_pDevices(std::make_shared<CSimDevices>()) {}

bool CDemoEnvironment::start(const QString& strSettingsFile, QString& strError, int nPort)
{
    if (!m_profile.isValid()) {
        strError = QStringLiteral("cannot create a temporary profile: %1").arg(m_profile.errorString());
        return false;
    }
    m_strPublicFolder = m_profile.filePath(QStringLiteral("public"));
    if (!writePublicFiles(strError)) {
        return false;
    }

    m_server.addRoute(std::make_unique<CPublicFilesRoute>(m_strPublicFolder));
    m_server.addRoute(std::make_unique<CGeneratedRoute>());
    m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
    m_server.addRoute(std::make_unique<CWebClientRoute>(
        QCoreApplication::applicationDirPath() + QStringLiteral("/web"), m_strPublicFolder));
    // A client started again waits for the one before it to let go of the port.
    QDeadlineTimer deadline(nPort > 0 ? 10000 : 0);
    bool bStarted = m_server.start(QStringLiteral("127.0.0.1"), nPort);
    while (!bStarted && !deadline.hasExpired()) {
        QThread::msleep(100);
        bStarted = m_server.start(QStringLiteral("127.0.0.1"), nPort);
    }
    if (!bStarted) {
        strError = QStringLiteral("cannot start the simulator on a loopback port");
        return false;
    }

    if (qEnvironmentVariableIsEmpty("CLIENT_LOG_DIR")) {
        qputenv("CLIENT_LOG_DIR", QFile::encodeName(m_profile.filePath(QStringLiteral("log"))));
    }
    if (!strSettingsFile.isEmpty()) {
        m_strSettingsFile = QDir(strSettingsFile).absolutePath();
        if (!QFile::exists(m_strSettingsFile)) {
            strError = QStringLiteral("no settings file at %1").arg(m_strSettingsFile);
            return false;
        }
    } else {
        m_strSettingsFile = m_profile.filePath(QStringLiteral("client.ini"));
        if (!writeProfile(strError)) {
            return false;
        }
    }
    qputenv(ConfigInfo::ClientSettings::kPathVariable, QFile::encodeName(m_strSettingsFile));
    return true;
}

QString CDemoEnvironment::firmwareName()
{
    return QLatin1String(kFirmwareName);
}

QString CDemoEnvironment::recordFolder()
{
    return ConfigInfo::CConfig::instance().getDownloadConfig().strDownloadPath;
}

QString CDemoEnvironment::fileFolder()
{
    return ConfigInfo::CConfig::instance().getDownloadConfig().strFileDownloadPath;
}

bool CDemoEnvironment::writeProfile(QString& strError)
{
    const QString strRecord = m_profile.filePath(QStringLiteral("Downloads/Record"));
    const QString strFile = m_profile.filePath(QStringLiteral("Downloads/File"));
    if (!QDir().mkpath(strRecord) || !QDir().mkpath(strFile)) {
        strError = QStringLiteral("cannot create the download folders in %1").arg(m_profile.path());
        return false;
    }
    QSettings settings(m_strSettingsFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Local/WebUrl"), m_server.baseUrl());
    settings.setValue(QStringLiteral("Local/SkinVersion"), QStringLiteral("Default"));
    settings.setValue(QStringLiteral("Download/DownloadPath"), strRecord);
    settings.setValue(QStringLiteral("Download/FileDownloadPath"), strFile);
    settings.setValue(QStringLiteral("Base/ProductName"), QStringLiteral("Shop"));
    settings.setValue(QStringLiteral("Base/OpenOSD"), true);
    // The lists kept across restarts belong to the profile.
    settings.setValue(QStringLiteral("Download/HistoryFile"),
                      m_profile.filePath(QStringLiteral("DownloadHistory.sqlite")));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        strError = QStringLiteral("cannot write the settings file %1").arg(m_strSettingsFile);
        return false;
    }
    return true;
}

bool CDemoEnvironment::writePublicFiles(QString& strError)
{
    if (!QDir().mkpath(m_strPublicFolder)) {
        strError = QStringLiteral("cannot create %1").arg(m_strPublicFolder);
        return false;
    }
    QFile notes(QDir(m_strPublicFolder).filePath(QStringLiteral("release-notes.txt")));
    QFile firmware(QDir(m_strPublicFolder).filePath(QLatin1String(kFirmwareName)));
    if (!notes.open(QIODevice::WriteOnly) || !firmware.open(QIODevice::WriteOnly)) {
        strError = QStringLiteral("cannot write the offered files in %1").arg(m_strPublicFolder);
        return false;
    }
    notes.write("Firmware 5.2.0\n\n- Faster playback search\n- Fixes for recordings across midnight\n");
    QByteArray baChunk(64 * 1024, Qt::Uninitialized);
    for (qint64 nOffset = 0; nOffset < kFirmwareBytes; nOffset += baChunk.size()) {
        CGeneratedBody::fill(kFirmwarePattern, static_cast<std::uint64_t>(nOffset), baChunk.data(),
                             static_cast<std::size_t>(baChunk.size()));
        if (firmware.write(baChunk) != baChunk.size()) {
            strError = QStringLiteral("cannot write %1").arg(firmware.fileName());
            return false;
        }
    }
    return true;
}
