#include "QDownloadDoneWidget.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QStandardItemModel>
#include <QUrl>

#include <algorithm>

#include <hostservices/CConfig.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CDownloadTextFormat.h"
#include "CSkinStyle.h"
#include "CTaskCell.h"
#include "ui_DownloadDoneWidget.h"

namespace {

const QSize kDeleteIconSize(20, 20);
const QString kNoValue = QStringLiteral("--");

using Role = ORBGUI::struTreeViewData;

QStandardItem* sizeItem(const QString& strText, qint64 nBytes)
{
    auto* pItem = new CTaskCell(CTaskCell::Size, strText);
    pItem->setData(nBytes, Qt::UserRole);
    return pItem;
}

// Seconds from the start of a download until now, as the 32-bit span the list shows.
qint32 secondsSince(qint32 nStartTime)
{
    return static_cast<qint32>(QDateTime::currentSecsSinceEpoch() - nStartTime);
}

// Removes the rows that are still there, bottom first, a run of neighbours at a time.
void removeRows(QStandardItemModel* pModel, const QList<QPersistentModelIndex>& listRows)
{
    QList<int> listRowNumbers;
    listRowNumbers.reserve(listRows.size());
    for (const QPersistentModelIndex& index : listRows) {
        if (index.isValid()) {
            listRowNumbers.append(index.row());
        }
    }
    std::sort(listRowNumbers.begin(), listRowNumbers.end(), std::greater<int>());
    int i = 0;
    while (i < listRowNumbers.size()) {
        int nFirst = listRowNumbers.at(i);
        int nCount = 1;
        while (i + nCount < listRowNumbers.size() && listRowNumbers.at(i + nCount) == nFirst - 1) {
            --nFirst;
            ++nCount;
        }
        pModel->removeRows(nFirst, nCount);
        i += nCount;
    }
}

}  // namespace

QDownloadDoneWidget::QDownloadDoneWidget(QWidget* parent)
    : QDownloadListBase(parent), ui(new Ui::DownloadDoneWidget)
{
    ui->setupUi(this);
    initTableView();

    connect(ui->btnDelete, SIGNAL(clicked()), this, SLOT(onDelete()));
    connect(ui->btnFolder, SIGNAL(clicked()), this, SLOT(onOpenFolder()));

    setObjectName(QStringLiteral("QDownloadDoneWidget"));
    CSkinStyle::applyStyleSheet(this);
}

QDownloadDoneWidget::~QDownloadDoneWidget()
{
    delete ui;
}

void QDownloadDoneWidget::clearDoneList()
{
    if (m_pHistory) {
        m_pHistory->clearDone();
    }
    m_pModel->removeRows(0, m_pModel->rowCount());
    emit sgnDoneItemNumChanged(0);
}

void QDownloadDoneWidget::setProductName(const QString& strName)
{
    m_strProductName = strName;
    m_pModel->setHeaderData(DoneColumnShop, Qt::Horizontal,
                            CSkinStyle::productTitle(tr("ProductName"), strName), Qt::EditRole);
}

QString QDownloadDoneWidget::durationText(qint32 nSeconds)
{
    const QString strSeconds = QString::number(nSeconds % 60) + tr("Seconds");
    if (nSeconds >= 3600) {
        return QString::number(nSeconds / 3600) + tr("Hour") + QString::number(nSeconds % 3600 / 60) +
               tr("Minute") + strSeconds;
    }
    if (nSeconds >= 60) {
        return QString::number(nSeconds / 60) + tr("Minute") + strSeconds;
    }
    return QString::number(nSeconds) + tr("Seconds");
}

void QDownloadDoneWidget::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    if (!m_pHistory) {
        return;
    }
    // Newest first, each appended below the last: one pass, whatever the count. The skin is
    // asked once: it is read from the settings file.
    const QVariant varIcon = deleteIcon();
    for (const CDownloadHistory::Entry& entry : m_pHistory->doneEntries()) {
        m_pModel->appendRow(completeRow(entry.eKind == CDownloadHistory::Picture
                                            ? pictureCells(entry.picture, entry.nSeconds)
                                            : recordCells(entry.record, entry.nSeconds),
                                        entry.nId, varIcon));
    }
    emit sgnDoneItemNumChanged(m_pModel->rowCount());
}

QList<QStandardItem*> QDownloadDoneWidget::recordCells(const DownloadInfo& task, qint32 nSeconds)
{
    const qint64 nFileSize = task.stRecordFile.nFileSize;
    const QString strSize = CDownloadTextFormat::isRecordSizeUnknown(task)
                                ? tr("unkown size")
                                : CDownloadTextFormat::sizeText(nFileSize);
    QStandardItem* pName = CSkinStyle::centeredItem(task.strFileName);
    // Where the file is: kept for opening and deleting it, and shown for a name cut short.
    if (!task.strFilePath.isEmpty()) {
        pName->setData(task.strFilePath, Qt::UserRole);
        pName->setData(QDir::toNativeSeparators(task.strFilePath), Qt::ToolTipRole);
    }
    return {pName,
            CSkinStyle::centeredItem(task.strChannelName),
            CSkinStyle::centeredItem(task.strShopName),
            CSkinStyle::centeredItem(QString::fromStdString(task.stRecordFile.strBeginTime)),
            CSkinStyle::centeredItem(QString::fromStdString(task.stRecordFile.strEndTime)),
            sizeItem(strSize, nFileSize),
            CSkinStyle::centeredItem(durationText(nSeconds))};
}

QList<QStandardItem*> QDownloadDoneWidget::pictureCells(const DownloadPicInfo& taskInfo, qint32 nSeconds)
{
    // A picture package always knows its size, even when it is 0.
    return {CSkinStyle::centeredItem(taskInfo.strFileName),
            CSkinStyle::centeredItem(kNoValue),
            CSkinStyle::centeredItem(kNoValue),
            CSkinStyle::centeredItem(taskInfo.strBeginTime),
            CSkinStyle::centeredItem(taskInfo.strEndTime),
            sizeItem(CDownloadTextFormat::sizeText(taskInfo.nFileSize), taskInfo.nFileSize),
            CSkinStyle::centeredItem(durationText(nSeconds))};
}

void QDownloadDoneWidget::onDownloadFinished(const DownloadInfo& task)
{
    CDownloadHistory::Entry entry;
    entry.record = task;
    entry.nSeconds = secondsSince(task.nStartDownloadTime);
    insertRowAtTop(recordCells(task, entry.nSeconds), entry);
}

void QDownloadDoneWidget::onPicDownloadFinished(const DownloadPicInfo& taskInfo)
{
    CDownloadHistory::Entry entry;
    entry.eKind = CDownloadHistory::Picture;
    entry.picture = taskInfo;
    entry.nSeconds = secondsSince(taskInfo.nStartDownloadTime);
    insertRowAtTop(pictureCells(taskInfo, entry.nSeconds), entry);
}

void QDownloadDoneWidget::onPixmapItemClicked(const QModelIndex& modelIndex,
                                              ORBGUI::struTreeViewData::OrbItemDataRole eDateRole)
{
    // The question keeps the event loop running: rows may be added above this one meanwhile,
    // and the host may log out, taking this list with it.
    const QPersistentModelIndex clickedIndex(modelIndex);
    const QPointer<QDownloadDoneWidget> pGuard(this);
    const int nAnswer = ORBGUI::OrbMessageBox::ShowInformation(
        this, QObject::tr("Notice"), QObject::tr("are you sure to delete selected file?"),
        ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel);
    if (!pGuard || nAnswer != ORBGUI::OrbMessageBox::Ok || eDateRole != Role::PixmapRole0 ||
        !clickedIndex.isValid() || clickedIndex.model() != m_pModel ||
        clickedIndex.column() != DoneColumnOperate) {
        return;
    }
    forgetStored({clickedIndex});
    m_pModel->removeRow(clickedIndex.row());
    emit sgnDoneItemNumChanged(m_pModel->rowCount());
}

void QDownloadDoneWidget::onDelete()
{
    QList<QPersistentModelIndex> listChecked;
    for (int nRow = 0; nRow < m_pModel->rowCount(); ++nRow) {
        const QStandardItem* pCheck = m_pModel->item(nRow, DoneColumnCheck);
        if (pCheck && pCheck->checkState() == Qt::Checked) {
            listChecked.append(QPersistentModelIndex(pCheck->index()));
        }
    }
    if (listChecked.isEmpty()) {
        ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(
            tr("no record selected!"));
        return;
    }

    const QPointer<QDownloadDoneWidget> pGuard(this);
    const int nAnswer = ORBGUI::OrbMessageBox::ShowInformation(
        this, QObject::tr("Notice"), QObject::tr("are you sure to delete selected files?"),
        ORBGUI::OrbMessageBox::Ok | ORBGUI::OrbMessageBox::Cancel);
    // Logged out while the question was open: nothing is left to change.
    if (!pGuard) {
        return;
    }
    if (nAnswer == ORBGUI::OrbMessageBox::Ok) {
        forgetStored(listChecked);
        removeRows(m_pModel, listChecked);
    }
    emit sgnDoneItemNumChanged(m_pModel->rowCount());
}

void QDownloadDoneWidget::fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index)
{
    if (!filePath(index).isEmpty()) {
        const QPersistentModelIndex handle(index);
        pMenu->addAction(tr("Open file"), this, [this, pView, handle] { activateRow(pView, handle); });
    }
    addIconEntry(pMenu, pView, index.sibling(index.row(), DoneColumnOperate), Role::PixmapRole0);
}

void QDownloadDoneWidget::openFolder()
{
    onOpenFolder();
}

void QDownloadDoneWidget::deleteChecked()
{
    onDelete();
}

void QDownloadDoneWidget::activateRow(ORBGUI::OrbTableView*, const QModelIndex& index)
{
    const QString strPath = filePath(index);
    if (!strPath.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(strPath));
    }
}

QString QDownloadDoneWidget::filePath(const QModelIndex& index)
{
    // A record's name cell knows its file; a picture package's does not.
    return index.isValid() ? index.sibling(index.row(), DoneColumnFileName).data(Qt::UserRole).toString()
                           : QString();
}

void QDownloadDoneWidget::onOpenFolder()
{
    const QString strFolder = ConfigInfo::CConfig::instance().getDownloadConfig().strDownloadPath;
    QDesktopServices::openUrl(QUrl(QStringLiteral("file:///") + strFolder, QUrl::TolerantMode));
}

void QDownloadDoneWidget::initTableView()
{
    m_pTableView = ui->tableDownloadingList;
    CSkinStyle::setUpTableView(m_pTableView);
    m_pModel = new QStandardItemModel(0, DoneColumnCount, this);
    CSkinStyle::setCheckableHeader(m_pModel,
                                   {QString(), tr("File name"), tr("Channel"), tr("Shop"), tr("Begin time"),
                                    tr("End time"), tr("File Size"), tr("Done time"), tr("Operate")},
                                   {32, 180, 180, 180, 180, 180, 100, 150, 70});

    m_pTableView->setModel(m_pModel);
    CSkinStyle::setColumnModes(m_pTableView, DoneColumnOperate);
    enableRowActions(m_pTableView);
    connect(m_pTableView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));
}

QList<QStandardItem*> QDownloadDoneWidget::completeRow(QList<QStandardItem*> listCells, qint64 nStoredId,
                                                       const QVariant& varDeleteIcon)
{
    auto* pCheck = new CTaskCell(CTaskCell::Check);
    if (nStoredId > 0) {
        pCheck->setData(nStoredId, CDownloadHistory::kIdRole);
    }
    listCells.prepend(pCheck);

    auto* pOperate = new CTaskCell(CTaskCell::Icons);
    pOperate->setData(varDeleteIcon, Role::PixmapRole0);
    pOperate->setData(CTaskCell::shared(tr("delete")), Role::PixmapToolTipRole0);
    listCells.append(pOperate);
    return listCells;
}

void QDownloadDoneWidget::insertRowAtTop(QList<QStandardItem*> listCells,
                                         const CDownloadHistory::Entry& entry)
{
    const qint64 nStoredId = m_pHistory ? m_pHistory->addDone(entry) : 0;
    m_pModel->insertRow(0, completeRow(listCells, nStoredId, deleteIcon()));
    emit sgnDoneItemNumChanged(m_pModel->rowCount());
}

void QDownloadDoneWidget::forgetStored(const QList<QPersistentModelIndex>& listRows)
{
    if (!m_pHistory) {
        return;
    }
    QList<qint64> listIds;
    for (const QPersistentModelIndex& index : listRows) {
        if (index.isValid()) {
            listIds.append(
                index.sibling(index.row(), DoneColumnCheck).data(CDownloadHistory::kIdRole).toLongLong());
        }
    }
    m_pHistory->removeDone(listIds);
}

QVariant QDownloadDoneWidget::deleteIcon()
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    if (strSkin != m_strIconSkin || !m_varDeleteIcon.isValid()) {
        const QString strFolder = QStringLiteral("./Skin/%1/DownloadApp/").arg(strSkin);
        // A missing image gives a null pixmap: the row still comes, with an empty icon.
        const QPixmap pixNormal(strFolder + QStringLiteral("delete-n.svg"));
        const QPixmap pixHover(strFolder + QStringLiteral("delete-h.svg"));
        m_varDeleteIcon = CSkinStyle::buttonIcon(QVariant::fromValue(pixNormal),
                                                 QVariant::fromValue(pixHover), kDeleteIconSize);
        m_strIconSkin = strSkin;
    }
    return m_varDeleteIcon;
}
