#include "CTaskTable.h"

#include <algorithm>

#include <QObject>
#include <QSize>
#include <QStandardItemModel>

#include <orbgui/OrbItemDataRole.h>

#include "CDownloadCenterTableDelegate.h"
#include "CSkinStyle.h"
#include "CTaskCell.h"

using Role = ORBGUI::struTreeViewData;

const QString CTaskTable::kNoValue = QStringLiteral("--");

namespace {

const QSize kIconSize(20, 20);

QVariant retryIcon(const QString& strSkin)
{
    return CSkinStyle::buttonIcon(CSkinStyle::image(strSkin, "down-n.svg"),
                                  CSkinStyle::image(strSkin, "down-h.svg"), kIconSize);
}

}  // namespace

CTaskTable::CTaskTable(QStandardItemModel* pModel, const Columns& columns)
    : m_pModel(pModel), m_columns(columns)
{
}

int CTaskTable::rowCount() const
{
    return m_pModel->rowCount();
}

QStandardItem* CTaskTable::item(int nRow, int nColumn) const
{
    return m_pModel->item(nRow, nColumn);
}

bool CTaskTable::isOperateCell(const QModelIndex& index) const
{
    return index.isValid() && index.model() == m_pModel && index.column() == m_columns.nOperate;
}

QPersistentModelIndex CTaskTable::rowHandle(int nRow) const
{
    return QPersistentModelIndex(m_pModel->index(nRow, 0));
}

QList<QStandardItem*> CTaskTable::newRow(int nTaskIndex, const QStringList& listTexts, const QString& strSkin,
                                         const QString& strDeleteTip) const
{
    QList<QStandardItem*> listCells;
    listCells.reserve(m_columns.nOperate + 1);

    auto* pCheck = new CTaskCell(CTaskCell::Check);
    pCheck->setData(nTaskIndex, Qt::UserRole);
    listCells << pCheck;
    // The last text, just before Percent, is the size.
    for (int i = 0; i < listTexts.size(); ++i) {
        listCells << new CTaskCell(i + 1 == listTexts.size() ? CTaskCell::Size : CTaskCell::Text,
                                   listTexts.at(i));
    }

    auto* pPercent = new CTaskCell(CTaskCell::Progress);
    pPercent->setData(Waiting, Qt::UserRole);
    listCells << pPercent;

    listCells << CSkinStyle::centeredItem(kNoValue);

    QStandardItem* pStatus = CSkinStyle::centeredItem(CTaskCell::shared(QObject::tr("Waiting")));
    pStatus->setData(Waiting, Qt::UserRole);
    pStatus->setData(CSkinStyle::stateIcon(CSkinStyle::image(strSkin, "down-waiting.svg")),
                     Role::PixmapRole0);
    pStatus->setData(CSkinStyle::kAlignLeft, Role::PixmapAlignmentRole);
    listCells << pStatus;

    auto* pOperate = new CTaskCell(CTaskCell::Icons);
    pOperate->setData(CTaskCell::shared(strDeleteTip), Role::PixmapToolTipRole0);
    pOperate->setData(CSkinStyle::buttonIcon(CSkinStyle::image(strSkin, "delete-n.svg"),
                                             CSkinStyle::image(strSkin, "delete-h.svg"), kIconSize),
                      Role::PixmapRole0);
    listCells << pOperate;
    return listCells;
}

void CTaskTable::appendRow(const QList<QStandardItem*>& listCells)
{
    m_pModel->appendRow(listCells);
}

int CTaskTable::findRow(int nTaskIndex) const
{
    const QModelIndexList listFound =
        m_pModel->match(m_pModel->index(0, 0), Qt::UserRole, nTaskIndex, 1, Qt::MatchExactly);
    return listFound.isEmpty() ? -1 : listFound.first().row();
}

int CTaskTable::taskIndex(int nRow) const
{
    const QStandardItem* pCheck = m_pModel->item(nRow, 0);
    return pCheck ? pCheck->data(Qt::UserRole).toInt() : 0;
}

int CTaskTable::state(int nRow) const
{
    const QStandardItem* pStatus = m_pModel->item(nRow, m_columns.nStatus);
    return pStatus ? pStatus->data(Qt::UserRole).toInt() : -1;
}

int CTaskTable::firstRowIn(State eState) const
{
    for (int nRow = 0; nRow < m_pModel->rowCount(); ++nRow) {
        if (state(nRow) == eState) {
            return nRow;
        }
    }
    return -1;
}

QList<QPersistentModelIndex> CTaskTable::downloadingRows() const
{
    m_listDownloading.removeAll(QPersistentModelIndex());
    std::sort(
        m_listDownloading.begin(), m_listDownloading.end(),
        [](const QPersistentModelIndex& a, const QPersistentModelIndex& b) { return a.row() < b.row(); });
    return m_listDownloading;
}

QVector<CTaskTable::Chosen> CTaskTable::checkedRows() const
{
    QVector<Chosen> vecChosen;
    for (int nRow = 0; nRow < m_pModel->rowCount(); ++nRow) {
        const QStandardItem* pCheck = m_pModel->item(nRow, 0);
        if (pCheck && pCheck->checkState() == Qt::Checked) {
            vecChosen.append({pCheck->data(Qt::UserRole).toInt(), QPersistentModelIndex(pCheck->index())});
        }
    }
    return vecChosen;
}

void CTaskTable::setState(int nRow, State eState, const QString& strStatus, const QString& strIcon)
{
    QStandardItem* pStatus = m_pModel->item(nRow, m_columns.nStatus);
    pStatus->setData(eState, Qt::UserRole);
    pStatus->setText(CTaskCell::shared(strStatus));
    pStatus->setData(CSkinStyle::stateIcon(strIcon), Role::PixmapRole0);
    m_pModel->item(nRow, m_columns.nPercent)->setData(eState, Qt::UserRole);
    const QPersistentModelIndex handle = rowHandle(nRow);
    m_listDownloading.removeAll(QPersistentModelIndex());
    m_listDownloading.removeAll(handle);
    if (eState == Downloading) {
        m_listDownloading.append(handle);
    }
    if (eState == Failed) {
        setSpeedText(nRow, kNoValue);
    }
    if (eState != Downloading) {
        setSpeedTip(nRow, QString());
    }
    if (m_pHistory) {
        m_pHistory->updateTask(historyId(nRow), eState, bytesDone(nRow));
    }
}

void CTaskTable::setFailed(int nRow, const QString& strSkin, const char* szIcon, const QString& strRetryTip)
{
    setState(nRow, Failed, QObject::tr("Failed"), CSkinStyle::image(strSkin, szIcon));
    QStandardItem* pOperate = m_pModel->item(nRow, m_columns.nOperate);
    if (pOperate && !strRetryTip.isEmpty()) {
        pOperate->setData(CTaskCell::shared(strRetryTip), Role::PixmapToolTipRole1);
        pOperate->setData(retryIcon(strSkin), Role::PixmapRole1);
    }
}

bool CTaskTable::requeue(int nRow, const QString& strSkin)
{
    QStandardItem* pOperate = m_pModel->item(nRow, m_columns.nOperate);
    if (state(nRow) < 0 || !pOperate || !pOperate->data(Role::PixmapRole1).isValid()) {
        return false;
    }
    setProgress(nRow, 0);
    setState(nRow, Waiting, QObject::tr("Waiting"), CSkinStyle::image(strSkin, "down-waiting.svg"));
    pOperate->setData(QVariant(), Role::PixmapToolTipRole1);
    pOperate->setData(QVariant(), Role::PixmapRole1);
    return true;
}

void CTaskTable::setProgress(int nRow, const QVariant& varPercent)
{
    if (QStandardItem* pPercent = m_pModel->item(nRow, m_columns.nPercent)) {
        pPercent->setData(varPercent, CDownloadCenterTableDelegate::ProgressValueRole);
    }
}

void CTaskTable::setSpeedText(int nRow, const QString& strSpeed)
{
    if (QStandardItem* pSpeed = m_pModel->item(nRow, m_columns.nSpeed)) {
        pSpeed->setData(strSpeed, Qt::DisplayRole);
    }
}

void CTaskTable::setSpeedTip(int nRow, const QString& strTip)
{
    if (QStandardItem* pSpeed = m_pModel->item(nRow, m_columns.nSpeed)) {
        pSpeed->setData(strTip.isEmpty() ? QVariant() : QVariant(strTip), Qt::ToolTipRole);
    }
}

void CTaskTable::setHistory(CDownloadHistory* pHistory, CDownloadHistory::Kind eKind)
{
    m_pHistory = pHistory;
    m_eKind = eKind;
}

void CTaskTable::storeLastRow(CDownloadHistory::Entry entry)
{
    if (m_pHistory && rowCount() > 0) {
        entry.eKind = m_eKind;
        setHistoryId(rowCount() - 1, m_pHistory->addTask(entry));
    }
}

void CTaskTable::setHistoryId(int nRow, qint64 nId)
{
    if (QStandardItem* pCheck = m_pModel->item(nRow, 0)) {
        pCheck->setData(nId, CDownloadHistory::kIdRole);
    }
}

qint64 CTaskTable::historyId(int nRow) const
{
    const QStandardItem* pCheck = m_pModel->item(nRow, 0);
    return pCheck ? pCheck->data(CDownloadHistory::kIdRole).toLongLong() : 0;
}

int CTaskTable::percent(int nRow) const
{
    const QStandardItem* pPercent = m_pModel->item(nRow, m_columns.nPercent);
    return pPercent ? qBound(0, pPercent->data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), 100)
                    : 0;
}

qint64 CTaskTable::bytesDone(int nRow) const
{
    const QStandardItem* pSize = m_pModel->item(nRow, m_columns.nSize);
    return pSize ? pSize->data(Qt::UserRole).toLongLong() * percent(nRow) / 100 : 0;
}

void CTaskTable::removeRow(int nRow)
{
    if (m_pHistory) {
        m_pHistory->removeTasks({historyId(nRow)});
    }
    m_pModel->removeRow(nRow);
}

QList<int> CTaskTable::takeRows(int nRow, int nCount)
{
    QList<int> listTasks;
    QList<qint64> listStored;
    listTasks.reserve(nCount);
    for (int i = 0; i < nCount; ++i) {
        listTasks.append(taskIndex(nRow + i));
        listStored.append(historyId(nRow + i));
    }
    if (m_pHistory) {
        m_pHistory->removeTasks(listStored);
    }
    m_pModel->removeRows(nRow, nCount);
    return listTasks;
}
