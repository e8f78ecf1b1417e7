#pragma once

#include "PublicUrlTaskInfo.h"

#include <hostservices/NetworkManagerListener.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QFile;
class QUrl;

namespace Common {
class NetworkManager;
}

// Fetches files by public URL for the web page: one job per task id, each saved under a
// free name in the configured download folder; reports the jobs' status on request and
// opens a job's file or the folder.
//
// Names and addresses come from the page and are not trusted: a "fileName" must pass the
// client's file-name rule (ncl::NFileName) and a "url" must be http or https, else the job fails
// at once and nothing is written. Files are only ever created new, never opened over an existing one.
class CDownloadByPublicUrl : public QObject, public Common::NetworkManagerListener
{
    Q_OBJECT

public:
    explicit CDownloadByPublicUrl(QObject* parent = nullptr);
    ~CDownloadByPublicUrl() override;
    // Log-out: stops every job and drops its partial file; later requests are dropped. Waits
    // for nothing.
    void shutdown();

    // {"downloadTasks": [{"taskId", "url", "fileName"}, ...]}
    void addDownloadTasksByPublicUrl(const QJsonObject& params);
    // {"downloadTasks": [taskId, ...]} or {} for every job; answers with
    // sgnUpdateDownloadTasksStatus.
    void getDownloadTasksByPublicUrlStatus(const QJsonObject& params);
    // {"taskId"} and/or {"fileName"}: opens the job's finished file, or a file of that name, or
    // the download folder; a program or script is shown in its folder instead of being run.
    void openDownloadFiledir(const QJsonObject& params);

    // The first path, from strPath itself on, that names no existing file or link: strPath,
    // then name(nIndex).ext, name(nIndex + 1).ext, ... ("(n)" at the end of a name without
    // extension). Empty when every number up to a limit is taken.
    static QString getUniqueFilePath(QString strPath, int nIndex);
    // What the per-host queue counts an address under: scheme, host (QUrl lowercases both) and
    // port, the scheme's default filled in, so "http://h" and "HTTP://H:80/a" are one host.
    static QString hostKey(const QUrl& url);
    // The runner's envelopes, numbered by its own counter.
    static QJsonObject makeRPCObject(const QString& method, bool async, bool result, int id = -1);

    void onNetworkFinished(NetworkReplyData data, QString strTaskId) override;
    void onNetworkReadyRead(NetworkReplyData data, QString strTaskId) override;
    void onNetworkError(qint64 nCode, QString strError, QString strTaskId) override;
    void onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId) override;

signals:
    void sgnUpdateDownloadTasksStatus(QString& strTasksStatus);

private:
    // Creates "<free name>.part" for a new job, so that nothing else takes the name; the free
    // name, empty when there is none.
    QString reserveFile(const QString& strWanted);
    // Opens the job's partial file for its first data; false when the job cannot write.
    bool prepareFile(PublicUrlTaskInfo& task);
    // Appends data to the job's file; on a failed write the job fails at once.
    bool writeData(PublicUrlTaskInfo& task, const QByteArray& baData);
    // Ends a job that cannot go on: its transfer stops and its partial file goes.
    void fail(PublicUrlTaskInfo& task, const QString& strWhy);
    // Closes the job's file; deletes it while it is partial; takes the job off the queue.
    void dropPartialFile(PublicUrlTaskInfo& task);
    // Starts waiting jobs, in the order they came, while their host has a free slot.
    void startWaiting();
    // Marks a job's transfer started or ended, counting it for its host.
    void setRunning(PublicUrlTaskInfo& task, bool bRunning);
    // Drops the oldest ended jobs as the request's new ones need; false when even that is not
    // enough and the request is refused.
    bool makeRoom(const QJsonArray& arrTasks);
    // Closes and deletes the job's file object; the file stays on disk.
    static void releaseFile(PublicUrlTaskInfo& task);
    static QString downloadFolder();
    // Opens a file, or shows the folder of one that the desktop would run.
    static void openFile(const QString& strPath);
    static void openUrl(const QString& strLocalPath);

    static int s_nRPCId;

    QMap<QString, PublicUrlTaskInfo> m_mapTasks;
    bool m_bShutDown = false;
    // Jobs accepted but not started, per host, in the order they came.
    QHash<QString, QStringList> m_hashWaiting;
    // Transfers started and not ended, per host.
    QHash<QString, int> m_hashRunning;
    qint64 m_nAccepted = 0;
    Common::NetworkManager* m_pNetworkManager = nullptr;
};
