// The picture download engine: fetches a picture package (an archive) over HTTP from the task's
// strSourceUrl into the download folder, one task at a time.
//
// startDownload is true when the task now runs (also when it already did); false for an
// unknown or finished task, while another task runs, without an http or https source, or when
// the file cannot be written. Signals concern the running task: sgnPicGetDownloadZipInfo once
// the response tells the package's size (at the end when it did not), sgnPicDownloadProgress
// as the percent grows, then sgnPicFinishedDowndload or sgnPicDownloadError; the engine is idle
// again when the last two are emitted. A failed task keeps its partial file (<name>.part) and
// resumes it with a Range request when started again.
//
// removeDownloadPicTask(index, true) also stops the running task; with false a running task is
// refused. Removing or clearing a task that did not finish deletes its partial file; finished
// packages stay where they are.
#include <downloadengine/CPicDownloadManager.h>

#include <ncl/NPrintLog.h>

#include "CPicDownloadManagerPrivate.h"

namespace {

const char* const kLogFile = "platform\\downloadengine\\CPicDownloadManager";
const int kLogWarning = 6;

}  // namespace

CPicDownloadManager::CPicDownloadManager() : d(new CPicDownloadManagerPrivate(this))
{
    qRegisterMetaType<DownloadPicInfo>();
    qRegisterMetaType<DownloadPicInfo>("DownloadPicInfo");
}

CPicDownloadManager::~CPicDownloadManager()
{
    d->haltRunning();
    delete d;
}

CPicDownloadManager& CPicDownloadManager::getInstance()
{
    // Never destroyed: it must not outlive the application object it works with.
    static CPicDownloadManager* s_pInstance = new CPicDownloadManager();
    return *s_pInstance;
}

void CPicDownloadManager::appendPicDownloadInfo(int nIndex, const DownloadPicInfo& info)
{
    if (d->task(nIndex) != nullptr) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManager::appendPicDownloadInfo", "",
                                        kLogWarning, "picture task %d exists already; not replaced", nIndex);
        return;
    }
    CPicDownloadManagerPrivate::PicTask& task = d->m_mapTasks[nIndex];
    task.info = info;
    d->placeFile(nIndex, task);
}

bool CPicDownloadManager::isPicDownloadingNow()
{
    return d->m_nRunning != CPicDownloadManagerPrivate::kNoTask;
}

bool CPicDownloadManager::startDownload(int nIndex)
{
    CPicDownloadManagerPrivate::PicTask* pTask = d->task(nIndex);
    if (pTask == nullptr || pTask->bFinished) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManager::startDownload", "",
                                        kLogWarning, "picture task %d is unknown or finished", nIndex);
        return false;
    }
    if (d->m_nRunning == nIndex) {
        return true;
    }
    if (d->m_nRunning != CPicDownloadManagerPrivate::kNoTask) {
        return false;
    }
    return d->start(nIndex, *pTask);
}

long CPicDownloadManager::getSecondDownloadSize()
{
    return d->m_pTransfer != nullptr ? static_cast<long>(d->m_pTransfer->bytesLastSecond()) : 0;
}

void CPicDownloadManager::adjustFileSize(int nIndex, qint64 nSize)
{
    CPicDownloadManagerPrivate::PicTask* pTask = d->task(nIndex);
    if (pTask != nullptr && nSize >= 0) {
        pTask->info.nFileSize = nSize;
    }
}

DownloadPicInfo CPicDownloadManager::getDownloadPicInfo(int nIndex)
{
    const CPicDownloadManagerPrivate::PicTask* pTask = d->task(nIndex);
    return pTask != nullptr ? pTask->info : DownloadPicInfo();
}

bool CPicDownloadManager::removeDownloadPicTask(int nIndex, bool bStopRunning)
{
    const auto it = d->m_mapTasks.find(nIndex);
    if (it == d->m_mapTasks.end()) {
        return false;
    }
    if (d->m_nRunning == nIndex) {
        if (!bStopRunning) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManager::removeDownloadPicTask",
                                            "", kLogWarning, "picture task %d runs; not removed", nIndex);
            return false;
        }
        d->haltRunning();
    }
    CPicDownloadManagerPrivate::removePartial(it->second);
    d->m_mapTasks.erase(it);
    return true;
}

int CPicDownloadManager::getPicDownloadSize()
{
    return static_cast<int>(d->m_mapTasks.size());
}

void CPicDownloadManager::clearAllPicDownloadObj()
{
    d->haltRunning();
    for (const auto& entry : d->m_mapTasks) {
        CPicDownloadManagerPrivate::removePartial(entry.second);
    }
    d->m_mapTasks.clear();
}
