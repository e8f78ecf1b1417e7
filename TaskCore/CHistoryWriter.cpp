#include "CHistoryWriter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

#include <ncl/NPrintLog.h>

namespace {

const char* const kLogFile = "DownloadWidget\\CHistoryWriter";
const int kLogWarning = 6;

std::atomic<int> s_nWriters{0};

void logFailure(const char* szWhat, const QSqlError& error)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CHistoryWriter::run", "", kLogWarning,
                                    "the download history was not written (%s): %s", szWhat,
                                    qUtf8Printable(error.text()));
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
    m_cvIdle.wait(lock, [this] { return m_queue.empty() && !m_bBusy; });
}

void CHistoryWriter::run()
{
    {
        // The connection belongs to this thread: made, used and closed here.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
        db.setDatabaseName(m_strPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_nBusyTimeoutMs));
        if (!db.open()) {
            logFailure("open", db.lastError());
        }
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        for (;;) {
            std::deque<std::vector<Step>> queue;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_cvWork.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
                if (m_queue.empty()) {
                    break;
                }
                queue.swap(m_queue);
                m_bBusy = true;
            }
            if (db.isOpen() && !db.transaction()) {
                logFailure("begin", db.lastError());
            }
            for (const std::vector<Step>& vecChange : queue) {
                // A change that fails leaves nothing behind; the others of the batch stay.
                query.exec(QStringLiteral("SAVEPOINT change"));
                bool bOk = true;
                for (const Step& fnStep : vecChange) {
                    bOk = bOk && fnStep(query);
                }
                if (!bOk) {
                    query.exec(QStringLiteral("ROLLBACK TO change"));
                }
                query.exec(QStringLiteral("RELEASE change"));
            }
            if (db.isOpen() && !db.commit()) {
                logFailure("commit", db.lastError());
                db.rollback();
            }
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_bBusy = false;
            }
            m_cvIdle.notify_all();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_strConnection);
}
