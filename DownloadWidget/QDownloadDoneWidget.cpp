#include "QDownloadDoneWidget.h"

#include <QDesktopServices>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QUrl>

#include <hostservices/CConfig.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CColumnState.h"
#include "CDoneTableModel.h"
#include "CDoneTaskList.h"
#include "CSkinStyle.h"
#include "CTaskIcons.h"
#include "CTaskTypes.h"
#include "ui_DownloadDoneWidget.h"

namespace {

const QSize kDeleteIconSize(20, 20);

using Role = ORBGUI::struTreeViewData;
using Column = CDoneTableModel::Column;

}  // namespace

QDownloadDoneWidget::QDownloadDoneWidget(QWidget* parent)
    : QDownloadListBase(parent), ui(new Ui::DownloadDoneWidget)
{
    ui->setupUi(this);
    m_pList = new CDoneTaskList(this);
    m_pModel = m_pList->model();
    initTableView();
    connect(m_pList, &CDoneTaskList::sgnRestored, this,
            [this] { emit sgnDoneItemNumChanged(m_pList->count()); });

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
    m_pList->clear();
    emit sgnDoneItemNumChanged(0);
}

void QDownloadDoneWidget::setProductName(const QString& strName)
{
    m_strProductName = strName;
    m_pModel->setHeaderData(Column::ColumnShop, Qt::Horizontal,
                            CSkinStyle::productTitle(tr("ProductName"), strName), Qt::EditRole);
}

QString QDownloadDoneWidget::durationText(qint64 nSeconds)
{
    return CDoneTableModel::durationText(nSeconds);
}

void QDownloadDoneWidget::attachHistory(CDownloadHistory* pHistory)
{
    // The skin is asked once for all the stored rows: it is read from the settings file.
    updateDeleteIcon();
    m_pList->attachHistory(pHistory);
}

void QDownloadDoneWidget::onDownloadFinished(const DownloadInfo& task)
{
    updateDeleteIcon();
    m_pList->addRecord(task);
    emit sgnDoneItemNumChanged(m_pList->count());
}

void QDownloadDoneWidget::onPicDownloadFinished(const DownloadPicInfo& taskInfo)
{
    updateDeleteIcon();
    m_pList->addPicture(taskInfo);
    emit sgnDoneItemNumChanged(m_pList->count());
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
        clickedIndex.column() != Column::ColumnOperate) {
        return;
    }
    m_pList->removeRows({clickedIndex.row()});
    emit sgnDoneItemNumChanged(m_pList->count());
}

void QDownloadDoneWidget::onDelete()
{
    QList<QPersistentModelIndex> listChecked;
    for (int nRow : m_pList->checkedRows()) {
        listChecked.append(QPersistentModelIndex(m_pModel->index(nRow, Column::ColumnCheck)));
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
        m_pList->removeRows(rowsOf(listChecked));
    }
    emit sgnDoneItemNumChanged(m_pList->count());
}

void QDownloadDoneWidget::fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index)
{
    if (!filePath(index).isEmpty()) {
        const QPersistentModelIndex handle(index);
        pMenu->addAction(tr("Open file"), this, [this, pView, handle] { activateRow(pView, handle); });
    }
    addIconEntry(pMenu, pView, index.sibling(index.row(), Column::ColumnOperate), Role::PixmapRole0);
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
    return index.isValid()
               ? index.sibling(index.row(), Column::ColumnFileName).data(CTaskTypes::FilePathRole).toString()
               : QString();
}

QVector<int> QDownloadDoneWidget::rowsOf(const QList<QPersistentModelIndex>& listRows)
{
    QVector<int> vecRows;
    for (const QPersistentModelIndex& index : listRows) {
        if (index.isValid()) {
            vecRows.append(index.row());
        }
    }
    return vecRows;
}

void QDownloadDoneWidget::onOpenFolder()
{
    const QString strFolder = ConfigInfo::CConfig::instance().getDownloadConfig().strDownloadPath;
    QDesktopServices::openUrl(QUrl::fromLocalFile(strFolder));
}

void QDownloadDoneWidget::initTableView()
{
    m_pTableView = ui->tableDownloadingList;
    CSkinStyle::setUpTableView(m_pTableView);
    m_pTableView->setModel(m_pModel);
    CSkinStyle::setColumnModes(m_pTableView, Column::ColumnOperate);
    auto hashFits = CSkinStyle::timeAndSizeFits(Column::ColumnBeginTime, Column::ColumnEndTime,
                                                Column::ColumnFileSize, tr("unkown size"));
    // Most downloads take less than a day.
    hashFits.insert(Column::ColumnDoneTime, {{CDoneTableModel::durationText(86399)}});
    new CColumnState(m_pTableView, QStringLiteral("DownloadCenter/DoneColumns"),
                     {Column::ColumnCheck, Column::ColumnFileName, Column::ColumnOperate}, hashFits);
    enableRowActions(m_pTableView);
    connect(m_pTableView,
            SIGNAL(SignalPixmapClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)), this,
            SLOT(onPixmapItemClicked(const QModelIndex&, ORBGUI::struTreeViewData::OrbItemDataRole)));
}

void QDownloadDoneWidget::updateDeleteIcon()
{
    const QString strSkin = ORBGUI::GetSkinVersion();
    if (m_bIconLoaded && strSkin == m_strIconSkin) {
        return;
    }
    const QString strFolder = QStringLiteral("./Skin/%1/DownloadApp/").arg(strSkin);
    // A missing image gives a null pixmap: the rows still come, with an empty icon.
    const QPixmap pixNormal(strFolder + QStringLiteral("delete-n.svg"));
    const QPixmap pixHover(strFolder + QStringLiteral("delete-h.svg"));
    m_pModel->setDeleteIcon(CTaskIcons::buttonIcon(QVariant::fromValue(pixNormal),
                                                   QVariant::fromValue(pixHover), kDeleteIconSize));
    m_strIconSkin = strSkin;
    m_bIconLoaded = true;
}
