#pragma once

#include "CPicTask.h"
#include "CTaskRows.h"
#include "CTaskTableModel.h"

// The picture table over the picture list's tasks.
class CPicTableModel : public CTaskTableModel
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

    CPicTableModel(CTaskRows<CPicTask>& rows, QObject* parent);

protected:
    int rows() const override;
    QVariant cell(int nRow, int nColumn, int nRole) const override;
    bool isChecked(int nRow) const override;
    void setChecked(int nRow, bool bChecked) override;

private:
    CTaskRows<CPicTask>& m_rows;
};
