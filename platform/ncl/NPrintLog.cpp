#include <ncl/NPrintLog.h>

#include <QAtomicInt>
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
const char* const kMaxBytesVariable = "CLIENT_LOG_MAX_BYTES";
const char* const kLevelVariable = "CLIENT_LOG_LEVEL";
// Information and up: traces cost nothing unless asked for.
constexpr int kDefaultLowestLevel = 5;
// The log file starts anew past this size; the last few files are kept as <name>.log.1, .2, ...
constexpr qint64 kDefaultMaxFileBytes = 8 * 1024 * 1024;
constexpr int kKeptOldFiles = 3;
// One message at most, in UTF-8 bytes: a caller cannot fill the disk with one line.
constexpr int kMaxMessageBytes = 4096;

bool needsEscape(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\') ||
           c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
           c.category() == QChar::Other_Surrogate || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

// One line of plain text whatever the message holds: line breaks, control and invisible
// characters (and the backslash, so that nothing reads as an escape) become \xNN per UTF-8
// byte, and the whole is capped with a marker saying how much was cut.
QString printableMessage(const QString& strMessage)
{
    QByteArray baLine;
    baLine.reserve(strMessage.size());
    int nCut = 0;
    for (int i = 0; i < strMessage.size(); ++i) {
        // A surrogate pair is one character; a lone surrogate is escaped on its own.
        const bool bPair = strMessage.at(i).isHighSurrogate() && i + 1 < strMessage.size() &&
                           strMessage.at(i + 1).isLowSurrogate();
        const QString strChar = strMessage.mid(i, bPair ? 2 : 1);
        i += bPair ? 1 : 0;
        QByteArray baChar = strChar.toUtf8();
        if (!bPair && needsEscape(strChar.at(0))) {
            QByteArray baEscaped;
            for (const char byte : baChar) {
                baEscaped += "\\x" + QByteArray::number(static_cast<uchar>(byte), 16).rightJustified(2, '0');
            }
            baChar = baEscaped;
        }
        if (nCut > 0 || baLine.size() + baChar.size() > kMaxMessageBytes) {
            nCut += strChar.toUtf8().size();
            continue;
        }
        baLine += baChar;
    }
    if (nCut > 0) {
        baLine += " [" + QByteArray::number(nCut) + " more bytes cut]";
    }
    return QString::fromUtf8(baLine);
}

int lowestLevelFromEnvironment()
{
    bool bOk = false;
    const int nLevel = qEnvironmentVariableIntValue(kLevelVariable, &bOk);
    return bOk ? nLevel : kDefaultLowestLevel;
}

qint64 maxFileBytes()
{
    bool bOk = false;
    const qint64 nBytes = qEnvironmentVariable(kMaxBytesVariable).toLongLong(&bOk);
    return bOk && nBytes > 0 ? nBytes : kDefaultMaxFileBytes;
}

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
    // Read without the lock: the level check comes before any work.
    QAtomicInt nLowestLevel{lowestLevelFromEnvironment()};

    qint64 nMaxFileBytes = kDefaultMaxFileBytes;

    void open()
    {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            qCWarning(lcNcl, "cannot open the log file %s", qUtf8Printable(file.fileName()));
        }
    }

    // <name>.log becomes <name>.log.1, the older ones move up one, the oldest goes.
    void rotate()
    {
        const QString strPath = file.fileName();
        file.close();
        QFile::remove(strPath + QStringLiteral(".%1").arg(kKeptOldFiles));
        for (int n = kKeptOldFiles - 1; n >= 1; --n) {
            QFile::rename(strPath + QStringLiteral(".%1").arg(n), strPath + QStringLiteral(".%1").arg(n + 1));
        }
        QFile::rename(strPath, strPath + QStringLiteral(".1"));
        open();
    }

    void write(const NLogRecord& record)
    {
        if (!bOpenTried) {
            bOpenTried = true;
            nMaxFileBytes = maxFileBytes();
            const QString strPath = NPrintLog::instance()->logFilePath();
            QDir().mkpath(QFileInfo(strPath).absolutePath());
            file.setFileName(strPath);
            open();
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
        const QByteArray baLine = strLine.toUtf8();
        if (file.size() > 0 && file.size() + baLine.size() > nMaxFileBytes) {
            rotate();
            if (!file.isOpen()) {
                return;
            }
        }
        file.write(baLine);
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

bool NPrintLog::isEnabled(int nLevel) const
{
    return nLevel >= lowestLevel();
}

int NPrintLog::lowestLevel() const
{
    return m_pImpl->nLowestLevel.loadRelaxed();
}

void NPrintLog::setLowestLevel(int nLevel)
{
    m_pImpl->nLowestLevel.storeRelaxed(nLevel);
}

int NPrintLog::Log(const char* file, int line, const char* function, const char* module, int level,
                   const char* format, ...)
{
    if (!isEnabled(level)) {
        return 0;
    }
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
        record.strMessage = printableMessage(QString::vasprintf(format, args));
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
