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

const int kDefaultMaxDownloadNum = 5;
const int kStartFailed = -1;
const int kNoFreeSlot = -2;

QString text(int nValue)
{
    return QString::number(nValue);
}

QString text(bool bValue)
{
    return bValue ? QStringLiteral("true") : QStringLiteral("false");
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

    void reset()
    {
        m_mapTasks.clear();
        m_setRunning.clear();
        m_nMaxDownloadNum = kDefaultMaxDownloadNum;
        m_hashProgress.clear();
        m_strDownloadDir = QDir::tempPath();
        m_fnPrepare = nullptr;
    }

    bool hasFreeSlot() const { return m_setRunning.size() < m_nMaxDownloadNum; }

    static CRecordDownloadManagerPrivate* s_pInstance;

    QMap<int, DownloadInfo> m_mapTasks;
    QSet<int> m_setRunning;
    int m_nMaxDownloadNum = kDefaultMaxDownloadNum;
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
    ScriptedEngine::record().enter(QStringLiteral("setMaxDownloadNum"), {text(nMax)});
    if (nMax < 1) {
        qWarning("ScriptedEngine: setMaxDownloadNum(%d) ignored", nMax);
        return;
    }
    d->m_nMaxDownloadNum = nMax;
}

bool CRecordDownloadManager::isLeftDiskFreeSpaceEnough(const DownloadInfo& /*info*/)
{
    const QString strMethod = QStringLiteral("isLeftDiskFreeSpaceEnough");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod);
    bool bEnough = true;
    ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), bEnough);
    return bEnough;
}

void CRecordDownloadManager::addDownloadTask(int nIndex, const DownloadInfo& info)
{
    ScriptedEngine::record().enter(QStringLiteral("addDownloadTask"), {text(nIndex)});
    d->m_mapTasks.insert(nIndex, info);
}

void CRecordDownloadManager::prepareDownloadInfo(int nIndex)
{
    ScriptedEngine::record().enter(QStringLiteral("prepareDownloadInfo"), {text(nIndex)});
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
    const QString strMethod = QStringLiteral("getDownloadInfo");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod, {text(nIndex)});
    DownloadInfo info;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), info)) {
        info = d->m_mapTasks.value(nIndex);
    }
    return info;
}

bool CRecordDownloadManager::canStillDownload()
{
    const QString strMethod = QStringLiteral("canStillDownload");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod);
    bool bCan = false;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), bCan)) {
        bCan = d->hasFreeSlot();
    }
    return bCan;
}

int CRecordDownloadManager::startDownload(int nIndex)
{
    const QString strMethod = QStringLiteral("startDownload");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod, {text(nIndex)});
    int nResult = 0;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), nResult)) {
        if (!d->m_mapTasks.contains(nIndex)) {
            nResult = kStartFailed;
        } else if (d->m_setRunning.contains(nIndex) || d->hasFreeSlot()) {
            nResult = 0;
        } else {
            nResult = kNoFreeSlot;
        }
    }
    if (nResult == 0) {
        d->m_setRunning.insert(nIndex);
    }
    return nResult;
}

int CRecordDownloadManager::getCurDownloadNumber()
{
    const QString strMethod = QStringLiteral("getCurDownloadNumber");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod);
    int nNumber = 0;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), nNumber)) {
        nNumber = d->m_mapTasks.size();
    }
    return nNumber;
}

void CRecordDownloadManager::getDownloadSpeedAndPercent(int nIndex, float& fPercent, QString& strSpeed)
{
    const QString strMethod = QStringLiteral("getDownloadSpeedAndPercent");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod, {text(nIndex)});
    const QVariant varAnswer = script.takeAnswer(strMethod, nIndex);
    if (varAnswer.isValid()) {
        const QVariantList listAnswer = varAnswer.toList();
        bool bFractionOk = false;
        const float fFraction = listAnswer.value(0).toFloat(&bFractionOk);
        if (listAnswer.size() == 2 && bFractionOk && listAnswer.at(1).canConvert<QString>()) {
            fPercent = fFraction;
            strSpeed = listAnswer.at(1).toString();
            return;
        }
        qWarning(
            "ScriptedEngine: answer for getDownloadSpeedAndPercent is not {fraction, speed}, default used");
    }
    const QPair<float, QString> progress =
        d->m_hashProgress.value(nIndex, qMakePair(0.0f, QStringLiteral("0B/s")));
    fPercent = progress.first;
    strSpeed = progress.second;
}

int CRecordDownloadManager::setDownloadSpeed(int nIndex, int nSpeed)
{
    const QString strMethod = QStringLiteral("setDownloadSpeed");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod, {text(nIndex), text(nSpeed)});
    int nResult = 1;
    ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod, nIndex), nResult);
    return nResult;
}

QList<int> CRecordDownloadManager::getCurDownloadIndexs()
{
    const QString strMethod = QStringLiteral("getCurDownloadIndexs");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod);
    const QVariant varAnswer = script.takeAnswer(strMethod);
    if (varAnswer.userType() == qMetaTypeId<QList<int>>()) {
        return varAnswer.value<QList<int>>();
    }
    if (varAnswer.userType() == QMetaType::QVariantList) {
        QList<int> listIndexes;
        bool bAllInts = true;
        const QVariantList listAnswer = varAnswer.toList();
        for (const QVariant& varIndex : listAnswer) {
            bool bOk = false;
            listIndexes.append(varIndex.toInt(&bOk));
            bAllInts = bAllInts && bOk;
        }
        if (bAllInts) {
            return listIndexes;
        }
    }
    if (varAnswer.isValid()) {
        qWarning("ScriptedEngine: answer for getCurDownloadIndexs is not a list of ints, default used");
    }
    return d->m_mapTasks.keys();
}

void CRecordDownloadManager::stopDownload(int nIndex, EnumStopReason eReason, bool bAbort)
{
    ScriptedEngine::record().enter(QStringLiteral("stopDownload"),
                                   {text(nIndex), text(static_cast<int>(eReason)), text(bAbort)});
    d->m_setRunning.remove(nIndex);
}

void CRecordDownloadManager::deleteDownloadFile(int nIndex)
{
    ScriptedEngine::record().enter(QStringLiteral("deleteDownloadFile"), {text(nIndex)});
}

void CRecordDownloadManager::destoryDownloadObj(int nIndex)
{
    ScriptedEngine::record().enter(QStringLiteral("destoryDownloadObj"), {text(nIndex)});
    d->m_mapTasks.remove(nIndex);
    d->m_setRunning.remove(nIndex);
}

QString CRecordDownloadManager::getDownloadDir()
{
    const QString strMethod = QStringLiteral("getDownloadDir");
    ScriptedEngine& script = ScriptedEngine::record();
    script.enter(strMethod);
    QString strDir;
    if (!ScriptedEngine::convertAnswer(strMethod, script.takeAnswer(strMethod), strDir)) {
        strDir = d->m_strDownloadDir;
    }
    return strDir;
}

// The script's view of this manager's state.

void ScriptedEngine::resetRecordModel()
{
    CRecordDownloadManagerPrivate::instance().reset();
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

int ScriptedEngine::maxDownloadNum()
{
    return CRecordDownloadManagerPrivate::instance().m_nMaxDownloadNum;
}
