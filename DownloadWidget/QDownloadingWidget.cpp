#include "QDownloadingWidget.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QSize>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QUrl>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/CBaseInfo.h>
#include <ncl/NPrintLog.h>
#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CDownloadCenterTableDelegate.h"
#include "CDownloadTextFormat.h"
#include "ui_DownloadingWidget.h"

namespace {

const char* const kLogFile = "DownloadWidget\\DownloadingWidget";
const int kLogTrace = 4;

const int kAlignCenter = Qt::AlignHCenter | Qt::AlignVCenter;
const int kAlignLeft = Qt::AlignLeft | Qt::AlignVCenter;
const QSize kStateIconSize(20, 20);
const QSize kSpeedIconSize(24, 16);
const QString kNoSpeed = QStringLiteral("--");

using Role = ORBGUI::struTreeViewData;

// A skin image path; strSkin is the skin version, read once per operation (it comes from settings).
QString skinImage(const QString& strSkin, const char* szFile)
{
    return QStringLiteral("./Skin/%1/DownloadApp/").arg(strSkin) + QLatin1String(szFile);
}

// An icon slot that shows one image whatever the mouse does.
QVariant stateIcon(const QString& strPath)
{
    ORBGUI::ItemPixmapValue value;
    value.insert(ORBGUI::ItemPixmapValue::Normal, strPath);
    value.insert(ORBGUI::ItemPixmapValue::IconSize, kStateIconSize);
    return QVariant::fromValue(value);
}

// A clickable icon slot: normal, hover, pressed and disabled images.
QVariant buttonIcon(const QString& strNormal, const QString& strHover, const QString& strPressed,
                    const QString& strDisabled, const QSize& size)
{
    ORBGUI::ItemPixmapValue value;
    value.insert(ORBGUI::ItemPixmapValue::Normal, strNormal);
    value.insert(ORBGUI::ItemPixmapValue::Hover, strHover);
    value.insert(ORBGUI::ItemPixmapValue::Pressed, strPressed);
    value.insert(ORBGUI::ItemPixmapValue::Disabled, strDisabled);
    value.insert(ORBGUI::ItemPixmapValue::IconSize, size);
    return QVariant::fromValue(value);
}

QStandardItem* centeredItem(const QString& strText)
{
    auto* pItem = new QStandardItem(strText);
    pItem->setData(kAlignCenter, Qt::TextAlignmentRole);
    return pItem;
}

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

void setHeaderTitles(QStandardItemModel* pModel, const QStringList& listTitles)
{
    for (int nSection = 0; nSection < listTitles.size(); ++nSection) {
        pModel->setHeaderData(nSection, Qt::Horizontal, listTitles.at(nSection), Qt::EditRole);
        pModel->setHeaderData(nSection, Qt::Horizontal, kAlignCenter, Qt::TextAlignmentRole);
    }
}

void setHeaderWidths(QStandardItemModel* pModel, int nFirstSection, const QList<int>& listWidths)
{
    for (int i = 0; i < listWidths.size(); ++i) {
        pModel->setHeaderData(nFirstSection + i, Qt::Horizontal, listWidths.at(i), Role::HeaderWidthRole);
    }
}

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

// A checked row of a table: its task index and where it stood when the user pressed Delete.
struct ChosenRow
{
    int nTaskIndex;
    int nRow;
};

QVector<ChosenRow> checkedRows(const QStandardItemModel* pModel)
{
    QVector<ChosenRow> vecChosen;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        const QStandardItem* pCheck = pModel->item(nRow, 0);
        if (pCheck && pCheck->checkState() == Qt::Checked) {
            vecChosen.append({pCheck->data(Qt::UserRole).toInt(), nRow});
        }
    }
    return vecChosen;
}

void setUpTableView(ORBGUI::OrbTableView* pView)
{
    pView->header()->setSectionResizeMode(QHeaderView::Fixed);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setItemDelegate(new CDownloadCenterTableDelegate(pView));
    pView->setFocusPolicy(Qt::NoFocus);
}

}  // namespace

QDownloadingWidget::QDownloadingWidget(QWidget* parent) : QWidget(parent), ui(new Ui::DownloadingWidget)
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

    // The skin may leave this widget unstyled: a missing sheet is not an error.
    QFile fileQss(QDir::currentPath() + QStringLiteral("/Skin/") + ORBGUI::GetSkinVersion() +
                  QStringLiteral("/DownloadApp/QssFile/") + objectName() + QStringLiteral(".qss"));
    if (fileQss.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(fileQss.readAll()));
    }
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
    if (!m_pRecordModel) {
        return;
    }
    // Untranslated, the title has no place for the name and stays as it is.
    QString strTitle = tr("ProductName");
    if (strTitle.contains(QLatin1String("%1"))) {
        strTitle = strTitle.arg(strName);
    }
    m_pRecordModel->setHeaderData(RecordColumnShop, Qt::Horizontal, strTitle, Qt::EditRole);
}

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
    addRecordRow(nIndex, m_pRecordDownloadMgr->getDownloadInfo(nIndex));
    updateDownloadingItemNum();

    if (m_pRecordDownloadMgr->canStillDownload()) {
        startDownload(-1);
    }
    if (!m_pTimer->isActive()) {
        m_pTimer->start(kProgressIntervalMs);
    }
}

void QDownloadingWidget::onTimeOut()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }

    // Runs every second over possibly thousands of rows: per row, only the state is read until
    // as many downloading rows as the engine holds have been refreshed.
    const int nCurrent = m_pRecordDownloadMgr->getCurDownloadNumber();
    int nUpdated = 0;
    for (int nRow = 0; nRow < m_pRecordModel->rowCount(); ++nRow) {
        const QStandardItem* pStatus = m_pRecordModel->item(nRow, RecordColumnStatus);
        if (!pStatus || pStatus->data(Qt::UserRole).toInt() != TaskDownloading) {
            continue;
        }
        ++nUpdated;
        const int nTaskIndex = recordTaskIndex(nRow);
        float fFraction = 0.0f;
        QString strSpeed;
        m_pRecordDownloadMgr->getDownloadSpeedAndPercent(nTaskIndex, fFraction, strSpeed);

        const int nFoundRow = findRecordRow(nTaskIndex, nRow);
        if (nFoundRow < 0) {
            // Gone while the engine answered: the next row has moved up into this place.
            --nRow;
            continue;
        }
        nRow = nFoundRow;
        if (QStandardItem* pPercent = m_pRecordModel->item(nRow, RecordColumnPercent)) {
            pPercent->setData(percentFromFraction(fFraction),
                              CDownloadCenterTableDelegate::ProgressValueRole);
        }
        if (QStandardItem* pSpeed = m_pRecordModel->item(nRow, RecordColumnSpeed)) {
            pSpeed->setData(strSpeed, Qt::DisplayRole);
        }
        if (nUpdated == nCurrent) {
            break;
        }
    }

    // The picture engine runs one task at a time: only the first downloading row has a speed.
    if (!m_pPicDownloadMgr) {
        return;
    }
    for (int nRow = 0; nRow < m_pPicModel->rowCount(); ++nRow) {
        const QStandardItem* pStatus = m_pPicModel->item(nRow, PicColumnStatus);
        if (!pStatus || pStatus->data(Qt::UserRole).toInt() != TaskDownloading) {
            continue;
        }
        const int nBytes = static_cast<int>(m_pPicDownloadMgr->getSecondDownloadSize());
        if (QStandardItem* pSpeed = m_pPicModel->item(nRow, PicColumnSpeed)) {
            pSpeed->setData(CDownloadTextFormat::pictureSpeedText(nBytes), Qt::DisplayRole);
        }
        return;
    }
}

void QDownloadingWidget::onOpenFolder()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("file:///") + m_pRecordDownloadMgr->getDownloadDir(), QUrl::TolerantMode));
}

void QDownloadingWidget::onPixmapItemClicked(const QModelIndex& modelIndex,
                                             ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (!m_pRecordDownloadMgr || !modelIndex.isValid() || modelIndex.model() != m_pRecordModel ||
        modelIndex.column() != RecordColumnOperate) {
        return;
    }
    switch (eDateRole) {
        case ORBGUI::struTreeViewData::PixmapRole0:
            deleteRecordTask(modelIndex.row());
            break;
        case ORBGUI::struTreeViewData::PixmapRole1:
            continueRecordTask(modelIndex.row());
            break;
        case ORBGUI::struTreeViewData::PixmapRole2:
            changeRecordSpeed(modelIndex.row());
            break;
        default:
            break;
    }
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

void QDownloadingWidget::onDownloadStateNotify(int downloadId, bool succeed, const DownloadInfo& info)
{
    if (succeed) {
        // The finished list takes the engine's final record before the row goes.
        emit sgnDownloadFinished(info);
        const int nRow = findRecordRow(downloadId);
        if (nRow >= 0) {
            m_pRecordModel->removeRow(nRow);
            m_pRecordDownloadMgr->stopDownload(downloadId, StopReason_Finished, false);
            m_pRecordDownloadMgr->destoryDownloadObj(downloadId);
        }
        updateDownloadingItemNum();
        startDownload(-1);
        return;
    }

    const int nRow = findRecordRow(downloadId);
    if (nRow >= 0) {
        const QString strSkin = ORBGUI::GetSkinVersion();
        setRecordRowState(nRow, TaskFailed, QObject::tr("Failed"), skinImage(strSkin, "down-failed.svg"));
        if (QStandardItem* pOperate = m_pRecordModel->item(nRow, RecordColumnOperate)) {
            pOperate->setData(tr("Contiue-download"), Role::PixmapToolTipRole1);
            pOperate->setData(buttonIcon(skinImage(strSkin, "down-n.svg"), skinImage(strSkin, "down-h.svg"),
                                         skinImage(strSkin, "down-h.svg"), skinImage(strSkin, "down-n.svg"),
                                         kStateIconSize),
                              Role::PixmapRole1);
            setSpeedButton(pOperate, 1, false);
        }
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
    const int nRow = findRecordRow(downloadId);
    if (nRow < 0) {
        return;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::onBeginDecodeNotify", "",
                                    kLogTrace, "start to onBeginDecodeNotify2");
    // Still state 1: the timer keeps refreshing the row while the engine decodes.
    m_pRecordModel->item(nRow, RecordColumnStatus)->setText(QObject::tr("Decoding"));
    m_pRecordModel->item(nRow, RecordColumnSpeed)->setText(kNoSpeed);
    setSpeedButton(m_pRecordModel->item(nRow, RecordColumnOperate), 1, false);
}

void QDownloadingWidget::paintEvent(QPaintEvent* event)
{
    // Lets the style sheet paint this plain QWidget's background.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    QWidget::paintEvent(event);
}

void QDownloadingWidget::showEvent(QShowEvent* event)
{
    const QString strProductName = ConfigInfo::CBaseInfo::instance().getProductName();
    if (strProductName != m_strProductName) {
        setProductName(strProductName);
    }
    QWidget::showEvent(event);
}

void QDownloadingWidget::initTableViews()
{
    m_pRecordTableView = ui->tableDownloadingList;
    setUpTableView(m_pRecordTableView);
    m_pRecordTableView->setSelectionBehavior(QAbstractItemView::SelectRows);

    const QStringList listRecordTitles = {QString(),        tr("File name"), tr("Channel"),   tr("Shop"),
                                          tr("Begin time"), tr("End time"),  tr("File Size"), tr("Percent"),
                                          tr("Speed"),      tr("Status"),    tr("Operate")};
    m_pRecordModel = new QStandardItemModel(0, RecordColumnCount, this);
    setHeaderTitles(m_pRecordModel, listRecordTitles);
    m_pRecordModel->setHeaderData(RecordColumnCheck, Qt::Horizontal, true, Role::HeaderCheckableRole);
    m_pRecordModel->setHeaderData(RecordColumnCheck, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
    setHeaderWidths(m_pRecordModel, RecordColumnCheck, {32, 146, 146, 146, 140, 140, 100, 140, 75, 95, 40});

    m_pRecordTableView->setModel(m_pRecordModel);
    connect(m_pRecordTableView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));

    m_pPicTableView = ui->tablePicDownloadingList;
    setUpTableView(m_pPicTableView);

    const QStringList listPicTitles = {QString(),      tr("File name"), tr("Begin time"),
                                       tr("End time"), tr("File Size"), tr("Percent"),
                                       tr("Speed"),    tr("Status"),    tr("Operate")};
    m_pPicModel = new QStandardItemModel(0, PicColumnCount, this);
    setHeaderTitles(m_pPicModel, listPicTitles);
    m_pPicModel->setHeaderData(PicColumnCheck, Qt::Horizontal, 32, Role::HeaderWidthRole);
    m_pPicModel->setHeaderData(PicColumnCheck, Qt::Horizontal, true, Role::HeaderCheckableRole);
    m_pPicModel->setHeaderData(PicColumnCheck, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
    setHeaderWidths(m_pPicModel, PicColumnFileName, {246, 146, 146, 100, 170, 80, 100, 60});

    m_pPicTableView->setModel(m_pPicModel);
    connect(m_pPicTableView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPicPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));

    updateDownloadingItemNum();
}

void QDownloadingWidget::updateDownloadingItemNum()
{
    if (!m_pRecordModel || !m_pPicModel) {
        return;
    }
    const int nPicRows = m_pPicModel->rowCount();
    const int nRecordRows = m_pRecordModel->rowCount();
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

void QDownloadingWidget::startDownload(int nIndex)
{
    if (nIndex != -1 || !m_pRecordDownloadMgr) {
        return;
    }
    for (int nRow = 0; nRow < m_pRecordModel->rowCount(); ++nRow) {
        const QStandardItem* pStatus = m_pRecordModel->item(nRow, RecordColumnStatus);
        const int nState = pStatus ? pStatus->data(Qt::UserRole).toInt() : TaskDownloading;
        if (nState == TaskFailed) {
            m_pRecordModel->item(nRow, RecordColumnSpeed)->setText(kNoSpeed);
            continue;
        }
        if (nState != TaskWaiting) {
            continue;
        }

        const int nTaskIndex = recordTaskIndex(nRow);
        const int nCode = m_pRecordDownloadMgr->startDownload(nTaskIndex);
        if (nCode == -2) {
            continue;
        }
        if (nCode != 0) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadingWidget::startDownload", "",
                                            kLogTrace, "here get ret [%d]", nCode);
        }
        const int nFoundRow = findRecordRow(nTaskIndex, nRow);
        if (nCode == 0) {
            if (nFoundRow >= 0) {
                setRecordRowState(nFoundRow, TaskDownloading, QObject::tr("Downloading"),
                                  skinImage(ORBGUI::GetSkinVersion(), "down-downloading.svg"));
                if (offersSpeedChange(m_pRecordDownloadMgr->getDownloadInfo(nTaskIndex))) {
                    const int nSpeedRow = findRecordRow(nTaskIndex, nFoundRow);
                    if (nSpeedRow >= 0) {
                        setSpeedButton(m_pRecordModel->item(nSpeedRow, RecordColumnOperate), 1, true);
                    }
                }
            }
            // One start per call: each freed slot is filled by its own call.
            return;
        }
        if (nFoundRow < 0) {
            // Gone while the engine answered: the next row has moved up into this place.
            --nRow;
            continue;
        }
        // A refused start offers no continue: the row can only be deleted.
        nRow = nFoundRow;
        setRecordRowState(nRow, TaskFailed, QObject::tr("Failed"),
                          skinImage(ORBGUI::GetSkinVersion(), "down-failed.png"));
    }
}

void QDownloadingWidget::addRecordRow(int nIndex, const DownloadInfo& info)
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    QList<QStandardItem*> listItems;
    listItems.reserve(RecordColumnCount);

    QStandardItem* pCheck = centeredItem(QStringLiteral(""));
    pCheck->setData(nIndex, Qt::UserRole);
    pCheck->setCheckable(true);
    pCheck->setCheckState(Qt::Unchecked);
    listItems << pCheck;

    listItems << centeredItem(info.strFileName);
    listItems << centeredItem(info.strChannelName);
    listItems << centeredItem(info.strShopName);
    listItems << centeredItem(QString::fromStdString(info.stRecordFile.strBeginTime));
    listItems << centeredItem(QString::fromStdString(info.stRecordFile.strEndTime));

    const qint64 nFileSize = info.stRecordFile.nFileSize;
    QStandardItem* pSize = centeredItem(CDownloadTextFormat::isRecordSizeUnknown(info)
                                            ? tr("unkown size")
                                            : CDownloadTextFormat::sizeText(nFileSize));
    pSize->setData(nFileSize, Qt::UserRole);
    listItems << pSize;

    QStandardItem* pPercent = centeredItem(QStringLiteral(""));
    pPercent->setData(true, CDownloadCenterTableDelegate::ProgressBarRole);
    pPercent->setData(0, CDownloadCenterTableDelegate::ProgressValueRole);
    pPercent->setData(TaskWaiting, Qt::UserRole);
    listItems << pPercent;

    listItems << centeredItem(kNoSpeed);

    QStandardItem* pStatus = centeredItem(QObject::tr("Waiting"));
    pStatus->setData(TaskWaiting, Qt::UserRole);
    pStatus->setData(stateIcon(skinImage(strSkin, "down-waiting.svg")), Role::PixmapRole0);
    pStatus->setData(kAlignLeft, Role::PixmapAlignmentRole);
    listItems << pStatus;

    auto* pOperate = new QStandardItem();
    pOperate->setData(tr("delete"), Role::PixmapToolTipRole0);
    pOperate->setData(
        buttonIcon(skinImage(strSkin, "delete-n.svg"), skinImage(strSkin, "delete-h.svg"),
                   skinImage(strSkin, "delete-h.svg"), skinImage(strSkin, "delete-n.svg"), kStateIconSize),
        Role::PixmapRole0);
    pOperate->setData(kAlignCenter, Role::PixmapAlignmentRole);
    if (offersSpeedChange(info)) {
        setSpeedButton(pOperate, 1, true);
    }
    listItems << pOperate;

    m_pRecordModel->appendRow(listItems);
}

void QDownloadingWidget::setSpeedButton(QStandardItem* pItem, int nSpeed, bool bShow)
{
    if (!pItem) {
        return;
    }
    if (bShow) {
        const QString strSkin = ORBGUI::GetSkinVersion();
        QVariant varIcon;
        switch (nSpeed) {
            case 2:
                varIcon = buttonIcon(skinImage(strSkin, "2x_normal.svg"), skinImage(strSkin, "2x_hover.svg"),
                                     skinImage(strSkin, "2x_press.svg"), skinImage(strSkin, "2x_disable.svg"),
                                     kSpeedIconSize);
                break;
            case 4:
                varIcon = buttonIcon(skinImage(strSkin, "4x_normal.svg"), skinImage(strSkin, "4x_hover.svg"),
                                     skinImage(strSkin, "4x_press.svg"), skinImage(strSkin, "4x_disable.svg"),
                                     kSpeedIconSize);
                break;
            default:
                varIcon = buttonIcon(skinImage(strSkin, "1x_normal.svg"), skinImage(strSkin, "1x_hover.svg"),
                                     skinImage(strSkin, "1x_press.svg"), skinImage(strSkin, "1x_disable.svg"),
                                     kSpeedIconSize);
                break;
        }
        pItem->setData(tr("Speed-download"), Role::PixmapToolTipRole2);
        pItem->setData(varIcon, Role::PixmapRole2);
        pItem->setData(kAlignCenter, Role::PixmapAlignmentRole);
    } else {
        // The tooltip stays: without the icon the kit never shows it.
        pItem->setData(QVariant(), Role::PixmapRole2);
    }
    pItem->setData(nSpeed, Qt::UserRole);
}

void QDownloadingWidget::continueRecordTask(int nRow)
{
    QStandardItem* pStatus = m_pRecordModel->item(nRow, RecordColumnStatus);
    QStandardItem* pOperate = m_pRecordModel->item(nRow, RecordColumnOperate);
    // A click that arrives after the continue icon went (queued behind a state change) is stale.
    if (!pStatus || !pOperate || !pOperate->data(Role::PixmapRole1).isValid()) {
        return;
    }
    setRecordRowState(nRow, TaskWaiting, QObject::tr("Waiting"),
                      skinImage(ORBGUI::GetSkinVersion(), "down-waiting.svg"));
    m_pRecordModel->item(nRow, RecordColumnPercent)
        ->setData(0, CDownloadCenterTableDelegate::ProgressValueRole);
    pOperate->setData(QVariant(), Role::PixmapToolTipRole1);
    pOperate->setData(QVariant(), Role::PixmapRole1);

    // The engine is not told: the next start of the same index restarts the task.
    updateDownloadingItemNum();
    if (m_pRecordDownloadMgr->canStillDownload()) {
        startDownload(-1);
    }
}

void QDownloadingWidget::changeRecordSpeed(int nRow)
{
    const QStandardItem* pOperate = m_pRecordModel->item(nRow, RecordColumnOperate);
    // As with continue: no icon, no change.
    if (!pOperate || !pOperate->data(Role::PixmapRole2).isValid()) {
        return;
    }
    int nNextSpeed = 0;
    switch (pOperate->data(Qt::UserRole).toInt()) {
        case 1:
            nNextSpeed = 2;
            break;
        case 2:
            nNextSpeed = 4;
            break;
        case 4:
            nNextSpeed = 1;
            break;
        default:
            return;
    }
    const int nTaskIndex = recordTaskIndex(nRow);
    if (m_pRecordDownloadMgr->setDownloadSpeed(nTaskIndex, nNextSpeed) < 1) {
        return;
    }
    const int nFoundRow = findRecordRow(nTaskIndex, nRow);
    if (nFoundRow >= 0) {
        setSpeedButton(m_pRecordModel->item(nFoundRow, RecordColumnOperate), nNextSpeed, true);
    }
}

int QDownloadingWidget::findRecordRow(int nTaskIndex, int nRowHint) const
{
    if (nRowHint >= 0 && nRowHint < m_pRecordModel->rowCount() && recordTaskIndex(nRowHint) == nTaskIndex) {
        return nRowHint;
    }
    const QModelIndexList listFound = m_pRecordModel->match(m_pRecordModel->index(0, RecordColumnCheck),
                                                            Qt::UserRole, nTaskIndex, 1, Qt::MatchExactly);
    return listFound.isEmpty() ? -1 : listFound.first().row();
}

int QDownloadingWidget::recordTaskIndex(int nRow) const
{
    const QStandardItem* pCheck = m_pRecordModel->item(nRow, RecordColumnCheck);
    return pCheck ? pCheck->data(Qt::UserRole).toInt() : 0;
}

void QDownloadingWidget::setRecordRowState(int nRow, RecordTaskState eState, const QString& strStatus,
                                           const QString& strIcon)
{
    QStandardItem* pStatus = m_pRecordModel->item(nRow, RecordColumnStatus);
    pStatus->setData(eState, Qt::UserRole);
    pStatus->setText(strStatus);
    pStatus->setData(stateIcon(strIcon), Role::PixmapRole0);
    m_pRecordModel->item(nRow, RecordColumnPercent)->setData(eState, Qt::UserRole);
    if (eState == TaskFailed) {
        m_pRecordModel->item(nRow, RecordColumnSpeed)->setText(kNoSpeed);
    }
}

void QDownloadingWidget::setSelectedProperty(QWidget* pButton, bool bSelected)
{
    pButton->setProperty("selected", bSelected);
    pButton->style()->unpolish(pButton);
    pButton->style()->polish(pButton);
    pButton->update();
}

void QDownloadingWidget::clearDownloadingList()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // The engine's counts bound the removals (they match the rows when all is well); everything
    // goes at once, without questions, file deletion or queue steps.
    const int nRecordCount = m_pRecordDownloadMgr->getCurDownloadNumber();
    QList<int> listRecordTasks;
    for (int nRow = 0; nRow < qMin(nRecordCount, m_pRecordModel->rowCount()); ++nRow) {
        listRecordTasks.append(recordTaskIndex(nRow));
    }
    m_pRecordModel->removeRows(0, listRecordTasks.size());
    for (int nTaskIndex : qAsConst(listRecordTasks)) {
        m_pRecordDownloadMgr->stopDownload(nTaskIndex, StopReason_Removed, false);
        m_pRecordDownloadMgr->destoryDownloadObj(nTaskIndex);
    }

    if (m_pPicDownloadMgr) {
        const int nPicCount = m_pPicDownloadMgr->getPicDownloadSize();
        QList<int> listPicTasks;
        for (int nRow = 0; nRow < qMin(nPicCount, m_pPicModel->rowCount()); ++nRow) {
            listPicTasks.append(picTaskIndex(nRow));
        }
        m_pPicModel->removeRows(0, listPicTasks.size());
        for (int nTaskIndex : qAsConst(listPicTasks)) {
            m_pPicDownloadMgr->removeDownloadPicTask(nTaskIndex, true);
        }
    }
    updateDownloadingItemNum();
}

void QDownloadingWidget::onAddPicDownloadTask(const DownloadPicInfo& strToken)
{
    if (!m_pRecordDownloadMgr || !m_pPicDownloadMgr) {
        return;
    }
    const int nIndex = ++m_nPicDownloadIndex;
    m_pPicDownloadMgr->appendPicDownloadInfo(nIndex, strToken);
    addPicRow(nIndex, strToken);
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

void QDownloadingWidget::onDelete()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // The visible table is the one the user means.
    if (m_pRecordTableView->isHidden()) {
        deleteCheckedPictures();
    } else {
        deleteCheckedRecords();
    }
}

void QDownloadingWidget::onDeleteTmpFile()
{
    if (!m_pRecordDownloadMgr) {
        return;
    }
    // Shutdown: every row goes except a started one the engine no longer lists. Rows added while
    // a stop wait runs are met further down and go as well.
    QSet<int> setKept;
    QList<int> listRun;
    int nRunStart = 0;
    int nRow = 0;
    for (;;) {
        if (nRow >= m_pRecordModel->rowCount() && listRun.isEmpty()) {
            break;
        }
        const int nState = nRow < m_pRecordModel->rowCount() ? recordRowState(nRow) : TaskDownloading;
        const bool bQuiet = nRow < m_pRecordModel->rowCount() && nState != TaskDownloading &&
                            !ConfigInfo::CBaseInfo::instance().getOpenOSD();
        if (bQuiet) {
            if (listRun.isEmpty()) {
                nRunStart = nRow;
            }
            listRun.append(recordTaskIndex(nRow));
            ++nRow;
            continue;
        }
        if (!listRun.isEmpty()) {
            // The run ends here; this row is looked at afresh once it has gone.
            removeRecordRun(nRunStart, listRun);
            nRow = resumeRecordWalk(setKept, nRunStart);
            continue;
        }

        const int nTaskIndex = recordTaskIndex(nRow);
        RemovalOutcome eOutcome = RemovalOutcome::RowGone;
        if (nState == TaskDownloading) {
            if (isListedByEngine(nTaskIndex)) {
                // Its file is kept unless the client asks for partial files to go.
                eOutcome = removeRecordTask(nTaskIndex, nRow, true, FileRule::DeleteFileIfOpenOSD);
            } else {
                setKept.insert(nTaskIndex);
            }
        } else {
            eOutcome = removeRecordTask(nTaskIndex, nRow, true, FileRule::DeleteFile);
        }
        if (eOutcome == RemovalOutcome::WidgetGone) {
            return;
        }
        nRow = resumeRecordWalk(setKept, eOutcome == RemovalOutcome::Removed ? nRow : nRow + 1);
    }
}

void QDownloadingWidget::onPicPixmapItemClicked(const QModelIndex& modelIndex,
                                                ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    if (!m_pPicDownloadMgr || !modelIndex.isValid() || modelIndex.model() != m_pPicModel ||
        modelIndex.column() != PicColumnOperate) {
        return;
    }
    switch (eDateRole) {
        case ORBGUI::struTreeViewData::PixmapRole0:
            deletePicTask(modelIndex.row());
            break;
        case ORBGUI::struTreeViewData::PixmapRole1:
            redownloadPicTask(modelIndex.row());
            break;
        default:
            break;
    }
}

void QDownloadingWidget::onPicFinishedDowndload()
{
    if (!m_pPicDownloadMgr) {
        return;
    }
    int nRow = downloadingPicRow();
    if (nRow < 0) {
        updateDownloadingItemNum();
        startPicDownload(-1);
        return;
    }
    const int nTaskIndex = picTaskIndex(nRow);
    // The finished list takes the engine's final record before the row goes.
    emit sgnPicDownloadFinished(m_pPicDownloadMgr->getDownloadPicInfo(nTaskIndex));
    nRow = findPicRow(nTaskIndex, nRow);
    if (nRow >= 0) {
        m_pPicModel->removeRow(nRow);
        m_pPicDownloadMgr->removeDownloadPicTask(nTaskIndex, false);
    }
    updateDownloadingItemNum();
    startPicDownload(-1);
}

void QDownloadingWidget::onPicDownloadError(QString strError)
{
    // The engine's text is for its own log; the user sees the row's state.
    Q_UNUSED(strError)
    if (!m_pPicDownloadMgr) {
        return;
    }
    const int nRow = downloadingPicRow();
    if (nRow >= 0) {
        // The engine keeps the task, so that it can be downloaded again.
        setPicRowFailed(nRow);
    }
    startPicDownload(-1);
}

void QDownloadingWidget::onPicDownloadProgress(qint64 nPercent)
{
    const int nRow = downloadingPicRow();
    if (nRow < 0) {
        return;
    }
    // Stored as the engine reports it: the delegate draws what it is given.
    m_pPicModel->item(nRow, PicColumnPercent)
        ->setData(QVariant::fromValue(nPercent), CDownloadCenterTableDelegate::ProgressValueRole);
}

void QDownloadingWidget::onPicGetDownloadZipInfo(int size)
{
    if (!m_pPicDownloadMgr) {
        return;
    }
    const int nRow = downloadingPicRow();
    if (nRow < 0) {
        return;
    }
    m_pPicModel->item(nRow, PicColumnFileSize)->setText(CDownloadTextFormat::sizeText(size));
    m_pPicDownloadMgr->adjustFileSize(picTaskIndex(nRow), size);
}

void QDownloadingWidget::onDeviceDeleteNotify(QString strDeviceId, int nChannelId)
{
    // The whole device goes, whatever the channel.
    Q_UNUSED(nChannelId)
    if (m_pRecordDownloadMgr) {
        // Its started and failed tasks go; waiting ones stay. The queue step after each removal
        // may start a waiting task further down, which is then met in its new state.
        QSet<int> setKept;
        int nRow = 0;
        while (nRow < m_pRecordModel->rowCount()) {
            const int nTaskIndex = recordTaskIndex(nRow);
            RemovalOutcome eOutcome = RemovalOutcome::RowGone;
            if (m_pRecordDownloadMgr->getDownloadInfo(nTaskIndex).strDeviceId == strDeviceId) {
                const int nFoundRow = findRecordRow(nTaskIndex, nRow);
                const int nState = nFoundRow < 0 ? -1 : recordRowState(nFoundRow);
                if ((nState == TaskDownloading || nState == TaskFailed) && isListedByEngine(nTaskIndex)) {
                    eOutcome = removeRecordTask(nTaskIndex, nFoundRow, true, FileRule::DeleteFile);
                }
            }
            if (eOutcome == RemovalOutcome::WidgetGone) {
                return;
            }
            if (eOutcome == RemovalOutcome::Removed) {
                startDownload(-1);
            } else {
                setKept.insert(nTaskIndex);
            }
            nRow = resumeRecordWalk(setKept, eOutcome == RemovalOutcome::Removed ? nRow : nRow + 1);
        }
    }
    updateDownloadingItemNum();
}

void QDownloadingWidget::deleteRecordTask(int nRow)
{
    if (recordRowState(nRow) < 0) {
        return;
    }
    // The question runs the event loop: the clicked task is found again by its index after it.
    const int nTaskIndex = recordTaskIndex(nRow);
    const QPointer<QDownloadingWidget> pGuard(this);
    if (!confirmed(this, QObject::tr("are you sure to delete this downEvent?")) || !pGuard) {
        return;
    }
    nRow = findRecordRow(nTaskIndex, nRow);
    // No row: the task finished while the question was open.
    const int nState = nRow < 0 ? -1 : recordRowState(nRow);
    if (nState == TaskWaiting) {
        // Nothing runs: the engine only drops the task.
        removeRecordTask(nTaskIndex, nRow, false, FileRule::DeleteFile);
    } else if ((nState == TaskDownloading || nState == TaskFailed) && isListedByEngine(nTaskIndex)) {
        const RemovalOutcome eOutcome = removeRecordTask(nTaskIndex, nRow, true, FileRule::DeleteFile);
        if (eOutcome == RemovalOutcome::WidgetGone) {
            return;
        }
        if (eOutcome == RemovalOutcome::Removed) {
            startDownload(-1);
        }
    }
    updateDownloadingItemNum();
}

void QDownloadingWidget::deleteCheckedRecords()
{
    // The rows removed are those checked at the press. The question and the stop waits let
    // notices, ticks and clicks run, so each is found again by its task index when its turn
    // comes, and its state is read then.
    const QVector<ChosenRow> vecChosen = checkedRows(m_pRecordModel);
    if (vecChosen.isEmpty()) {
        updateDownloadingItemNum();
        showNotification(tr("no record selected!"));
        return;
    }
    const QPointer<QDownloadingWidget> pGuard(this);
    if (!confirmed(this, QObject::tr("are you sure to delete this downEvent?")) || !pGuard) {
        return;
    }

    int nRemovedRunning = 0;
    // Rows gone above the next chosen one since the press: makes its lookup a single cell read.
    int nShift = 0;
    // Adjacent rows that go without a stop, not yet taken out (see removeRecordRun).
    QList<int> listRun;
    int nRunStart = 0;
    const auto isQuiet = [](int nState) {
        return (nState == TaskWaiting || nState == TaskFailed) &&
               !ConfigInfo::CBaseInfo::instance().getOpenOSD();
    };
    for (const ChosenRow& chosen : vecChosen) {
        int nRow = findRecordRow(chosen.nTaskIndex, chosen.nRow - nShift);
        if (nRow < 0) {
            continue;
        }
        bool bQuiet = isQuiet(recordRowState(nRow));
        if (!listRun.isEmpty() && (!bQuiet || nRow != nRunStart + listRun.size())) {
            const int nTaken = listRun.size();
            removeRecordRun(nRunStart, listRun);
            nRow = findRecordRow(chosen.nTaskIndex, nRow - nTaken);
            if (nRow < 0) {
                continue;
            }
            bQuiet = isQuiet(recordRowState(nRow));
        }
        nShift = chosen.nRow - nRow;
        if (bQuiet) {
            if (listRun.isEmpty()) {
                nRunStart = nRow;
            }
            listRun.append(chosen.nTaskIndex);
            continue;
        }

        RemovalOutcome eOutcome = RemovalOutcome::RowGone;
        switch (recordRowState(nRow)) {
            case TaskDownloading:
                if (isListedByEngine(chosen.nTaskIndex)) {
                    eOutcome = removeRecordTask(chosen.nTaskIndex, nRow, true, FileRule::DeleteFile);
                    if (eOutcome == RemovalOutcome::Removed) {
                        ++nRemovedRunning;
                    }
                }
                break;
            case TaskWaiting:
            case TaskFailed:
                // Open-OSD: stopped and its partial file deleted as well.
                eOutcome = removeRecordTask(chosen.nTaskIndex, nRow, true, FileRule::DeleteFile);
                break;
            default:
                break;
        }
        if (eOutcome == RemovalOutcome::WidgetGone) {
            return;
        }
        if (eOutcome == RemovalOutcome::Removed) {
            ++nShift;
        }
    }
    removeRecordRun(nRunStart, listRun);
    // One queue step per freed slot.
    for (int i = 0; i < nRemovedRunning; ++i) {
        startDownload(-1);
    }
    updateDownloadingItemNum();
}

void QDownloadingWidget::deleteCheckedPictures()
{
    if (!m_pPicDownloadMgr) {
        return;
    }
    // As for records: the rows checked at the press, each found again by its task index. Only a
    // downloading picture asks, each on its own.
    const QVector<ChosenRow> vecChosen = checkedRows(m_pPicModel);
    const QPointer<QDownloadingWidget> pGuard(this);
    bool bRestart = false;
    int nShift = 0;
    for (const ChosenRow& chosen : vecChosen) {
        int nRow = findPicRow(chosen.nTaskIndex, chosen.nRow - nShift);
        if (nRow >= 0 && picRowState(nRow) == TaskDownloading) {
            const bool bConfirmed =
                confirmed(this, QObject::tr("This file being downloading, are you sure to delete?"));
            if (!pGuard) {
                return;
            }
            if (!bConfirmed) {
                continue;
            }
            nRow = findPicRow(chosen.nTaskIndex, nRow);
            if (nRow >= 0 && picRowState(nRow) == TaskDownloading) {
                // Only the engine can stop it: the row goes when it agrees.
                if (!m_pPicDownloadMgr->removeDownloadPicTask(chosen.nTaskIndex, true)) {
                    continue;
                }
                bRestart = true;
                nRow = findPicRow(chosen.nTaskIndex, nRow);
                if (nRow >= 0) {
                    m_pPicModel->removeRow(nRow);
                    nShift = chosen.nRow - nRow + 1;
                }
                continue;
            }
            // Finished (no row) or failed while the question was open; a failed one goes, as
            // confirmed, like any row that is not downloading.
        }
        if (nRow < 0) {
            continue;
        }
        m_pPicModel->removeRow(nRow);
        nShift = chosen.nRow - nRow + 1;
        m_pPicDownloadMgr->removeDownloadPicTask(chosen.nTaskIndex, false);
    }
    updateDownloadingItemNum();
    if (bRestart) {
        startPicDownload(-1);
    }
    if (vecChosen.isEmpty()) {
        showNotification(tr("no file selected!"));
    }
}

QDownloadingWidget::RemovalOutcome QDownloadingWidget::removeRecordTask(int nTaskIndex, int nRowHint,
                                                                        bool bStop, FileRule eFile)
{
    const int nRow = findRecordRow(nTaskIndex, nRowHint);
    if (nRow < 0) {
        // Whoever removed the row has dealt with the engine task.
        return RemovalOutcome::RowGone;
    }
    m_pRecordModel->removeRow(nRow);

    // Held here: should the widget be destroyed during the wait, the task is still disposed of.
    CRecordDownloadManager* pManager = m_pRecordDownloadMgr;
    bool bAlive = true;
    if (bStop) {
        pManager->stopDownload(nTaskIndex, StopReason_Removed, true);
        const QPointer<QDownloadingWidget> pGuard(this);
        waitWithEventLoop(kStopWaitMs);
        bAlive = !pGuard.isNull();
        if (eFile == FileRule::DeleteFile || ConfigInfo::CBaseInfo::instance().getOpenOSD()) {
            pManager->deleteDownloadFile(nTaskIndex);
        }
    }
    pManager->destoryDownloadObj(nTaskIndex);
    return bAlive ? RemovalOutcome::Removed : RemovalOutcome::WidgetGone;
}

void QDownloadingWidget::removeRecordRun(int nRunStart, QList<int>& listRun)
{
    const QList<int> listTasks = std::move(listRun);
    listRun.clear();
    if (listTasks.isEmpty()) {
        return;
    }
    const int nCount = listTasks.size();
    const bool bInPlace = nRunStart >= 0 && nRunStart + nCount <= m_pRecordModel->rowCount() &&
                          recordTaskIndex(nRunStart) == listTasks.first() &&
                          recordTaskIndex(nRunStart + nCount - 1) == listTasks.last();
    if (bInPlace) {
        m_pRecordModel->removeRows(nRunStart, nCount);
        for (int nTaskIndex : listTasks) {
            m_pRecordDownloadMgr->destoryDownloadObj(nTaskIndex);
        }
        return;
    }
    // Rows moved since the run was gathered: each is found by its index, and one already gone
    // has been dealt with by whoever removed it.
    QList<int> listRemoved;
    for (int nTaskIndex : listTasks) {
        const int nRow = findRecordRow(nTaskIndex);
        if (nRow >= 0) {
            m_pRecordModel->removeRow(nRow);
            listRemoved.append(nTaskIndex);
        }
    }
    for (int nTaskIndex : qAsConst(listRemoved)) {
        m_pRecordDownloadMgr->destoryDownloadObj(nTaskIndex);
    }
}

int QDownloadingWidget::resumeRecordWalk(const QSet<int>& setPassed, int nRowHint) const
{
    const int nRows = m_pRecordModel->rowCount();
    const auto passed = [&](int nRow) { return setPassed.contains(recordTaskIndex(nRow)); };
    if (nRowHint <= nRows && (nRowHint == 0 || passed(nRowHint - 1)) &&
        (nRowHint == nRows || !passed(nRowHint))) {
        return nRowHint;
    }
    int nRow = 0;
    while (nRow < nRows && passed(nRow)) {
        ++nRow;
    }
    return nRow;
}

bool QDownloadingWidget::isListedByEngine(int nTaskIndex) const
{
    return m_pRecordDownloadMgr->getCurDownloadIndexs().contains(nTaskIndex);
}

void QDownloadingWidget::startPicDownload(int nIndex)
{
    if (nIndex != -1 || !m_pPicDownloadMgr) {
        return;
    }
    int nRow = 0;
    for (; nRow < m_pPicModel->rowCount(); ++nRow) {
        const int nState = picRowState(nRow);
        if (nState == TaskWaiting) {
            break;
        }
        // One picture at a time.
        if (nState == TaskDownloading) {
            return;
        }
    }
    if (nRow >= m_pPicModel->rowCount()) {
        return;
    }
    const int nTaskIndex = picTaskIndex(nRow);
    const bool bStarted = m_pPicDownloadMgr->startDownload(nTaskIndex);
    nRow = findPicRow(nTaskIndex, nRow);
    if (nRow < 0) {
        return;
    }
    if (bStarted) {
        setPicRowState(nRow, TaskDownloading, QObject::tr("Downloading"),
                       skinImage(ORBGUI::GetSkinVersion(), "down-downloading.svg"));
    } else {
        // The rows below wait for the next trigger (a new task or a re-download).
        setPicRowFailed(nRow);
    }
}

void QDownloadingWidget::addPicRow(int nIndex, const DownloadPicInfo& info)
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    QList<QStandardItem*> listItems;
    listItems.reserve(PicColumnCount);

    QStandardItem* pCheck = centeredItem(QString());
    pCheck->setData(nIndex, Qt::UserRole);
    pCheck->setCheckable(true);
    pCheck->setCheckState(Qt::Unchecked);
    listItems << pCheck;

    listItems << centeredItem(info.strFileName);
    listItems << centeredItem(info.strBeginTime);
    listItems << centeredItem(info.strEndTime);
    // The size is known once the engine has the package.
    listItems << centeredItem(kNoSpeed);

    QStandardItem* pPercent = centeredItem(QString());
    pPercent->setData(true, CDownloadCenterTableDelegate::ProgressBarRole);
    pPercent->setData(0, CDownloadCenterTableDelegate::ProgressValueRole);
    pPercent->setData(TaskWaiting, Qt::UserRole);
    listItems << pPercent;

    listItems << centeredItem(kNoSpeed);

    QStandardItem* pStatus = centeredItem(QObject::tr("Waiting"));
    pStatus->setData(TaskWaiting, Qt::UserRole);
    pStatus->setData(stateIcon(skinImage(strSkin, "down-waiting.svg")), Role::PixmapRole0);
    pStatus->setData(kAlignLeft, Role::PixmapAlignmentRole);
    listItems << pStatus;

    auto* pOperate = new QStandardItem();
    pOperate->setData(tr("delete"), Role::PixmapToolTipRole0);
    pOperate->setData(
        buttonIcon(skinImage(strSkin, "delete-n.svg"), skinImage(strSkin, "delete-h.svg"),
                   skinImage(strSkin, "delete-h.svg"), skinImage(strSkin, "delete-n.svg"), kStateIconSize),
        Role::PixmapRole0);
    pOperate->setData(kAlignCenter, Role::PixmapAlignmentRole);
    listItems << pOperate;

    m_pPicModel->appendRow(listItems);
}

void QDownloadingWidget::deletePicTask(int nRow)
{
    if (picRowState(nRow) < 0) {
        return;
    }
    const int nTaskIndex = picTaskIndex(nRow);
    bool bRunningRemoved = false;
    if (picRowState(nRow) == TaskDownloading) {
        // The question runs the event loop: the clicked task is found again by its index after it.
        const QPointer<QDownloadingWidget> pGuard(this);
        if (!confirmed(this, QObject::tr("This file being downloading, are you sure to delete?")) ||
            !pGuard) {
            return;
        }
        nRow = findPicRow(nTaskIndex, nRow);
        if (nRow >= 0 && picRowState(nRow) == TaskDownloading) {
            // Only the engine can stop it: the row goes when it agrees.
            if (m_pPicDownloadMgr->removeDownloadPicTask(nTaskIndex, true)) {
                nRow = findPicRow(nTaskIndex, nRow);
                if (nRow >= 0) {
                    m_pPicModel->removeRow(nRow);
                }
                bRunningRemoved = true;
            }
        } else if (nRow >= 0) {
            // It failed while the question was open: confirmed, it goes like any other.
            m_pPicModel->removeRow(nRow);
            m_pPicDownloadMgr->removeDownloadPicTask(nTaskIndex, false);
        }
    } else {
        m_pPicModel->removeRow(nRow);
        m_pPicDownloadMgr->removeDownloadPicTask(nTaskIndex, false);
    }
    updateDownloadingItemNum();
    if (bRunningRemoved) {
        startPicDownload(-1);
    }
}

void QDownloadingWidget::redownloadPicTask(int nRow)
{
    QStandardItem* pOperate = m_pPicModel->item(nRow, PicColumnOperate);
    // A click that arrives after the icon went (queued behind a state change) is stale.
    if (picRowState(nRow) < 0 || !pOperate || !pOperate->data(Role::PixmapRole1).isValid()) {
        return;
    }
    setPicRowState(nRow, TaskWaiting, QObject::tr("Waiting"),
                   skinImage(ORBGUI::GetSkinVersion(), "down-waiting.svg"));
    m_pPicModel->item(nRow, PicColumnPercent)->setData(0, CDownloadCenterTableDelegate::ProgressValueRole);
    pOperate->setData(QVariant(), Role::PixmapToolTipRole1);
    pOperate->setData(QVariant(), Role::PixmapRole1);

    // The engine is not told: the next start of the same index restarts the task.
    updateDownloadingItemNum();
    if (!m_pPicDownloadMgr->isPicDownloadingNow()) {
        startPicDownload(-1);
    }
}

void QDownloadingWidget::setPicRowState(int nRow, RecordTaskState eState, const QString& strStatus,
                                        const QString& strIcon)
{
    QStandardItem* pStatus = m_pPicModel->item(nRow, PicColumnStatus);
    pStatus->setData(eState, Qt::UserRole);
    pStatus->setText(strStatus);
    pStatus->setData(stateIcon(strIcon), Role::PixmapRole0);
    m_pPicModel->item(nRow, PicColumnPercent)->setData(eState, Qt::UserRole);
}

void QDownloadingWidget::setPicRowFailed(int nRow)
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    setPicRowState(nRow, TaskFailed, QObject::tr("Failed"), skinImage(strSkin, "down-failed.svg"));
    m_pPicModel->item(nRow, PicColumnSpeed)->setText(kNoSpeed);
    if (QStandardItem* pOperate = m_pPicModel->item(nRow, PicColumnOperate)) {
        pOperate->setData(
            buttonIcon(skinImage(strSkin, "down-n.svg"), skinImage(strSkin, "down-h.svg"),
                       skinImage(strSkin, "down-h.svg"), skinImage(strSkin, "down-n.svg"), kStateIconSize),
            Role::PixmapRole1);
        pOperate->setData(tr("Re-download"), Role::PixmapToolTipRole1);
    }
}

int QDownloadingWidget::downloadingPicRow() const
{
    for (int nRow = 0; nRow < m_pPicModel->rowCount(); ++nRow) {
        if (picRowState(nRow) == TaskDownloading) {
            return nRow;
        }
    }
    return -1;
}

int QDownloadingWidget::findPicRow(int nTaskIndex, int nRowHint) const
{
    if (nRowHint >= 0 && nRowHint < m_pPicModel->rowCount() && picTaskIndex(nRowHint) == nTaskIndex) {
        return nRowHint;
    }
    const QModelIndexList listFound = m_pPicModel->match(m_pPicModel->index(0, PicColumnCheck), Qt::UserRole,
                                                         nTaskIndex, 1, Qt::MatchExactly);
    return listFound.isEmpty() ? -1 : listFound.first().row();
}

int QDownloadingWidget::picTaskIndex(int nRow) const
{
    const QStandardItem* pCheck = m_pPicModel->item(nRow, PicColumnCheck);
    return pCheck ? pCheck->data(Qt::UserRole).toInt() : 0;
}

int QDownloadingWidget::picRowState(int nRow) const
{
    const QStandardItem* pStatus = m_pPicModel->item(nRow, PicColumnStatus);
    return pStatus ? pStatus->data(Qt::UserRole).toInt() : -1;
}

int QDownloadingWidget::recordRowState(int nRow) const
{
    const QStandardItem* pStatus = m_pRecordModel->item(nRow, RecordColumnStatus);
    return pStatus ? pStatus->data(Qt::UserRole).toInt() : -1;
}
