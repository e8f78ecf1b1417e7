#pragma once

#include <CDownloadByPublicUrl.h>
#include <CSimServer.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the public-URL tests share: a temporary root holding the served files ("public/")
// and the download folder ("downloads/", named in the client settings), the simulator
// serving them on loopback, and the runner under test.
class PublicUrlFixture
{
public:
    PublicUrlFixture();
    ~PublicUrlFixture();

    bool isValid() const { return m_bValid; }

    QString rootFolder() const { return m_dir.path(); }
    QString sourceFolder() const { return m_dir.filePath(QStringLiteral("public")); }
    QString downloadFolder() const { return m_dir.filePath(QStringLiteral("downloads")); }
    QString downloadPath(const QString& strName) const
    {
        return downloadFolder() + QLatin1Char('/') + strName;
    }
    // The simulator's address for strPathAndQuery ("/public/a.bin?rate=1000").
    QString url(const QString& strPathAndQuery) const;

    // Names strFolder as the download folder and sets the stall timeout, in the settings file.
    static bool writeSettings(const QString& strFolder, double fStallSeconds = 30);
    // A served file "public/<strName>" of nSize bytes that differ by pattern; its SHA-256.
    QByteArray makeSource(const QString& strName, int nSize, quint32 nPattern);
    // Empties the download folder (and makes it).
    void clearDownloads();

    CDownloadByPublicUrl* runner() const { return m_pRunner.get(); }
    void newRunner();
    // Destroys the runner; with bFlush the objects it released with deleteLater() go at once,
    // else when the event loop next runs, as in the application.
    void deleteRunner(bool bFlush = true);

    static QJsonObject job(const QString& strTaskId, const QString& strUrl, const QString& strFileName);
    void add(const QJsonArray& arrJobs);
    // The text the runner emits for a status request.
    QString statusText(const QJsonObject& params = QJsonObject());
    // "downloadTasksStatus" of that text.
    QJsonArray statuses(const QJsonObject& params = QJsonObject());
    // The entry of one job, asked for by id.
    QJsonObject statusOf(const QString& strTaskId);
    int status(const QString& strTaskId)
    {
        return statusOf(strTaskId).value(QStringLiteral("status")).toInt(-1);
    }
    double progress(const QString& strTaskId)
    {
        return statusOf(strTaskId).value(QStringLiteral("downloadProgress")).toDouble(-1);
    }

    static QByteArray sha256(const QString& strPath);
    static QByteArray sha256(const QByteArray& baData);
    // Every path under strFolder, relative, sorted; hidden entries and links included.
    static QStringList listing(const QString& strFolder);
    // How many of this process's file descriptors are open on strPath.
    static int descriptorsOpenOn(const QString& strPath);

private:
    QTemporaryDir m_dir;
    CSimServer m_server;
    std::unique_ptr<CDownloadByPublicUrl> m_pRunner;
    bool m_bValid = false;
};
