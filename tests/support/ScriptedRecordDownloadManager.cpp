// The record download manager of the scripted engine: records each call with ScriptedEngine and
// answers as scripted, else like a small working engine holding its tasks in memory.
#include <downloadengine/CRecordDownloadManager.h>

#include <QDir>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QSet>

#include <algorithm>

#include "ScriptedEngine.h"

namespace {

ScriptedEngine& script()
{
    return ScriptedEngine::record();
}

}  // namespace

class CRecordDownloadManagerPrivate
{
public:
    // The only instance, for ScriptedEngine's reads; made with the manager.
    static CRecordDownloadManagerPrivate& instance()
    {
        CRecordDownloadManager::getInstance();
        return *s_pInstance;
    }

    bool hasFreeSlot() const { return m_setRunning.size() < m_nMaxDownloadNum; }

    static CRecordDownloadManagerPrivate* s_pInstance;

    QMap<int, DownloadInfo> m_mapTasks;
    QSet<int> m_setRunning;
    int m_nMaxDownloadNum = 5;
    QHash<int, QPair<float, QString>> m_hashProgress;
    QString m_strDownloadDir = QDir::tempPath();
    ScriptedEngine::PrepareTransform m_fnPrepare;
};

CRecordDownloadManagerPrivate* CRecordDownloadManagerPrivate::s_pInstance = nullptr;

CRecordDownloadManager::CRecordDownloadManager() : d(new CRecordDownloadManagerPrivate)
{
    CRecordDownloadManagerPrivate::s_pInstance = d;
    qRegisterMetaType<DownloadInfo>();
}

CRecordDownloadManager::~CRecordDownloadManager()
{
    CRecordDownloadManagerPrivate::s_pInstance = nullptr;
    delete d;
}

CRecordDownloadManager& CRecordDownloadManager::getInstance()
{
    // Never destroyed, like the real engine's: it must not outlive the application object.
    static CRecordDownloadManager* s_pInstance = new CRecordDownloadManager();
    return *s_pInstance;
}

void CRecordDownloadManager::setMaxDownloadNum(int nMax)
{
    script().enter("setMaxDownloadNum", {nMax});
    if (nMax < 1) {
        qWarning("ScriptedEngine: setMaxDownloadNum(%d) ignored", nMax);
        return;
    }
    d->m_nMaxDownloadNum = nMax;
}

bool CRecordDownloadManager::isLeftDiskFreeSpaceEnough(const DownloadInfo& /*info*/)
{
    return script().call<bool>("isLeftDiskFreeSpaceEnough", [] { return true; });
}

void CRecordDownloadManager::addDownloadTask(int nIndex, const DownloadInfo& info)
{
    script().enter("addDownloadTask", {nIndex});
    d->m_mapTasks.insert(nIndex, info);
}

void CRecordDownloadManager::prepareDownloadInfo(int nIndex)
{
    script().enter("prepareDownloadInfo", {nIndex});
    if (!d->m_mapTasks.contains(nIndex) || !d->m_fnPrepare) {
        return;
    }
    // Worked on copies: the transform may call back into the engine.
    const ScriptedEngine::PrepareTransform fnPrepare = d->m_fnPrepare;
    DownloadInfo info = d->m_mapTasks.value(nIndex);
    fnPrepare(nIndex, info);
    if (d->m_mapTasks.contains(nIndex)) {
        d->m_mapTasks.insert(nIndex, info);
    }
}

DownloadInfo CRecordDownloadManager::getDownloadInfo(int nIndex)
{
    return script().call<DownloadInfo>(
        "getDownloadInfo", [=] { return d->m_mapTasks.value(nIndex); }, {nIndex}, nIndex);
}

bool CRecordDownloadManager::canStillDownload()
{
    return script().call<bool>("canStillDownload", [this] { return d->hasFreeSlot(); });
}

int CRecordDownloadManager::startDownload(int nIndex)
{
    // -1: a task never added; -2: no slot free.
    const auto fnDefault = [=] {
        return !d->m_mapTasks.contains(nIndex)                        ? -1
               : d->m_setRunning.contains(nIndex) || d->hasFreeSlot() ? 0
                                                                      : -2;
    };
    const int nResult = script().call<int>("startDownload", fnDefault, {nIndex}, nIndex);
    if (nResult == 0) {
        d->m_setRunning.insert(nIndex);
    }
    return nResult;
}

int CRecordDownloadManager::getCurDownloadNumber()
{
    return script().call<int>("getCurDownloadNumber", [this] { return d->m_mapTasks.size(); });
}

void CRecordDownloadManager::getDownloadSpeedAndPercent(int nIndex, float& fPercent, QString& strSpeed)
{
    const QVariantList listAnswer = script().call<QVariantList>(
        "getDownloadSpeedAndPercent",
        [=] {
            const auto progress = d->m_hashProgress.value(nIndex, qMakePair(0.0f, QStringLiteral("0B/s")));
            return QVariantList{progress.first, progress.second};
        },
        {nIndex}, nIndex);
    fPercent = listAnswer.value(0).toFloat();
    strSpeed = listAnswer.value(1).toString();
}

int CRecordDownloadManager::setDownloadSpeed(int nIndex, int nSpeed)
{
    return script().call<int>(
        "setDownloadSpeed", [] { return 1; }, {nIndex, nSpeed}, nIndex);
}

QList<int> CRecordDownloadManager::getCurDownloadIndexs()
{
    const QVariantList listAnswer = script().call<QVariantList>("getCurDownloadIndexs", [this] {
        QVariantList listHeld;
        for (int nIndex : d->m_mapTasks.keys()) {
            listHeld << nIndex;
        }
        return listHeld;
    });
    QList<int> listIndexes;
    for (const QVariant& varIndex : listAnswer) {
        listIndexes << varIndex.toInt();
    }
    return listIndexes;
}

void CRecordDownloadManager::stopDownload(int nIndex, EnumStopReason eReason, bool bAbort)
{
    script().enter("stopDownload", {nIndex, static_cast<int>(eReason), bAbort});
    d->m_setRunning.remove(nIndex);
}

void CRecordDownloadManager::deleteDownloadFile(int nIndex)
{
    script().enter("deleteDownloadFile", {nIndex});
}

void CRecordDownloadManager::destoryDownloadObj(int nIndex)
{
    script().enter("destoryDownloadObj", {nIndex});
    d->m_mapTasks.remove(nIndex);
    d->m_setRunning.remove(nIndex);
}

QString CRecordDownloadManager::getDownloadDir()
{
    return script().call<QString>("getDownloadDir", [this] { return d->m_strDownloadDir; });
}

// The script's view of this manager's state.

void ScriptedEngine::resetRecordModel()
{
    CRecordDownloadManagerPrivate::instance() = CRecordDownloadManagerPrivate();
}

void ScriptedEngine::setDownloadDir(const QString& strDir)
{
    CRecordDownloadManagerPrivate::instance().m_strDownloadDir = strDir;
}

void ScriptedEngine::setProgress(int nIndex, float fFraction, const QString& strSpeed)
{
    CRecordDownloadManagerPrivate::instance().m_hashProgress.insert(nIndex, qMakePair(fFraction, strSpeed));
}

void ScriptedEngine::setPrepareTransform(PrepareTransform fnTransform)
{
    CRecordDownloadManagerPrivate::instance().m_fnPrepare = std::move(fnTransform);
}

QList<int> ScriptedEngine::heldRecordTasks()
{
    return CRecordDownloadManagerPrivate::instance().m_mapTasks.keys();
}

QList<int> ScriptedEngine::runningRecordTasks()
{
    QList<int> listRunning = CRecordDownloadManagerPrivate::instance().m_setRunning.values();
    std::sort(listRunning.begin(), listRunning.end());
    return listRunning;
}

DownloadInfo ScriptedEngine::heldRecordInfo(int nIndex)
{
    return CRecordDownloadManagerPrivate::instance().m_mapTasks.value(nIndex);
}
