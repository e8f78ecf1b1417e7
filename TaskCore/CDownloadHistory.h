#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

#include "CHistoryWriter.h"
#include "CTaskTypes.h"

#include <downloadengine/DownloadInfo.h>

class QLockFile;
class QSqlQuery;

// The download lists kept across restarts: finished downloads and unfinished tasks, in one SQLite
// file per client profile (WAL, a busy timeout, the layout's version in PRAGMA user_version).
// Every change is written whole in one transaction, on a thread of its own (CHistoryWriter); a
// Batch makes the changes of one step one change. A file that
// cannot be read is renamed aside and a fresh one started; a second process on the same profile
// gets the file read-only. Nothing here ever throws or stops the lists: a failed write is logged.
class CDownloadHistory : public QObject
{
    Q_OBJECT

public:
    enum Kind
    {
        Record = 0,
        Picture = 1,
    };

    // One stored row: a finished download (nSeconds it took) or an unfinished task (its state as
    // the lists code it, the bytes it had and its speed factor).
    struct Entry
    {
        qint64 nId = 0;
        Kind eKind = Record;
        DownloadInfo record;
        DownloadPicInfo picture;
        qint64 nSeconds = 0;
        int nState = 0;
        qint64 nBytesDone = 0;
        int nSpeed = 1;
    };

    // Groups the changes made while it lives into one transaction (outermost one commits).
    class Batch
    {
    public:
        explicit Batch(CDownloadHistory* pHistory);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        CDownloadHistory* m_pHistory;
    };

    static constexpr int kSchemaVersion = 2;
    static constexpr int kMaxDoneRows = 10000;
    static constexpr int kBusyTimeoutMs = 5000;
    // Where a table row keeps the id of its stored copy, on its check cell.
    static constexpr int kIdRole = CTaskTypes::StoredIdRole;

    // nBusyTimeoutMs: how long a write waits for another connection's lock before it counts as
    // refused (and is tried again later).
    explicit CDownloadHistory(const QString& strPath, QObject* parent = nullptr,
                              int nBusyTimeoutMs = kBusyTimeoutMs);
    ~CDownloadHistory() override;

    bool isOpen() const { return m_bOpen; }
    bool isReadOnly() const { return m_bReadOnly; }
    // The file was damaged or unreadable and has been renamed to this path (empty otherwise).
    QString setAsidePath() const { return m_strSetAside; }

    // Returns once every change so far is in the file.
    void flush();
    // Writes every change so far and ends the writer's thread; later changes are dropped.
    // Log-out calls it, so that the destructor has nothing left to wait for.
    void shutdown() { m_pWriter.reset(); }

    // Finished downloads, newest first.
    QVector<Entry> doneEntries();
    // The same as they are now, read and parsed on the writer's thread; fnReady gets them on this
    // object's thread, always later than the call, never after this object is gone.
    void readDoneEntries(std::function<void(const QVector<Entry>&)> fnReady);
    // Unfinished tasks of a kind, in the order they were added.
    QVector<Entry> taskEntries(Kind eKind);

    // The new row's id, 0 when nothing was written.
    qint64 addDone(const Entry& entry);
    qint64 addTask(const Entry& entry);
    void updateTask(qint64 nId, int nState, qint64 nBytesDone);
    void setTaskSpeed(qint64 nId, int nSpeed);
    void removeDone(const QList<qint64>& listIds);
    void removeTasks(const QList<qint64>& listIds);
    void clearDone();

private:
    bool openFile();
    void startWriter();
    bool prepareSchema();
    bool migrate(int nFromVersion);
    void setAside();
    void closeDatabase();
    void begin();
    void end();
    // One change, or a step of the Batch open.
    void change(CHistoryWriter::Step fnStep);
    static bool exec(QSqlQuery& query, const char* szWhat);
    void removeIds(const QString& strTable, const QList<qint64>& listIds);
    QVector<Entry> readEntries(const QString& strSql, bool bTasks);
    static QString doneQuery(const QString& strWhere = QString());
    static QVector<Entry> readRows(QSqlQuery& query, const QString& strSql, bool bTasks);
    static void log(int nLevel, const char* szFormat, const QString& strArg);

    QString m_strPath;
    int m_nBusyTimeoutMs;
    QString m_strConnection;
    QString m_strSetAside;
    std::unique_ptr<QLockFile> m_pLock;
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    int m_nBatchDepth = 0;
    std::vector<CHistoryWriter::Step> m_vecPending;
    qint64 m_nLastDoneId = 0;
    qint64 m_nLastTaskId = 0;
    std::unique_ptr<CHistoryWriter> m_pWriter;
};
