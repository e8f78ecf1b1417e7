#include "QDownloadingWidget.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/CBaseInfo.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CColumnState.h"
#include "CDownloadCenterTableDelegate.h"
#include "CDownloadTextFormat.h"
#include "CFinishNotices.h"
#include "CPicTableModel.h"
#include "CPicTaskList.h"
#include "CRecordTableModel.h"
#include "CRecordTaskList.h"
#include "CSkinStyle.h"
#include "ui_DownloadingWidget.h"

namespace {

using Role = ORBGUI::struTreeViewData;
using RecordColumn = CRecordTableModel::Column;
using PicColumn = CPicTableModel::Column;

void showNotification(const QString& strText)
{
    ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
}

// A modal yes/no question over pParent; true only when the user confirmed.
bool confirmed(QWidget* pParent, const QString& strQuestion)
{
    return ORBGUI::OrbMessageBox::ShowInformation(
               pParent, QObject::tr("Notice"), strQuestion,
               ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel) == ORBGUI::OrbMessageBox::Ok;
}

}  // namespace

QDownloadingWidget::QDownloadingWidget(QWidget* parent)
    : QDownloadListBase(parent), ui(new Ui::DownloadingWidget)
{
    ui->setupUi(this);

    m_pTimer = new QTimer(this);
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(onTimeOut()));

    m_pRecordDownloadMgr = &CRecordDownloadManager::getInstance();
    m_pRecords = new CRecordTaskList(m_pRecordDownloadMgr, this);
    connect(m_pRecordDownloadMgr, &CRecordDownloadManager::sgnDownloadStateNotify, this,
            &QDownloadingWidget::onDownloadStateNotify);
    connect(m_pRecordDownloadMgr, &CRecordDownloadManager::sgnBeginDecodeNotify, this,
            &QDownloadingWidget::onBeginDecodeNotify);

    m_pPicDownloadMgr = &CPicDownloadManager::getInstance();
    m_pPictures = new CPicTaskList(m_pPicDownloadMgr, this);
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
    // One table at a time: clicking the checked button keeps it checked.
    auto* pTables = new QButtonGroup(this);
    pTables->addButton(ui->btnRecordDownloading);
    pTables->addButton(ui->btnPictureDownloading);
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
    delete ui;
}

void QDownloadingWidget::shutdown()
{
    // No click reaches the lists while they stop; engine notices still do, and what they report
    // goes on to the window and the finished list, which are whole.
    setEnabled(false);
    m_pTimer->stop();
    onDeleteTmpFile();
    m_pPictures->shutdown();
    // What ended during the waits is told now: the list goes before the gathering would end.
    m_pNotices->notify();
}

void QDownloadingWidget::setProductName(const QString& strName)
{
    m_strProductName = strName;
    m_pRecords->model()->setHeaderData(RecordColumn::ColumnShop, Qt::Horizontal,
                                       CSkinStyle::productTitle(tr("ProductName"), strName), Qt::EditRole);
}

void QDownloadingWidget::initTableViews()
{
    const auto setUp = [this](ORBGUI::OrbTableView* pView, CTaskTableModel* pModel, const char* szKey,
                              const char* szClicked, const QHash<int, CColumnState::Fit>& hashFits) {
        CSkinStyle::setUpTableView(pView);
        pView->setItemDelegate(new CDownloadCenterTableDelegate(pView));
        pView->setModel(pModel);
        CSkinStyle::setColumnModes(pView, pModel->operateColumn());
        new CColumnState(
            pView, QLatin1String(szKey),
            {CTaskTableModel::ColumnCheck, CTaskTableModel::ColumnFileName, pModel->operateColumn()},
            hashFits);
        connect(pView,
                SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)),
                this, szClicked);
        enableRowActions(pView);
    };
    // The record list has three names to show as well: its states are icons, each with its text
    // as tooltip and for screen readers, unless the user widens the column.
    // The kit keeps 4 pixels before a cell's icons and 4 between an icon and the text.
    const int nIconRoom = CTaskIcons::kIconSide + 8;
    auto hashRecordFits =
        CSkinStyle::timeAndSizeFits(RecordColumn::ColumnBeginTime, RecordColumn::ColumnEndTime,
                                    RecordColumn::ColumnFileSize, tr("unkown size"));
    hashRecordFits.insert(RecordColumn::ColumnSpeed, {{CSkinStyle::widestSpeed()}});
    hashRecordFits.insert(RecordColumn::ColumnStatus, {{}, nIconRoom});
    auto hashPictureFits = CSkinStyle::timeAndSizeFits(PicColumn::ColumnBeginTime, PicColumn::ColumnEndTime,
                                                       PicColumn::ColumnFileSize, QString());
    hashPictureFits.insert(PicColumn::ColumnSpeed, {{CSkinStyle::widestSpeed()}});
    hashPictureFits.insert(PicColumn::ColumnStatus,
                           {{CTaskTableModel::statusText(CTaskTypes::Downloading, false),
                             CTaskTableModel::statusText(CTaskTypes::Waiting, false),
                             CTaskTableModel::statusText(CTaskTypes::Failed, false)},
                            nIconRoom});
    setUp(ui->tableDownloadingList, m_pRecords->model(), "DownloadCenter/RecordColumns",
          SLOT(onPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)),
          hashRecordFits);
    setUp(ui->tablePicDownloadingList, m_pPictures->model(), "DownloadCenter/PictureColumns",
          SLOT(onPicPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)),
          hashPictureFits);
    followSkin();

    connect(m_pRecords, &CRecordTaskList::sgnFinished, this, &QDownloadingWidget::sgnDownloadFinished);
    connect(m_pRecords, &CRecordTaskList::sgnCountChanged, this,
            &QDownloadingWidget::updateDownloadingItemNum);
    connect(m_pPictures, &CPicTaskList::sgnFinished, this, &QDownloadingWidget::sgnPicDownloadFinished);
    connect(m_pPictures, &CPicTaskList::sgnCountChanged, this, &QDownloadingWidget::updateDownloadingItemNum);
    m_pNotices = new CFinishNotices([this] { return m_pRecordDownloadMgr->getDownloadDir(); }, this);
    connect(m_pRecords, &CRecordTaskList::sgnEnded, m_pNotices,
            [this](const QString& strName, bool bSucceeded) {
                bSucceeded ? m_pNotices->finished(strName) : m_pNotices->failed(strName);
            });
    connect(m_pPictures, &CPicTaskList::sgnFinished, m_pNotices,
            [this](const DownloadPicInfo& info) { m_pNotices->finished(info.strFileName); });
    connect(m_pPictures, &CPicTaskList::sgnFailed, m_pNotices, &CFinishNotices::failed);

    updateDownloadingItemNum();
}

void QDownloadingWidget::followSkin()
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    m_pRecords->model()->setSkin(strSkin);
    m_pPictures->model()->setSkin(strSkin);
}

void QDownloadingWidget::showEvent(QShowEvent* event)
{
    followSkin();
    QDownloadListBase::showEvent(event);
}

void QDownloadingWidget::startTimer()
{
    if (!m_pTimer->isActive()) {
        m_pTimer->start(kProgressIntervalMs);
    }
}

void QDownloadingWidget::updateDownloadingItemNum()
{
    const int nPicRows = m_pPictures->count();
    const int nRecordRows = m_pRecords->count();
    ui->btnPictureDownloading->setText(CDownloadTextFormat::counterText(tr("picture"), nPicRows));
    ui->btnRecordDownloading->setText(CDownloadTextFormat::counterText(tr("record"), nRecordRows));
    emit sgnDownloadingItemNumChanaged(nPicRows + nRecordRows);
}

void QDownloadingWidget::waitWithEventLoop(int nMilliseconds)
{
    CRecordTaskList::waitWithEventLoop(nMilliseconds);
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
    if (m_pRecordDownloadMgr) {
        // A local file URL: '#', '?' and '%' in the path are part of the name.
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_pRecordDownloadMgr->getDownloadDir()));
    }
}

void QDownloadingWidget::onDelete()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // The visible table is the one the user means.
    if (ui->tableDownloadingList->isHidden()) {
        if (!m_pPictures->deleteChecked([this] { return confirmedRunningPictureDelete(); })) {
            showNotification(tr("no file selected!"));
        }
        return;
    }
    if (m_pRecords->checkedTasks().isEmpty()) {
        showNotification(tr("no record selected!"));
        return;
    }
    const QPointer<QDownloadingWidget> pGuard(this);
    if (confirmed(this, QObject::tr("are you sure to delete this downEvent?")) && pGuard) {
        // Read once for the press: a settings read costs microseconds, and a press may take
        // 100,000 rows.
        m_pRecords->deleteChecked(ConfigInfo::CBaseInfo::instance().getOpenOSD());
    }
}

bool QDownloadingWidget::confirmedRunningPictureDelete()
{
    return confirmed(this, QObject::tr("This file being downloading, are you sure to delete?"));
}

void QDownloadingWidget::clearDownloadingList()
{
    if (m_pRecordDownloadMgr) {
        // Everything goes at once, without questions, file deletion or queue steps.
        m_pRecords->clear();
        m_pPictures->clear();
        updateDownloadingItemNum();
    }
}

void QDownloadingWidget::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    if (!m_pHistory || !m_pRecordDownloadMgr || !m_pPicDownloadMgr) {
        return;
    }
    followSkin();
    m_pRecords->attachHistory(m_pHistory);
    m_pPictures->attachHistory(m_pHistory);
    updateDownloadingItemNum();
    if (m_pRecords->count() + m_pPictures->count() > 0) {
        startTimer();
    }
}

void QDownloadingWidget::onAddDownloadTask(const DownloadInfo& task)
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    if (!m_pRecords->hasRoomFor(task)) {
        ORBGUI::OrbMessageBox::ShowInformation(this, QObject::tr("Notice"),
                                               tr("the disk free space is not enough,please cheak for it"),
                                               ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel);
        return;
    }
    followSkin();
    m_pRecords->add(task);
    startTimer();
}

void QDownloadingWidget::onAddPicDownloadTask(const DownloadPicInfo& strToken)
{
    if (!m_pRecordDownloadMgr || !m_pPicDownloadMgr) {
        return;
    }
    followSkin();
    m_pPictures->add(strToken);
    showNotification(strToken.strNotifyText.isEmpty()
                         ? tr("you have new picture download task,please check for it!")
                         : strToken.strNotifyText);
    startTimer();
}

void QDownloadingWidget::onTimeOut()
{
    if (m_pRecordDownloadMgr) {
        m_pRecords->refresh(kProgressIntervalMs);
        m_pPictures->refresh(kProgressIntervalMs);
    }
}

void QDownloadingWidget::onPixmapItemClicked(const QModelIndex& modelIndex,
                                             ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (!m_pRecordDownloadMgr || modelIndex.model() != m_pRecords->model() ||
        modelIndex.column() != RecordColumn::ColumnOperate) {
        return;
    }
    const int nTaskIndex = m_pRecords->taskIndexAt(modelIndex.row());
    if (eDateRole == Role::PixmapRole0 && m_pRecords->state(nTaskIndex) >= 0) {
        // The question runs the event loop: the task is looked up again after it.
        const QPointer<QDownloadingWidget> pGuard(this);
        if (confirmed(this, QObject::tr("are you sure to delete this downEvent?")) && pGuard) {
            m_pRecords->deleteTask(nTaskIndex);
        }
    } else if (eDateRole == Role::PixmapRole1) {
        m_pRecords->continueTask(nTaskIndex);
    } else if (eDateRole == Role::PixmapRole2) {
        m_pRecords->changeSpeed(nTaskIndex);
    }
}

void QDownloadingWidget::onPicPixmapItemClicked(const QModelIndex& modelIndex,
                                                ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (!m_pPicDownloadMgr || modelIndex.model() != m_pPictures->model() ||
        modelIndex.column() != PicColumn::ColumnOperate) {
        return;
    }
    const int nTaskIndex = m_pPictures->taskIndexAt(modelIndex.row());
    if (eDateRole == Role::PixmapRole0) {
        m_pPictures->deleteTask(nTaskIndex, [this] { return confirmedRunningPictureDelete(); });
    } else if (eDateRole == Role::PixmapRole1) {
        m_pPictures->redownload(nTaskIndex);
    }
}

void QDownloadingWidget::fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index)
{
    const bool bRecord = pView == ui->tableDownloadingList;
    const QModelIndex operate = index.sibling(
        index.row(), bRecord ? int(RecordColumn::ColumnOperate) : int(PicColumn::ColumnOperate));
    addIconEntry(pMenu, pView, operate, Role::PixmapRole1);  // continue, or download again
    if (bRecord && operate.data(Role::PixmapRole2).isValid()) {
        QMenu* pSpeed = pMenu->addMenu(operate.data(Role::PixmapToolTipRole2).toString());
        // The task may move or go before the entry is chosen.
        const int nTaskIndex = m_pRecords->taskIndexAt(index.row());
        for (const int nSpeed : {1, 2, 4}) {
            QAction* pAction = pSpeed->addAction(
                QStringLiteral("%1x").arg(nSpeed), this,
                [this, nTaskIndex, nSpeed] { m_pRecords->changeSpeed(nTaskIndex, nSpeed); });
            pAction->setCheckable(true);
            pAction->setChecked(m_pRecords->speed(nTaskIndex) == nSpeed);
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
    const QModelIndex operate =
        index.sibling(index.row(), pView == ui->tableDownloadingList ? int(RecordColumn::ColumnOperate)
                                                                     : int(PicColumn::ColumnOperate));
    if (operate.data(Role::PixmapRole1).isValid()) {
        emit pView->SignalPixmapClicked(operate, Role::PixmapRole1);
    }
}

void QDownloadingWidget::onDownloadStateNotify(int downloadId, bool succeed, const DownloadInfo& info)
{
    m_pRecords->onStateNotify(downloadId, succeed, info);
}

void QDownloadingWidget::onBeginDecodeNotify(int downloadId)
{
    m_pRecords->onBeginDecode(downloadId);
}

void QDownloadingWidget::onDeleteTmpFile()
{
    // Log-out: every row goes except a started one the engine no longer lists.
    if (m_pRecordDownloadMgr) {
        m_pRecords->shutdown();
    }
}

void QDownloadingWidget::onDeviceDeleteNotify(QString strDeviceId, int nChannelId)
{
    // The whole device goes, whatever the channel: its started and failed tasks; waiting ones
    // stay.
    Q_UNUSED(nChannelId)
    if (m_pRecordDownloadMgr) {
        m_pRecords->removeDevice(strDeviceId);
    } else {
        updateDownloadingItemNum();
    }
}

void QDownloadingWidget::onPicFinishedDowndload()
{
    m_pPictures->onFinished();
}

void QDownloadingWidget::onPicDownloadError(QString strError)
{
    // The engine's text is for its own log; the user sees the row's state.
    Q_UNUSED(strError)
    m_pPictures->onError();
}

void QDownloadingWidget::onPicDownloadProgress(qint64 nPercent)
{
    m_pPictures->onProgress(nPercent);
}

void QDownloadingWidget::onPicGetDownloadZipInfo(qint64 size)
{
    m_pPictures->onZipInfo(size);
}
