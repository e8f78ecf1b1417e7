#include "CRecordTaskList.h"

#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <downloadengine/CRecordDownloadManager.h>
#include <ncl/NPrintLog.h>

#include "CRecordTableModel.h"
#include "WhenIdle.h"

namespace {

const char* const kLogFile = "DownloadWidget\\DownloadingWidget";
const int kLogTrace = 4;
const int kLogWarning = 6;
const QString kNoValue = QStringLiteral("--");

using Column = CRecordTableModel::Column;

// Only these tasks can be sped up by the engine.
bool offersSpeedChange(const DownloadInfo& info)
{
    return info.nDownloadMode == 0 && (info.nSourceKind == 0 || info.nSourceKind == 22);
}

// The engine's fraction as a whole percent, truncated: 0.999 is still 99. Values a float cannot
// turn into an unsigned count (negative, not a number) show as 0.
uint percentFromFraction(float fFraction)
{
    const float fPercent = fFraction * 100.0f;
    if (!(fPercent > 0.0f)) {
        return 0;
    }
    if (fPercent >= 4294967295.0f) {
        return 4294967295u;
    }
    return static_cast<uint>(fPercent);
}

}  // namespace

CRecordTaskList::CRecordTaskList(CRecordDownloadManager* pManager, QObject* parent)
    : QObject(parent), m_pManager(pManager), m_pModel(new CRecordTableModel(m_rows, this)), m_rows(m_pModel)
{
    if (m_pManager) {
        m_pManager->setMaxDownloadNum(kMaxDownloads);
    }
}

CRecordTaskList::~CRecordTaskList()
{
    // Not shut down (torn down with its parent): the engine drops the tasks where they stand,
    // without the stop waits; what is stored stays for the next start.
    if (!m_bShutDown && m_pManager && count() > 0) {
        ncl::NPrintLog::instance()->Log(
            kLogFile, __LINE__, "CRecordTaskList", "", kLogWarning, "%s",
            "the downloading list went without shutdown(); its tasks are dropped");
        for (const CRecordTaskValue& task : m_rows.all()) {
            m_pManager->destoryDownloadObj(task.nTaskIndex);
        }
    }
}

int CRecordTaskList::speed(int nTaskIndex) const
{
    const int nRow = m_rows.rowOf(nTaskIndex);
    return nRow < 0 ? 0 : m_rows.at(nRow).nSpeed;
}

bool CRecordTaskList::hasRoomFor(const DownloadInfo& info) const
{
    const bool bCheckDisk = info.nSourceKind != 2 && info.nSourceKind != 23;
    return !m_pManager || !bCheckDisk || m_pManager->isLeftDiskFreeSpaceEnough(info);
}

CRecordTaskValue CRecordTaskList::newTask(int nTaskIndex, const DownloadInfo& info) const
{
    CRecordTaskValue task(nTaskIndex, info);
    if (offersSpeedChange(info)) {
        task.bSpeedIcon = task.bSpeedTip = true;
        task.nSpeed = 1;
    }
    return task;
}

int CRecordTaskList::add(const DownloadInfo& info)
{
    if (m_bShutDown || !m_pManager) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CRecordTaskList::add", "", kLogWarning, "%s",
                                        "the downloading list is logging out; the task is dropped");
        return 0;
    }
    const int nIndex = ++m_nDownloadIndex;
    m_pManager->addDownloadTask(nIndex, info);
    m_pManager->prepareDownloadInfo(nIndex);
    // The engine has completed the record (name, size...): show its copy, not ours.
    CDownloadHistory::Entry entry;
    entry.record = m_pManager->getDownloadInfo(nIndex);
    CRecordTaskValue task = newTask(nIndex, entry.record);
    if (m_pHistory) {
        task.nStoredId = m_pHistory->addTask(entry);
    }
    m_rows.append(std::move(task));
    emit sgnCountChanged();
    if (m_pManager->canStillDownload()) {
        startNext();
    }
    return nIndex;
}

void CRecordTaskList::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    if (!m_pHistory || !m_pManager) {
        return;
    }
    QVector<CRecordTaskValue> vecRestored;
    for (const CDownloadHistory::Entry& entry : m_pHistory->taskEntries(CDownloadHistory::Record)) {
        // The record holds the target the engine chose before: its partial file is taken up again.
        const int nIndex = ++m_nDownloadIndex;
        m_pManager->addDownloadTask(nIndex, entry.record);
        CRecordTaskValue task = newTask(nIndex, entry.record);
        task.nStoredId = entry.nId;
        const qint64 nSize = task.total();
        if (nSize > 0) {
            // Rounded up: the bytes were rounded down from the percent shown.
            const qint64 nPercent = (entry.nBytesDone * 100 + nSize - 1) / nSize;
            task.nPercent = static_cast<uint>(std::clamp<qint64>(nPercent, 0, 100));
        }
        if (entry.nState == CTaskTypes::Failed) {
            task.eState = CTaskTypes::Failed;
            task.strSpeed = kNoValue;
            task.bRetry = true;
            setSpeedIcon(task, 1, false);
        } else if (entry.nSpeed == 2 || entry.nSpeed == 4) {
            task.nRestoredSpeed = static_cast<qint8>(entry.nSpeed);
        }
        vecRestored.append(task);
    }
    m_rows.append(vecRestored);
    if (!vecRestored.isEmpty()) {
        emit sgnCountChanged();
    }
    // The window is painted before the engine starts the transfers. A task added meanwhile queues
    // behind these rows.
    whenIdle(this, [this] {
        for (int i = 0; i < kMaxDownloads && m_pManager->canStillDownload(); ++i) {
            startNext();
        }
        emit sgnRestored();
    });
}

void CRecordTaskList::shutdown()
{
    if (m_bShutDown || m_pManager == nullptr) {
        return;
    }
    m_bShutDown = true;
    if (m_pHistory) {
        const CDownloadHistory::Batch batch(m_pHistory);
        for (int nTaskIndex : qAsConst(m_vecRunning)) {
            if (const CRecordTaskValue* pTask = m_rows.find(nTaskIndex)) {
                m_pHistory->updateTask(pTask->nStoredId, CTaskTypes::Downloading, pTask->bytesDone());
            }
        }
    }
    const QVector<int> vecTasks = [this] {
        QVector<int> vec;
        for (const CRecordTaskValue& task : m_rows.all()) {
            vec.append(task.nTaskIndex);
        }
        return vec;
    }();
    // Only a running task is stopped, and no file goes: the tasks come back at the next start
    // and take up their files again.
    const bool bAlive = removeTasks(vecTasks, [this](const CRecordTaskValue& task) {
        if (task.eState != CTaskTypes::Downloading) {
            return Removal::Quiet;
        }
        return isListedByEngine(task.nTaskIndex) ? Removal::Stop : Removal::Keep;
    });
    if (bAlive) {
        m_pHistory = nullptr;
    }
}

void CRecordTaskList::setState(CRecordTaskValue& task, CTaskTypes::State eState)
{
    task.eState = eState;
    task.bDecoding = false;
    const int nTaskIndex = task.nTaskIndex;
    m_vecRunning.removeOne(nTaskIndex);
    if (eState == CTaskTypes::Downloading) {
        m_vecRunning.insert(std::lower_bound(m_vecRunning.begin(), m_vecRunning.end(), nTaskIndex),
                            nTaskIndex);
    } else {
        task.strTimeLeft.clear();
    }
    if (eState == CTaskTypes::Failed) {
        task.strSpeed = kNoValue;
    }
    if (m_pHistory) {
        m_pHistory->updateTask(task.nStoredId, eState, task.bytesDone());
    }
    m_rows.changed(nTaskIndex, Column::ColumnPercent, Column::ColumnOperate);
}

void CRecordTaskList::fail(CRecordTaskValue& task, bool bRefused)
{
    task.bRefused = bRefused;
    // A refused start offers no continue: the task can only be deleted.
    task.bRetry = !bRefused;
    setState(task, CTaskTypes::Failed);
}

void CRecordTaskList::setSpeedIcon(CRecordTaskValue& task, int nSpeed, bool bShow)
{
    task.bSpeedIcon = bShow;
    task.bSpeedTip = task.bSpeedTip || bShow;
    task.nSpeed = static_cast<qint8>(nSpeed);
    m_rows.changed(task.nTaskIndex, Column::ColumnOperate, Column::ColumnOperate);
}

void CRecordTaskList::startNext()
{
    if (!m_pManager || m_bShutDown) {
        return;
    }
    int nRow = 0;
    while (nRow < m_rows.count()) {
        const CRecordTaskValue& task = m_rows.at(nRow);
        const int nTaskIndex = task.nTaskIndex;
        if (task.eState != CTaskTypes::Waiting) {
            ++nRow;
            continue;
        }
        // The engine may run notices while it answers: the task is looked up again after it.
        const int nCode = m_pManager->startDownload(nTaskIndex);
        if (nCode != 0 && nCode != -2) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::startDownload", "",
                                            kLogTrace, "here get ret [%d]", nCode);
        }
        CRecordTaskValue* pTask = m_rows.find(nTaskIndex);
        if (nCode == 0) {
            if (pTask) {
                setState(*pTask, CTaskTypes::Downloading);
                const DownloadInfo info = m_pManager->getDownloadInfo(nTaskIndex);
                pTask = m_rows.find(nTaskIndex);
                if (pTask && offersSpeedChange(info)) {
                    setSpeedIcon(*pTask, 1, true);
                }
                // A task restored at 2x or 4x goes on at that speed.
                if (pTask && pTask->nRestoredSpeed > 1) {
                    const int nRestored = pTask->nRestoredSpeed;
                    pTask->nRestoredSpeed = 0;
                    changeSpeed(nTaskIndex, nRestored);
                }
            }
            // One start per call: each freed slot is filled by its own call.
            return;
        }
        if (pTask && nCode != -2) {
            fail(*pTask, true);
        }
        nRow = m_rows.rowAfter(nTaskIndex);
    }
}

void CRecordTaskList::refresh(int nIntervalMs)
{
    if (!m_pManager) {
        return;
    }
    // Runs every second whatever the table's size: only the running tasks are visited, until as
    // many as the engine holds have been refreshed.
    const int nCurrent = m_pManager->getCurDownloadNumber();
    int nUpdated = 0;
    QSet<int> setRunning;
    int nFirstRow = -1;
    int nLastRow = -1;
    const auto flush = [&] {
        if (nFirstRow >= 0) {
            m_pModel->changed(nFirstRow, nLastRow, Column::ColumnPercent, Column::ColumnSpeed);
        }
        nFirstRow = -1;
    };
    const QVector<int> vecRunning = m_vecRunning;
    for (int nTaskIndex : vecRunning) {
        // A task above may have finished or failed while the engine answered for an earlier one.
        const CRecordTaskValue* pTask = m_rows.find(nTaskIndex);
        if (!pTask || pTask->eState != CTaskTypes::Downloading) {
            continue;
        }
        ++nUpdated;
        float fFraction = 0.0f;
        QString strSpeed;
        m_pManager->getDownloadSpeedAndPercent(nTaskIndex, fFraction, strSpeed);
        const int nRow = m_rows.rowOf(nTaskIndex);
        if (nRow >= 0) {
            CRecordTaskValue& task = m_rows.at(nRow);
            task.nPercent = percentFromFraction(fFraction);
            task.strSpeed = strSpeed;
            // The time left from the fraction alone (in millionths): the engine's total counts,
            // whatever size the row shows.
            task.strTimeLeft = m_timeLeft.update(
                nTaskIndex, std::llround(qBound(0.0f, fFraction, 1.0f) * 1e6), 1000000, nIntervalMs);
            setRunning.insert(nTaskIndex);
            // Neighbouring rows are told of in one change.
            if (nFirstRow >= 0 && nRow != nLastRow + 1) {
                flush();
            }
            nFirstRow = nFirstRow < 0 ? nRow : nFirstRow;
            nLastRow = nRow;
        }
        if (nUpdated == nCurrent) {
            break;
        }
    }
    flush();
    m_timeLeft.keepOnly(setRunning);
}

void CRecordTaskList::onStateNotify(int nTaskIndex, bool bSucceeded, const DownloadInfo& info)
{
    if (bSucceeded) {
        {
            // The finished list takes the engine's final record before the row goes; stored as
            // one change.
            const CDownloadHistory::Batch batch(m_pHistory);
            emit sgnFinished(info);
            const int nRow = m_rows.rowOf(nTaskIndex);
            emit sgnEnded(nRow >= 0 ? m_rows.at(nRow).strFileName : info.strFileName, true);
            // Out of the history as well, at log-out too: it is not fetched again.
            m_vecRunning.removeOne(nTaskIndex);
            if (!m_rows.take({nTaskIndex}, m_pHistory).isEmpty()) {
                m_pManager->stopDownload(nTaskIndex, StopReason_Finished, false);
                m_pManager->destoryDownloadObj(nTaskIndex);
            }
        }
        emit sgnCountChanged();
        startNext();
        return;
    }

    if (CRecordTaskValue* pTask = m_rows.find(nTaskIndex)) {
        emit sgnEnded(pTask->strFileName, false);
        if ((pTask = m_rows.find(nTaskIndex))) {
            fail(*pTask, false);
            setSpeedIcon(*pTask, 1, false);
        }
    }
    // The failed task keeps its engine object: continuing starts the same index again.
    m_pManager->stopDownload(nTaskIndex, StopReason_Failed, false);
    const QPointer<CRecordTaskList> pGuard(this);
    waitWithEventLoop(kStopWaitMs);
    if (pGuard) {
        startNext();
    }
}

void CRecordTaskList::onBeginDecode(int nTaskIndex)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::onBeginDecodeNotify", "",
                                    kLogTrace, "start to onBeginDecodeNotify1");
    CRecordTaskValue* pTask = m_rows.find(nTaskIndex);
    if (!pTask) {
        return;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::onBeginDecodeNotify", "",
                                    kLogTrace, "start to onBeginDecodeNotify2");
    // Still downloading: the refresh goes on while the engine decodes.
    pTask->bDecoding = true;
    pTask->strSpeed = kNoValue;
    setSpeedIcon(*pTask, 1, false);
    m_rows.changed(nTaskIndex, Column::ColumnSpeed, Column::ColumnStatus);
}

bool CRecordTaskList::continueTask(int nTaskIndex)
{
    CRecordTaskValue* pTask = m_rows.requeue(nTaskIndex);
    if (pTask) {
        setState(*pTask, CTaskTypes::Waiting);
        emit sgnCountChanged();
    }
    // It keeps its place: it starts when it is the first waiting one and a slot is free.
    if (pTask && m_pManager->canStillDownload()) {
        startNext();
    }
    return pTask != nullptr;
}

void CRecordTaskList::changeSpeed(int nTaskIndex, int nSpeed)
{
    const CRecordTaskValue* pTask = m_rows.find(nTaskIndex);
    // As with continue: no icon, no change.
    if (!pTask || !pTask->bSpeedIcon || !m_pManager) {
        return;
    }
    // The icon steps 1x, 2x, 4x and round again; the menu names the factor.
    const int nNow = pTask->nSpeed;
    const int nStepped = nNow == 1 ? 2 : nNow == 2 ? 4 : nNow == 4 ? 1 : 0;
    const int nNext = nSpeed != 0 ? nSpeed : nStepped;
    if (nStepped == 0 || nNext == nNow || m_pManager->setDownloadSpeed(nTaskIndex, nNext) < 1) {
        return;
    }
    if (CRecordTaskValue* pChanged = m_rows.find(nTaskIndex)) {
        setSpeedIcon(*pChanged, nNext, true);
        if (m_pHistory) {
            m_pHistory->setTaskSpeed(pChanged->nStoredId, nNext);
        }
    }
}

// ---- Removal ------------------------------------------------------------------------------------

void CRecordTaskList::deleteTask(int nTaskIndex)
{
    const int nState = state(nTaskIndex);
    if (nState == CTaskTypes::Waiting) {
        // Nothing runs: the engine only drops the task.
        removeTasks({nTaskIndex}, [](const CRecordTaskValue&) { return Removal::Quiet; });
    } else if (nState >= 0 && isListedByEngine(nTaskIndex) && state(nTaskIndex) >= 0) {
        if (!removeStopped(nTaskIndex, true)) {
            return;
        }
        startNext();
    }
    emit sgnCountChanged();
}

void CRecordTaskList::deleteChecked(bool bOpenOsd)
{
    // The tasks removed are those checked now. The stop waits let notices, ticks and clicks run,
    // so each task's state is read when its turn comes.
    int nStopped = 0;
    const bool bAlive = removeTasks(
        m_rows.checkedTasks(),
        [this, bOpenOsd](const CRecordTaskValue& task) {
            if (task.eState != CTaskTypes::Downloading) {
                return bOpenOsd ? Removal::StopFile : Removal::Quiet;
            }
            // Asking the engine may run its notices: the task is looked up again after it.
            return isListedByEngine(task.nTaskIndex) ? Removal::StopFile : Removal::Keep;
        },
        &nStopped);
    if (!bAlive) {
        return;
    }
    // One queue step per freed slot.
    for (int i = 0; i < nStopped; ++i) {
        startNext();
    }
    emit sgnCountChanged();
}

void CRecordTaskList::removeDevice(const QString& strDeviceId)
{
    // The tasks that go are the device's started and failed ones now: waiting ones stay (even if
    // a stop wait lets one start), and no queue step runs before all of them are gone, so none of
    // the device's waiting tasks is started only to be stopped again.
    QVector<int> vecGoing;
    for (const CRecordTaskValue& task : m_rows.all()) {
        if (task.eState != CTaskTypes::Waiting && task.strDeviceId == strDeviceId) {
            vecGoing.append(task.nTaskIndex);
        }
    }
    int nRemoved = 0;
    for (int nTaskIndex : qAsConst(vecGoing)) {
        // Gone meanwhile (finished during a wait), or no longer the engine's: left alone.
        if (state(nTaskIndex) < 0 || !isListedByEngine(nTaskIndex) || state(nTaskIndex) < 0) {
            continue;
        }
        if (!removeStopped(nTaskIndex, true)) {
            return;
        }
        ++nRemoved;
    }
    for (int i = 0; i < nRemoved; ++i) {
        startNext();
    }
    emit sgnCountChanged();
}

void CRecordTaskList::clear()
{
    if (!m_pManager) {
        return;
    }
    // The engine's count bounds the removals (it matches the rows when all is well).
    const int nCount = qMin(m_pManager->getCurDownloadNumber(), m_rows.count());
    QVector<int> vecTasks;
    for (int nRow = 0; nRow < nCount; ++nRow) {
        vecTasks.append(m_rows.at(nRow).nTaskIndex);
    }
    for (int nTaskIndex : takeTasks(vecTasks)) {
        m_pManager->stopDownload(nTaskIndex, StopReason_Removed, false);
        m_pManager->destoryDownloadObj(nTaskIndex);
    }
    emit sgnCountChanged();
}

bool CRecordTaskList::removeTasks(const QVector<int>& vecTasks,
                                  const std::function<Removal(const CRecordTaskValue&)>& fnRule,
                                  int* pStopped)
{
    QVector<int> vecQuiet;
    for (int nTaskIndex : vecTasks) {
        const CRecordTaskValue* pTask = m_rows.find(nTaskIndex);
        if (!pTask) {
            continue;
        }
        // A running task's rule asks the engine, which may run its notices: what was gathered
        // goes first, while it is known where it is.
        if (pTask->eState == CTaskTypes::Downloading) {
            removeQuietly(vecQuiet);
            pTask = m_rows.find(nTaskIndex);
        }
        const bool bRunning = pTask && pTask->eState == CTaskTypes::Downloading;
        const Removal eRemoval = pTask ? fnRule(*pTask) : Removal::Keep;
        if (eRemoval == Removal::Quiet) {
            vecQuiet.append(nTaskIndex);
        } else if (eRemoval != Removal::Keep && m_rows.rowOf(nTaskIndex) >= 0) {
            removeQuietly(vecQuiet);
            if (!removeStopped(nTaskIndex, eRemoval == Removal::StopFile)) {
                return false;
            }
            if (pStopped && bRunning) {
                ++*pStopped;
            }
        }
    }
    removeQuietly(vecQuiet);
    return true;
}

QVector<int> CRecordTaskList::takeTasks(const QVector<int>& vecTasks)
{
    const QVector<int> vecTaken = m_rows.take(vecTasks, m_bShutDown ? nullptr : m_pHistory.data());
    for (int nTaskIndex : vecTaken) {
        m_vecRunning.removeOne(nTaskIndex);
    }
    return vecTaken;
}

void CRecordTaskList::removeQuietly(QVector<int>& vecTasks)
{
    for (int nTaskIndex : takeTasks(vecTasks)) {
        m_pManager->destoryDownloadObj(nTaskIndex);
    }
    vecTasks.clear();
}

bool CRecordTaskList::removeStopped(int nTaskIndex, bool bDeleteFile)
{
    // At log-out the row stays through the wait: a task that finishes meanwhile ends as finished.
    const bool bTakeLater = m_bShutDown;
    if (!bTakeLater) {
        takeTasks({nTaskIndex});
    }
    // Held here: should the list be destroyed during the wait, the task is still disposed of.
    CRecordDownloadManager* pManager = m_pManager;
    pManager->stopDownload(nTaskIndex, StopReason_Removed, true);
    const QPointer<CRecordTaskList> pGuard(this);
    waitWithEventLoop(kStopWaitMs);
    if (bTakeLater && pGuard && takeTasks({nTaskIndex}).isEmpty()) {
        // Finished or deleted meanwhile: the engine's object went with it.
        return true;
    }
    if (bDeleteFile) {
        pManager->deleteDownloadFile(nTaskIndex);
    }
    pManager->destoryDownloadObj(nTaskIndex);
    return !pGuard.isNull();
}

bool CRecordTaskList::isListedByEngine(int nTaskIndex) const
{
    return m_pManager->getCurDownloadIndexs().contains(nTaskIndex);
}

void CRecordTaskList::waitWithEventLoop(int nMilliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(nMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}
