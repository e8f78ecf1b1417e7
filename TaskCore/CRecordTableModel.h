#pragma once

#include "CRecordTask.h"
#include "CTaskRows.h"
#include "CTaskTableModel.h"

// The record table over the record list's tasks: one row a task, the columns below. Answers the
// roles the view, the delegate and screen readers read; holds nothing of its own.
class CRecordTableModel : public CTaskTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnCheck = CTaskTableModel::ColumnCheck,
        ColumnFileName = CTaskTableModel::ColumnFileName,
        ColumnChannel,
        ColumnShop,
        ColumnBeginTime,
        ColumnEndTime,
        ColumnFileSize,
        ColumnPercent,
        ColumnSpeed,
        ColumnStatus,
        ColumnOperate,
        ColumnCount
    };

    CRecordTableModel(CTaskRows<CRecordTask>& rows, QObject* parent);

protected:
    int rows() const override;
    QVariant cell(int nRow, int nColumn, int nRole) const override;
    bool isChecked(int nRow) const override;
    void setChecked(int nRow, bool bChecked) override;

private:
    QVariant operateCell(const CRecordTask& task, int nRole) const;

    CTaskRows<CRecordTask>& m_rows;
};
