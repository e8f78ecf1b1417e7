#pragma once

#include "CRecordTaskValue.h"
#include "CTaskRowsModel.h"

// The record table over the record list's tasks: one row a task, the columns below. Answers the
// roles the view, the delegate and screen readers read; holds nothing of its own.
class CRecordTableModel : public CTaskRowsModel<CRecordTaskValue>
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

    CRecordTableModel(CTaskRows<CRecordTaskValue>& rows, QObject* parent);

protected:
    QVariant cell(int nRow, int nColumn, int nRole) const override;

private:
    QVariant operateCell(const CRecordTaskValue& task, int nRole) const;
};
