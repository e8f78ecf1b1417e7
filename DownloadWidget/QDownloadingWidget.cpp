#include "QDownloadingWidget.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QPointer>
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

    ui->btnRecordDownloading->setCheckable(true);
    ui->btnRecordDownloading->setChecked(true);
    ui->btnPictureDownloading->setCheckable(true);
    onRecordDownloadingClicked();

    initTableViews();

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
    if (m_pPicDownloadMgr) {
        m_pPicDownloadMgr->clearAllPicDownloadObj();
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
