// The picture download manager of the scripted engine: records each call with ScriptedEngine and
// answers as scripted, else like a small working engine that runs one task at a time.
#include <downloadengine/CPicDownloadManager.h>

#include <QMap>

#include "ScriptedEngine.h"

namespace {

const int kNoTask = -1;

QString text(int nValue)
{
    return QString::number(nValue);
}

QString text(bool bValue)
{
    return bValue ? QStringLiteral("true") : QStringLiteral("false");
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

    void reset()
    {
        m_mapTasks.clear();
        m_nRunning = kNoTask;
        m_nSecondDownloadSize = 0;
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
    ScriptedEngine::pic().enter(QStringLiteral("appendPicDownloadInfo"), {text(nIndex)});
    d->m_mapTasks.insert(nIndex, info);
}

bool CPicDownloadManager::isPicDownloadingNow()
{
    const QString strMethod = QStringLiteral("isPicDownloadingNow");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod);
    bool bDownloading = false;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), bDownloading)) {
        bDownloading = d->m_nRunning != kNoTask;
    }
    return bDownloading;
}

bool CPicDownloadManager::startDownload(int nIndex)
{
    const QString strMethod = QStringLiteral("startDownload");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod, {text(nIndex)});
    bool bStarted = false;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), bStarted)) {
        bStarted = d->m_mapTasks.contains(nIndex) && (d->m_nRunning == kNoTask || d->m_nRunning == nIndex);
    }
    if (bStarted) {
        d->m_nRunning = nIndex;
    }
    return bStarted;
}

long CPicDownloadManager::getSecondDownloadSize()
{
    const QString strMethod = QStringLiteral("getSecondDownloadSize");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod);
    long nSize = 0;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), nSize)) {
        nSize = d->m_nSecondDownloadSize;
    }
    return nSize;
}

void CPicDownloadManager::adjustFileSize(int nIndex, int nSize)
{
    ScriptedEngine::pic().enter(QStringLiteral("adjustFileSize"), {text(nIndex), text(nSize)});
    auto it = d->m_mapTasks.find(nIndex);
    if (it != d->m_mapTasks.end()) {
        it->nFileSize = nSize;
    }
}

DownloadPicInfo CPicDownloadManager::getDownloadPicInfo(int nIndex)
{
    const QString strMethod = QStringLiteral("getDownloadPicInfo");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod, {text(nIndex)});
    DownloadPicInfo info;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), info)) {
        info = d->m_mapTasks.value(nIndex);
    }
    return info;
}

bool CPicDownloadManager::removeDownloadPicTask(int nIndex, bool bStopRunning)
{
    const QString strMethod = QStringLiteral("removeDownloadPicTask");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod, {text(nIndex), text(bStopRunning)});
    bool bRemoved = false;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), bRemoved)) {
        bRemoved = d->m_mapTasks.contains(nIndex);
    }
    if (bRemoved) {
        d->m_mapTasks.remove(nIndex);
        if (d->m_nRunning == nIndex) {
            d->m_nRunning = kNoTask;
        }
    }
    return bRemoved;
}

int CPicDownloadManager::getPicDownloadSize()
{
    const QString strMethod = QStringLiteral("getPicDownloadSize");
    ScriptedEngine& script = ScriptedEngine::pic();
    script.enter(strMethod);
    int nSize = 0;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), nSize)) {
        nSize = d->m_mapTasks.size();
    }
    return nSize;
}

void CPicDownloadManager::clearAllPicDownloadObj()
{
    ScriptedEngine::pic().enter(QStringLiteral("clearAllPicDownloadObj"));
    d->m_mapTasks.clear();
    d->m_nRunning = kNoTask;
}

// The script's view of this manager's state.

void ScriptedEngine::resetPicModel()
{
    CPicDownloadManagerPrivate::instance().reset();
}

void ScriptedEngine::setSecondDownloadSize(long nBytes)
{
    CPicDownloadManagerPrivate::instance().m_nSecondDownloadSize = nBytes;
}

QList<int> ScriptedEngine::heldPicTasks()
{
    return CPicDownloadManagerPrivate::instance().m_mapTasks.keys();
}

int ScriptedEngine::runningPicTask()
{
    return CPicDownloadManagerPrivate::instance().m_nRunning;
}

DownloadPicInfo ScriptedEngine::heldPicInfo(int nIndex)
{
    return CPicDownloadManagerPrivate::instance().m_mapTasks.value(nIndex);
}
