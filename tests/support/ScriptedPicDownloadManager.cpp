// The picture download manager of the scripted engine: records each call with ScriptedEngine and
// answers as scripted, else like a small working engine that runs one task at a time.
#include <downloadengine/CPicDownloadManager.h>

#include <QMap>

#include "ScriptedEngine.h"

namespace {

const int kNoTask = -1;

ScriptedEngine& script()
{
    return ScriptedEngine::pic();
}

}  // namespace

class CPicDownloadManagerPrivate
{
public:
    // The only instance, for ScriptedEngine's reads; made with the manager.
    static CPicDownloadManagerPrivate& instance()
    {
        CPicDownloadManager::getInstance();
        return *s_pInstance;
    }

    static CPicDownloadManagerPrivate* s_pInstance;

    QMap<int, DownloadPicInfo> m_mapTasks;
    int m_nRunning = kNoTask;
    long m_nSecondDownloadSize = 0;
};

CPicDownloadManagerPrivate* CPicDownloadManagerPrivate::s_pInstance = nullptr;

CPicDownloadManager::CPicDownloadManager() : d(new CPicDownloadManagerPrivate)
{
    CPicDownloadManagerPrivate::s_pInstance = d;
    qRegisterMetaType<DownloadPicInfo>();

    // Connected first, so the task has ended by the time anyone else hears of it.
    CPicDownloadManagerPrivate* pPrivate = d;
    connect(
        this, &CPicDownloadManager::sgnPicFinishedDowndload, this,
        [pPrivate] { pPrivate->m_nRunning = kNoTask; }, Qt::DirectConnection);
    connect(
        this, &CPicDownloadManager::sgnPicDownloadError, this,
        [pPrivate](const QString&) { pPrivate->m_nRunning = kNoTask; }, Qt::DirectConnection);
}

CPicDownloadManager::~CPicDownloadManager()
{
    CPicDownloadManagerPrivate::s_pInstance = nullptr;
    delete d;
}

CPicDownloadManager& CPicDownloadManager::getInstance()
{
    // Never destroyed, like the real engine's: it must not outlive the application object.
    static CPicDownloadManager* s_pInstance = new CPicDownloadManager();
    return *s_pInstance;
}

void CPicDownloadManager::appendPicDownloadInfo(int nIndex, const DownloadPicInfo& info)
{
    script().enter("appendPicDownloadInfo", {nIndex});
    d->m_mapTasks.insert(nIndex, info);
}

bool CPicDownloadManager::isPicDownloadingNow()
{
    return script().call<bool>("isPicDownloadingNow", [this] { return d->m_nRunning != kNoTask; });
}

bool CPicDownloadManager::startDownload(int nIndex)
{
    const auto fnDefault = [=] {
        return d->m_mapTasks.contains(nIndex) && (d->m_nRunning == kNoTask || d->m_nRunning == nIndex);
    };
    const bool bStarted = script().call<bool>("startDownload", fnDefault, {nIndex}, nIndex);
    if (bStarted) {
        d->m_nRunning = nIndex;
    }
    return bStarted;
}

long CPicDownloadManager::getSecondDownloadSize()
{
    return script().call<long>("getSecondDownloadSize", [this] { return d->m_nSecondDownloadSize; });
}

void CPicDownloadManager::adjustFileSize(int nIndex, qint64 nSize)
{
    script().enter("adjustFileSize", {nIndex, nSize});
    if (d->m_mapTasks.contains(nIndex)) {
        d->m_mapTasks[nIndex].nFileSize = nSize;
    }
}

DownloadPicInfo CPicDownloadManager::getDownloadPicInfo(int nIndex)
{
    return script().call<DownloadPicInfo>(
        "getDownloadPicInfo", [=] { return d->m_mapTasks.value(nIndex); }, {nIndex}, nIndex);
}

bool CPicDownloadManager::removeDownloadPicTask(int nIndex, bool bStopRunning)
{
    const bool bRemoved = script().call<bool>(
        "removeDownloadPicTask", [=] { return d->m_mapTasks.contains(nIndex); }, {nIndex, bStopRunning},
        nIndex);
    if (bRemoved) {
        d->m_mapTasks.remove(nIndex);
        d->m_nRunning = d->m_nRunning == nIndex ? kNoTask : d->m_nRunning;
    }
    return bRemoved;
}

int CPicDownloadManager::getPicDownloadSize()
{
    return script().call<int>("getPicDownloadSize", [this] { return d->m_mapTasks.size(); });
}

void CPicDownloadManager::clearAllPicDownloadObj()
{
    script().enter("clearAllPicDownloadObj");
    d->m_mapTasks.clear();
    d->m_nRunning = kNoTask;
}

// The script's view of this manager's state.

void ScriptedEngine::resetPicModel()
{
    CPicDownloadManagerPrivate::instance() = CPicDownloadManagerPrivate();
}

void ScriptedEngine::setSecondDownloadSize(long nBytes)
{
    CPicDownloadManagerPrivate::instance().m_nSecondDownloadSize = nBytes;
}
