#include "CRecordDownloadManagerPrivate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <downloadengine/CRecordDownloadManager.h>
#include <ncl/NFileName.h>
#include <ncl/NPrintLog.h>

#include "CEngineSettings.h"
#include "CSafeFileName.h"

namespace {

const char* const kLogFile = "platform\\downloadengine\\CRecordDownloadManagerPrivate";
const int kLogTrace = 4;
const int kLogWarning = 6;

// Decodes at once; more would only compete for the disk.
const int kDecodeThreads = 2;

const QStringList& workSuffixes()
{
    static const QStringList s_listSuffixes{QStringLiteral(".part"), QStringLiteral(".part.source")};
    return s_listSuffixes;
}

}  // namespace

CRecordDownloadManagerPrivate::CRecordDownloadManagerPrivate(CRecordDownloadManager* pOwner) : q(pOwner)
{
    m_pool.setMaxThreadCount(kDecodeThreads);
}

CRecordTask* CRecordDownloadManagerPrivate::task(int nIndex) const
{
    const auto it = m_mapTasks.find(nIndex);
    return it == m_mapTasks.end() ? nullptr : it->second.get();
}

int CRecordDownloadManagerPrivate::runningCount() const
{
    int nRunning = 0;
    for (const auto& entry : m_mapTasks) {
        nRunning += entry.second->isRunning() ? 1 : 0;
    }
    return nRunning;
}

QNetworkAccessManager* CRecordDownloadManagerPrivate::access()
{
    if (m_pAccess == nullptr) {
        m_pAccess = new QNetworkAccessManager(q);
    }
    return m_pAccess;
}

QSet<QString> CRecordDownloadManagerPrivate::targetsOfOthers(int nIndex) const
{
    QSet<QString> setTargets;
    for (const auto& entry : m_mapTasks) {
        if (entry.first != nIndex && !entry.second->info.strFilePath.isEmpty()) {
            setTargets.insert(entry.second->info.strFilePath);
        }
    }
    return setTargets;
}

void CRecordDownloadManagerPrivate::prepare(int nIndex, CRecordTask& task)
{
    // Prepared once: the name, and with it the partial file, stay with the task.
    if (task.info.strFilePath.isEmpty()) {
        const QString strFolder = QDir::cleanPath(CEngineSettings::downloadFolder());
        if (!QDir().mkpath(strFolder)) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::prepare", "",
                                            kLogWarning, "cannot make the download folder %s",
                                            qUtf8Printable(strFolder));
        }
        const QString strWanted = ncl::NFileName::sanitize(
            task.info.strFileName, QStringLiteral("record_%1").arg(nIndex), CSafeFileName::kMaxNameBytes);
        const QString strName =
            CSafeFileName::freeName(strFolder, strWanted, targetsOfOthers(nIndex), workSuffixes());
        if (strName.isEmpty()) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::prepare", "",
                                            kLogWarning, "no free file name for task %d in %s", nIndex,
                                            qUtf8Printable(strFolder));
        } else {
            task.info.strFileName = strName;
            task.info.strFilePath = QDir(strFolder).absoluteFilePath(strName);
        }
    }
    task.info.nStartDownloadTime = QDateTime::currentSecsSinceEpoch();
    // The row is built right away; the size, when the caller had none, comes in later. It is
    // asked on the next turn, and only of a task still waiting then: a task started at once
    // learns it from its download.
    QTimer::singleShot(0, q, [this, nIndex] {
        CRecordTask* pTask = this->task(nIndex);
        if (pTask != nullptr && pTask->info.stRecordFile.nFileSize <= 0 && !pTask->isRunning() &&
            pTask->pSizeReply.isNull()) {
            askSize(nIndex, *pTask);
        }
    });
}

void CRecordDownloadManagerPrivate::askSize(int nIndex, CRecordTask& task)
{
    const QUrl url = CHttpTransfer::sourceUrl(task.info.strSourceUrl);
    if (!url.isValid()) {
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(CEngineSettings::stallTimeoutMs());
    QNetworkReply* pReply = access()->head(request);
    task.pSizeReply = pReply;
    QObject::connect(pReply, &QNetworkReply::finished, q, [this, nIndex, pReply] {
        pReply->deleteLater();
        CRecordTask* pTask = this->task(nIndex);
        if (pTask == nullptr || pTask->pSizeReply != pReply) {
            return;
        }
        pTask->pSizeReply = nullptr;
        const int nStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const qint64 nLength = CHttpTransfer::contentLength(pReply);
        if (pReply->error() == QNetworkReply::NoError && nStatus == 200 && nLength > 0 &&
            pTask->info.stRecordFile.nFileSize <= 0) {
            pTask->info.stRecordFile.nFileSize = nLength;
        }
    });
}

void CRecordDownloadManagerPrivate::forgetSizeRequest(CRecordTask& task)
{
    // Left to finish, never aborted: under load, Qt 5's HTTP connection was seen to stop serving
    // the next download of the same host after a size request was aborted (that download never
    // got a byte until it timed out). The answer is a few hundred bytes and is ignored.
    task.pSizeReply = nullptr;
}

int CRecordDownloadManagerPrivate::start(int nIndex, CRecordTask& task)
{
    const QUrl url = CHttpTransfer::sourceUrl(task.info.strSourceUrl);
    if (!url.isValid()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::start", "",
                                        kLogWarning, "task %d has no usable source address: %s", nIndex,
                                        qUtf8Printable(task.info.strSourceUrl));
        return UnknownSource;
    }
    if (runningCount() >= m_nMaxDownloadNum) {
        return NoFreeSlot;
    }
    if (task.info.strFilePath.isEmpty()) {
        prepare(nIndex, task);
    }
    const QString strFolder = QFileInfo(task.info.strFilePath).absolutePath();
    if (task.info.strFilePath.isEmpty() || !QDir().mkpath(strFolder)) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::start", "",
                                        kLogWarning, "task %d has no folder to write in: %s", nIndex,
                                        qUtf8Printable(strFolder));
        return NotWritable;
    }
    forgetSizeRequest(task);

    auto* pTransfer = new CHttpTransfer(access(), q);
    // A partial file at the task's target is its own: the name was free when chosen, or was taken
    // up again as the engine's own (isOwnTarget).
    const bool bResume = QFileInfo::exists(task.partPath());
    if (!pTransfer->start(url, task.partPath(), bResume, CEngineSettings::stallTimeoutMs())) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::start", "",
                                        kLogWarning, "task %d cannot write %s: %s", nIndex,
                                        qUtf8Printable(task.partPath()),
                                        qUtf8Printable(pTransfer->errorString()));
        delete pTransfer;
        return NotWritable;
    }
    if (!bResume && !markSource(task)) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::start", "",
                                        kLogWarning, "task %d cannot write %s", nIndex,
                                        qUtf8Printable(task.sourceMarkPath()));
        delete pTransfer;
        return NotWritable;
    }
    task.nSpeed = 1;
    pTransfer->setRate(CEngineSettings::recordBaseRate());
    task.pTransfer = pTransfer;
    task.nReceived = pTransfer->received();
    task.eState = CRecordTask::State::Transferring;
    QObject::connect(pTransfer, &CHttpTransfer::sgnTotalKnown, q, [this, nIndex, pTransfer](qint64 nTotal) {
        CRecordTask* pTask = this->task(nIndex);
        if (pTask != nullptr && pTask->pTransfer == pTransfer) {
            pTask->nTotal = nTotal;
            // A size the caller gave stays: it is what the device said the recording holds.
            if (pTask->info.stRecordFile.nFileSize <= 0) {
                pTask->info.stRecordFile.nFileSize = nTotal;
            }
        }
    });
    QObject::connect(pTransfer, &CHttpTransfer::sgnFinished, q,
                     [this, nIndex, pTransfer](bool bOk, const QString& strError) {
                         onTransferFinished(nIndex, pTransfer, bOk, strError);
                     });
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::start", "", kLogTrace,
                                    "task %d starts at byte %lld", nIndex,
                                    static_cast<long long>(task.nReceived));
    return Started;
}

bool CRecordDownloadManagerPrivate::isOwnTarget(int nIndex, const DownloadInfo& info) const
{
    const QFileInfo target(info.strFilePath);
    if (info.strFilePath.isEmpty() || !target.isAbsolute() ||
        target.absolutePath() !=
            QFileInfo(QDir::cleanPath(CEngineSettings::downloadFolder())).absoluteFilePath() ||
        targetsOfOthers(nIndex).contains(info.strFilePath)) {
        return false;
    }
    CRecordTask candidate;
    candidate.info = info;
    // A mark whose partial file is gone marks nothing: it would only keep the name taken.
    if (!QFileInfo::exists(candidate.partPath())) {
        QFile::remove(candidate.sourceMarkPath());
        return false;
    }
    QFile mark(candidate.sourceMarkPath());
    const bool bOwn =
        mark.open(QIODevice::ReadOnly) && QString::fromUtf8(mark.readAll()) == info.strSourceUrl;
    if (!bOwn) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::isOwnTarget", "",
                                        kLogWarning, "task %d: %s is not its partial file; starting over",
                                        nIndex, qUtf8Printable(candidate.partPath()));
    }
    return bOwn;
}

bool CRecordDownloadManagerPrivate::markSource(const CRecordTask& task)
{
    QFile mark(task.sourceMarkPath());
    const QByteArray baSource = task.info.strSourceUrl.toUtf8();
    return mark.open(QIODevice::WriteOnly | QIODevice::Truncate) && mark.write(baSource) == baSource.size();
}

void CRecordDownloadManagerPrivate::onTransferFinished(int nIndex, CHttpTransfer* pTransfer, bool bOk,
                                                       const QString& strError)
{
    pTransfer->deleteLater();
    CRecordTask* pTask = this->task(nIndex);
    if (pTask == nullptr || pTask->pTransfer != pTransfer) {
        return;
    }
    pTask->pTransfer = nullptr;
    pTask->nReceived = pTransfer->received();
    if (!bOk) {
        fail(nIndex, *pTask, strError);
        return;
    }
    beginDecode(nIndex);
}

void CRecordDownloadManagerPrivate::beginDecode(int nIndex)
{
    CRecordTask* pTask = this->task(nIndex);
    pTask->eState = CRecordTask::State::Decoding;
    pTask->nDecodeToken = ++m_nLastToken;
    pTask->pCancelDecode = std::make_shared<std::atomic_bool>(false);
    // Each decode writes its own file: one that was cancelled may still be finishing.
    pTask->strDecodePath = pTask->info.strFilePath + QStringLiteral(".decoding-%1").arg(pTask->nDecodeToken);
    const QString strInput = pTask->partPath();
    const QString strOutput = pTask->strDecodePath;
    const quint64 nToken = pTask->nDecodeToken;
    const std::shared_ptr<std::atomic_bool> pCancel = pTask->pCancelDecode;
    CRecordDownloadManager* pOwner = q;
    m_pool.start([this, pOwner, nIndex, nToken, strInput, strOutput, pCancel] {
        const CRecordDecoder::Result result = CRecordDecoder::decode(strInput, strOutput, *pCancel);
        QMetaObject::invokeMethod(
            pOwner,
            [this, nIndex, nToken, strOutput, result] { onDecoded(nIndex, nToken, strOutput, result); },
            Qt::QueuedConnection);
    });
    // Announced once the work is under way; the listener may stop the task from its slot.
    emit q->sgnBeginDecodeNotify(nIndex);
}

void CRecordDownloadManagerPrivate::onDecoded(int nIndex, quint64 nToken, const QString& strOutput,
                                              const CRecordDecoder::Result& result)
{
    CRecordTask* pTask = this->task(nIndex);
    if (pTask == nullptr || pTask->nDecodeToken != nToken || pTask->eState != CRecordTask::State::Decoding) {
        // Stopped meanwhile, after the decoder had already finished: its output is not kept.
        if (result.bOk) {
            QFile::remove(strOutput);
        }
        return;
    }
    pTask->nDecodeToken = 0;
    pTask->pCancelDecode.reset();
    pTask->strDecodePath.clear();
    if (!result.bOk) {
        if (result.nValidBytes >= 0) {
            // Only checked frames stay; continuing fetches the rest from there.
            QFile part(pTask->partPath());
            if (part.resize(result.nValidBytes)) {
                pTask->nReceived = result.nValidBytes;
            }
        }
        fail(nIndex, *pTask, result.strError);
        return;
    }
    if (QFileInfo::exists(pTask->info.strFilePath)) {
        // Something else took the name while the task ran.
        const QFileInfo target(pTask->info.strFilePath);
        const QString strName = CSafeFileName::freeName(target.absolutePath(), target.fileName(),
                                                        targetsOfOthers(nIndex), workSuffixes());
        if (!strName.isEmpty()) {
            pTask->info.strFileName = strName;
            pTask->info.strFilePath = QDir(target.absolutePath()).absoluteFilePath(strName);
        }
    }
    if (!QFile::rename(strOutput, pTask->info.strFilePath)) {
        QFile::remove(strOutput);
        fail(nIndex, *pTask, QStringLiteral("cannot put the decoded file in place"));
        return;
    }
    QFile::remove(pTask->partPath());
    QFile::remove(pTask->sourceMarkPath());
    pTask->info.stRecordFile.nFileSize = result.nStreamBytes;
    pTask->info.stRecordFile.strChecksum = result.baSha256.toStdString();
    pTask->eState = CRecordTask::State::Finished;
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::onDecoded", "",
                                    kLogTrace, "task %d finished: %s", nIndex,
                                    qUtf8Printable(pTask->info.strFilePath));
    // A copy: the listener may dispose of the task while the signal is delivered.
    const DownloadInfo info = pTask->info;
    emit q->sgnDownloadStateNotify(nIndex, true, info);
}

void CRecordDownloadManagerPrivate::fail(int nIndex, CRecordTask& task, const QString& strError)
{
    task.eState = CRecordTask::State::Failed;
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManagerPrivate::fail", "",
                                    kLogWarning, "task %d failed after %lld bytes: %s", nIndex,
                                    static_cast<long long>(task.nReceived), qUtf8Printable(strError));
    const DownloadInfo info = task.info;
    emit q->sgnDownloadStateNotify(nIndex, false, info);
}

void CRecordDownloadManagerPrivate::halt(CRecordTask& task)
{
    forgetSizeRequest(task);
    if (task.pTransfer != nullptr) {
        CHttpTransfer* pTransfer = task.pTransfer;
        task.pTransfer = nullptr;
        pTransfer->abort();
        task.nReceived = pTransfer->received();
        pTransfer->deleteLater();
    }
    if (task.pCancelDecode) {
        // The decoder sees it between two frames and removes its own output.
        task.pCancelDecode->store(true);
        task.pCancelDecode.reset();
    }
    task.nDecodeToken = 0;
    if (task.isRunning()) {
        task.eState = CRecordTask::State::Stopped;
    }
}

void CRecordDownloadManagerPrivate::removeWorkFiles(CRecordTask& task)
{
    if (task.info.strFilePath.isEmpty()) {
        return;
    }
    QFile::remove(task.partPath());
    QFile::remove(task.sourceMarkPath());
    if (!task.strDecodePath.isEmpty()) {
        QFile::remove(task.strDecodePath);
        task.strDecodePath.clear();
    }
    task.nReceived = 0;
}
