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
#include <QJsonArray>
#include <QUrl>

#include <cmath>

namespace {

const char* const kLogFile = "WebDownloadCenter\\CDownloadByPublicUrl";
// Free names are looked for up to name(kMaxNumber).ext; beyond that the job fails.
constexpr int kMaxNumber = 9999;
// Names are cut to leave room for "(9999)" and ".part" within one file name.
constexpr int kMaxNameBytes = ncl::NFileName::kMaxBytes - 11;

enum Status
{
    eInProgress = 0,
    eFailed = 2,
    eFinished = 3
};

// A name or address from the page, fit for one log line.
QByteArray printable(const QString& strText)
{
    return strText.left(256).toUtf8().toPercentEncoding(" /\\:()[]{}@!$&'*+,;=?#~");
}

bool isFetchable(const QString& strUrl)
{
    const QUrl url(strUrl.trimmed());
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// A path is taken by a file, a folder or a link, dangling links included.
bool isTaken(const QString& strPath)
{
    const QFileInfo info(strPath);
    return info.exists() || info.isSymLink();
}

// strPath with "(n)" before the extension of its file name, or at its end without one.
QString numberedPath(const QString& strPath, int nNumber)
{
    const int nSlash = strPath.lastIndexOf(QLatin1Char('/'));
    const QString strDir = strPath.left(nSlash + 1);
    const QString strName = strPath.mid(nSlash + 1);
    int nDot = strName.lastIndexOf(QLatin1Char('.'));
    if (nDot <= 0) {
        // No extension; a leading dot starts a hidden name, not an extension.
        nDot = strName.size();
    }
    return strDir + strName.left(nDot) + QStringLiteral("(%1)").arg(nNumber) + strName.mid(nDot);
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
    if (m_pNetworkManager != nullptr) {
        // No callback may reach this object once it is gone; without a listener the manager
        // also stops its transfers.
        m_pNetworkManager->registerObject(nullptr);
        m_pNetworkManager->deleteLater();
        m_pNetworkManager = nullptr;
    }
    for (PublicUrlTaskInfo& task : m_mapTasks) {
        releaseFile(task);
    }
}

QJsonObject CDownloadByPublicUrl::makeRPCObject(const QString& method, bool async, bool result, int id)
{
    return CRPCEnvelope::make(s_nRPCId, method, async, result, id);
}

QString CDownloadByPublicUrl::getUniqueFilePath(QString strPath, int nIndex)
{
    if (!isTaken(strPath)) {
        return strPath;
    }
    for (int nNumber = qMax(1, nIndex); nNumber <= kMaxNumber; ++nNumber) {
        const QString strCandidate = numberedPath(strPath, nNumber);
        if (!isTaken(strCandidate)) {
            return strCandidate;
        }
    }
    return QString();
}

QString CDownloadByPublicUrl::downloadFolder()
{
    return ConfigInfo::CConfig::instance().getDownloadConfig().strFileDownloadPath;
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

void CDownloadByPublicUrl::storeNew(const PublicUrlTaskInfo& task)
{
    auto it = m_mapTasks.find(task.strTaskId);
    if (it != m_mapTasks.end()) {
        releaseFile(*it);
        *it = task;
    } else {
        m_mapTasks.insert(task.strTaskId, task);
    }
}

void CDownloadByPublicUrl::addDownloadTasksByPublicUrl(const QJsonObject& params)
{
    if (m_pNetworkManager == nullptr || !params.contains(QStringLiteral("downloadTasks"))) {
        return;
    }
    const QString strFolder = downloadFolder();
    if (strFolder.isEmpty() || (!QDir(strFolder).exists() && !QDir().mkpath(strFolder))) {
        return;
    }
    const QJsonArray arrTasks = params.value(QStringLiteral("downloadTasks")).toArray();
    for (const QJsonValue& value : arrTasks) {
        const QJsonObject object = value.toObject();
        PublicUrlTaskInfo task;
        task.strTaskId = object.value(QStringLiteral("taskId")).toString();
        task.strUrl = object.value(QStringLiteral("url")).toString();
        task.strFileName = object.value(QStringLiteral("fileName")).toString();

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
            storeNew(task);
            continue;
        }
        task.strFilePath = strFolder + QLatin1Char('/') + strName;
        storeNew(task);
        m_pNetworkManager->getRequestPublicUrl(task.strUrl, task.strTaskId);
    }
}

bool CDownloadByPublicUrl::prepareFile(PublicUrlTaskInfo& task)
{
    if (task.bFileOpened) {
        return task.pFile != nullptr && task.pFile->isOpen();
    }
    task.bFileOpened = true;
    // Jobs refused when they were accepted have no path: nothing is written for them.
    if (task.strFilePath.isEmpty()) {
        task.nStatus = eFailed;
        return false;
    }
    const QString strWanted = task.strFilePath;
    auto* pFile = new QFile();
    // Each turn either creates the file or finds its free name taken meanwhile, so the next
    // search gets past that name; the bound only guards against names that keep coming back.
    for (int nTurn = 0; nTurn <= kMaxNumber; ++nTurn) {
        const QString strCandidate = getUniqueFilePath(strWanted, 1);
        if (strCandidate.isEmpty()) {
            break;
        }
        // Created new or not at all: a job starting at the same moment, or anything else
        // that appeared meanwhile, is never opened over.
        pFile->setFileName(strCandidate);
        if (pFile->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            task.strFilePath = strCandidate;
            task.pFile = pFile;
            return true;
        }
        if (!isTaken(strCandidate)) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::prepareFile", "", 6,
                                            "cannot create [%s]: %s", printable(strCandidate).constData(),
                                            printable(pFile->errorString()).constData());
            break;
        }
    }
    delete pFile;
    task.nStatus = eFailed;
    return false;
}

void CDownloadByPublicUrl::onNetworkReadyRead(NetworkReplyData data, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end()) {
        return;
    }
    PublicUrlTaskInfo task = *it;
    if (prepareFile(task)) {
        const qint64 nWritten = task.pFile->write(data.baData);
        const bool bFlushed = task.pFile->flush();
        if (nWritten != data.baData.size() || !bFlushed) {
            // A file missing pieces is worthless: the job fails and takes no more data.
            task.nStatus = eFailed;
            releaseFile(task);
        }
    }
    m_mapTasks[strTaskId] = task;
}

void CDownloadByPublicUrl::onNetworkFinished(NetworkReplyData data, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end()) {
        return;
    }
    PublicUrlTaskInfo task = *it;
    bool bWritten = false;
    if (prepareFile(task)) {
        const qint64 nWritten = task.pFile->write(data.baData);
        const bool bFlushed = task.pFile->flush();
        task.pFile->close();
        bWritten = nWritten == data.baData.size() && bFlushed;
    }
    releaseFile(task);
    task.nStatus = bWritten ? eFinished : eFailed;
    m_mapTasks[strTaskId] = task;
}

void CDownloadByPublicUrl::onNetworkError(qint64 nCode, QString strError, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end()) {
        return;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::onNetworkError", "", 4,
                                    "task [%s] failed (%lld): %s", printable(strTaskId).constData(),
                                    static_cast<long long>(nCode), printable(strError).constData());
    PublicUrlTaskInfo task = *it;
    // The partial file stays on disk.
    releaseFile(task);
    task.nStatus = eFailed;
    m_mapTasks[strTaskId] = task;
}

void CDownloadByPublicUrl::onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId)
{
    auto it = m_mapTasks.find(strTaskId);
    if (it == m_mapTasks.end()) {
        return;
    }
    PublicUrlTaskInfo task = *it;
    task.nCurrLength += qMax<qint64>(0, nChunk);
    // Without a known total there is no fraction to give: 0, never NaN or infinity.
    task.fProgress =
        nTotal > 0 ? qBound(0.0f, static_cast<float>(task.nCurrLength) / static_cast<float>(nTotal), 1.0f)
                   : 0.0f;
    m_mapTasks[strTaskId] = task;
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CDownloadByPublicUrl::onNetworkProgress", "", 4,
                                    "iCurrLength [%d]", static_cast<int>(task.nCurrLength));
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
    if (!params.contains(QStringLiteral("taskId"))) {
        openUrl(strFolder);
        return;
    }
    const QString strTaskId = params.value(QStringLiteral("taskId")).toString();
    if (strTaskId.isEmpty()) {
        openUrl(strFolder);
    }
    // Only what lies inside the download folder is ever opened; anything else opens the folder.
    const auto it = m_mapTasks.constFind(strTaskId);
    if (it != m_mapTasks.constEnd()) {
        const QString strPath = it->strFilePath;
        openUrl(!strPath.isEmpty() && isInside(strPath, strFolder) ? strPath : strFolder);
        return;
    }
    if (!params.contains(QStringLiteral("fileName"))) {
        return;
    }
    const QString strFileName =
        ncl::NFileName::normalized(params.value(QStringLiteral("fileName")).toString());
    const QString strPath = QDir::cleanPath(strFolder + QLatin1Char('/') + strFileName);
    openUrl(ncl::NFileName::refusal(strFileName).isEmpty() && isInside(strPath, strFolder) ? strPath
                                                                                           : strFolder);
}
