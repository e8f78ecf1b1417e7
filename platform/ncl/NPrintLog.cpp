#include <ncl/NPrintLog.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

#include <cstdarg>

Q_LOGGING_CATEGORY(lcNcl, "ncl")

namespace ncl {

namespace {

const char* const kLogDirVariable = "CLIENT_LOG_DIR";

QString defaultLogDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/VideoClient/log");
}

QString nullSafe(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// Passes the record on to Qt's message handler, so it shows on stderr or wherever the
// application routes its messages. The level decides the message type.
void forwardToQt(const NLogRecord& record, const char* file, int line, const char* function)
{
    QMessageLogger logger(file, line, function, lcNcl().categoryName());
    if (record.nLevel <= 4) {
        logger.debug(lcNcl).noquote() << record.strMessage;
    } else if (record.nLevel == 5) {
        logger.info(lcNcl).noquote() << record.strMessage;
    } else if (record.nLevel == 6) {
        logger.warning(lcNcl).noquote() << record.strMessage;
    } else {
        logger.critical(lcNcl).noquote() << record.strMessage;
    }
}

}  // namespace

struct NPrintLog::Impl
{
    QMutex mutex;
    QFile file;
    bool bOpenTried = false;
    QMap<int, Observer> mapObservers;
    int nNextObserverId = 1;

    void write(const NLogRecord& record)
    {
        if (!bOpenTried) {
            bOpenTried = true;
            const QString strPath = NPrintLog::instance()->logFilePath();
            QDir().mkpath(QFileInfo(strPath).absolutePath());
            file.setFileName(strPath);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
                qCWarning(lcNcl, "cannot open the log file %s", qUtf8Printable(strPath));
            }
        }
        if (!file.isOpen()) {
            return;
        }
        const QString strLine =
            QStringLiteral("%1 [%2] %3:%4 %5 %6- %7\n")
                .arg(record.time.toString(Qt::ISODateWithMs))
                .arg(record.nLevel)
                .arg(record.strFile)
                .arg(record.nLine)
                .arg(record.strFunction)
                .arg(record.strModule.isEmpty() ? QString() : record.strModule + QLatin1Char(' '))
                .arg(record.strMessage);
        file.write(strLine.toUtf8());
        file.flush();
    }
};

NPrintLog::NPrintLog() : m_pImpl(new Impl) {}

NPrintLog::~NPrintLog()
{
    delete m_pImpl;
}

NPrintLog* NPrintLog::instance()
{
    // Never destroyed: records may still be written while statics are torn down.
    static NPrintLog* s_pInstance = new NPrintLog();
    return s_pInstance;
}

QString NPrintLog::logFilePath() const
{
    QString strDir = qEnvironmentVariable(kLogDirVariable);
    if (strDir.isEmpty()) {
        strDir = defaultLogDir();
    }
    QString strName = QCoreApplication::applicationName();
    if (strName.isEmpty()) {
        strName = QStringLiteral("client");
    }
    return QDir(strDir).filePath(strName + QStringLiteral(".log"));
}

int NPrintLog::Log(const char* file, int line, const char* function, const char* module, int level,
                   const char* format, ...)
{
    NLogRecord record;
    record.time = QDateTime::currentDateTime();
    record.nLevel = level;
    record.strFile = nullSafe(file);
    record.nLine = line;
    record.strFunction = nullSafe(function);
    record.strModule = nullSafe(module);
    if (format) {
        va_list args;
        va_start(args, format);
        record.strMessage = QString::vasprintf(format, args);
        va_end(args);
    }

    QList<Observer> listObservers;
    {
        QMutexLocker locker(&m_pImpl->mutex);
        m_pImpl->write(record);
        listObservers = m_pImpl->mapObservers.values();
    }
    forwardToQt(record, file, line, function);
    // Outside the lock, so that an observer may log in turn.
    for (const Observer& observer : qAsConst(listObservers)) {
        observer(record);
    }
    return record.strMessage.size();
}

int NPrintLog::addObserver(Observer observer)
{
    QMutexLocker locker(&m_pImpl->mutex);
    const int nId = m_pImpl->nNextObserverId++;
    m_pImpl->mapObservers.insert(nId, std::move(observer));
    return nId;
}

void NPrintLog::removeObserver(int nId)
{
    QMutexLocker locker(&m_pImpl->mutex);
    m_pImpl->mapObservers.remove(nId);
}

}  // namespace ncl
