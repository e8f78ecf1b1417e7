#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "CPicTableModel.h"
#include "CRecordTableModel.h"

// A downloading table read as the tests compare it.
namespace tablerows {

// Task indexes of a table's rows, top to bottom.
inline QList<int> tasks(const QAbstractItemModel* pModel)
{
    QList<int> listTasks;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        listTasks.append(pModel->index(nRow, 0).data(Qt::UserRole).toInt());
    }
    return listTasks;
}

// "1W 2D 3F": task index and state (Waiting, Downloading, Failed) of each row, top to bottom.
inline QString rows(const QAbstractItemModel* pModel, int nStatusColumn)
{
    QStringList listRows;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        const int nState = pModel->index(nRow, nStatusColumn).data(Qt::UserRole).toInt();
        listRows << QString::number(pModel->index(nRow, 0).data(Qt::UserRole).toInt()) +
                        QStringLiteral("WDF?").at(qBound(0, nState, 3));
    }
    return listRows.join(QLatin1Char(' '));
}

// Record rows, then " / " and picture rows: "1D 2W / 1F".
inline QString both(const QAbstractItemModel* pRecords, const QAbstractItemModel* pPictures)
{
    return QString(rows(pRecords, CRecordTableModel::ColumnStatus) + QStringLiteral(" / ") +
                   rows(pPictures, CPicTableModel::ColumnStatus))
        .remove(QRegularExpression(QStringLiteral(" / $")))
        .trimmed();
}

}  // namespace tablerows
