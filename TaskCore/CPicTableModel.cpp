#include "CPicTableModel.h"

#include <QCoreApplication>

#include "CDownloadTextFormat.h"

namespace {

QVector<CTaskTableModel::Section> sections()
{
    const auto title = [](const char* szTitle) {
        return QCoreApplication::translate("QDownloadingWidget", szTitle);
    };
    return {{QString(), 32},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "File name")), 246},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Begin time")), 146},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "End time")), 146},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "File Size")), 100},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Percent")), 96},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Speed")), 80},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Status")), 100},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Operate")), 60}};
}

}  // namespace

CPicTableModel::CPicTableModel(CTaskRows<CPicTaskValue>& rows, QObject* parent)
    : CTaskRowsModel(sections(), rows, parent)
{
}

QVariant CPicTableModel::cell(int nRow, int nColumn, int nRole) const
{
    const CPicTaskValue& task = this->task(nRow);
    const bool bText = nRole == Qt::DisplayRole;
    switch (nColumn) {
        case ColumnCheck:
            return checkCell(task, nRole);
        case ColumnFileName:
            return bText ? QVariant(task.picture.strFileName) : QVariant();
        case ColumnBeginTime:
            return bText ? QVariant(task.picture.strBeginTime) : QVariant();
        case ColumnEndTime:
            return endTimeCell(task.picture.strBeginTime, task.picture.strEndTime, nRole);
        case ColumnFileSize:
            // Known once the engine has the package.
            return !bText           ? QVariant()
                   : task.nSize < 0 ? QStringLiteral("--")
                                    : CDownloadTextFormat::sizeText(task.nSize);
        case ColumnPercent:
            return progressCell(task.eState, task.nPercent, nRole);
        case ColumnSpeed:
            return speedCell(task.strSpeed, task.strTimeLeft, nRole);
        case ColumnStatus:
            return statusCell(task.eState, false, false, nRole);
        case ColumnOperate:
            return removeOrRetryIcon(task.bRetry, QT_TRANSLATE_NOOP("QDownloadingWidget", "Re-download"),
                                     nRole);
        default:
            return QVariant();
    }
}
