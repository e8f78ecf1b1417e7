#include "PublicUrlFixture.h"

#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>

#include <hostservices/ClientSettings.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QSettings>

PublicUrlFixture::PublicUrlFixture()
{
    m_server.addRoute(std::make_unique<CGeneratedRoute>());
    m_bValid = m_dir.isValid() && m_server.start();
}

PublicUrlFixture::~PublicUrlFixture()
{
    deleteRunner();
    m_server.stop();
}

QString PublicUrlFixture::url(int nSize, int nPattern, const QString& strQuery) const
{
    return m_server.baseUrl() + QString("/generated/%1/body.bin?pattern=%2").arg(nSize).arg(nPattern) +
           strQuery;
}

QByteArray PublicUrlFixture::generated(int nSize, int nPattern)
{
    QByteArray baData(nSize, Qt::Uninitialized);
    CGeneratedBody::fill(nPattern, 0, baData.data(), static_cast<std::size_t>(nSize));
    return baData;
}

bool PublicUrlFixture::writeSettings(const QString& strFolder, double fStallSeconds)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue("Download/FileDownloadPath", strFolder);
    settings.setValue("Network/StallTimeout", fStallSeconds);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool PublicUrlFixture::reset()
{
    deleteRunner();
    m_pRunner = std::make_unique<CDownloadByPublicUrl>();
    return writeSettings(folder()) && QDir(folder()).removeRecursively() && QDir().mkpath(folder());
}

void PublicUrlFixture::deleteRunner(bool bFlush)
{
    m_pRunner.reset();
    if (bFlush) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void PublicUrlFixture::add(const QString& strTaskId, const QString& strUrl, const QJsonValue& fileName)
{
    QJsonObject job{{"taskId", strTaskId}, {"url", strUrl}};
    if (!fileName.isUndefined()) {
        job.insert("fileName", fileName);
    }
    add({job});
}

QString PublicUrlFixture::statusText(const QJsonObject& params)
{
    QString strText;
    const QMetaObject::Connection connection =
        QObject::connect(m_pRunner.get(), &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
                         [&strText](QString& strTasksStatus) { strText = strTasksStatus; });
    m_pRunner->getDownloadTasksByPublicUrlStatus(params);
    QObject::disconnect(connection);
    return strText;
}

QJsonArray PublicUrlFixture::statuses(const QJsonObject& params)
{
    const QJsonObject message = QJsonDocument::fromJson(statusText(params).toUtf8()).object();
    return message.value("params").toObject().value("downloadTasksStatus").toArray();
}

QByteArray PublicUrlFixture::read(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "cannot read " + strPath.toUtf8();
}

QStringList PublicUrlFixture::listing(const QString& strFolder)
{
    QStringList listPaths;
    QDirIterator it(strFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        listPaths << QDir(strFolder).relativeFilePath(it.next());
    }
    listPaths.sort();
    return listPaths;
}

int PublicUrlFixture::descriptorsOpenOn(const QString& strPath)
{
    int nCount = 0;
    QDirIterator it("/proc/self/fd", QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        nCount += QFileInfo(it.next()).symLinkTarget() == QFileInfo(strPath).absoluteFilePath();
    }
    return nCount;
}
