#pragma once

#include <QVector>

#include <algorithm>
#include <utility>

#include "CDownloadHistory.h"
#include "CTaskTableModel.h"

// The rows of a downloading table, kept in the order tasks were added: task indexes only grow,
// so the rows are sorted by them and a task is found again by a binary search, whatever ran in
// between (a stop wait, a question, an engine notice). Every change goes through the table's
// model, so that views and persistent indexes follow.
template <class Task>
class CTaskRows
{
public:
    explicit CTaskRows(CTaskTableModel* pModel) : m_pModel(pModel) {}

    const QVector<Task>& all() const { return m_vecTasks; }
    int count() const { return m_vecTasks.size(); }
    Task& at(int nRow) { return m_vecTasks[nRow]; }
    const Task& at(int nRow) const { return m_vecTasks.at(nRow); }

    // The row of a task, or -1.
    int rowOf(int nTaskIndex) const
    {
        const int nRow = rowAfter(nTaskIndex - 1);
        return nRow < count() && m_vecTasks.at(nRow).nTaskIndex == nTaskIndex ? nRow : -1;
    }
    // The first row of a task added after nTaskIndex (count() when none).
    int rowAfter(int nTaskIndex) const
    {
        return int(std::upper_bound(m_vecTasks.cbegin(), m_vecTasks.cend(), nTaskIndex,
                                    [](int nIndex, const Task& task) { return nIndex < task.nTaskIndex; }) -
                   m_vecTasks.cbegin());
    }
    // The task of a row, or 0.
    int taskIndexAt(int nRow) const
    {
        return nRow >= 0 && nRow < count() ? m_vecTasks.at(nRow).nTaskIndex : 0;
    }
    // State of a task, or -1 when it has no row.
    int state(int nTaskIndex) const
    {
        const int nRow = rowOf(nTaskIndex);
        return nRow < 0 ? -1 : m_vecTasks.at(nRow).eState;
    }
    // The task of a row, found again, or null when it went meanwhile.
    Task* find(int nTaskIndex)
    {
        const int nRow = rowOf(nTaskIndex);
        return nRow < 0 ? nullptr : &m_vecTasks[nRow];
    }
    // A failed task that offers to start again, at 0 % without that offer now; null for a task
    // without it (a click queued behind a change of state). The engine is not told: the next
    // start of the same index restarts the task.
    Task* requeue(int nTaskIndex)
    {
        Task* pTask = find(nTaskIndex);
        if (!pTask || !pTask->bRetry) {
            return nullptr;
        }
        pTask->nPercent = 0;
        pTask->bRetry = false;
        return pTask;
    }
    QVector<int> checkedTasks() const
    {
        QVector<int> vecTasks;
        for (const Task& task : m_vecTasks) {
            if (task.bChecked) {
                vecTasks.append(task.nTaskIndex);
            }
        }
        return vecTasks;
    }

    void append(Task&& task)
    {
        m_pModel->beginAppend(1);
        m_vecTasks.append(std::move(task));
        m_pModel->endInsert();
    }
    void append(const QVector<Task>& vecNew)
    {
        if (vecNew.isEmpty()) {
            return;
        }
        m_pModel->beginAppend(vecNew.size());
        m_vecTasks += vecNew;
        m_pModel->endInsert();
    }
    // Takes out the rows given (ascending), a run of neighbours at a time.
    void remove(const QVector<int>& vecRows)
    {
        m_pModel->removeRuns(vecRows, [this](int nFirst, int nCount) { m_vecTasks.remove(nFirst, nCount); });
    }
    // Takes the rows of the tasks given (ascending) out, forgetting their stored copies; the
    // tasks that had a row.
    QVector<int> take(const QVector<int>& vecTasks, CDownloadHistory* pHistory)
    {
        QVector<int> vecRows;
        QVector<int> vecTaken;
        QList<qint64> listStored;
        for (int nTaskIndex : vecTasks) {
            const int nRow = rowOf(nTaskIndex);
            if (nRow >= 0) {
                vecRows.append(nRow);
                vecTaken.append(nTaskIndex);
                listStored.append(m_vecTasks.at(nRow).nStoredId);
            }
        }
        if (pHistory && !listStored.isEmpty()) {
            pHistory->removeTasks(listStored);
        }
        remove(vecRows);
        return vecTaken;
    }
    // Every cell between two columns of a task's row has a new value.
    void changed(int nTaskIndex, int nFirstColumn, int nLastColumn) const
    {
        const int nRow = rowOf(nTaskIndex);
        if (nRow >= 0) {
            m_pModel->changed(nRow, nRow, nFirstColumn, nLastColumn);
        }
    }

private:
    CTaskTableModel* m_pModel;
    QVector<Task> m_vecTasks;
};
