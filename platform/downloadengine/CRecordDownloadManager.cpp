// The record download engine: fetches a device channel's recording over HTTP from the task's
// strSourceUrl into the download folder, throttled by the speed factor, then unwraps the
// device's framing into the final file (CRecordDecoder).
//
// startDownload answers:
//    0  started (also when the task is already running)
//   -1  unknown task, or one that has already finished
//   -2  no free slot: as many tasks as setMaxDownloadNum allows are downloading or decoding
//   -3  unknown device: the task has no http or https source address
//   -4  file not writable: the download folder or the task's partial file cannot be written
//
// Files of a task: the target <name> in the download folder, completed by prepareDownloadInfo
// (a safe, free name), the framed download <name>.part while it is fetched and kept after a
// failure or a stop (a later startDownload resumes it with a Range request when <name>.part.source
// beside it names the same source; otherwise it starts over), and the decoder's
// output, renamed to <name> at the end. A failed decode keeps the checked frames of <name>.part.
//
// The record: strFilePath and strFileName are the target's; stRecordFile.nFileSize is the
// caller's size, else the source's (its answer to HEAD, or the response), and the decoded file's
// once finished; stRecordFile.strChecksum is the finished file's SHA-256 (hex).
//
// setDownloadSpeed accepts 1, 2 or 4 for a task that is downloading: that many times the rate
// of the setting "Download/RecordRate" (bytes per second); every start begins at 1x.
//
// stopDownload ends the transfer or decoding at once and keeps what is on disk; its flag (the
// caller gives the task up) changes nothing more. deleteDownloadFile removes the partial files,
// never a finished download. No signal follows a stop. Signals are emitted on the thread that
// made the engine, which must be the one that calls it.
#include <downloadengine/CRecordDownloadManager.h>

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <ncl/NPrintLog.h>

#include "CEngineSettings.h"
#include "CRateMeter.h"
#include "CRecordDownloadManagerPrivate.h"

namespace {

const char* const kLogFile = "platform\\downloadengine\\CRecordDownloadManager";
const int kLogTrace = 4;
const int kLogWarning = 6;

// The framed download and the decoded file are both on disk just before the end.
const int kDiskCopies = 2;

bool isSpeedFactor(int nSpeed)
{
    return nSpeed == 1 || nSpeed == 2 || nSpeed == 4;
}

// The nearest folder that exists on the way up from strPath: where new files would go.
QString existingAncestor(const QString& strPath)
{
    QString strFolder = QDir::cleanPath(QDir(strPath).absolutePath());
    while (!QFileInfo::exists(strFolder) && !QDir(strFolder).isRoot()) {
        strFolder = QFileInfo(strFolder).absolutePath();
    }
    return strFolder;
}

}  // namespace

CRecordDownloadManager::CRecordDownloadManager() : d(new CRecordDownloadManagerPrivate(this))
{
    qRegisterMetaType<DownloadInfo>();
    qRegisterMetaType<DownloadInfo>("DownloadInfo");
}

CRecordDownloadManager::~CRecordDownloadManager()
{
    for (auto& entry : d->m_mapTasks) {
        d->halt(*entry.second);
    }
    delete d;
}

CRecordDownloadManager& CRecordDownloadManager::getInstance()
{
    // Never destroyed: it must not outlive the application object it works with.
    static CRecordDownloadManager* s_pInstance = new CRecordDownloadManager();
    return *s_pInstance;
}

void CRecordDownloadManager::setMaxDownloadNum(int nMax)
{
    if (nMax < 1) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::setMaxDownloadNum", "",
                                        kLogWarning, "limit %d ignored", nMax);
        return;
    }
    d->m_nMaxDownloadNum = nMax;
}

bool CRecordDownloadManager::isLeftDiskFreeSpaceEnough(const DownloadInfo& info)
{
    const QStorageInfo storage(existingAncestor(CEngineSettings::downloadFolder()));
    if (!storage.isValid() || !storage.isReady()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__,
                                        "CRecordDownloadManager::isLeftDiskFreeSpaceEnough", "", kLogWarning,
                                        "the download folder's disk cannot be read");
        return false;
    }
    // A task of unknown size cannot be judged before it starts.
    const qint64 nSize = info.stRecordFile.nFileSize;
    if (nSize <= 0) {
        return true;
    }
    return storage.bytesAvailable() / kDiskCopies >= nSize;
}

void CRecordDownloadManager::addDownloadTask(int nIndex, const DownloadInfo& info)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask != nullptr && pTask->isRunning()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::addDownloadTask", "",
                                        kLogWarning, "task %d is running; not replaced", nIndex);
        return;
    }
    if (pTask != nullptr) {
        d->halt(*pTask);
    }
    auto pNew = std::make_unique<CRecordTask>();
    pNew->info = info;
    // Where the file goes and what it hashes to are the engine's to say, never the caller's: a
    // target is kept only where the engine's own partial file for this source waits (a task
    // taken up again after a restart).
    if (!d->isOwnTarget(nIndex, info)) {
        pNew->info.strFilePath.clear();
    }
    pNew->info.stRecordFile.strChecksum.clear();
    d->m_mapTasks[nIndex] = std::move(pNew);
}

void CRecordDownloadManager::prepareDownloadInfo(int nIndex)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask == nullptr) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::prepareDownloadInfo", "",
                                        kLogWarning, "unknown task %d", nIndex);
        return;
    }
    d->prepare(nIndex, *pTask);
}

DownloadInfo CRecordDownloadManager::getDownloadInfo(int nIndex)
{
    const CRecordTask* pTask = d->task(nIndex);
    return pTask != nullptr ? pTask->info : DownloadInfo();
}

bool CRecordDownloadManager::canStillDownload()
{
    return d->runningCount() < d->m_nMaxDownloadNum;
}

int CRecordDownloadManager::startDownload(int nIndex)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask == nullptr || pTask->eState == CRecordTask::State::Finished) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::startDownload", "",
                                        kLogWarning, "task %d is unknown or finished", nIndex);
        return CRecordDownloadManagerPrivate::UnknownTask;
    }
    if (pTask->isRunning()) {
        return CRecordDownloadManagerPrivate::Started;
    }
    return d->start(nIndex, *pTask);
}

int CRecordDownloadManager::getCurDownloadNumber()
{
    return static_cast<int>(d->m_mapTasks.size());
}

void CRecordDownloadManager::getDownloadSpeedAndPercent(int nIndex, float& fPercent, QString& strSpeed)
{
    const CRecordTask* pTask = d->task(nIndex);
    fPercent = 0.0f;
    strSpeed = CRateMeter::speedText(0);
    if (pTask == nullptr) {
        return;
    }
    if (pTask->eState == CRecordTask::State::Decoding || pTask->eState == CRecordTask::State::Finished) {
        fPercent = 1.0f;
        strSpeed = QStringLiteral("--");
        return;
    }
    qint64 nReceived = pTask->nReceived;
    qint64 nTotal = pTask->nTotal > 0 ? pTask->nTotal : pTask->info.stRecordFile.nFileSize;
    if (pTask->pTransfer != nullptr) {
        nReceived = pTask->pTransfer->received();
        if (pTask->pTransfer->total() > 0) {
            nTotal = pTask->pTransfer->total();
        }
        strSpeed = CRateMeter::speedText(pTask->pTransfer->bytesLastSecond());
    }
    if (nTotal > 0) {
        fPercent = static_cast<float>(qBound(0.0, static_cast<double>(nReceived) / nTotal, 1.0));
    }
}

int CRecordDownloadManager::setDownloadSpeed(int nIndex, int nSpeed)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask == nullptr || pTask->pTransfer == nullptr || !isSpeedFactor(nSpeed)) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::setDownloadSpeed", "",
                                        kLogTrace, "speed %d refused for task %d", nSpeed, nIndex);
        return 0;
    }
    pTask->nSpeed = nSpeed;
    pTask->pTransfer->setRate(CEngineSettings::recordBaseRate() * nSpeed);
    return 1;
}

QList<int> CRecordDownloadManager::getCurDownloadIndexs()
{
    QList<int> listIndexes;
    for (const auto& entry : d->m_mapTasks) {
        listIndexes.append(entry.first);
    }
    return listIndexes;
}

void CRecordDownloadManager::stopDownload(int nIndex, EnumStopReason eReason, bool bAbort)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask == nullptr) {
        return;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordDownloadManager::stopDownload", "", kLogTrace,
                                    "task %d stopped, reason %d%s", nIndex, static_cast<int>(eReason),
                                    bAbort ? ", given up" : "");
    d->halt(*pTask);
}

void CRecordDownloadManager::deleteDownloadFile(int nIndex)
{
    CRecordTask* pTask = d->task(nIndex);
    if (pTask == nullptr) {
        return;
    }
    d->halt(*pTask);
    d->removeWorkFiles(*pTask);
}

void CRecordDownloadManager::destoryDownloadObj(int nIndex)
{
    const auto it = d->m_mapTasks.find(nIndex);
    if (it == d->m_mapTasks.end()) {
        return;
    }
    d->halt(*it->second);
    d->m_mapTasks.erase(it);
}

QString CRecordDownloadManager::getDownloadDir()
{
    return CEngineSettings::downloadFolder();
}
