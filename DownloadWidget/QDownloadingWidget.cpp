#include "QDownloadingWidget.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QSignalBlocker>
#include <QSize>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <cmath>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <ncl/NPrintLog.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CDownloadCenterTableDelegate.h"
#include "CDownloadTextFormat.h"
#include "CPicTaskList.h"
#include "CRecordRemoval.h"
#include "CSkinStyle.h"
#include "CTaskCell.h"
#include "ui_DownloadingWidget.h"

namespace {

const char* const kLogFile = "DownloadWidget\\DownloadingWidget";
const int kLogTrace = 4;

const QSize kSpeedIconSize(24, 16);

using Role = ORBGUI::struTreeViewData;

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

void showNotification(const QString& strText)
{
    ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
}

}  // namespace

QDownloadingWidget::QDownloadingWidget(QWidget* parent)
    : QDownloadListBase(parent), ui(new Ui::DownloadingWidget)
{
    ui->setupUi(this);

    m_pTimer = new QTimer(this);
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(onTimeOut()));

    m_pRecordDownloadMgr = &CRecordDownloadManager::getInstance();
    m_pRecordDownloadMgr->setMaxDownloadNum(kMaxRecordDownloads);
    connect(m_pRecordDownloadMgr, &CRecordDownloadManager::sgnDownloadStateNotify, this,
            &QDownloadingWidget::onDownloadStateNotify);
    connect(m_pRecordDownloadMgr, &CRecordDownloadManager::sgnBeginDecodeNotify, this,
            &QDownloadingWidget::onBeginDecodeNotify);

    m_pPicDownloadMgr = &CPicDownloadManager::getInstance();
    connect(m_pPicDownloadMgr, &CPicDownloadManager::sgnPicFinishedDowndload, this,
            &QDownloadingWidget::onPicFinishedDowndload);
    connect(m_pPicDownloadMgr, &CPicDownloadManager::sgnPicDownloadError, this,
            &QDownloadingWidget::onPicDownloadError);
    connect(m_pPicDownloadMgr, &CPicDownloadManager::sgnPicDownloadProgress, this,
            &QDownloadingWidget::onPicDownloadProgress);
    connect(m_pPicDownloadMgr, &CPicDownloadManager::sgnPicGetDownloadZipInfo, this,
            &QDownloadingWidget::onPicGetDownloadZipInfo);

    ui->btnRecordDownloading->setCheckable(true);
    ui->btnRecordDownloading->setChecked(true);
    ui->btnPictureDownloading->setCheckable(true);
    onRecordDownloadingClicked();

    initTableViews();

    connect(ui->btnDelete, SIGNAL(clicked()), this, SLOT(onDelete()));
    connect(ui->btnFolder, SIGNAL(clicked()), this, SLOT(onOpenFolder()));
    connect(ui->btnRecordDownloading, SIGNAL(clicked()), this, SLOT(onRecordDownloadingClicked()));
    connect(ui->btnPictureDownloading, SIGNAL(clicked()), this, SLOT(onPictureDownloadingClicked()));

    setObjectName(QStringLiteral("QDownloadingWidget"));
    CSkinStyle::applyStyleSheet(this);
}

QDownloadingWidget::~QDownloadingWidget()
{
    {
        // The stop waits below run the event loop. The window may already be half destroyed
        // (it deletes us with its children), so nothing is emitted towards it, and no click
        // reaches a list that is going away. Engine notices still arrive: a task that finishes
        // now must not have its file deleted as if it were removed.
        const QSignalBlocker blocker(this);
        setEnabled(false);
        keepTasksForNextStart();
        if (m_pRecordDownloadMgr) {
            onDeleteTmpFile();
        }
        if (m_pPicDownloadMgr) {
            m_pPicDownloadMgr->clearAllPicDownloadObj();
        }
    }
    delete ui;
}

void QDownloadingWidget::setProductName(const QString& strName)
{
    m_strProductName = strName;
    if (m_pRecordTable) {
        m_pRecordTable->model()->setHeaderData(RecordColumnShop, Qt::Horizontal,
                                               CSkinStyle::productTitle(tr("ProductName"), strName),
                                               Qt::EditRole);
    }
}

void QDownloadingWidget::initTableViews()
{
    ORBGUI::OrbTableView* pRecordView = ui->tableDownloadingList;
    CSkinStyle::setUpTableView(pRecordView);
    auto* pRecordDelegate = new CDownloadCenterTableDelegate(pRecordView);
    pRecordDelegate->setFilePathOf([this](const QModelIndex& index) {
        return m_pRecordDownloadMgr && m_pRecordTable
                   ? m_pRecordDownloadMgr->getDownloadInfo(m_pRecordTable->taskIndex(index.row())).strFilePath
                   : QString();
    });
    pRecordView->setItemDelegate(pRecordDelegate);
    auto* pRecordModel = new QStandardItemModel(0, RecordColumnCount, this);
    CSkinStyle::setCheckableHeader(
        pRecordModel,
        {QString(), tr("File name"), tr("Channel"), tr("Shop"), tr("Begin time"), tr("End time"),
         tr("File Size"), tr("Percent"), tr("Speed"), tr("Status"), tr("Operate")},
        // Operate holds up to three icons: delete, continue and speed.
        {32, 146, 146, 146, 140, 140, 100, 140, 75, 95, 80});
    pRecordView->setModel(pRecordModel);
    CSkinStyle::setColumnModes(pRecordView, RecordColumnOperate);
    m_pRecordTable = std::make_unique<CTaskTable>(
        pRecordModel, CTaskTable::Columns{RecordColumnFileSize, RecordColumnPercent, RecordColumnSpeed,
                                          RecordColumnStatus, RecordColumnOperate});
    m_pRemoval = new CRecordRemoval(*m_pRecordTable, m_pRecordDownloadMgr, this);
    connect(m_pRemoval, &CRecordRemoval::sgnSlotFreed, this, [this] { startDownload(-1); });
    connect(m_pRemoval, &CRecordRemoval::sgnRowsChanged, this, &QDownloadingWidget::updateDownloadingItemNum);
    connect(pRecordView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));
    enableRowActions(pRecordView);

    ORBGUI::OrbTableView* pPicView = ui->tablePicDownloadingList;
    CSkinStyle::setUpTableView(pPicView);
    pPicView->setItemDelegate(new CDownloadCenterTableDelegate(pPicView));
    auto* pPicModel = new QStandardItemModel(0, PicColumnCount, this);
    CSkinStyle::setCheckableHeader(pPicModel,
                                   {QString(), tr("File name"), tr("Begin time"), tr("End time"),
                                    tr("File Size"), tr("Percent"), tr("Speed"), tr("Status"), tr("Operate")},
                                   {32, 246, 146, 146, 100, 170, 80, 100, 60});
    pPicView->setModel(pPicModel);
    CSkinStyle::setColumnModes(pPicView, PicColumnOperate);
    m_pPictures = new CPicTaskList(pPicModel, m_pPicDownloadMgr, this);
    connect(m_pPictures, &CPicTaskList::sgnRowsChanged, this, &QDownloadingWidget::updateDownloadingItemNum);
    connect(m_pPictures, &CPicTaskList::sgnFinished, this, &QDownloadingWidget::sgnPicDownloadFinished);
    m_pNotices = new CFinishNotices([this] { onOpenFolder(); }, this);
    connect(m_pPictures, &CPicTaskList::sgnFinished, m_pNotices,
            [this](const DownloadPicInfo& info) { m_pNotices->finished(info.strFileName); });
    connect(m_pPictures, &CPicTaskList::sgnFailed, m_pNotices, &CFinishNotices::failed);
    connect(pPicView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPicPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));
    enableRowActions(pPicView);

    updateDownloadingItemNum();
}

void QDownloadingWidget::updateDownloadingItemNum()
{
    if (!m_pRecordTable || !m_pPictures) {
        return;
    }
    const int nPicRows = m_pPictures->rowCount();
    const int nRecordRows = m_pRecordTable->rowCount();
    ui->btnPictureDownloading->setText(CDownloadTextFormat::counterText(tr("picture"), nPicRows));
    ui->btnRecordDownloading->setText(CDownloadTextFormat::counterText(tr("record"), nRecordRows));
    emit sgnDownloadingItemNumChanaged(nPicRows + nRecordRows);
}

void QDownloadingWidget::waitWithEventLoop(int nMilliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(nMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void QDownloadingWidget::setSelectedProperty(QWidget* pButton, bool bSelected)
{
    pButton->setProperty("selected", bSelected);
    pButton->style()->unpolish(pButton);
    pButton->style()->polish(pButton);
    pButton->update();
}

void QDownloadingWidget::onRecordDownloadingClicked()
{
    ui->tableDownloadingList->show();
    ui->tablePicDownloadingList->hide();
    setSelectedProperty(ui->btnRecordDownloading, true);
    setSelectedProperty(ui->btnPictureDownloading, false);
}

void QDownloadingWidget::onPictureDownloadingClicked()
{
    ui->tablePicDownloadingList->show();
    ui->tableDownloadingList->hide();
    setSelectedProperty(ui->btnRecordDownloading, false);
    setSelectedProperty(ui->btnPictureDownloading, true);
}

void QDownloadingWidget::onOpenFolder()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("file:///") + m_pRecordDownloadMgr->getDownloadDir(), QUrl::TolerantMode));
}

void QDownloadingWidget::onDelete()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // The visible table is the one the user means.
    if (ui->tableDownloadingList->isHidden()) {
        m_pPictures->deleteChecked();
    } else {
        m_pRemoval->deleteChecked();
    }
}

void QDownloadingWidget::clearDownloadingList()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // The engine's counts bound the removals (they match the rows when all is well); everything
    // goes at once, without questions, file deletion or queue steps.
    const QList<int> listRecordTasks = m_pRecordTable->takeRows(
        0, qMin(m_pRecordDownloadMgr->getCurDownloadNumber(), m_pRecordTable->rowCount()));
    for (int nTaskIndex : listRecordTasks) {
        m_pRecordDownloadMgr->stopDownload(nTaskIndex, StopReason_Removed, false);
        m_pRecordDownloadMgr->destoryDownloadObj(nTaskIndex);
    }

    if (m_pPicDownloadMgr) {
        m_pPictures->clear();
    }
    updateDownloadingItemNum();
}

// ---- Record road -------------------------------------------------------------------------------

void QDownloadingWidget::onAddDownloadTask(const DownloadInfo& task)
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    const bool bCheckDisk = task.nSourceKind != 2 && task.nSourceKind != 23;
    if (bCheckDisk && !m_pRecordDownloadMgr->isLeftDiskFreeSpaceEnough(task)) {
        ORBGUI::OrbMessageBox::ShowInformation(this, QObject::tr("Notice"),
                                               tr("the disk free space is not enough,please cheak for it"),
                                               ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel);
        return;
    }

    const int nIndex = ++m_nDownloadIndex;
    m_pRecordDownloadMgr->addDownloadTask(nIndex, task);
    m_pRecordDownloadMgr->prepareDownloadInfo(nIndex);
    // The engine has completed the record (name, size...): show its copy, not ours.
    CDownloadHistory::Entry entry;
    entry.record = m_pRecordDownloadMgr->getDownloadInfo(nIndex);
    addRecordRow(nIndex, entry.record);
    m_pRecordTable->storeLastRow(entry);
    updateDownloadingItemNum();

    if (m_pRecordDownloadMgr->canStillDownload()) {
        startDownload(-1);
    }
    if (!m_pTimer->isActive()) {
        m_pTimer->start(kProgressIntervalMs);
    }
}

void QDownloadingWidget::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    if (!m_pHistory || !m_pRecordDownloadMgr || !m_pPicDownloadMgr) {
        return;
    }
    const QVector<CDownloadHistory::Entry> vecTasks = m_pHistory->taskEntries();
    for (const CDownloadHistory::Entry& entry : vecTasks) {
        if (entry.eKind == CDownloadHistory::Picture) {
            const int nIndex = ++m_nPicDownloadIndex;
            m_pPicDownloadMgr->appendPicDownloadInfo(nIndex, entry.picture);
            m_pPictures->restoreRow(nIndex, entry);
        } else {
            restoreRecordTask(entry);
        }
    }
    m_pRecordTable->setHistory(m_pHistory, CDownloadHistory::Record);
    m_pPictures->setHistory(m_pHistory);
    updateDownloadingItemNum();
    if (vecTasks.isEmpty()) {
        return;
    }
    // As many as the engine takes, one start per free slot.
    for (int i = 0; i < kMaxRecordDownloads && m_pRecordDownloadMgr->canStillDownload(); ++i) {
        startDownload(-1);
    }
    startPicDownload(-1);
    m_pTimer->start(kProgressIntervalMs);
}

void QDownloadingWidget::restoreRecordTask(const CDownloadHistory::Entry& entry)
{
    // The record holds the target the engine chose before: its partial file is taken up again.
    const int nIndex = ++m_nDownloadIndex;
    m_pRecordDownloadMgr->addDownloadTask(nIndex, entry.record);
    addRecordRow(nIndex, entry.record);
    const int nRow = m_pRecordTable->rowCount() - 1;
    m_pRecordTable->setHistoryId(nRow, entry.nId);
    const qint64 nSize = entry.record.stRecordFile.nFileSize;
    if (nSize > 0) {
        // Rounded up: the bytes were rounded down from the percent shown.
        const qint64 nPercent = (entry.nBytesDone * 100 + nSize - 1) / nSize;
        m_pRecordTable->setProgress(nRow, static_cast<uint>(qBound<qint64>(0, nPercent, 100)));
    }
    if (entry.nState == TaskFailed) {
        showFailed(nRow);
    } else if (entry.nSpeed == 2 || entry.nSpeed == 4) {
        m_hashRestoredSpeed.insert(nIndex, entry.nSpeed);
    }
}

void QDownloadingWidget::showFailed(int nRow)
{
    m_pRecordTable->setFailed(nRow, ORBGUI::GetSkinVersion(), "down-failed.svg", tr("Contiue-download"));
    setSpeedButton(m_pRecordTable->item(nRow, RecordColumnOperate), 1, false);
}

void QDownloadingWidget::keepTasksForNextStart()
{
    if (!m_pHistory || !m_pRecordTable) {
        return;
    }
    {
        const CDownloadHistory::Batch batch(m_pHistory);
        for (const QPersistentModelIndex& rowHandle : m_pRecordTable->downloadingRows()) {
            m_pHistory->updateTask(m_pRecordTable->historyId(rowHandle.row()), TaskDownloading,
                                   m_pRecordTable->bytesDone(rowHandle.row()));
        }
    }
    m_pRecordTable->setHistory(nullptr, CDownloadHistory::Record);
    m_pPictures->setHistory(nullptr);
    m_pHistory = nullptr;
}

void QDownloadingWidget::addRecordRow(int nIndex, const DownloadInfo& info)
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    const qint64 nFileSize = info.stRecordFile.nFileSize;
    const QString strSize = CDownloadTextFormat::isRecordSizeUnknown(info)
                                ? CTaskCell::shared(tr("unkown size"))
                                : CDownloadTextFormat::sizeText(nFileSize);
    const QList<QStandardItem*> listCells =
        m_pRecordTable->newRow(nIndex,
                               {info.strFileName, info.strChannelName, info.strShopName,
                                QString::fromStdString(info.stRecordFile.strBeginTime),
                                QString::fromStdString(info.stRecordFile.strEndTime), strSize},
                               strSkin, tr("delete"));
    listCells.at(RecordColumnFileSize)->setData(nFileSize, Qt::UserRole);
    if (offersSpeedChange(info)) {
        setSpeedButton(listCells.at(RecordColumnOperate), 1, true);
    }
    m_pRecordTable->appendRow(listCells);
}

void QDownloadingWidget::onTimeOut()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }

    // Runs every second whatever the table's size: only the downloading rows are visited, until
    // as many as the engine holds have been refreshed.
    const int nCurrent = m_pRecordDownloadMgr->getCurDownloadNumber();
    int nUpdated = 0;
    QSet<int> setRunning;
    for (const QPersistentModelIndex& rowHandle : m_pRecordTable->downloadingRows()) {
        // A row above may have finished or failed while the engine answered for an earlier one.
        if (!rowHandle.isValid() || m_pRecordTable->state(rowHandle.row()) != TaskDownloading) {
            continue;
        }
        ++nUpdated;
        float fFraction = 0.0f;
        QString strSpeed;
        m_pRecordDownloadMgr->getDownloadSpeedAndPercent(m_pRecordTable->taskIndex(rowHandle.row()),
                                                         fFraction, strSpeed);
        if (!rowHandle.isValid()) {
            continue;
        }
        m_pRecordTable->setProgress(rowHandle.row(), percentFromFraction(fFraction));
        m_pRecordTable->setSpeedText(rowHandle.row(), strSpeed);
        // The time left from the fraction alone (in millionths): the engine's total counts,
        // whatever size the row shows.
        const int nTask = m_pRecordTable->taskIndex(rowHandle.row());
        setRunning.insert(nTask);
        m_pRecordTable->setSpeedTip(
            rowHandle.row(), m_timeLeft.update(nTask, std::llround(qBound(0.0f, fFraction, 1.0f) * 1e6),
                                               1000000, kProgressIntervalMs));
        if (nUpdated == nCurrent) {
            break;
        }
    }

    m_timeLeft.keepOnly(setRunning);
    if (m_pPicDownloadMgr) {
        m_pPictures->refreshSpeed(kProgressIntervalMs);
    }
}

void QDownloadingWidget::startDownload(int nIndex)
{
    if (nIndex != -1 || !m_pRecordDownloadMgr) {
        return;
    }
    for (int nRow = 0; nRow < m_pRecordTable->rowCount(); ++nRow) {
        const int nState = m_pRecordTable->state(nRow);
        if (nState == TaskFailed) {
            m_pRecordTable->setSpeedText(nRow, CTaskTable::kNoValue);
            continue;
        }
        if (nState != TaskWaiting) {
            continue;
        }

        const int nTaskIndex = m_pRecordTable->taskIndex(nRow);
        const QPersistentModelIndex rowHandle = m_pRecordTable->rowHandle(nRow);
        const int nCode = m_pRecordDownloadMgr->startDownload(nTaskIndex);
        if (nCode == -2) {
            continue;
        }
        if (nCode != 0) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::startDownload", "",
                                            kLogTrace, "here get ret [%d]", nCode);
        }
        if (nCode == 0) {
            if (rowHandle.isValid()) {
                m_pRecordTable->setState(rowHandle.row(), CTaskTable::Downloading, QObject::tr("Downloading"),
                                         CSkinStyle::image(ORBGUI::GetSkinVersion(), "down-downloading.svg"));
                if (offersSpeedChange(m_pRecordDownloadMgr->getDownloadInfo(nTaskIndex)) &&
                    rowHandle.isValid()) {
                    setSpeedButton(m_pRecordTable->item(rowHandle.row(), RecordColumnOperate), 1, true);
                }
                // A task restored at 2x or 4x goes on at that speed.
                const int nRestoredSpeed = m_hashRestoredSpeed.take(nTaskIndex);
                if (nRestoredSpeed > 1 && rowHandle.isValid()) {
                    changeRecordSpeed(rowHandle.row(), nRestoredSpeed);
                }
            }
            // One start per call: each freed slot is filled by its own call.
            return;
        }
        if (!rowHandle.isValid()) {
            // Gone while the engine answered: the next row has moved up into this place.
            --nRow;
            continue;
        }
        // A refused start offers no continue: the row can only be deleted.
        nRow = rowHandle.row();
        m_pRecordTable->setFailed(nRow, ORBGUI::GetSkinVersion(), "down-failed.png", QString());
    }
}

void QDownloadingWidget::setSpeedButton(QStandardItem* pItem, int nSpeed, bool bShow)
{
    if (!pItem) {
        return;
    }
    if (bShow) {
        const QString strSkin = ORBGUI::GetSkinVersion();
        const char* const szImages[3][4] = {
            {"1x_normal.svg", "1x_hover.svg", "1x_press.svg", "1x_disable.svg"},
            {"2x_normal.svg", "2x_hover.svg", "2x_press.svg", "2x_disable.svg"},
            {"4x_normal.svg", "4x_hover.svg", "4x_press.svg", "4x_disable.svg"},
        };
        const auto& images = szImages[nSpeed == 2 ? 1 : nSpeed == 4 ? 2 : 0];
        pItem->setData(CTaskCell::shared(tr("Speed-download")), Role::PixmapToolTipRole2);
        pItem->setData(CSkinStyle::buttonIcon(CSkinStyle::image(strSkin, images[0]),
                                              CSkinStyle::image(strSkin, images[1]),
                                              CSkinStyle::image(strSkin, images[2]),
                                              CSkinStyle::image(strSkin, images[3]), kSpeedIconSize),
                       Role::PixmapRole2);
    } else {
        // The tooltip stays: without the icon the kit never shows it.
        pItem->setData(QVariant(), Role::PixmapRole2);
    }
    if (pItem->data(Qt::UserRole) != nSpeed) {
        pItem->setData(nSpeed, Qt::UserRole);
    }
}

void QDownloadingWidget::onPixmapItemClicked(const QModelIndex& modelIndex,
                                             ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (!m_pRecordDownloadMgr || !m_pRecordTable->isOperateCell(modelIndex)) {
        return;
    }
    if (eDateRole == Role::PixmapRole0) {
        m_pRemoval->deleteTask(modelIndex.row());
    } else if (eDateRole == Role::PixmapRole1) {
        continueRecordTask(modelIndex.row());
    } else if (eDateRole == Role::PixmapRole2) {
        changeRecordSpeed(modelIndex.row());
    }
}

void QDownloadingWidget::continueRecordTask(int nRow)
{
    if (requeueRow(*m_pRecordTable, nRow) && m_pRecordDownloadMgr->canStillDownload()) {
        startDownload(-1);
    }
}

bool QDownloadingWidget::requeueRow(CTaskTable& table, int nRow)
{
    // The engine is not told: the next start of the same index restarts the task.
    if (!table.requeue(nRow, ORBGUI::GetSkinVersion())) {
        return false;
    }
    updateDownloadingItemNum();
    return true;
}

void QDownloadingWidget::fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index)
{
    const bool bRecord = pView == ui->tableDownloadingList;
    const QModelIndex operate =
        index.sibling(index.row(), bRecord ? int(RecordColumnOperate) : int(PicColumnOperate));
    addIconEntry(pMenu, pView, operate, Role::PixmapRole1);  // continue, or download again
    if (bRecord && operate.data(Role::PixmapRole2).isValid()) {
        QMenu* pSpeed = pMenu->addMenu(operate.data(Role::PixmapToolTipRole2).toString());
        const QPersistentModelIndex handle(operate);
        for (const int nSpeed : {1, 2, 4}) {
            QAction* pAction =
                pSpeed->addAction(QStringLiteral("%1x").arg(nSpeed), this, [this, handle, nSpeed] {
                    if (handle.isValid()) {
                        changeRecordSpeed(handle.row(), nSpeed);
                    }
                });
            pAction->setCheckable(true);
            pAction->setChecked(operate.data(Qt::UserRole).toInt() == nSpeed);
        }
    }
    addIconEntry(pMenu, pView, operate, Role::PixmapRole0);  // delete
}

void QDownloadingWidget::openFolder()
{
    onOpenFolder();
}

void QDownloadingWidget::deleteChecked()
{
    onDelete();
}

void QDownloadingWidget::activateRow(ORBGUI::OrbTableView* pView, const QModelIndex& index)
{
    // A failed row's continue (or download-again) icon; other rows have nothing to do.
    const QModelIndex operate = index.sibling(
        index.row(), pView == ui->tableDownloadingList ? int(RecordColumnOperate) : int(PicColumnOperate));
    if (operate.data(Role::PixmapRole1).isValid()) {
        emit pView->SignalPixmapClicked(operate, Role::PixmapRole1);
    }
}

void QDownloadingWidget::changeRecordSpeed(int nRow, int nSpeed)
{
    const QStandardItem* pOperate = m_pRecordTable->item(nRow, RecordColumnOperate);
    // As with continue: no icon, no change.
    if (!pOperate || !pOperate->data(Role::PixmapRole2).isValid()) {
        return;
    }
    // The icon steps 1x, 2x, 4x and round again; the menu names the factor.
    const int nNow = pOperate->data(Qt::UserRole).toInt();
    const int nStepped = nNow == 1 ? 2 : nNow == 2 ? 4 : nNow == 4 ? 1 : 0;
    const int nNextSpeed = nSpeed != 0 ? nSpeed : nStepped;
    if (nStepped == 0 || nNextSpeed == nNow) {
        return;
    }
    const QPersistentModelIndex rowHandle = m_pRecordTable->rowHandle(nRow);
    if (m_pRecordDownloadMgr->setDownloadSpeed(m_pRecordTable->taskIndex(nRow), nNextSpeed) < 1) {
        return;
    }
    if (rowHandle.isValid()) {
        setSpeedButton(m_pRecordTable->item(rowHandle.row(), RecordColumnOperate), nNextSpeed, true);
        if (m_pHistory) {
            m_pHistory->setTaskSpeed(m_pRecordTable->historyId(rowHandle.row()), nNextSpeed);
        }
    }
}

void QDownloadingWidget::onDownloadStateNotify(int downloadId, bool succeed, const DownloadInfo& info)
{
    if (succeed) {
        // The finished list takes the engine's final record before the row goes; stored as one
        // change.
        const CDownloadHistory::Batch batch(m_pHistory);
        emit sgnDownloadFinished(info);
        const int nRow = m_pRecordTable->findRow(downloadId);
        m_pNotices->finished(nRow >= 0 ? m_pRecordTable->item(nRow, RecordColumnFileName)->text()
                                       : info.strFileName);
        if (nRow >= 0) {
            m_pRecordTable->removeRow(nRow);
            m_pRecordDownloadMgr->stopDownload(downloadId, StopReason_Finished, false);
            m_pRecordDownloadMgr->destoryDownloadObj(downloadId);
        }
        updateDownloadingItemNum();
        startDownload(-1);
        return;
    }

    const int nRow = m_pRecordTable->findRow(downloadId);
    if (nRow >= 0) {
        m_pNotices->failed(m_pRecordTable->item(nRow, RecordColumnFileName)->text());
        showFailed(nRow);
    }
    // The failed task keeps its engine object: continuing starts the same index again.
    m_pRecordDownloadMgr->stopDownload(downloadId, StopReason_Failed, false);
    const QPointer<QDownloadingWidget> pGuard(this);
    waitWithEventLoop(kStopWaitMs);
    if (!pGuard) {
        return;
    }
    startDownload(-1);
}

void QDownloadingWidget::onBeginDecodeNotify(int downloadId)
{
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::onBeginDecodeNotify", "",
                                    kLogTrace, "start to onBeginDecodeNotify1");
    const int nRow = m_pRecordTable->findRow(downloadId);
    if (nRow < 0) {
        return;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::onBeginDecodeNotify", "",
                                    kLogTrace, "start to onBeginDecodeNotify2");
    // Still downloading: the timer keeps refreshing the row while the engine decodes.
    m_pRecordTable->item(nRow, RecordColumnStatus)->setText(QObject::tr("Decoding"));
    m_pRecordTable->setSpeedText(nRow, CTaskTable::kNoValue);
    setSpeedButton(m_pRecordTable->item(nRow, RecordColumnOperate), 1, false);
}

// ---- Record removal: the walks live in CRecordRemoval -------------------------------------------

void QDownloadingWidget::onDeleteTmpFile()
{
    // Shutdown: every row goes except a started one the engine no longer lists.
    if (m_pRecordDownloadMgr) {
        m_pRemoval->removeAll();
    }
}

void QDownloadingWidget::onDeviceDeleteNotify(QString strDeviceId, int nChannelId)
{
    // The whole device goes, whatever the channel: its started and failed tasks; waiting ones
    // stay.
    Q_UNUSED(nChannelId)
    if (m_pRecordDownloadMgr) {
        m_pRemoval->removeDevice(strDeviceId);
    } else {
        updateDownloadingItemNum();
    }
}

// ---- Picture road: its table and engine live in CPicTaskList ----------------------------------

void QDownloadingWidget::onAddPicDownloadTask(const DownloadPicInfo& strToken)
{
    if (!m_pRecordDownloadMgr || !m_pPicDownloadMgr) {
        return;
    }
    const int nIndex = ++m_nPicDownloadIndex;
    m_pPicDownloadMgr->appendPicDownloadInfo(nIndex, strToken);
    addPicRow(nIndex, strToken);
    CDownloadHistory::Entry entry;
    entry.eKind = CDownloadHistory::Picture;
    entry.picture = strToken;
    m_pPictures->storeLastRow(entry);
    updateDownloadingItemNum();
    showNotification(strToken.strNotifyText.isEmpty()
                         ? tr("you have new picture download task,please check for it!")
                         : strToken.strNotifyText);

    if (!m_pPicDownloadMgr->isPicDownloadingNow()) {
        startPicDownload(-1);
    }
    if (m_pTimer && !m_pTimer->isActive()) {
        m_pTimer->start(kProgressIntervalMs);
    }
}

void QDownloadingWidget::addPicRow(int nIndex, const DownloadPicInfo& info)
{
    m_pPictures->addRow(nIndex, info);
}

void QDownloadingWidget::startPicDownload(int nIndex)
{
    if (nIndex == -1 && m_pPicDownloadMgr) {
        m_pPictures->startNext();
    }
}

void QDownloadingWidget::onPicPixmapItemClicked(const QModelIndex& modelIndex,
                                                ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (m_pPicDownloadMgr) {
        m_pPictures->onOperateClicked(modelIndex, eDateRole);
    }
}

void QDownloadingWidget::onPicFinishedDowndload()
{
    if (m_pPicDownloadMgr) {
        m_pPictures->onFinished();
    }
}

void QDownloadingWidget::onPicDownloadError(QString strError)
{
    // The engine's text is for its own log; the user sees the row's state.
    Q_UNUSED(strError)
    if (m_pPicDownloadMgr) {
        m_pPictures->onError();
    }
}

void QDownloadingWidget::onPicDownloadProgress(qint64 nPercent)
{
    m_pPictures->onProgress(nPercent);
}

void QDownloadingWidget::onPicGetDownloadZipInfo(int size)
{
    if (m_pPicDownloadMgr) {
        m_pPictures->onZipInfo(size);
    }
}
