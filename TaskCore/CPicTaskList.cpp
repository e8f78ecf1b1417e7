#include "CPicTaskList.h"

#include <algorithm>

#include <downloadengine/CPicDownloadManager.h>

#include "CDownloadTextFormat.h"
#include "CPicTableModel.h"
#include "WhenIdle.h"

namespace {

using Column = CPicTableModel::Column;

}  // namespace

CPicTaskList::CPicTaskList(CPicDownloadManager* pManager, QObject* parent)
    : QObject(parent), m_pManager(pManager), m_pModel(new CPicTableModel(m_rows, this)), m_rows(m_pModel)
{
}

CPicTaskList::~CPicTaskList()
{
    // Not shut down (torn down with its parent): the engine drops the packages; what is stored
    // stays for the next start.
    if (!m_bShutDown && m_pManager && count() > 0) {
        m_pManager->clearAllPicDownloadObj();
    }
}

int CPicTaskList::add(const DownloadPicInfo& info)
{
    if (!m_pManager || m_bShutDown) {
        return 0;
    }
    const int nIndex = ++m_nPicDownloadIndex;
    CPicTaskValue task;
    task.nTaskIndex = nIndex;
    task.picture = info;
    m_pManager->appendPicDownloadInfo(nIndex, info);
    if (m_pHistory) {
        CDownloadHistory::Entry entry;
        entry.eKind = CDownloadHistory::Picture;
        entry.picture = info;
        task.nStoredId = m_pHistory->addTask(entry);
    }
    m_rows.append(std::move(task));
    emit sgnCountChanged();
    if (!m_pManager->isPicDownloadingNow()) {
        startNext();
    }
    return nIndex;
}

void CPicTaskList::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    if (!m_pHistory || !m_pManager) {
        return;
    }
    QVector<CPicTaskValue> vecRestored;
    for (const CDownloadHistory::Entry& entry : m_pHistory->taskEntries(CDownloadHistory::Picture)) {
        CPicTaskValue task;
        task.nTaskIndex = ++m_nPicDownloadIndex;
        task.picture = entry.picture;
        task.nStoredId = entry.nId;
        m_pManager->appendPicDownloadInfo(task.nTaskIndex, entry.picture);
        if (entry.nState == CTaskTypes::Failed) {
            task.eState = CTaskTypes::Failed;
            task.bRetry = true;
        }
        vecRestored.append(task);
    }
    m_rows.append(vecRestored);
    if (!vecRestored.isEmpty()) {
        emit sgnCountChanged();
    }
    // As the record list does: the window first, then the transfer.
    whenIdle(this, [this] {
        startNext();
        emit sgnRestored();
    });
}

void CPicTaskList::shutdown()
{
    m_bShutDown = true;
    m_pHistory = nullptr;
    if (m_pManager) {
        m_pManager->clearAllPicDownloadObj();
    }
}

int CPicTaskList::runningRow() const
{
    for (int nRow = 0; nRow < m_rows.count(); ++nRow) {
        if (m_rows.at(nRow).eState == CTaskTypes::Downloading) {
            return nRow;
        }
    }
    return -1;
}

void CPicTaskList::setState(CPicTaskValue& task, CTaskTypes::State eState)
{
    task.eState = eState;
    if (eState == CTaskTypes::Failed) {
        // Grey bar at its last percent and the download-again icon.
        task.strSpeed = QStringLiteral("--");
        task.bRetry = true;
    }
    if (eState != CTaskTypes::Downloading) {
        task.strTimeLeft.clear();
    }
    if (m_pHistory) {
        m_pHistory->updateTask(task.nStoredId, eState, 0);
    }
    m_rows.changed(task.nTaskIndex, Column::ColumnPercent, Column::ColumnOperate);
}

void CPicTaskList::startNext()
{
    if (!m_pManager || m_bShutDown) {
        return;
    }
    int nRow = 0;
    for (; nRow < m_rows.count(); ++nRow) {
        const int nState = m_rows.at(nRow).eState;
        if (nState == CTaskTypes::Waiting) {
            break;
        }
        // One picture at a time.
        if (nState == CTaskTypes::Downloading) {
            return;
        }
    }
    if (nRow >= m_rows.count()) {
        return;
    }
    const int nTaskIndex = m_rows.at(nRow).nTaskIndex;
    const bool bStarted = m_pManager->startDownload(nTaskIndex);
    if (CPicTaskValue* pTask = m_rows.find(nTaskIndex)) {
        // A refused one fails; the rows below wait for the next trigger (a new task or a
        // download again).
        setState(*pTask, bStarted ? CTaskTypes::Downloading : CTaskTypes::Failed);
    }
}

void CPicTaskList::onFinished()
{
    const int nRow = runningRow();
    if (nRow >= 0) {
        const int nTaskIndex = m_rows.at(nRow).nTaskIndex;
        // Into the finished list and out of the tasks as one stored change.
        const CDownloadHistory::Batch batch(m_pHistory);
        emit sgnFinished(m_pManager->getDownloadPicInfo(nTaskIndex));
        if (!m_rows.take({nTaskIndex}, m_pHistory).isEmpty()) {
            m_pManager->removeDownloadPicTask(nTaskIndex, false);
        }
    }
    emit sgnCountChanged();
    startNext();
}

void CPicTaskList::onError()
{
    const int nRow = runningRow();
    if (nRow >= 0) {
        // The engine keeps the task, so that it can be downloaded again.
        const int nTaskIndex = m_rows.at(nRow).nTaskIndex;
        emit sgnFailed(m_rows.at(nRow).picture.strFileName);
        if (CPicTaskValue* pTask = m_rows.find(nTaskIndex)) {
            setState(*pTask, CTaskTypes::Failed);
        }
    }
    startNext();
}

void CPicTaskList::onProgress(qint64 nPercent)
{
    const int nRow = runningRow();
    if (nRow >= 0) {
        m_rows.at(nRow).nPercent = nPercent;
        m_pModel->changed(nRow, Column::ColumnPercent);
    }
}

void CPicTaskList::onZipInfo(qint64 nSize)
{
    const int nRow = runningRow();
    if (nRow >= 0) {
        m_rows.at(nRow).nSize = nSize;
        m_pModel->changed(nRow, Column::ColumnFileSize);
        m_pManager->adjustFileSize(m_rows.at(nRow).nTaskIndex, nSize);
    }
}

void CPicTaskList::refresh(int nIntervalMs)
{
    const int nRow = runningRow();
    const int nTask = nRow >= 0 ? m_rows.at(nRow).nTaskIndex : -1;
    m_timeLeft.keepOnly({nTask});
    if (nRow < 0 || !m_pManager) {
        return;
    }
    CPicTaskValue& task = m_rows.at(nRow);
    const int nBytes = static_cast<int>(m_pManager->getSecondDownloadSize());
    task.strSpeed = CDownloadTextFormat::pictureSpeedText(nBytes);
    // From the percent: a package's size may be known only late, or never.
    task.strTimeLeft = m_timeLeft.update(nTask, std::clamp<qint64>(task.nPercent, 0, 100), 100, nIntervalMs);
    m_pModel->changed(nRow, Column::ColumnSpeed);
}

bool CPicTaskList::redownload(int nTaskIndex)
{
    CPicTaskValue* pTask = m_rows.requeue(nTaskIndex);
    if (!pTask) {
        return false;
    }
    setState(*pTask, CTaskTypes::Waiting);
    emit sgnCountChanged();
    // One package at a time: it starts now only when nothing downloads.
    if (!m_pManager->isPicDownloadingNow()) {
        startNext();
    }
    return true;
}

bool CPicTaskList::remove(int nTaskIndex)
{
    if (state(nTaskIndex) != CTaskTypes::Downloading) {
        if (!m_rows.take({nTaskIndex}, m_pHistory).isEmpty()) {
            m_pManager->removeDownloadPicTask(nTaskIndex, false);
        }
        return false;
    }
    // Only the engine can stop it: the row goes when it agrees.
    if (!m_pManager->removeDownloadPicTask(nTaskIndex, true)) {
        return false;
    }
    m_rows.take({nTaskIndex}, m_pHistory);
    return true;
}

void CPicTaskList::deleteTask(int nTaskIndex, const std::function<bool()>& fnConfirm)
{
    const int nState = state(nTaskIndex);
    if (nState < 0) {
        return;
    }
    if (nState == CTaskTypes::Downloading) {
        // The question runs the event loop: the clicked task is found again after it.
        const QPointer<CPicTaskList> pGuard(this);
        if (!fnConfirm() || !pGuard) {
            return;
        }
    }
    // Finished meanwhile: nothing left to delete. Failed meanwhile: confirmed, it goes like any
    // other.
    const bool bRunningRemoved = remove(nTaskIndex);
    emit sgnCountChanged();
    if (bRunningRemoved) {
        startNext();
    }
}

bool CPicTaskList::deleteChecked(const std::function<bool()>& fnConfirm)
{
    // Only a downloading package asks, each on its own; each is looked up again after it.
    const QVector<int> vecChosen = m_rows.checkedTasks();
    const QPointer<CPicTaskList> pGuard(this);
    bool bRestart = false;
    for (int nTaskIndex : vecChosen) {
        if (state(nTaskIndex) == CTaskTypes::Downloading) {
            const bool bConfirmed = fnConfirm();
            if (!pGuard) {
                return true;
            }
            if (!bConfirmed) {
                continue;
            }
        }
        // Finished (no row) or failed while the question was open: a failed one goes, as
        // confirmed, like any package that is not downloading.
        bRestart = remove(nTaskIndex) || bRestart;
    }
    emit sgnCountChanged();
    if (bRestart) {
        startNext();
    }
    return !vecChosen.isEmpty();
}

void CPicTaskList::clear()
{
    if (!m_pManager) {
        return;
    }
    // The engine's count bounds the removals (it matches the rows when all is well).
    const int nCount = qMin(m_pManager->getPicDownloadSize(), m_rows.count());
    QVector<int> vecTasks;
    for (int nRow = 0; nRow < nCount; ++nRow) {
        vecTasks.append(m_rows.at(nRow).nTaskIndex);
    }
    for (int nTaskIndex : m_rows.take(vecTasks, m_pHistory)) {
        m_pManager->removeDownloadPicTask(nTaskIndex, true);
    }
    emit sgnCountChanged();
}
