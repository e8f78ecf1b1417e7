#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QSqlQuery;

// Writes the download history's changes on a thread of its own, so that a list never waits for
// the disk: a change is a list of steps, written in one transaction with the changes queued
// beside it; a change whose step fails is taken back whole, the others stay. Changes are written
// in the order they were posted.
class CHistoryWriter
{
public:
    // One statement of a change; false when it failed (after logging why).
    using Step = std::function<bool(QSqlQuery& query)>;

    CHistoryWriter(const QString& strPath, int nBusyTimeoutMs);
    // Writes what is queued, then ends the thread.
    ~CHistoryWriter();
    CHistoryWriter(const CHistoryWriter&) = delete;
    CHistoryWriter& operator=(const CHistoryWriter&) = delete;

    void post(std::vector<Step> vecChange);
    // Returns once every change posted so far is written.
    void flush();

private:
    void run();

    const QString m_strPath;
    const int m_nBusyTimeoutMs;
    const QString m_strConnection;
    std::mutex m_mutex;
    std::condition_variable m_cvWork;
    std::condition_variable m_cvIdle;
    std::deque<std::vector<Step>> m_queue;
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_thread;
};
