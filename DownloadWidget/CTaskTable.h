#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "CDownloadHistory.h"

class QModelIndex;
class QStandardItem;
class QStandardItemModel;

// One table of unfinished tasks, the record or the picture table, as the downloading list reads
// and writes it. A row's task index sits under Qt::UserRole of its check cell (column 0), its
// state under Qt::UserRole of its Status cell, mirrored on its Percent cell for the delegate.
class CTaskTable
{
public:
    enum State
    {
        Waiting = 0,
        Downloading = 1,  // downloading or decoding
        Failed = 2,
    };

    // Where the cells the list reads or changes after a row was built stand; the others lie
    // between the check column and Percent.
    struct Columns
    {
        int nSize;  // the task's size in bytes as Qt::UserRole
        int nPercent;
        int nSpeed;
        int nStatus;
        int nOperate;
    };

    // A checked row: its task, and its place followed through removals above it.
    struct Chosen
    {
        int nTaskIndex;
        QPersistentModelIndex index;
    };

    CTaskTable(QStandardItemModel* pModel, const Columns& columns);

    QStandardItemModel* model() const { return m_pModel; }
    int rowCount() const;
    QStandardItem* item(int nRow, int nColumn) const;
    // Whether a click landed on this table's Operate column.
    bool isOperateCell(const QModelIndex& index) const;
    // A handle on a row that stays right while rows above it come and go.
    QPersistentModelIndex rowHandle(int nRow) const;

    // The cells of a new waiting row: the check box, one centred cell per text (the columns
    // before Percent), Percent, Speed, Status and an Operate cell with the delete icon. The
    // caller may adjust them before appendRow.
    QList<QStandardItem*> newRow(int nTaskIndex, const QStringList& listTexts, const QString& strSkin,
                                 const QString& strDeleteTip) const;
    void appendRow(const QList<QStandardItem*>& listCells);

    // The row of a task, or -1.
    int findRow(int nTaskIndex) const;
    int taskIndex(int nRow) const;
    // -1 when the row has no Status cell.
    int state(int nRow) const;
    // The first row in eState from the top, or -1.
    int firstRowIn(State eState) const;
    // Handles on the rows in Downloading, top first. Kept as rows change state, so that the
    // progress tick need not walk a table of any size.
    QList<QPersistentModelIndex> downloadingRows() const;
    QVector<Chosen> checkedRows() const;

    void setState(int nRow, State eState, const QString& strStatus, const QString& strIcon);
    // Failed, with "--" for a speed; with a tooltip, the icon in Operate slot 1 offers to start
    // the task again.
    void setFailed(int nRow, const QString& strSkin, const char* szIcon, const QString& strRetryTip);
    // Back to waiting at 0 % without the retry icon. False when the row has no retry icon: a click
    // queued behind a state change is stale.
    bool requeue(int nRow, const QString& strSkin);
    void setProgress(int nRow, const QVariant& varPercent);
    void setSpeedText(int nRow, const QString& strSpeed);
    // The Speed cell's tooltip (the time left); dropped when the row leaves Downloading.
    void setSpeedTip(int nRow, const QString& strTip);

    // Keeps the rows in pHistory from now on: their states as they change, their removal. Null
    // lets rows go without touching what is stored (a shutdown keeps the tasks for the next start).
    void setHistory(CDownloadHistory* pHistory, CDownloadHistory::Kind eKind);
    CDownloadHistory* history() const { return m_pHistory; }
    // Stores the last row as entry (its task record and kind), when a history is kept.
    void storeLastRow(CDownloadHistory::Entry entry);
    // The stored row of a task row (0: none).
    void setHistoryId(int nRow, qint64 nId);
    qint64 historyId(int nRow) const;
    // The percent its bar shows, 0 to 100.
    int percent(int nRow) const;
    // The bytes a row has, by its size and its percent.
    qint64 bytesDone(int nRow) const;

    void removeRow(int nRow);
    // Removes nCount rows from nRow in one model call (row by row from the top, the model's cost
    // grows with the rows already removed); returns their task indexes, top first.
    QList<int> takeRows(int nRow, int nCount);

    static const QString kNoValue;

private:
    QStandardItemModel* m_pModel;
    Columns m_columns;
    QPointer<CDownloadHistory> m_pHistory;
    CDownloadHistory::Kind m_eKind = CDownloadHistory::Record;
    // Rows removed since leave invalid handles behind, dropped at the next read or change.
    mutable QList<QPersistentModelIndex> m_listDownloading;
};
