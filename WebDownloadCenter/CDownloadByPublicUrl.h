#pragma once

#include "PublicUrlTaskInfo.h"

#include <hostservices/NetworkManagerListener.h>

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

class QFile;

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

    // {"downloadTasks": [{"taskId", "url", "fileName"}, ...]}
    void addDownloadTasksByPublicUrl(const QJsonObject& params);
    // {"downloadTasks": [taskId, ...]} or {} for every job; answers with
    // sgnUpdateDownloadTasksStatus.
    void getDownloadTasksByPublicUrlStatus(const QJsonObject& params);
    // {"taskId"} and/or {"fileName"}: opens the job's file, or the download folder.
    void openDownloadFiledir(const QJsonObject& params);

    // The first path, from strPath itself on, that names no existing file or link: strPath,
    // then name(nIndex).ext, name(nIndex + 1).ext, ... ("(n)" at the end of a name without
    // extension). Empty when every number up to a limit is taken.
    static QString getUniqueFilePath(QString strPath, int nIndex);
    // The runner's envelopes, numbered by its own counter.
    static QJsonObject makeRPCObject(const QString& method, bool async, bool result, int id = -1);

    void onNetworkFinished(NetworkReplyData data, QString strTaskId) override;
    void onNetworkReadyRead(NetworkReplyData data, QString strTaskId) override;
    void onNetworkError(qint64 nCode, QString strError, QString strTaskId) override;
    void onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId) override;

signals:
    void sgnUpdateDownloadTasksStatus(QString& strTasksStatus);

private:
    // Creates the job's file with its first data; true when the job has an open file.
    bool prepareFile(PublicUrlTaskInfo& task);
    // Closes and deletes the job's file object; the file stays on disk.
    static void releaseFile(PublicUrlTaskInfo& task);
    // Replaces a stored job, releasing the file of the job it replaces.
    void storeNew(const PublicUrlTaskInfo& task);
    static QString downloadFolder();
    static void openUrl(const QString& strLocalPath);

    static int s_nRPCId;

    QMap<QString, PublicUrlTaskInfo> m_mapTasks;
    Common::NetworkManager* m_pNetworkManager = nullptr;
};
