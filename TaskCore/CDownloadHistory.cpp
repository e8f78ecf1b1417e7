#include "CDownloadHistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

#include <atomic>

#include <ncl/NPrintLog.h>

namespace {

const char* const kLogFile = "DownloadWidget\\CDownloadHistory";
const int kLogInfo = 5;
const int kLogWarning = 6;
const int kLogTrace = 4;

std::atomic<int> s_nConnections{0};

// The layout step by step: a file of version N runs the steps after N. Version 1 kept only the
// finished downloads.
const char* const kMigrations[] = {
    "CREATE TABLE done (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL, info TEXT NOT NULL, "
    "seconds INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE tasks (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL, info TEXT NOT NULL, "
    "state INTEGER NOT NULL DEFAULT 0, bytes_done INTEGER NOT NULL DEFAULT 0, speed INTEGER NOT NULL DEFAULT "
    "1)",
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == CDownloadHistory::kSchemaVersion,
              "one step per version");

QString fromStd(const std::string& str)
{
    return QString::fromStdString(str);
}

QJsonObject recordJson(const DownloadInfo& info)
{
    QJsonArray arrOffsets;
    for (const qint64 nOffset : info.vecSegmentOffsets) {
        arrOffsets.append(QString::number(nOffset));
    }
    const RecordFileInfo& file = info.stRecordFile;
    return QJsonObject{{"mode", info.nDownloadMode},
                       {"channelName", info.strChannelName},
                       {"shop", info.strShopName},
                       {"device", info.strDeviceId},
                       {"name", info.strFileName},
                       {"path", info.strFilePath},
                       {"url", info.strSourceUrl},
                       {"channel", info.strChannelId},
                       {"start", info.nStartDownloadTime},
                       {"sourceKind", info.nSourceKind},
                       {"fileId", fromStd(file.strFileId)},
                       {"begin", fromStd(file.strBeginTime)},
                       {"end", fromStd(file.strEndTime)},
                       {"stream", fromStd(file.strStreamType)},
                       {"format", fromStd(file.strFormat)},
                       {"size", QString::number(file.nFileSize)},
                       {"checksum", fromStd(file.strChecksum)},
                       {"segments", arrOffsets}};
}

DownloadInfo recordFromJson(const QJsonObject& obj)
{
    DownloadInfo info;
    info.nDownloadMode = obj.value("mode").toInt();
    info.strChannelName = obj.value("channelName").toString();
    info.strShopName = obj.value("shop").toString();
    info.strDeviceId = obj.value("device").toString();
    info.strFileName = obj.value("name").toString();
    info.strFilePath = obj.value("path").toString();
    info.strSourceUrl = obj.value("url").toString();
    info.strChannelId = obj.value("channel").toString();
    info.nStartDownloadTime = static_cast<qint64>(obj.value("start").toDouble());
    info.nSourceKind = obj.value("sourceKind").toInt();
    RecordFileInfo& file = info.stRecordFile;
    file.strFileId = obj.value("fileId").toString().toStdString();
    file.strBeginTime = obj.value("begin").toString().toStdString();
    file.strEndTime = obj.value("end").toString().toStdString();
    file.strStreamType = obj.value("stream").toString().toStdString();
    file.strFormat = obj.value("format").toString().toStdString();
    file.nFileSize = obj.value("size").toString().toLongLong();
    file.strChecksum = obj.value("checksum").toString().toStdString();
    for (const QJsonValue& value : obj.value("segments").toArray()) {
        info.vecSegmentOffsets.append(value.toString().toLongLong());
    }
    return info;
}

QJsonObject pictureJson(const DownloadPicInfo& info)
{
    return QJsonObject{{"device", info.strDeviceId},       {"channel", info.strChannelId},
                       {"begin", info.strBeginTime},       {"end", info.strEndTime},
                       {"name", info.strFileName},         {"url", info.strSourceUrl},
                       {"overwrite", info.bOverwrite},     {"size", QString::number(info.nFileSize)},
                       {"start", info.nStartDownloadTime}, {"notice", info.strNotifyText},
                       {"count", info.nPictureCount}};
}

DownloadPicInfo pictureFromJson(const QJsonObject& obj)
{
    DownloadPicInfo info;
    info.strDeviceId = obj.value("device").toString();
    info.strChannelId = obj.value("channel").toString();
    info.strBeginTime = obj.value("begin").toString();
    info.strEndTime = obj.value("end").toString();
    info.strFileName = obj.value("name").toString();
    info.strSourceUrl = obj.value("url").toString();
    info.bOverwrite = obj.value("overwrite").toBool();
    info.nFileSize = obj.value("size").toString().toLongLong();
    info.nStartDownloadTime = static_cast<qint64>(obj.value("start").toDouble());
    info.strNotifyText = obj.value("notice").toString();
    info.nPictureCount = obj.value("count").toInt();
    return info;
}

QString infoText(const CDownloadHistory::Entry& entry)
{
    const QJsonObject obj =
        entry.eKind == CDownloadHistory::Picture ? pictureJson(entry.picture) : recordJson(entry.record);
    return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact));
}

}  // namespace

CDownloadHistory::Batch::Batch(CDownloadHistory* pHistory) : m_pHistory(pHistory)
{
    if (m_pHistory) {
        m_pHistory->begin();
    }
}

CDownloadHistory::Batch::~Batch()
{
    if (m_pHistory) {
        m_pHistory->end();
    }
}

CDownloadHistory::CDownloadHistory(const QString& strPath, QObject* parent, int nBusyTimeoutMs)
    : QObject(parent),
      m_strPath(strPath),
      m_nBusyTimeoutMs(nBusyTimeoutMs),
      m_strConnection(QStringLiteral("DownloadHistory-%1").arg(++s_nConnections))
{
    if (m_strPath.isEmpty()) {
        return;
    }
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    // A lock left by a process that died is taken over; a living one makes this copy read-only.
    m_pLock = std::make_unique<QLockFile>(m_strPath + QStringLiteral(".lock"));
    m_pLock->setStaleLockTime(0);
    m_bReadOnly = !m_pLock->tryLock(0);
    if (m_bReadOnly) {
        log(kLogWarning, "another client uses the download history %s: it is read-only here", m_strPath);
    }
    if (openFile()) {
        startWriter();
        return;
    }
    if (m_bReadOnly) {
        log(kLogWarning, "the download history %s cannot be read", m_strPath);
        return;
    }
    setAside();
    if (!openFile()) {
        log(kLogWarning, "no download history can be kept in %s", m_strPath);
        return;
    }
    startWriter();
}

void CDownloadHistory::startWriter()
{
    if (m_bReadOnly) {
        return;
    }
    // Ids are handed out here, so that a row knows its stored copy before it is written.
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    for (const auto& table :
         {std::make_pair("done", &m_nLastDoneId), std::make_pair("tasks", &m_nLastTaskId)}) {
        query.exec(
            QStringLiteral("SELECT MAX(IFNULL((SELECT seq FROM sqlite_sequence WHERE name = '%1'), 0), "
                           "IFNULL((SELECT MAX(id) FROM %1), 0))")
                .arg(QLatin1String(table.first)));
        *table.second = query.next() ? query.value(0).toLongLong() : 0;
    }
    m_pWriter = std::make_unique<CHistoryWriter>(m_strPath, m_nBusyTimeoutMs);
}

CDownloadHistory::~CDownloadHistory()
{
    m_pWriter.reset();
    closeDatabase();
}

void CDownloadHistory::flush()
{
    if (m_pWriter) {
        m_pWriter->flush();
    }
}

bool CDownloadHistory::openFile()
{
    closeDatabase();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
        db.setDatabaseName(m_strPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(m_nBusyTimeoutMs)
                                 .arg(m_bReadOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        m_bOpen = db.open() && prepareSchema();
    }
    if (!m_bOpen) {
        closeDatabase();
    }
    return m_bOpen;
}

bool CDownloadHistory::prepareSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_strConnection, false);
    QSqlQuery query(db);
    // A damaged file shows here at the latest: its header, its pages or its layout.
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next() ||
        query.value(0).toString() != QLatin1String("ok")) {
        log(kLogWarning, "the download history %s is damaged", m_strPath);
        return false;
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return false;
    }
    const int nVersion = query.value(0).toInt();
    if (nVersion > kSchemaVersion) {
        // Written by a newer client: read what we know, change nothing (not even the journal mode).
        log(kLogWarning, "the download history %s is of a newer client: it is read-only here", m_strPath);
        m_bReadOnly = true;
        return true;
    }
    if (!m_bReadOnly && (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
                         !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))) {
        return false;
    }
    if (nVersion < kSchemaVersion && m_bReadOnly) {
        return nVersion > 0;
    }
    return nVersion == kSchemaVersion || migrate(nVersion);
}

bool CDownloadHistory::migrate(int nFromVersion)
{
    QSqlDatabase db = QSqlDatabase::database(m_strConnection, false);
    if (nFromVersion < 0 || !db.transaction()) {
        return false;
    }
    QSqlQuery query(db);
    for (int nStep = nFromVersion; nStep < kSchemaVersion; ++nStep) {
        if (!query.exec(QString::fromLatin1(kMigrations[nStep]))) {
            log(kLogWarning, "the download history cannot be brought up to date: %s",
                query.lastError().text());
            db.rollback();
            return false;
        }
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) || !db.commit()) {
        db.rollback();
        return false;
    }
    if (nFromVersion > 0) {
        log(kLogInfo, "the download history %s was brought up to date", m_strPath);
    }
    return true;
}

void CDownloadHistory::setAside()
{
    closeDatabase();
    m_strSetAside =
        m_strPath + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    // The journal files belong to the old file: a fresh one must not replay them.
    for (const QString& strSuffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_strPath + strSuffix) &&
            !QFile::rename(m_strPath + strSuffix, m_strSetAside + strSuffix)) {
            QFile::remove(m_strPath + strSuffix);
        }
    }
    log(kLogWarning, "the download history could not be read; it was renamed to %s and a new one started",
        m_strSetAside);
}

void CDownloadHistory::closeDatabase()
{
    m_bOpen = false;
    if (QSqlDatabase::contains(m_strConnection)) {
        QSqlDatabase::database(m_strConnection, false).close();
        QSqlDatabase::removeDatabase(m_strConnection);
    }
}

void CDownloadHistory::begin()
{
    ++m_nBatchDepth;
}

void CDownloadHistory::end()
{
    if (--m_nBatchDepth == 0 && !m_vecPending.empty() && m_pWriter) {
        m_pWriter->post(std::move(m_vecPending));
        m_vecPending.clear();
    }
}

void CDownloadHistory::change(CHistoryWriter::Step fnStep)
{
    const Batch batch(this);
    m_vecPending.push_back(std::move(fnStep));
}

bool CDownloadHistory::exec(QSqlQuery& query, const char* szWhat)
{
    if (query.exec()) {
        return true;
    }
    // A trace only: the writer tells the user's log once, whatever the number of rows.
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadHistory::exec", "", kLogTrace,
                                    "history: %s failed: %s", szWhat,
                                    qUtf8Printable(query.lastError().text()));
    return false;
}

QVector<CDownloadHistory::Entry> CDownloadHistory::doneEntries()
{
    return readEntries(doneQuery(), false);
}

void CDownloadHistory::readDoneEntries(std::function<void(const QVector<Entry>&)> fnReady)
{
    const auto fnDeliver = [this, fnReady](const QVector<Entry>& vecEntries) {
        QMetaObject::invokeMethod(
            this, [fnReady, vecEntries] { fnReady(vecEntries); }, Qt::QueuedConnection);
    };
    if (!m_pWriter) {
        // Nothing is written here (read-only, or no file): read now, told later all the same.
        fnDeliver(doneEntries());
        return;
    }
    // The rows there now, however late the read runs: a row added meanwhile is shown already.
    const QString strSql = doneQuery(QStringLiteral("WHERE id <= %1").arg(m_nLastDoneId));
    // Read and parsed on the writer's thread once the caller is done (its own reads wait for the
    // writer): a long list is parsed while the window paints. The writer ends before this object
    // does, so `this` outlives the step; a step posted after this object is gone never runs.
    QTimer::singleShot(0, this, [this, strSql, fnDeliver] {
        change([strSql, fnDeliver](QSqlQuery& query) {
            fnDeliver(readRows(query, strSql, false));
            return true;
        });
    });
}

QVector<CDownloadHistory::Entry> CDownloadHistory::taskEntries(Kind eKind)
{
    return readEntries(
        QStringLiteral(
            "SELECT id, kind, info, state, bytes_done, speed FROM tasks WHERE kind = %1 ORDER BY id")
            .arg(eKind),
        true);
}

QString CDownloadHistory::doneQuery(const QString& strWhere)
{
    return QStringLiteral("SELECT id, kind, info, seconds FROM done %1 ORDER BY id DESC LIMIT %2")
        .arg(strWhere)
        .arg(kMaxDoneRows);
}

QVector<CDownloadHistory::Entry> CDownloadHistory::readEntries(const QString& strSql, bool bTasks)
{
    if (!m_bOpen) {
        return {};
    }
    // What was changed before is read back as changed.
    flush();
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    return readRows(query, strSql, bTasks);
}

QVector<CDownloadHistory::Entry> CDownloadHistory::readRows(QSqlQuery& query, const QString& strSql,
                                                            bool bTasks)
{
    QVector<Entry> vecEntries;
    query.setForwardOnly(true);
    if (!query.exec(strSql)) {
        log(kLogWarning, "the download history cannot be read: %s", query.lastError().text());
        return vecEntries;
    }
    while (query.next()) {
        Entry entry;
        entry.nId = query.value(0).toLongLong();
        const int nKind = query.value(1).toInt();
        const QJsonDocument doc = QJsonDocument::fromJson(query.value(2).toString().toUtf8());
        // A row this client cannot make sense of is left where it is, unshown.
        if ((nKind != Record && nKind != Picture) || !doc.isObject()) {
            log(kLogWarning, "stored row %s is not understood; skipped", QString::number(entry.nId));
            continue;
        }
        entry.eKind = static_cast<Kind>(nKind);
        if (entry.eKind == Picture) {
            entry.picture = pictureFromJson(doc.object());
        } else {
            entry.record = recordFromJson(doc.object());
        }
        if (bTasks) {
            entry.nState = query.value(3).toInt();
            entry.nBytesDone = query.value(4).toLongLong();
            entry.nSpeed = query.value(5).toInt();
        } else {
            entry.nSeconds = query.value(3).toLongLong();
        }
        vecEntries.append(entry);
    }
    return vecEntries;
}

qint64 CDownloadHistory::addDone(const Entry& entry)
{
    if (!m_pWriter) {
        return 0;
    }
    const qint64 nId = ++m_nLastDoneId;
    change([nId, entry](QSqlQuery& query) {
        query.prepare(QStringLiteral("INSERT INTO done (id, kind, info, seconds) VALUES (?, ?, ?, ?)"));
        query.addBindValue(nId);
        query.addBindValue(static_cast<int>(entry.eKind));
        query.addBindValue(infoText(entry));
        query.addBindValue(entry.nSeconds);
        if (!exec(query, "adding a finished download")) {
            return false;
        }
        // The oldest go once the list is full.
        query.prepare(QStringLiteral("DELETE FROM done WHERE id <= ?"));
        query.addBindValue(nId - kMaxDoneRows);
        return exec(query, "dropping the oldest finished downloads");
    });
    return nId;
}

qint64 CDownloadHistory::addTask(const Entry& entry)
{
    if (!m_pWriter) {
        return 0;
    }
    const qint64 nId = ++m_nLastTaskId;
    change([nId, entry](QSqlQuery& query) {
        query.prepare(QStringLiteral(
            "INSERT INTO tasks (id, kind, info, state, bytes_done, speed) VALUES (?, ?, ?, ?, ?, ?)"));
        query.addBindValue(nId);
        query.addBindValue(static_cast<int>(entry.eKind));
        query.addBindValue(infoText(entry));
        query.addBindValue(entry.nState);
        query.addBindValue(entry.nBytesDone);
        query.addBindValue(entry.nSpeed);
        return exec(query, "adding a task");
    });
    return nId;
}

void CDownloadHistory::updateTask(qint64 nId, int nState, qint64 nBytesDone)
{
    if (!m_pWriter || nId <= 0) {
        return;
    }
    change([nId, nState, nBytesDone](QSqlQuery& query) {
        query.prepare(QStringLiteral("UPDATE tasks SET state = ?, bytes_done = ? WHERE id = ?"));
        query.addBindValue(nState);
        query.addBindValue(nBytesDone);
        query.addBindValue(nId);
        return exec(query, "updating a task");
    });
}

void CDownloadHistory::setTaskSpeed(qint64 nId, int nSpeed)
{
    if (!m_pWriter || nId <= 0) {
        return;
    }
    change([nId, nSpeed](QSqlQuery& query) {
        query.prepare(QStringLiteral("UPDATE tasks SET speed = ? WHERE id = ?"));
        query.addBindValue(nSpeed);
        query.addBindValue(nId);
        return exec(query, "changing a task's speed");
    });
}

void CDownloadHistory::removeDone(const QList<qint64>& listIds)
{
    removeIds(QStringLiteral("done"), listIds);
}

void CDownloadHistory::removeTasks(const QList<qint64>& listIds)
{
    removeIds(QStringLiteral("tasks"), listIds);
}

void CDownloadHistory::removeIds(const QString& strTable, const QList<qint64>& listIds)
{
    if (!m_pWriter || listIds.isEmpty()) {
        return;
    }
    QVariantList listValues;
    listValues.reserve(listIds.size());
    for (const qint64 nId : listIds) {
        listValues.append(nId);
    }
    change([strTable, listValues](QSqlQuery& query) {
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(strTable));
        query.addBindValue(listValues);
        if (query.execBatch()) {
            return true;
        }
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadHistory::removeIds", "", kLogWarning,
                                        "rows of the download history were not removed: %s",
                                        qUtf8Printable(query.lastError().text()));
        return false;
    });
}

void CDownloadHistory::clearDone()
{
    if (!m_pWriter) {
        return;
    }
    change([](QSqlQuery& query) {
        query.prepare(QStringLiteral("DELETE FROM done"));
        return exec(query, "clearing the finished downloads");
    });
}

void CDownloadHistory::log(int nLevel, const char* szFormat, const QString& strArg)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadHistory", "", nLevel, szFormat,
                                    qUtf8Printable(strArg));
}
