#include "CPicTaskList.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStandardItemModel>
#include <QWidget>

#include <downloadengine/CPicDownloadManager.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>

#include "CDownloadTextFormat.h"
#include "CSkinStyle.h"
#include "QDownloadingWidget.h"

namespace {

using Role = ORBGUI::struTreeViewData;

void showNotification(const QString& strText)
{
    ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
}

// The question asked before a downloading package goes; true only when the user confirmed.
bool confirmedRunningDelete(QWidget* pParent)
{
    return ORBGUI::OrbMessageBox::ShowInformation(
               pParent, QObject::tr("Notice"),
               QObject::tr("This file being downloading, are you sure to delete?"),
               ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel) == ORBGUI::OrbMessageBox::Ok;
}

}  // namespace

CPicTaskList::CPicTaskList(QStandardItemModel* pModel, CPicDownloadManager* pManager, QWidget* pPage)
    : QObject(pPage),
      m_pTable(std::make_unique<CTaskTable>(
          pModel,
          CTaskTable::Columns{QDownloadingWidget::PicColumnFileSize, QDownloadingWidget::PicColumnPercent,
                              QDownloadingWidget::PicColumnSpeed, QDownloadingWidget::PicColumnStatus,
                              QDownloadingWidget::PicColumnOperate})),
      m_pManager(pManager),
      m_pPage(pPage)
{
}

CPicTaskList::~CPicTaskList() = default;

int CPicTaskList::rowCount() const
{
    return m_pTable->rowCount();
}

void CPicTaskList::addRow(int nIndex, const DownloadPicInfo& info)
{
    // The size is known once the engine has the package.
    m_pTable->appendRow(m_pTable->newRow(
        nIndex, {info.strFileName, info.strBeginTime, info.strEndTime, CTaskTable::kNoValue},
        ORBGUI::GetSkinVersion(), QCoreApplication::translate("QDownloadingWidget", "delete")));
}

void CPicTaskList::restoreRow(int nIndex, const CDownloadHistory::Entry& entry)
{
    addRow(nIndex, entry.picture);
    const int nRow = m_pTable->rowCount() - 1;
    m_pTable->setHistoryId(nRow, entry.nId);
    if (entry.nState == CTaskTable::Failed) {
        setFailed(nRow);
    }
}

void CPicTaskList::setHistory(CDownloadHistory* pHistory)
{
    m_pTable->setHistory(pHistory, CDownloadHistory::Picture);
}

void CPicTaskList::storeLastRow(const CDownloadHistory::Entry& entry)
{
    m_pTable->storeLastRow(entry);
}

void CPicTaskList::startNext()
{
    int nRow = 0;
    for (; nRow < m_pTable->rowCount(); ++nRow) {
        const int nState = m_pTable->state(nRow);
        if (nState == CTaskTable::Waiting) {
            break;
        }
        // One picture at a time.
        if (nState == CTaskTable::Downloading) {
            return;
        }
    }
    if (nRow >= m_pTable->rowCount()) {
        return;
    }
    const QPersistentModelIndex rowHandle = m_pTable->rowHandle(nRow);
    const bool bStarted = m_pManager->startDownload(m_pTable->taskIndex(nRow));
    if (!rowHandle.isValid()) {
        return;
    }
    if (bStarted) {
        m_pTable->setState(rowHandle.row(), CTaskTable::Downloading, QObject::tr("Downloading"),
                           CSkinStyle::image(ORBGUI::GetSkinVersion(), "down-downloading.svg"));
    } else {
        // The rows below wait for the next trigger (a new task or a re-download).
        setFailed(rowHandle.row());
    }
}

void CPicTaskList::setFailed(int nRow)
{
    // Grey bar at its last percent and the re-download icon.
    m_pTable->setFailed(nRow, ORBGUI::GetSkinVersion(), "down-failed.svg",
                        QCoreApplication::translate("QDownloadingWidget", "Re-download"));
}

void CPicTaskList::onOperateClicked(const QModelIndex& modelIndex,
                                    ORBGUI::struTreeViewData::OrbItemDataRole eRole)
{
    if (!m_pTable->isOperateCell(modelIndex)) {
        return;
    }
    if (eRole == Role::PixmapRole0) {
        deleteTask(modelIndex.row());
    } else if (eRole == Role::PixmapRole1) {
        redownload(modelIndex.row());
    }
}

void CPicTaskList::redownload(int nRow)
{
    // The engine is not told: the next start of the same index restarts the task.
    if (!m_pTable->requeue(nRow, ORBGUI::GetSkinVersion())) {
        return;
    }
    emit sgnRowsChanged();
    if (!m_pManager->isPicDownloadingNow()) {
        startNext();
    }
}

void CPicTaskList::onFinished()
{
    const int nRow = m_pTable->firstRowIn(CTaskTable::Downloading);
    if (nRow >= 0) {
        const int nTaskIndex = m_pTable->taskIndex(nRow);
        const QPersistentModelIndex rowHandle = m_pTable->rowHandle(nRow);
        // Into the finished list and out of the tasks as one stored change.
        const CDownloadHistory::Batch batch(m_pTable->history());
        emit sgnFinished(m_pManager->getDownloadPicInfo(nTaskIndex));
        if (rowHandle.isValid()) {
            m_pTable->removeRow(rowHandle.row());
            m_pManager->removeDownloadPicTask(nTaskIndex, false);
        }
    }
    emit sgnRowsChanged();
    startNext();
}

void CPicTaskList::onError()
{
    const int nRow = m_pTable->firstRowIn(CTaskTable::Downloading);
    if (nRow >= 0) {
        // The engine keeps the task, so that it can be downloaded again.
        emit sgnFailed(m_pTable->item(nRow, 1)->text());
        setFailed(nRow);
    }
    startNext();
}

void CPicTaskList::onProgress(qint64 nPercent)
{
    const int nRow = m_pTable->firstRowIn(CTaskTable::Downloading);
    if (nRow >= 0) {
        // Stored as the engine reports it: the delegate draws what it is given.
        m_pTable->setProgress(nRow, QVariant::fromValue(nPercent));
    }
}

void CPicTaskList::onZipInfo(int nSize)
{
    const int nRow = m_pTable->firstRowIn(CTaskTable::Downloading);
    if (nRow >= 0) {
        m_pTable->item(nRow, QDownloadingWidget::PicColumnFileSize)
            ->setText(CDownloadTextFormat::sizeText(nSize));
        m_pManager->adjustFileSize(m_pTable->taskIndex(nRow), nSize);
    }
}

void CPicTaskList::refreshSpeed(int nIntervalMs)
{
    const int nRow = m_pTable->firstRowIn(CTaskTable::Downloading);
    const int nTask = nRow >= 0 ? m_pTable->taskIndex(nRow) : -1;
    m_timeLeft.keepOnly({nTask});
    if (nRow >= 0) {
        const int nBytes = static_cast<int>(m_pManager->getSecondDownloadSize());
        m_pTable->setSpeedText(nRow, CDownloadTextFormat::pictureSpeedText(nBytes));
        // From the bar's percent: a package's size may be known only late, or never.
        const int nPercent = m_pTable->percent(nRow);
        m_pTable->setSpeedTip(nRow, m_timeLeft.update(nTask, qBound(0, nPercent, 100), 100, nIntervalMs));
    }
}

void CPicTaskList::deleteTask(int nRow)
{
    const int nState = m_pTable->state(nRow);
    if (nState < 0) {
        return;
    }
    const QPersistentModelIndex rowHandle = m_pTable->rowHandle(nRow);
    if (nState == CTaskTable::Downloading) {
        // The question runs the event loop: the clicked task is found again after it.
        const QPointer<CPicTaskList> pGuard(this);
        if (!confirmedRunningDelete(m_pPage) || !pGuard) {
            return;
        }
    }
    // Finished meanwhile: nothing left to delete. Failed meanwhile: confirmed, it goes like any other.
    bool bRunningRemoved = false;
    if (rowHandle.isValid() && m_pTable->state(rowHandle.row()) == CTaskTable::Downloading) {
        bRunningRemoved = removeTask(rowHandle.row(), true);
    } else if (rowHandle.isValid()) {
        removeTask(rowHandle.row(), false);
    }
    emit sgnRowsChanged();
    if (bRunningRemoved) {
        startNext();
    }
}

void CPicTaskList::deleteChecked()
{
    // The rows checked at the press, each followed through the questions. Only a downloading
    // picture asks, each on its own.
    const QVector<CTaskTable::Chosen> vecChosen = m_pTable->checkedRows();
    const QPointer<CPicTaskList> pGuard(this);
    bool bRestart = false;
    for (const CTaskTable::Chosen& chosen : vecChosen) {
        if (chosen.index.isValid() && m_pTable->state(chosen.index.row()) == CTaskTable::Downloading) {
            const bool bConfirmed = confirmedRunningDelete(m_pPage);
            if (!pGuard) {
                return;
            }
            if (!bConfirmed) {
                continue;
            }
            if (chosen.index.isValid() && m_pTable->state(chosen.index.row()) == CTaskTable::Downloading) {
                bRestart = removeTask(chosen.index.row(), true) || bRestart;
                continue;
            }
            // Finished (no row) or failed while the question was open; a failed one goes, as
            // confirmed, like any row that is not downloading.
        }
        if (chosen.index.isValid()) {
            removeTask(chosen.index.row(), false);
        }
    }
    emit sgnRowsChanged();
    if (bRestart) {
        startNext();
    }
    if (vecChosen.isEmpty()) {
        showNotification(QCoreApplication::translate("QDownloadingWidget", "no file selected!"));
    }
}

bool CPicTaskList::removeTask(int nRow, bool bRunning)
{
    const int nTaskIndex = m_pTable->taskIndex(nRow);
    if (!bRunning) {
        m_pTable->removeRow(nRow);
        m_pManager->removeDownloadPicTask(nTaskIndex, false);
        return true;
    }
    // Only the engine can stop it: the row goes when it agrees.
    const QPersistentModelIndex rowHandle = m_pTable->rowHandle(nRow);
    if (!m_pManager->removeDownloadPicTask(nTaskIndex, true)) {
        return false;
    }
    if (rowHandle.isValid()) {
        m_pTable->removeRow(rowHandle.row());
    }
    return true;
}

void CPicTaskList::clear()
{
    // The engine's count bounds the removals (it matches the rows when all is well).
    for (int nTaskIndex :
         m_pTable->takeRows(0, qMin(m_pManager->getPicDownloadSize(), m_pTable->rowCount()))) {
        m_pManager->removeDownloadPicTask(nTaskIndex, true);
    }
}
