#include "PublicUrlFixture.h"

#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>

#include <hostservices/ClientSettings.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSettings>

PublicUrlFixture::PublicUrlFixture()
{
    m_server.addRoute(std::make_unique<CPublicFilesRoute>(sourceFolder()));
    m_server.addRoute(std::make_unique<CGeneratedRoute>());
    m_bValid = m_dir.isValid() && QDir().mkpath(sourceFolder()) && QDir().mkpath(downloadFolder()) &&
               m_server.start() && writeSettings(downloadFolder());
}

PublicUrlFixture::~PublicUrlFixture()
{
    deleteRunner();
    m_server.stop();
}

QString PublicUrlFixture::url(const QString& strPathAndQuery) const
{
    return m_server.baseUrl() + strPathAndQuery;
}

bool PublicUrlFixture::writeSettings(const QString& strFolder, double fStallSeconds)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Download/FileDownloadPath"), strFolder);
    settings.setValue(QStringLiteral("Network/StallTimeout"), fStallSeconds);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QByteArray PublicUrlFixture::makeSource(const QString& strName, int nSize, quint32 nPattern)
{
    QRandomGenerator generator(nPattern);
    QByteArray baData(nSize, Qt::Uninitialized);
    for (char& c : baData) {
        c = static_cast<char>(generator.bounded(256));
    }
    QFile file(sourceFolder() + QLatin1Char('/') + strName);
    if (!file.open(QIODevice::WriteOnly) || file.write(baData) != baData.size()) {
        return QByteArray();
    }
    return sha256(baData);
}

void PublicUrlFixture::clearDownloads()
{
    QDir(downloadFolder()).removeRecursively();
    QDir().mkpath(downloadFolder());
}

void PublicUrlFixture::newRunner()
{
    deleteRunner();
    m_pRunner = std::make_unique<CDownloadByPublicUrl>();
}

void PublicUrlFixture::deleteRunner(bool bFlush)
{
    m_pRunner.reset();
    if (bFlush) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QJsonObject PublicUrlFixture::job(const QString& strTaskId, const QString& strUrl, const QString& strFileName)
{
    return QJsonObject{{QStringLiteral("taskId"), strTaskId},
                       {QStringLiteral("url"), strUrl},
                       {QStringLiteral("fileName"), strFileName}};
}

void PublicUrlFixture::add(const QJsonArray& arrJobs)
{
    m_pRunner->addDownloadTasksByPublicUrl(QJsonObject{{QStringLiteral("downloadTasks"), arrJobs}});
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
    return message.value(QStringLiteral("params"))
        .toObject()
        .value(QStringLiteral("downloadTasksStatus"))
        .toArray();
}

QJsonObject PublicUrlFixture::statusOf(const QString& strTaskId)
{
    const QJsonArray arrStatus =
        statuses(QJsonObject{{QStringLiteral("downloadTasks"), QJsonArray{strTaskId}}});
    return arrStatus.isEmpty() ? QJsonObject() : arrStatus.first().toObject();
}

QByteArray PublicUrlFixture::sha256(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QByteArray PublicUrlFixture::sha256(const QByteArray& baData)
{
    return QCryptographicHash::hash(baData, QCryptographicHash::Sha256).toHex();
}

QStringList PublicUrlFixture::listing(const QString& strFolder)
{
    QStringList listPaths;
    const QDir root(strFolder);
    QDirIterator it(strFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        listPaths.append(root.relativeFilePath(it.next()));
    }
    listPaths.sort();
    return listPaths;
}

int PublicUrlFixture::descriptorsOpenOn(const QString& strPath)
{
    const QString strTarget = QFileInfo(strPath).absoluteFilePath();
    int nCount = 0;
    const QFileInfoList listDescriptors =
        QDir(QStringLiteral("/proc/self/fd"))
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& descriptor : listDescriptors) {
        if (descriptor.symLinkTarget() == strTarget) {
            ++nCount;
        }
    }
    return nCount;
}
