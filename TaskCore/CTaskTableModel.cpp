#include "CTaskTableModel.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <orbgui/OrbItemDataRole.h>

#include "CDownloadTextFormat.h"
#include "CTaskTypes.h"

using Role = ORBGUI::struTreeViewData;

CTaskTableModel::CTaskTableModel(const QVector<Section>& vecSections, QObject* parent)
    : QAbstractTableModel(parent), m_pIcons(&CTaskIcons::forSkin(m_strSkin))
{
    m_vecSections.reserve(vecSections.size());
    for (const Section& section : vecSections) {
        m_vecSections.append({{Qt::EditRole, section.strTitle},
                              {Qt::TextAlignmentRole, CTaskTypes::kAlignCenter},
                              {Role::HeaderWidthRole, section.nWidth}});
    }
    if (!m_vecSections.isEmpty()) {
        m_vecSections[0].insert(Role::HeaderCheckableRole, true);
        m_vecSections[0].insert(Qt::CheckStateRole, Qt::Unchecked);
    }
}

int CTaskTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows();
}

int CTaskTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_vecSections.size();
}

QVariant CTaskTableModel::data(const QModelIndex& index, int nRole) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return QVariant();
    }
    const int nRow = index.row();
    const int nColumn = index.column();
    switch (nRole) {
        case Qt::TextAlignmentRole:
            return nColumn == operateColumn() ? QVariant() : QVariant(CTaskTypes::kAlignCenter);
        case Qt::CheckStateRole:
            return nColumn == ColumnCheck ? QVariant(isChecked(nRow) ? Qt::Checked : Qt::Unchecked)
                                          : QVariant();
        case Qt::AccessibleTextRole:
            return nColumn == ColumnCheck       ? QVariant(rowSummary(nRow))
                   : nColumn == operateColumn() ? iconNames(nRow)
                                                : cell(nRow, nColumn, nRole);
        case Role::PixmapAlignmentRole:
            return nColumn == operateColumn() ? QVariant(CTaskTypes::kAlignCenter)
                                              : cell(nRow, nColumn, nRole);
        default:
            return cell(nRow, nColumn, nRole);
    }
}

bool CTaskTableModel::setData(const QModelIndex& index, const QVariant& value, int nRole)
{
    if (nRole != Qt::CheckStateRole || index.column() != ColumnCheck ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    const bool bChecked = value.toInt() == Qt::Checked;
    if (bChecked != isChecked(index.row())) {
        setChecked(index.row(), bChecked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
    }
    return true;
}

Qt::ItemFlags CTaskTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    // As the kit's tables have always had them: editable cells that the views never edit. A row
    // never has children: a tree view need not ask, which spares it a call a row at each layout.
    const Qt::ItemFlags eFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                                 Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
    return index.column() == ColumnCheck ? eFlags | Qt::ItemIsUserCheckable : eFlags;
}

QVariant CTaskTableModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const
{
    if (eOrientation != Qt::Horizontal || nSection < 0 || nSection >= m_vecSections.size()) {
        return QAbstractTableModel::headerData(nSection, eOrientation, nRole);
    }
    return m_vecSections.at(nSection).value(nRole == Qt::DisplayRole ? int(Qt::EditRole) : nRole);
}

bool CTaskTableModel::setHeaderData(int nSection, Qt::Orientation eOrientation, const QVariant& value,
                                    int nRole)
{
    if (eOrientation != Qt::Horizontal || nSection < 0 || nSection >= m_vecSections.size()) {
        return false;
    }
    m_vecSections[nSection].insert(nRole == Qt::DisplayRole ? int(Qt::EditRole) : nRole, value);
    emit headerDataChanged(eOrientation, nSection, nSection);
    return true;
}

void CTaskTableModel::setSkin(const QString& strSkin)
{
    if (strSkin == m_strSkin) {
        return;
    }
    m_strSkin = strSkin;
    m_pIcons = &CTaskIcons::forSkin(m_strSkin);
    if (rows() > 0) {
        emit dataChanged(index(0, 0), index(rows() - 1, operateColumn()));
    }
}

void CTaskTableModel::beginAppend(int nCount)
{
    m_nInsertAt = rows();
    beginInsertRows(QModelIndex(), m_nInsertAt, m_nInsertAt + nCount - 1);
}

void CTaskTableModel::beginInsertAtTop(int nCount)
{
    m_nInsertAt = 0;
    beginInsertRows(QModelIndex(), 0, nCount - 1);
}

void CTaskTableModel::endInsert()
{
    m_nInsertAt = -1;
    endInsertRows();
}

void CTaskTableModel::removeRuns(const QVector<int>& vecRows, const std::function<void(int, int)>& fnErase)
{
    int nEnd = vecRows.size();
    while (nEnd > 0) {
        int nStart = nEnd - 1;
        while (nStart > 0 && vecRows.at(nStart - 1) == vecRows.at(nStart) - 1) {
            --nStart;
        }
        const int nFirst = vecRows.at(nStart);
        const int nCount = nEnd - nStart;
        beginRemoveRows(QModelIndex(), nFirst, nFirst + nCount - 1);
        fnErase(nFirst, nCount);
        endRemoveRows();
        nEnd = nStart;
    }
}

void CTaskTableModel::removeAllRows(const std::function<void()>& fnErase)
{
    beginResetModel();
    fnErase();
    endResetModel();
}

void CTaskTableModel::changed(int nFirstRow, int nLastRow, int nFirstColumn, int nLastColumn)
{
    emit dataChanged(index(nFirstRow, nFirstColumn), index(nLastRow, nLastColumn));
}

QVariant CTaskTableModel::progressCell(CTaskTypes::State eState, qint64 nPercent, int nRole)
{
    switch (nRole) {
        case CTaskTypes::ProgressBarRole:
            return true;
        case CTaskTypes::ProgressValueRole:
            return nPercent;
        case Qt::UserRole:
            return eState;
        case Qt::AccessibleTextRole:
            return percentText(nPercent);
        default:
            return QVariant();
    }
}

QVariant CTaskTableModel::speedCell(const QString& strSpeed, const QString& strTimeLeft, int nRole)
{
    if (nRole == Qt::DisplayRole) {
        return strSpeed;
    }
    return nRole == Qt::ToolTipRole && !strTimeLeft.isEmpty() ? QVariant(strTimeLeft) : QVariant();
}

QVariant CTaskTableModel::statusCell(CTaskTypes::State eState, bool bDecoding, bool bRefused, int nRole) const
{
    switch (nRole) {
        case Qt::DisplayRole:
            return statusText(eState, bDecoding);
        case Qt::UserRole:
            return eState;
        case Role::PixmapRole0:
            return eState == CTaskTypes::Failed    ? (bRefused ? m_pIcons->varRefused : m_pIcons->varFailed)
                   : eState == CTaskTypes::Waiting ? m_pIcons->varWaiting
                                                   : m_pIcons->varDownloading;
        case Role::PixmapAlignmentRole:
            return CTaskTypes::kAlignLeft;
        case CTaskTypes::IconForTextRole:
            return true;
        default:
            return QVariant();
    }
}

QString CTaskTableModel::statusText(CTaskTypes::State eState, bool bDecoding)
{
    return eState == CTaskTypes::Failed    ? QObject::tr("Failed")
           : eState == CTaskTypes::Waiting ? QObject::tr("Waiting")
           : bDecoding                     ? QObject::tr("Decoding")
                                           : QObject::tr("Downloading");
}

QVariant CTaskTableModel::removeOrRetryIcon(bool bRetry, const char* szRetryTip, int nRole) const
{
    switch (nRole) {
        case Role::PixmapRole0:
            return m_pIcons->varDelete;
        case Role::PixmapToolTipRole0:
            return QCoreApplication::translate("QDownloadingWidget", "delete");
        case Role::PixmapRole1:
            return bRetry ? m_pIcons->varRetry : QVariant();
        case Role::PixmapToolTipRole1:
            return bRetry ? QVariant(QCoreApplication::translate("QDownloadingWidget", szRetryTip))
                          : QVariant();
        default:
            return QVariant();
    }
}

QVariant CTaskTableModel::endTimeCell(const QString& strBegin, const QString& strEnd, int nRole)
{
    if (strEnd.isEmpty()) {
        return QVariant();
    }
    switch (nRole) {
        case Qt::DisplayRole:
            return CDownloadTextFormat::endTimeText(strBegin, strEnd);
        case Qt::EditRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return strEnd;
        default:
            return QVariant();
    }
}

QVariant CTaskTableModel::bytesTip(qint64 nBytes)
{
    return nBytes > 0
               ? QVariant(
                     QCoreApplication::translate("CTaskCell", "%1 bytes").arg(QLocale().toString(nBytes)))
               : QVariant();
}

QVariant CTaskTableModel::percentText(qint64 nPercent)
{
    return QCoreApplication::translate("CTaskCell", "%1 percent").arg(nPercent);
}

QVariant CTaskTableModel::iconNames(int nRow) const
{
    // "delete, Speed-download 2x": the speed icon with its factor.
    QStringList listNames;
    for (int nSlot = 0; nSlot < Role::kPixmapSlotCount; ++nSlot) {
        if (cell(nRow, operateColumn(), Role::PixmapRole0 + nSlot).isValid()) {
            const QString strName = cell(nRow, operateColumn(), Role::PixmapToolTipRole0 + nSlot).toString();
            listNames << (nSlot == 2 ? QStringLiteral("%1 %2x").arg(strName).arg(
                                           cell(nRow, operateColumn(), Qt::UserRole).toInt())
                                     : strName);
        }
    }
    return listNames.join(QStringLiteral(", "));
}

QString CTaskTableModel::rowSummary(int nRow) const
{
    QStringList listTexts;
    for (int nColumn = ColumnCheck + 1; nColumn < operateColumn(); ++nColumn) {
        const QVariant varSpoken = cell(nRow, nColumn, Qt::AccessibleTextRole);
        const QString strText =
            varSpoken.isValid() ? varSpoken.toString() : cell(nRow, nColumn, Qt::DisplayRole).toString();
        if (!strText.isEmpty()) {
            listTexts << strText;
        }
    }
    return listTexts.join(QStringLiteral(", "));
}
