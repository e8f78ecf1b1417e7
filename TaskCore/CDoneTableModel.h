#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <QtGlobal>

#include "CDoneTaskValue.h"
#include "CTaskTableModel.h"

// The "Done" table over the rows of a CDoneTaskList, which owns them and announces each change.
// Nothing is stored per cell: every text is made from the row when asked, so a restored list of
// thousands of rows costs its rows only. The check boxes tick the rows themselves.
class CDoneTableModel : public CTaskTableModel
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
        ColumnDoneTime,
        ColumnOperate,
        ColumnCount
    };

    explicit CDoneTableModel(QVector<CDoneTaskValue>& vecTasks, QObject* parent = nullptr);

    // The delete icon every row shows. The widget builds it from the skin's images, which the
    // core cannot load; a new one repaints the Operate column.
    void setDeleteIcon(const QVariant& varIcon);

    // How long a download took, as the "Done time" column shows it: "1Hour1Minute1Seconds",
    // "1Minute0Seconds", "59Seconds"; a negative span is shown as it is ("-5Seconds").
    static QString durationText(qint64 nSeconds);

protected:
    int rows() const override;
    QVariant cell(int nRow, int nColumn, int nRole) const override;
    bool isChecked(int nRow) const override;
    void setChecked(int nRow, bool bChecked) override;

private:
    static QVariant nameCell(const CDoneTaskValue& task, int nRole);
    static QVariant sizeCell(const CDoneTaskValue& task, int nRole);
    QVariant operateCell(int nRole) const;
    // The text of a plain column.
    static QString text(const CDoneTaskValue& task, int nColumn);

    QVector<CDoneTaskValue>& m_vecTasks;
    QVariant m_varDeleteIcon;
};
