#include "CRecordRemoval.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/CBaseInfo.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include "CTaskTable.h"
#include "QDownloadingWidget.h"

namespace {

void showNotification(const QString& strText)
{
    ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
}

// A modal yes/no question; true only when the user confirmed.
bool confirmed(QWidget* pParent, const QString& strQuestion)
{
    return ORBGUI::OrbMessageBox::ShowInformation(
               pParent, QObject::tr("Notice"), strQuestion,
               ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel) == ORBGUI::OrbMessageBox::Ok;
}

// Waiting and failed rows go without a stop, unless the client wants partial files deleted.
bool goesWithoutStop(int nState, bool bOpenOsd)
{
    return (nState == CTaskTable::Waiting || nState == CTaskTable::Failed) && !bOpenOsd;
}

}  // namespace

CRecordRemoval::CRecordRemoval(CTaskTable& table, CRecordDownloadManager* pManager, QWidget* pPage)
    : QObject(pPage), m_table(table), m_pManager(pManager), m_pPage(pPage)
{
}

void CRecordRemoval::deleteTask(int nRow)
{
    if (m_table.state(nRow) < 0) {
        return;
    }
    // The question runs the event loop: rows above may go meanwhile.
    const int nTaskIndex = m_table.taskIndex(nRow);
    const QPersistentModelIndex rowHandle = m_table.rowHandle(nRow);
    const QPointer<CRecordRemoval> pGuard(this);
    if (!confirmed(m_pPage, QObject::tr("are you sure to delete this downEvent?")) || !pGuard) {
        return;
    }
    // No row: the task finished while the question was open.
    const int nState = rowHandle.isValid() ? m_table.state(rowHandle.row()) : -1;
    if (nState == CTaskTable::Waiting) {
        // Nothing runs: the engine only drops the task.
        removeTask(rowHandle.row(), false, FileRule::DeleteFile);
    } else if ((nState == CTaskTable::Downloading || nState == CTaskTable::Failed) &&
               isListedByEngine(nTaskIndex)) {
        if (!removeTask(rowHandle.row(), true, FileRule::DeleteFile)) {
            return;
        }
        emit sgnSlotFreed();
    }
    emit sgnRowsChanged();
}

void CRecordRemoval::deleteChecked()
{
    // The rows removed are those checked at the press. The question and the stop waits let
    // notices, ticks and clicks run, so each row's state is read when its turn comes.
    const QVector<CTaskTable::Chosen> vecChosen = m_table.checkedRows();
    if (vecChosen.isEmpty()) {
        emit sgnRowsChanged();
        showNotification(QCoreApplication::translate("QDownloadingWidget", "no record selected!"));
        return;
    }
    const QPointer<CRecordRemoval> pGuard(this);
    if (!confirmed(m_pPage, QObject::tr("are you sure to delete this downEvent?")) || !pGuard) {
        return;
    }

    // Read once for the press: a settings read costs microseconds, and a press may take 100,000 rows.
    const bool bOpenOsd = ConfigInfo::CBaseInfo::instance().getOpenOSD();
    int nRemovedRunning = 0;
    // Adjacent rows that go without a stop, not yet taken out (see removeRecordRun).
    int nRunStart = 0;
    int nRunCount = 0;
    for (const CTaskTable::Chosen& chosen : vecChosen) {
        if (!chosen.index.isValid()) {
            continue;
        }
        const int nState = m_table.state(chosen.index.row());
        const bool bQuiet = goesWithoutStop(nState, bOpenOsd);
        if (nRunCount > 0 && (!bQuiet || chosen.index.row() != nRunStart + nRunCount)) {
            removeRun(nRunStart, nRunCount);
            nRunCount = 0;
        }
        if (bQuiet) {
            if (nRunCount == 0) {
                nRunStart = chosen.index.row();
            }
            ++nRunCount;
            continue;
        }

        // Asking the engine may run its notices: the row is read again after it.
        bool bAlive = true;
        if (nState == CTaskTable::Downloading) {
            if (isListedByEngine(chosen.nTaskIndex) && chosen.index.isValid()) {
                bAlive = removeTask(chosen.index.row(), true, FileRule::DeleteFile);
                ++nRemovedRunning;
            }
        } else if (nState == CTaskTable::Waiting || nState == CTaskTable::Failed) {
            // Open-OSD: stopped and its partial file deleted as well.
            bAlive = removeTask(chosen.index.row(), true, FileRule::DeleteFile);
        }
        if (!bAlive) {
            return;
        }
    }
    removeRun(nRunStart, nRunCount);
    // One queue step per freed slot.
    for (int i = 0; i < nRemovedRunning; ++i) {
        emit sgnSlotFreed();
    }
    emit sgnRowsChanged();
}

void CRecordRemoval::removeAll()
{
    // Rows added while a stop wait runs are met further down and go as well. Only a running task
    // is stopped; no file goes, whatever the client's setting for partial files: the tasks come
    // back at the next start and take up their files again.
    QSet<int> setKept;
    QPersistentModelIndex lastKept;
    int nRow = 0;
    while (nRow < m_table.rowCount()) {
        int nRunEnd = nRow;
        while (nRunEnd < m_table.rowCount() && m_table.state(nRunEnd) != CTaskTable::Downloading) {
            ++nRunEnd;
        }
        if (nRunEnd > nRow) {
            removeRun(nRow, nRunEnd - nRow);
            continue;
        }

        const int nTaskIndex = m_table.taskIndex(nRow);
        const QPersistentModelIndex rowHandle = m_table.rowHandle(nRow);
        if (rowHandle.isValid()) {
            if (!isListedByEngine(nTaskIndex)) {
                setKept.insert(nTaskIndex);
                lastKept = rowHandle;
            } else if (!removeTask(rowHandle.row(), true, FileRule::KeepFile)) {
                return;
            }
        }
        nRow = resumeWalk(lastKept, setKept);
    }
}

void CRecordRemoval::removeDevice(const QString& strDeviceId)
{
    // The tasks that go are the device's started and failed ones at the notice: waiting ones stay
    // (even if a stop wait lets one start), and no queue step runs before all of them are gone,
    // so none of the device's waiting tasks is started only to be stopped again.
    QVector<CTaskTable::Chosen> vecGoing;
    for (int nRow = 0; nRow < m_table.rowCount(); ++nRow) {
        const int nTaskIndex = m_table.taskIndex(nRow);
        const int nState = m_table.state(nRow);
        if ((nState == CTaskTable::Downloading || nState == CTaskTable::Failed) &&
            m_pManager->getDownloadInfo(nTaskIndex).strDeviceId == strDeviceId) {
            vecGoing.append({nTaskIndex, m_table.rowHandle(nRow)});
        }
    }
    int nRemoved = 0;
    for (const CTaskTable::Chosen& going : qAsConst(vecGoing)) {
        // Gone meanwhile (finished during a wait), or no longer the engine's: left alone. Asking
        // the engine may run its notices, so the row is looked at again after it.
        if (!going.index.isValid() || !isListedByEngine(going.nTaskIndex) || !going.index.isValid()) {
            continue;
        }
        if (!removeTask(going.index.row(), true, FileRule::DeleteFile)) {
            return;
        }
        ++nRemoved;
    }
    for (int i = 0; i < nRemoved; ++i) {
        emit sgnSlotFreed();
    }
    emit sgnRowsChanged();
}

bool CRecordRemoval::removeTask(int nRow, bool bStop, FileRule eFile)
{
    const int nTaskIndex = m_table.taskIndex(nRow);
    m_table.removeRow(nRow);

    // Held here: should the page be destroyed during the wait, the task is still disposed of.
    CRecordDownloadManager* pManager = m_pManager;
    bool bAlive = true;
    if (bStop) {
        pManager->stopDownload(nTaskIndex, StopReason_Removed, true);
        const QPointer<CRecordRemoval> pGuard(this);
        QDownloadingWidget::waitWithEventLoop(QDownloadingWidget::kStopWaitMs);
        bAlive = !pGuard.isNull();
        if (eFile == FileRule::DeleteFile) {
            pManager->deleteDownloadFile(nTaskIndex);
        }
    }
    pManager->destoryDownloadObj(nTaskIndex);
    return bAlive;
}

void CRecordRemoval::removeRun(int nRow, int nCount)
{
    if (nCount > 0) {
        for (int nTaskIndex : m_table.takeRows(nRow, nCount)) {
            m_pManager->destoryDownloadObj(nTaskIndex);
        }
    }
}

int CRecordRemoval::resumeWalk(const QPersistentModelIndex& lastPassed, const QSet<int>& setPassed) const
{
    if (lastPassed.isValid()) {
        return lastPassed.row() + 1;
    }
    // Nothing passed yet, or the last passed row went meanwhile: the passed ones still there
    // are the top rows.
    int nRow = 0;
    while (nRow < m_table.rowCount() && setPassed.contains(m_table.taskIndex(nRow))) {
        ++nRow;
    }
    return nRow;
}

bool CRecordRemoval::isListedByEngine(int nTaskIndex) const
{
    return m_pManager->getCurDownloadIndexs().contains(nTaskIndex);
}
