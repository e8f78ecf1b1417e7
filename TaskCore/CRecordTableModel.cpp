#include "CRecordTableModel.h"

#include <QCoreApplication>

#include <orbgui/OrbItemDataRole.h>

#include "CDownloadTextFormat.h"

using Role = ORBGUI::struTreeViewData;

namespace {

QVector<CTaskTableModel::Section> sections()
{
    const auto title = [](const char* szTitle) {
        return QCoreApplication::translate("QDownloadingWidget", szTitle);
    };
    // Operate holds up to three icons: delete, continue and speed.
    return {{QString(), 32},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "File name")), 146},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Channel")), 72},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Shop")), 72},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Begin time")), 140},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "End time")), 140},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "File Size")), 100},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Percent")), 96},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Speed")), 75},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Status")), 95},
            {title(QT_TRANSLATE_NOOP("QDownloadingWidget", "Operate")), 80}};
}

}  // namespace

CRecordTableModel::CRecordTableModel(CTaskRows<CRecordTaskValue>& rows, QObject* parent)
    : CTaskRowsModel(sections(), rows, parent)
{
}

QVariant CRecordTableModel::cell(int nRow, int nColumn, int nRole) const
{
    const CRecordTaskValue& task = this->task(nRow);
    const bool bText = nRole == Qt::DisplayRole;
    switch (nColumn) {
        case ColumnCheck:
            return checkCell(task, nRole);
        case ColumnFileName:
            return bText                               ? QVariant(task.strFileName)
                   : nRole == CTaskTypes::FilePathRole ? QVariant(task.strFilePath)
                                                       : QVariant();
        case ColumnChannel:
            return bText ? QVariant(task.strChannelName) : QVariant();
        case ColumnShop:
            return bText ? QVariant(task.strShopName) : QVariant();
        case ColumnBeginTime:
            return bText ? QVariant(QString::fromStdString(task.strBeginTime)) : QVariant();
        case ColumnEndTime:
            return endTimeCell(QString::fromStdString(task.strBeginTime),
                               QString::fromStdString(task.strEndTime), nRole);
        case ColumnFileSize:
            if (bText) {
                return task.bSizeUnknown ? QCoreApplication::translate("QDownloadingWidget", "unkown size")
                                         : CDownloadTextFormat::sizeText(task.total());
            }
            return nRole == Qt::UserRole      ? QVariant(task.total())
                   : nRole == Qt::ToolTipRole ? bytesTip(task.total())
                                              : QVariant();
        case ColumnPercent:
            return progressCell(task.eState, task.nPercent, nRole);
        case ColumnSpeed:
            return speedCell(task.strSpeed, task.strTimeLeft, nRole);
        case ColumnStatus:
            return statusCell(task.eState, task.bDecoding, task.bRefused, nRole);
        case ColumnOperate:
            return operateCell(task, nRole);
        default:
            return QVariant();
    }
}

QVariant CRecordTableModel::operateCell(const CRecordTaskValue& task, int nRole) const
{
    switch (nRole) {
        case Role::PixmapRole2:
            return task.bSpeedIcon ? icons().speed(task.nSpeed) : QVariant();
        case Role::PixmapToolTipRole2:
            return task.bSpeedTip
                       ? QVariant(QCoreApplication::translate("QDownloadingWidget", "Speed-download"))
                       : QVariant();
        case Qt::UserRole:
            return task.nSpeed > 0 ? QVariant(int(task.nSpeed)) : QVariant();
        default:
            return removeOrRetryIcon(task.bRetry, QT_TRANSLATE_NOOP("QDownloadingWidget", "Contiue-download"),
                                     nRole);
    }
}
