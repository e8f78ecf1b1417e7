#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace ncl {

// One written log record.
struct NLogRecord
{
    QDateTime time;
    int nLevel = 0;
    QString strFile;
    int nLine = 0;
    QString strFunction;
    QString strModule;
    QString strMessage;
};

// The client's logger. Levels: 1 to 4 traces, 5 information, 6 warnings, 7 and up errors.
class NPrintLog
{
public:
    using Observer = std::function<void(const NLogRecord& record)>;

    static NPrintLog* instance();

    // Whether a record of nLevel would be written. Cheap: callers check it before building the
    // arguments of a frequent trace.
    bool isEnabled(int nLevel) const;
    // Records below this level are dropped before they are formatted: CLIENT_LOG_LEVEL, else 5
    // (traces off). The client may change it at run time.
    int lowestLevel() const;
    void setLowestLevel(int nLevel);

    // Writes one record, unless its level is below the lowest. format is printf-style; texts from outside
    // belong in the arguments, never in the format. The message is kept to one line of at most 4 KiB: line
    // breaks, control and invisible characters and the backslash are written as \xNN per UTF-8
    // byte, and what passes the cap is cut with a marker.
    int Log(const char* file, int line, const char* function, const char* module, int level,
            const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 7, 8)))
#endif
        ;

    // Folder of the log file: CLIENT_LOG_DIR, else a per-user default. Past CLIENT_LOG_MAX_BYTES
    // (default 8 MiB) the file starts anew; the three before it are kept as <name>.log.1 to .3.
    QString logFilePath() const;

    // Observers see every record after it is written; used by diagnostics and tests.
    int addObserver(Observer observer);
    void removeObserver(int nId);

private:
    NPrintLog();
    ~NPrintLog();
    NPrintLog(const NPrintLog&) = delete;
    NPrintLog& operator=(const NPrintLog&) = delete;

    struct Impl;
    Impl* m_pImpl = nullptr;
};

}  // namespace ncl
