#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

// Writes the download history's changes on a thread of its own, so that a list never waits for
// the disk: a change is a list of steps, written in one transaction with the changes queued
// beside it; a change whose step fails is taken back whole, the others stay. Changes are written
// in the order they were posted. When the file refuses writes (busy, full, read-only, I/O
// errors) nothing is dropped: the changes are kept, tried again a moment later and at each
// flush, and the failure is logged once until a write succeeds again.
class CHistoryWriter
{
public:
    // One statement of a change; false when it failed (after logging why).
    using Step = std::function<bool(QSqlQuery& query)>;

    CHistoryWriter(const QString& strPath, int nBusyTimeoutMs);
    // Writes what is queued (one last try if the file refuses), then ends the thread.
    ~CHistoryWriter();
    CHistoryWriter(const CHistoryWriter&) = delete;
    CHistoryWriter& operator=(const CHistoryWriter&) = delete;

    void post(std::vector<Step> vecChange);
    // Returns once every change posted so far is written, or once a try to write them failed.
    void flush();

    // Pause before a refused write is tried again.
    static constexpr int kRetryMs = 1000;

private:
    void run();
    // Writes the changes in one transaction; false when the file refused them (all are kept).
    bool write(QSqlDatabase& db, QSqlQuery& query, const std::deque<std::vector<Step>>& queue);
    static bool isTransient(const QSqlError& error);
    void keepError(const QSqlError& error);

    const QString m_strPath;
    const int m_nBusyTimeoutMs;
    const QString m_strConnection;
    std::mutex m_mutex;
    std::condition_variable m_cvWork;
    std::condition_variable m_cvIdle;
    std::deque<std::vector<Step>> m_queue;
    bool m_bBusy = false;
    bool m_bStop = false;
    // Refused changes wait for kRetryMs, or for a flush.
    bool m_bHeld = false;
    bool m_bRetryNow = false;
    int m_nFailures = 0;
    // Why the last write was refused; the writer thread's own.
    QString m_strLastError;
    std::thread m_thread;
};
