#pragma once

#include <CDownloadByPublicUrl.h>
#include <CSimServer.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

// What the public-URL tests share: the simulator serving generated bodies on loopback, a
// temporary root holding the download folder ("downloads/", named in the client settings),
// and the runner under test.
class PublicUrlFixture
{
public:
    PublicUrlFixture();
    ~PublicUrlFixture();

    bool isValid() const { return m_bValid; }
    QString root() const { return m_dir.path(); }
    QString folder() const { return m_dir.filePath("downloads"); }
    QString path(const QString& strName) const { return folder() + "/" + strName; }
    CDownloadByPublicUrl* runner() const { return m_pRunner.get(); }
    // The address of a body of nSize bytes of pattern nPattern, with more knobs in strQuery
    // ("&rate=1000").
    QString url(int nSize, int nPattern = 0, const QString& strQuery = QString()) const;
    static QByteArray generated(int nSize, int nPattern = 0);

    // Names strFolder as the download folder, with the stall timeout, in the settings file.
    static bool writeSettings(const QString& strFolder, double fStallSeconds = 30);
    // The download folder named and emptied, and a new runner.
    bool reset();
    // Destroys the runner; with bFlush the objects it released with deleteLater() go at once,
    // else when the event loop next runs, as in the application.
    void deleteRunner(bool bFlush = true);

    void add(const QJsonArray& arrJobs)
    {
        m_pRunner->addDownloadTasksByPublicUrl({{"downloadTasks", arrJobs}});
    }
    void add(const QString& strTaskId, const QString& strUrl, const QJsonValue& fileName);
    // The text the runner emits for a status request, its "downloadTasksStatus", and the
    // entry of one job asked for by id.
    QString statusText(const QJsonObject& params = QJsonObject());
    QJsonArray statuses(const QJsonObject& params = QJsonObject());
    QJsonObject statusOf(const QString& strTaskId)
    {
        return statuses({{"downloadTasks", QJsonArray{strTaskId}}})[0].toObject();
    }
    int status(const QString& strTaskId) { return statusOf(strTaskId).value("status").toInt(-1); }

    static QByteArray read(const QString& strPath);
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
