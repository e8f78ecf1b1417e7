#pragma once

#include "CPicTaskValue.h"
#include "CTaskRowsModel.h"

// The picture table over the picture list's tasks.
class CPicTableModel : public CTaskRowsModel<CPicTaskValue>
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnCheck = CTaskTableModel::ColumnCheck,
        ColumnFileName = CTaskTableModel::ColumnFileName,
        ColumnBeginTime,
        ColumnEndTime,
        ColumnFileSize,
        ColumnPercent,
        ColumnSpeed,
        ColumnStatus,
        ColumnOperate,
        ColumnCount
    };

    CPicTableModel(CTaskRows<CPicTaskValue>& rows, QObject* parent);

protected:
    QVariant cell(int nRow, int nColumn, int nRole) const override;
};
