#include "CDownloadByPublicUrl.h"

#include "CRPCEnvelope.h"

#include <hostservices/CConfig.h>
#include <hostservices/NetworkManager.h>
#include <ncl/NFileName.h>
#include <ncl/NPrintLog.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QStorageInfo>
#include <QUrl>

#include <cmath>
#include <iterator>

#ifdef Q_OS_UNIX
#include <sys/statvfs.h>
#endif

namespace {

const char* const kLogFile = "WebDownloadCenter\\CDownloadByPublicUrl";
constexpr int kLogTrace = 4;
// A job writes its file under this suffix and renames it when the transfer ends well.
const char* const kPartSuffix = ".part";
// Transfers handed to the network at once per host; the other jobs wait their turn in order.
// Twice the connections Qt opens to a host, so that each connection has its next request at
// hand when a transfer ends instead of waiting for the round trip through this thread.
constexpr int kMaxTransfersPerHost = 12;
// Jobs kept for status requests; ended ones make room for new ones, oldest first.
constexpr int kMaxJobs = 1000;
// Files of these types are programs or scripts to a desktop, which would run them when opened.
const QStringList kRunnableSuffixes{
    QStringLiteral("desktop"), QStringLiteral("sh"),  QStringLiteral("run"), QStringLiteral("appimage"),
    QStringLiteral("exe"),     QStringLiteral("msi"), QStringLiteral("bat"), QStringLiteral("cmd"),
    QStringLiteral("com"),     QStringLiteral("scr"), QStringLiteral("jar"), QStringLiteral("py"),
    QStringLiteral("pl"),      QStringLiteral("js"),  QStringLiteral("vbs"), QStringLiteral("ps1")};
// Names are cut to leave room for "(9999)" and ".part" within one file name.
constexpr int kMaxNameBytes = ncl::NFileName::kMaxBytes - 11;

enum Status
{
    eInProgress = 0,
    eFailed = 2,
    eFinished = 3
};

// A name or address from the page, short enough that one line holds several; the log itself
// escapes whatever could break or forge a line.
QByteArray printable(const QString& strText)
{
    return strText.left(256).toUtf8();
}

bool isFetchable(const QString& strUrl)
{
    const QUrl url(strUrl.trimmed());
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// Free space for an unprivileged writer in strFolder, or -1 when unknown. Asked once per job:
// QStorageInfo reads the whole mount table for it, a tenth of the work of a run of 1 MiB files.
qint64 freeBytes(const QString& strFolder)
{
#ifdef Q_OS_UNIX
    struct statvfs stat;
    return statvfs(QFile::encodeName(strFolder).constData(), &stat) == 0
               ? static_cast<qint64>(stat.f_bavail) * static_cast<qint64>(stat.f_frsize)
               : -1;
#else
    const QStorageInfo storage(strFolder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
#endif
}

// A path is taken by a file, a folder or a link, dangling links included.
bool isTaken(const QString& strPath)
{
    const QFileInfo info(strPath);
    return info.exists() || info.isSymLink();
}

// Whether strPath lies inside strFolder once links are resolved.
bool isInside(const QString& strPath, const QString& strFolder)
{
    const QString strRealFolder = QFileInfo(strFolder).canonicalFilePath();
    const QString strRealPath = QFileInfo(strPath).canonicalFilePath();
    return !strRealFolder.isEmpty() && !strRealPath.isEmpty() &&
           strRealPath.startsWith(strRealFolder + QLatin1Char('/'));
}

double finiteOrZero(float fValue)
{
    return std::isfinite(fValue) ? static_cast<double>(fValue) : 0.0;
}

}  // namespace

int CDownloadByPublicUrl::s_nRPCId = 0;

CDownloadByPublicUrl::CDownloadByPublicUrl(QObject* parent)
    : QObject(parent), Common::NetworkManagerListener(), m_pNetworkManager(new Common::NetworkManager())
{
    m_pNetworkManager->registerObject(this);
}

CDownloadByPublicUrl::~CDownloadByPublicUrl()
{
    shutdown();
}

void CDownloadByPublicUrl::shutdown()
{
    if (m_bShutDown) {
        return;
    }
    m_bShutDown = true;
    if (m_pNetworkManager != nullptr) {
        // No callback may reach this object once it is gone; without a listener the manager
        // also stops its transfers.
        m_pNetworkManager->registerObject(nullptr);
        m_pNetworkManager->deleteLater();
        m_pNetworkManager = nullptr;
    }
    // A job cut short here (log-out, exit) can never be taken up again: its partial file goes.
    for (PublicUrlTaskInfo& task : m_mapTasks) {
        dropPartialFile(task);
    }
}

QJsonObject CDownloadByPublicUrl::makeRPCObject(const QString& method, bool async, bool result, int id)
{
    return CRPCEnvelope::make(s_nRPCId, method, async, result, id);
}

QString CDownloadByPublicUrl::getUniqueFilePath(QString strPath, int nIndex)
{
    // A name is taken by its file or by the partial file of a job on its way to it.
    const QFileInfo info(strPath);
    const QString strName = ncl::NFileName::freeName(
        info.path(), info.fileName(),
        [](const QString& strFree) { return isTaken(strFree + QLatin1String(kPartSuffix)); }, nIndex);
    return strName.isEmpty() ? QString() : info.path() + QLatin1Char('/') + strName;
}

QString CDownloadByPublicUrl::hostKey(const QUrl& url)
{
    // Only http and https get here; an address without a port goes to the scheme's own.
    const int nDefaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.scheme() + QStringLiteral("://") + url.host() + QLatin1Char(':') +
           QString::number(url.port(nDefaultPort));
}

QString CDownloadByPublicUrl::downloadFolder()
{
    return ConfigInfo::CConfig::instance().getDownloadConfig().strFileDownloadPath;
}

void CDownloadByPublicUrl::openFile(const QString& strPath)
{
    // What the desktop would run rather than show is shown in its folder.
    const QFileInfo info(strPath);
    const bool bRunnable = info.isFile() && (info.isExecutable() ||
                                             kRunnableSuffixes.contains(info.suffix(), Qt::CaseInsensitive));
    openUrl(bRunnable ? info.absolutePath() : strPath);
}

void CDownloadByPublicUrl::openUrl(const QString& strLocalPath)
{
    // As a local file URL, so that no character of a path is read as URL syntax.
    QDesktopServices::openUrl(QUrl::fromLocalFile(strLocalPath));
}

void CDownloadByPublicUrl::releaseFile(PublicUrlTaskInfo& task)
{
    if (task.pFile != nullptr) {
        task.pFile->close();
        delete task.pFile;
        task.pFile = nullptr;
    }
}

QString CDownloadByPublicUrl::reserveFile(const QString& strWanted)
{
    // Each turn either creates the partial file or finds its free name taken meanwhile, so the
    // next search gets past that name; the bound only guards against names that keep coming back.
    for (int nTurn = 0; nTurn <= ncl::NFileName::kMaxNumber; ++nTurn) {
        const QString strCandidate = getUniqueFilePath(strWanted, 1);
        if (strCandidate.isEmpty()) {
            break;
        }
        // Created new or not at all: nothing that appeared meanwhile is ever opened over.
        QFile part(strCandidate + QLatin1String(kPartSuffix));
        if (part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return strCandidate;
        }
        if (!isTaken(part.fileName())) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::reserveFile", "", 6,
                                            "cannot create [%s]: %s", printable(part.fileName()).constData(),
                                            printable(part.errorString()).constData());
            break;
        }
    }
    return QString();
}

void CDownloadByPublicUrl::fail(PublicUrlTaskInfo& task, const QString& strWhy)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::fail", "", 6,
                                    "task [%s] failed: %s", printable(task.strTaskId).constData(),
                                    printable(strWhy).constData());
    if (task.bRunning && m_pNetworkManager != nullptr) {
        m_pNetworkManager->abortRequest(task.strTaskId);
    }
    dropPartialFile(task);
    task.nStatus = eFailed;
}

void CDownloadByPublicUrl::dropPartialFile(PublicUrlTaskInfo& task)
{
    releaseFile(task);
    if (task.nStatus == eInProgress && !task.strFilePath.isEmpty()) {
        QFile::remove(task.strFilePath + QLatin1String(kPartSuffix));
    }
    setRunning(task, false);
    const auto itWaiting = m_hashWaiting.find(task.strHost);
    if (itWaiting != m_hashWaiting.end()) {
        itWaiting->removeAll(task.strTaskId);
    }
}

void CDownloadByPublicUrl::setRunning(PublicUrlTaskInfo& task, bool bRunning)
{
    if (task.bRunning != bRunning) {
        task.bRunning = bRunning;
        m_hashRunning[task.strHost] += bRunning ? 1 : -1;
    }
}

void CDownloadByPublicUrl::startWaiting()
{
    if (m_pNetworkManager == nullptr) {
        return;
    }
    // Per host: what one job's end asks costs the same with 6 or with 1,000 jobs in the list.
    QStringList listStart;
    for (auto it = m_hashWaiting.begin(); it != m_hashWaiting.end();) {
        while (!it->isEmpty() && m_hashRunning.value(it.key()) < kMaxTransfersPerHost) {
            const auto itTask = m_mapTasks.find(it->takeFirst());
            if (itTask != m_mapTasks.end()) {
                setRunning(*itTask, true);
                listStart << itTask->strTaskId;
            }
        }
        it = it->isEmpty() ? m_hashWaiting.erase(it) : std::next(it);
    }
    // After the bookkeeping: a request may fail at once, and its end starts the next.
    for (const QString& strTaskId : qAsConst(listStart)) {
        const auto it = m_mapTasks.constFind(strTaskId);
        if (it != m_mapTasks.constEnd() && it->bRunning) {
            m_pNetworkManager->getRequestPublicUrl(it->strUrl, strTaskId);
        }
    }
}

bool CDownloadByPublicUrl::makeRoom(const QJsonArray& arrTasks)
{
    QSet<QString> setNew;
    for (const QJsonValue& value : arrTasks) {
        const QString strTaskId = value.toObject().value(QStringLiteral("taskId")).toString();
        if (!m_mapTasks.contains(strTaskId)) {
            setNew.insert(strTaskId);
        }
    }
    const int nExcess = m_mapTasks.size() + setNew.size() - kMaxJobs;
    if (nExcess <= 0) {
        return true;
    }
    // The oldest ended jobs go from the list (their files stay); if they are not enough, the
    // request goes as a whole rather than half-accepted.
    QMap<qint64, QString> mapEnded;
    for (const PublicUrlTaskInfo& task : qAsConst(m_mapTasks)) {
        if (task.nStatus != eInProgress) {
            mapEnded.insert(task.nOrder, task.strTaskId);
        }
    }
    if (mapEnded.size() < nExcess) {
        ncl::NPrintLog::instance()->Log(
            kLogFile, __LINE__, "CDownloadByPublicUrl::makeRoom", "", 6,
            "refused a request of %d jobs: %d are running or waiting, at most %d kept",
            static_cast<int>(arrTasks.size()), static_cast<int>(m_mapTasks.size() - mapEnded.size()),
            kMaxJobs);
        return false;
    }
    for (const QString& strTaskId : mapEnded.values().mid(0, nExcess)) {
        PublicUrlTaskInfo task = m_mapTasks.take(strTaskId);
        releaseFile(task);
    }
    return true;
}

void CDownloadByPublicUrl::addDownloadTasksByPublicUrl(const QJsonObject& params)
{
    if (m_pNetworkManager == nullptr) {
        return;
    }
    if (!params.value(QStringLiteral("downloadTasks")).isArray()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__,
                                        "CDownloadByPublicUrl::addDownloadTasksByPublicUrl", "", 6,
                                        "refused a request without a list of downloadTasks");
        return;
    }
    const QString strFolder = downloadFolder();
    if (strFolder.isEmpty() || (!QDir(strFolder).exists() && !QDir().mkpath(strFolder))) {
        ncl::NPrintLog::instance()->Log(
            kLogFile, __LINE__, "CDownloadByPublicUrl::addDownloadTasksByPublicUrl", "", 6,
            "refused a request: the download folder [%s] cannot be made", qUtf8Printable(strFolder));
        return;
    }
    const QJsonArray arrTasks = params.value(QStringLiteral("downloadTasks")).toArray();
    if (!makeRoom(arrTasks)) {
        return;
    }
    for (const QJsonValue& value : arrTasks) {
        const QJsonObject object = value.toObject();
        PublicUrlTaskInfo task;
        task.strTaskId = object.value(QStringLiteral("taskId")).toString();
        task.strUrl = object.value(QStringLiteral("url")).toString();
        task.strFileName = object.value(QStringLiteral("fileName")).toString();
        task.nOrder = ++m_nAccepted;
        // A job accepted again starts over: the old transfer stops, its partial file goes.
        const auto itOld = m_mapTasks.find(task.strTaskId);
        if (itOld != m_mapTasks.end()) {
            if (itOld->bRunning) {
                m_pNetworkManager->abortRequest(task.strTaskId);
            }
            dropPartialFile(*itOld);
        }

        // A refused job is kept as failed, so that the page's status request reports it. The
        // report keeps the name asked for; the file gets its normalized form.
        const QString strName = ncl::NFileName::normalized(task.strFileName, kMaxNameBytes);
        const char* szRefused = nullptr;
        QString strRefused;
        QString strWhy = ncl::NFileName::refusal(strName);
        if (!strWhy.isEmpty()) {
            szRefused = "rejected file name [%s] of task [%s]: %s";
            strRefused = task.strFileName;
        } else if (!isFetchable(task.strUrl)) {
            szRefused = "rejected address [%s] of task [%s]: %s";
            strRefused = task.strUrl;
            strWhy = QStringLiteral("not an http or https address");
        }
        if (szRefused != nullptr) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__,
                                            "CDownloadByPublicUrl::addDownloadTasksByPublicUrl", "", 6,
                                            szRefused, printable(strRefused).constData(),
                                            printable(task.strTaskId).constData(), qUtf8Printable(strWhy));
            task.nStatus = eFailed;
            m_mapTasks[task.strTaskId] = task;
            continue;
        }
        // The free name is taken now, so that jobs of one request never meet.
        task.strFilePath = reserveFile(strFolder + QLatin1Char('/') + strName);
        task.nStatus = task.strFilePath.isEmpty() ? eFailed : eInProgress;
        const QUrl url(task.strUrl.trimmed());
        task.strHost = hostKey(url);
        m_mapTasks[task.strTaskId] = task;
        if (task.nStatus == eInProgress) {
            m_hashWaiting[task.strHost] << task.strTaskId;
        }
    }
    startWaiting();
}

bool CDownloadByPublicUrl::prepareFile(PublicUrlTaskInfo& task)
{
    if (task.nStatus != eInProgress) {
        return false;
    }
    if (task.pFile == nullptr) {
        // The partial file was created empty when the job was accepted.
        auto* pFile = new QFile(task.strFilePath + QLatin1String(kPartSuffix));
        if (!pFile->open(QIODevice::WriteOnly | QIODevice::Append)) {
            const QString strError = pFile->errorString();
            delete pFile;
            fail(task, QStringLiteral("cannot open its file: ") + strError);
            return false;
        }
        task.pFile = pFile;
    }
    return true;
}

bool CDownloadByPublicUrl::writeData(PublicUrlTaskInfo& task, const QByteArray& baData)
{
    if (!prepareFile(task)) {
        return false;
    }
    if (task.pFile->write(baData) != baData.size() || !task.pFile->flush()) {
        // A file missing pieces is worthless: the transfer stops at once.
        fail(task, QStringLiteral("cannot write its file: ") + task.pFile->errorString());
        return false;
    }
    return true;
}

void CDownloadByPublicUrl::onNetworkReadyRead(NetworkReplyData data, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end()) {
        return;
    }
    if (!writeData(*it, data.baData)) {
        startWaiting();
    }
}

void CDownloadByPublicUrl::onNetworkFinished(NetworkReplyData data, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end() || it->nStatus != eInProgress) {
        return;
    }
    PublicUrlTaskInfo& task = *it;
    setRunning(task, false);
    if (writeData(task, data.baData)) {
        releaseFile(task);
        // The free name was reserved through its partial file; should something have taken the
        // name itself meanwhile, the next free one is tried once. A rename that fails for any
        // other reason would fail again: no loop.
        const QString strPart = task.strFilePath + QLatin1String(kPartSuffix);
        QString strFinal = task.strFilePath;
        bool bNamed = QFile::rename(strPart, strFinal);
        if (!bNamed) {
            strFinal = getUniqueFilePath(task.strFilePath, 1);
            bNamed = !strFinal.isEmpty() && QFile::rename(strPart, strFinal);
        }
        if (!bNamed) {
            fail(task, QStringLiteral("cannot give its file its name"));
        } else {
            task.strFilePath = strFinal;
            task.nStatus = eFinished;
        }
    }
    startWaiting();
}

void CDownloadByPublicUrl::onNetworkError(qint64 nCode, QString strError, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end() || it->nStatus != eInProgress) {
        return;
    }
    setRunning(*it, false);
    fail(*it, QStringLiteral("(%1) %2").arg(nCode).arg(strError));
    startWaiting();
}

void CDownloadByPublicUrl::onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end() || it->nStatus != eInProgress) {
        return;
    }
    PublicUrlTaskInfo& task = *it;
    if (!task.bSpaceChecked && nTotal > 0) {
        task.bSpaceChecked = true;
        const qint64 nFree = freeBytes(QFileInfo(task.strFilePath).absolutePath());
        if (nFree >= 0 && nTotal - task.nCurrLength > nFree) {
            fail(task, QStringLiteral("%1 bytes announced, %2 free").arg(nTotal).arg(nFree));
            startWaiting();
            return;
        }
    }
    task.nCurrLength += qMax<qint64>(0, nChunk);
    // Without a known total there is no fraction to give: 0, never NaN or infinity.
    task.fProgress =
        nTotal > 0 ? qBound(0.0f, static_cast<float>(task.nCurrLength) / static_cast<float>(nTotal), 1.0f)
                   : 0.0f;
    // Every piece of every job passes here: nothing is formatted while traces are off.
    if (ncl::NPrintLog::instance()->isEnabled(kLogTrace)) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::onNetworkProgress", "",
                                        kLogTrace, "iCurrLength [%lld]",
                                        static_cast<long long>(task.nCurrLength));
    }
}

void CDownloadByPublicUrl::getDownloadTasksByPublicUrlStatus(const QJsonObject& params)
{
    QJsonObject envelope =
        makeRPCObject(QStringLiteral("responseDownloadTasksByPublicUrlStatus"), false, true);

    const auto entry = [](const PublicUrlTaskInfo& task) {
        QJsonObject object;
        object.insert(QStringLiteral("taskId"), task.strTaskId);
        object.insert(QStringLiteral("url"), task.strUrl);
        object.insert(QStringLiteral("fileName"), task.strFileName);
        object.insert(QStringLiteral("status"), task.nStatus);
        object.insert(QStringLiteral("downloadProgress"), finiteOrZero(task.fProgress));
        return object;
    };

    QJsonArray arrStatus;
    if (!params.contains(QStringLiteral("downloadTasks"))) {
        for (const PublicUrlTaskInfo& task : qAsConst(m_mapTasks)) {
            arrStatus.append(entry(task));
        }
    } else {
        const QJsonArray arrIds = params.value(QStringLiteral("downloadTasks")).toArray();
        for (const QJsonValue& value : arrIds) {
            // An unknown id gives a job with the initial values.
            arrStatus.append(entry(m_mapTasks.value(value.toString())));
        }
    }
    envelope.insert(QStringLiteral("params"),
                    QJsonObject{{QStringLiteral("downloadTasksStatus"), arrStatus}});
    QString strTasksStatus = CRPCEnvelope::toCompactText(envelope);
    emit sgnUpdateDownloadTasksStatus(strTasksStatus);
}

void CDownloadByPublicUrl::openDownloadFiledir(const QJsonObject& params)
{
    const QString strFolder = downloadFolder();
    // No task named (missing or empty) means the folder, whatever else the request holds.
    const QString strTaskId = params.value(QStringLiteral("taskId")).toString();
    if (strTaskId.isEmpty()) {
        openUrl(strFolder);
        return;
    }
    // Only a finished file of a job, or a plain name, inside the download folder is ever opened;
    // anything else opens the folder.
    const auto it = m_mapTasks.constFind(strTaskId);
    if (it != m_mapTasks.constEnd()) {
        const QString strPath = it->strFilePath;
        openFile(it->nStatus == eFinished && isInside(strPath, strFolder) ? strPath : strFolder);
        return;
    }
    if (!params.contains(QStringLiteral("fileName"))) {
        return;
    }
    const QString strFileName =
        ncl::NFileName::normalized(params.value(QStringLiteral("fileName")).toString());
    const QString strPath = QDir::cleanPath(strFolder + QLatin1Char('/') + strFileName);
    openFile(ncl::NFileName::refusal(strFileName).isEmpty() && isInside(strPath, strFolder) ? strPath
                                                                                            : strFolder);
}
