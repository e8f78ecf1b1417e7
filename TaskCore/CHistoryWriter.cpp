#include "CHistoryWriter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <chrono>
#include <iterator>

#include <atomic>

#include <ncl/NPrintLog.h>

namespace {

const char* const kLogFile = "DownloadWidget\\CHistoryWriter";
const int kLogInfo = 5;
const int kLogWarning = 6;

std::atomic<int> s_nWriters{0};

void logFailure(const char* szWhat, const QString& strError)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CHistoryWriter::run", "", kLogWarning,
                                    "the download history was not written (%s): %s", szWhat,
                                    qUtf8Printable(strError));
}

}  // namespace

CHistoryWriter::CHistoryWriter(const QString& strPath, int nBusyTimeoutMs)
    : m_strPath(strPath),
      m_nBusyTimeoutMs(nBusyTimeoutMs),
      m_strConnection(QStringLiteral("DownloadHistoryWriter-%1").arg(++s_nWriters)),
      m_thread([this] { run(); })
{
}

CHistoryWriter::~CHistoryWriter()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cvWork.notify_one();
    m_thread.join();
}

void CHistoryWriter::post(std::vector<Step> vecChange)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(vecChange));
    }
    m_cvWork.notify_one();
}

void CHistoryWriter::flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // A write that failed is tried again now; should it fail again, there is nothing to wait for.
    const int nFailures = m_nFailures;
    m_bRetryNow = true;
    m_cvWork.notify_one();
    m_cvIdle.wait(lock,
                  [this, nFailures] { return (m_queue.empty() && !m_bBusy) || m_nFailures != nFailures; });
}

void CHistoryWriter::keepError(const QSqlError& error)
{
    m_strLastError = error.text();
}

bool CHistoryWriter::isTransient(const QSqlError& error)
{
    // Busy, locked, read-only, I/O error, can't open, disk full: the file, not the change, is
    // at fault, and the same change may well be written later.
    switch (error.nativeErrorCode().toInt() & 0xff) {
        case 5:
        case 6:
        case 8:
        case 10:
        case 13:
        case 14:
            return true;
        default:
            return false;
    }
}

bool CHistoryWriter::write(QSqlDatabase& db, QSqlQuery& query, const std::deque<std::vector<Step>>& queue)
{
    if (!db.isOpen() || !db.transaction()) {
        keepError(db.lastError());
        return false;
    }
    for (const std::vector<Step>& vecChange : queue) {
        if (!query.exec(QStringLiteral("SAVEPOINT change"))) {
            keepError(query.lastError());
            return false;
        }
        bool bOk = true;
        for (const Step& fnStep : vecChange) {
            bOk = bOk && fnStep(query);
        }
        if (!bOk && isTransient(query.lastError())) {
            keepError(query.lastError());
            return false;
        }
        if (!bOk) {
            // This change alone cannot be written (its data, not the file): it is taken back
            // whole, the others stay.
            logFailure("a change", query.lastError().text());
            if (!query.exec(QStringLiteral("ROLLBACK TO change"))) {
                keepError(query.lastError());
                return false;
            }
        }
        if (!query.exec(QStringLiteral("RELEASE change"))) {
            keepError(query.lastError());
            return false;
        }
    }
    if (!db.commit()) {
        keepError(db.lastError());
        return false;
    }
    return true;
}

void CHistoryWriter::run()
{
    {
        // The connection belongs to this thread: made, used and closed here.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
        db.setDatabaseName(m_strPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_nBusyTimeoutMs));
        if (!db.open()) {
            logFailure("open", db.lastError().text());
        }
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        bool bFailing = false;
        for (;;) {
            std::deque<std::vector<Step>> queue;
            bool bLast = false;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                const auto fnReady = [this] {
                    return m_bStop || m_bRetryNow || (!m_queue.empty() && !m_bHeld);
                };
                // After a failure the changes are held for a while, unless asked for sooner.
                if (m_bHeld) {
                    m_cvWork.wait_for(lock, std::chrono::milliseconds(kRetryMs), fnReady);
                    m_bHeld = false;
                } else {
                    m_cvWork.wait(lock, fnReady);
                }
                m_bRetryNow = false;
                if (m_queue.empty()) {
                    if (m_bStop) {
                        break;
                    }
                    continue;
                }
                bLast = m_bStop;
                queue.swap(m_queue);
                m_bBusy = true;
            }
            const bool bWritten = write(db, query, queue);
            if (!bWritten) {
                db.rollback();
            }
            if (!bWritten && !bFailing) {
                // Once, however many changes wait and however often they are tried again.
                logFailure("the file refuses writes; the changes are kept and tried again", m_strLastError);
            } else if (bWritten && bFailing) {
                ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CHistoryWriter::run", "", kLogInfo, "%s",
                                                "the download history is written again");
            }
            bFailing = !bWritten;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_bBusy = false;
                if (!bWritten) {
                    // Before whatever came meanwhile: the order of changes stays.
                    m_queue.insert(m_queue.begin(), std::make_move_iterator(queue.begin()),
                                   std::make_move_iterator(queue.end()));
                    m_bHeld = true;
                    ++m_nFailures;
                }
            }
            m_cvIdle.notify_all();
            if (!bWritten && bLast) {
                logFailure("closing; the last changes are lost", m_strLastError);
                break;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_strConnection);
}
