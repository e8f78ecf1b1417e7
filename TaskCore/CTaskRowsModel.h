#pragma once

#include "CTaskRows.h"
#include "CTaskTableModel.h"

// A downloading table over a list's rows: the row count, the check boxes and the check cell
// (the task index, and the id of its stored copy) are alike for records and pictures.
template <class Task>
class CTaskRowsModel : public CTaskTableModel
{
public:
    CTaskRowsModel(const QVector<Section>& vecSections, CTaskRows<Task>& rows, QObject* parent)
        : CTaskTableModel(vecSections, parent), m_rows(rows)
    {
    }

protected:
    int rows() const override { return m_rows.count(); }
    bool isChecked(int nRow) const override { return m_rows.at(nRow).bChecked; }
    void setChecked(int nRow, bool bChecked) override { m_rows.at(nRow).bChecked = bChecked; }

    const Task& task(int nRow) const { return m_rows.at(nRow); }
    static QVariant checkCell(const Task& task, int nRole)
    {
        if (nRole == Qt::UserRole) {
            return task.nTaskIndex;
        }
        return nRole == CTaskTypes::StoredIdRole && task.nStoredId > 0 ? QVariant(task.nStoredId)
                                                                       : QVariant();
    }

private:
    CTaskRows<Task>& m_rows;
};
