#include "CDoneTableModel.h"

#include <limits>

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

#include <orbgui/OrbItemDataRole.h>

#include "CDownloadTextFormat.h"

namespace {

// The texts keep the context they have always been translated in: the list's widget.
const char* const kContext = "QDownloadDoneWidget";
const QString kNoValue = QStringLiteral("--");

QVector<CTaskTableModel::Section> sections()
{
    const char* const szTitles[] = {
        "",
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "File name"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "Channel"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "Shop"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "Begin time"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "End time"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "File Size"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "Done time"),
        QT_TRANSLATE_NOOP("QDownloadDoneWidget", "Operate"),
    };
    const int nWidths[] = {32, 180, 110, 110, 180, 180, 100, 150, 70};
    QVector<CTaskTableModel::Section> vecSections;
    for (int nColumn = 0; nColumn < CDoneTableModel::ColumnCount; ++nColumn) {
        vecSections.append({nColumn == CDoneTableModel::ColumnCheck
                                ? QString()
                                : QCoreApplication::translate(kContext, szTitles[nColumn]),
                            nWidths[nColumn]});
    }
    return vecSections;
}

// An empty text reads as none, as the kit's own cells have it.
QVariant shown(const QString& strText)
{
    return strText.isEmpty() ? QVariant() : QVariant(strText);
}

bool isText(int nRole)
{
    return nRole == Qt::DisplayRole || nRole == Qt::EditRole;
}

}  // namespace

CDoneTableModel::CDoneTableModel(QVector<CDoneTaskValue>& vecTasks, QObject* parent)
    : CTaskTableModel(sections(), parent), m_vecTasks(vecTasks)
{
}

void CDoneTableModel::setDeleteIcon(const QVariant& varIcon)
{
    m_varDeleteIcon = varIcon;
    if (rows() > 0) {
        changed(0, rows() - 1, ColumnOperate, ColumnOperate);
    }
}

QString CDoneTableModel::durationText(qint64 nSeconds)
{
    // Each count is the n of its own text, so that a translation gives it its plural form and the
    // language's digits; a negative span keeps its sign in front.
    const qint64 nSpan =
        nSeconds == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max() : qAbs(nSeconds);
    const int nHours = static_cast<int>(qMin<qint64>(nSpan / 3600, std::numeric_limits<int>::max()));
    const int nMinutes = static_cast<int>(nSpan % 3600 / 60);
    QString strText = nSeconds < 0 ? QLocale().negativeSign() : QString();
    if (nSpan >= 3600) {
        strText += QCoreApplication::translate("QDownloadDoneWidget", "%LnHour", nullptr, nHours);
    }
    if (nSpan >= 60) {
        strText += QCoreApplication::translate("QDownloadDoneWidget", "%LnMinute", nullptr, nMinutes);
    }
    const int nRest = static_cast<int>(nSpan % 60);
    return strText + QCoreApplication::translate("QDownloadDoneWidget", "%LnSeconds", nullptr, nRest);
}

int CDoneTableModel::rows() const
{
    return m_vecTasks.size();
}

QVariant CDoneTableModel::cell(int nRow, int nColumn, int nRole) const
{
    const CDoneTaskValue& task = m_vecTasks.at(nRow);
    switch (nColumn) {
        case ColumnCheck:
            return nRole == CTaskTypes::StoredIdRole && task.entry.nId > 0 ? QVariant(task.entry.nId)
                                                                           : QVariant();
        case ColumnFileName:
            return nameCell(task, nRole);
        case ColumnFileSize:
            return sizeCell(task, nRole);
        case ColumnOperate:
            return operateCell(nRole);
        case ColumnEndTime:
            return endTimeCell(text(task, ColumnBeginTime), text(task, ColumnEndTime), nRole);
        default:
            return isText(nRole) ? shown(text(task, nColumn)) : QVariant();
    }
}

bool CDoneTableModel::isChecked(int nRow) const
{
    return m_vecTasks.at(nRow).bChecked;
}

void CDoneTableModel::setChecked(int nRow, bool bChecked)
{
    m_vecTasks[nRow].bChecked = bChecked;
}

QVariant CDoneTableModel::nameCell(const CDoneTaskValue& task, int nRole)
{
    // A record knows where its file is: kept for opening it, and shown for a name cut short. A
    // picture package does not.
    const QString strPath = task.isPicture() ? QString() : task.entry.record.strFilePath;
    switch (nRole) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return shown(task.isPicture() ? task.entry.picture.strFileName : task.entry.record.strFileName);
        case Qt::UserRole:
        case CTaskTypes::FilePathRole:
            return shown(strPath);
        case Qt::ToolTipRole:
            return shown(QDir::toNativeSeparators(strPath));
        default:
            return QVariant();
    }
}

QVariant CDoneTableModel::sizeCell(const CDoneTaskValue& task, int nRole)
{
    // A picture package always knows its size, even when it is 0.
    const qint64 nBytes =
        task.isPicture() ? task.entry.picture.nFileSize : task.entry.record.stRecordFile.nFileSize;
    switch (nRole) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return !task.isPicture() && CDownloadTextFormat::isRecordSizeUnknown(task.entry.record)
                       ? QCoreApplication::translate("QDownloadDoneWidget", "unkown size")
                       : CDownloadTextFormat::sizeText(nBytes);
        case Qt::UserRole:
            return nBytes;
        case Qt::ToolTipRole:
            return bytesTip(nBytes);
        default:
            return QVariant();
    }
}

QVariant CDoneTableModel::operateCell(int nRole) const
{
    switch (nRole) {
        case ORBGUI::struTreeViewData::PixmapRole0:
            return m_varDeleteIcon;
        case ORBGUI::struTreeViewData::PixmapToolTipRole0:
            return QCoreApplication::translate("QDownloadDoneWidget", "delete");
        default:
            return QVariant();
    }
}

QString CDoneTableModel::text(const CDoneTaskValue& task, int nColumn)
{
    const DownloadInfo& record = task.entry.record;
    const DownloadPicInfo& picture = task.entry.picture;
    switch (nColumn) {
        case ColumnChannel:
            return task.isPicture() ? kNoValue : record.strChannelName;
        case ColumnShop:
            return task.isPicture() ? kNoValue : record.strShopName;
        case ColumnBeginTime:
            return task.isPicture() ? picture.strBeginTime
                                    : QString::fromStdString(record.stRecordFile.strBeginTime);
        case ColumnEndTime:
            return task.isPicture() ? picture.strEndTime
                                    : QString::fromStdString(record.stRecordFile.strEndTime);
        case ColumnDoneTime:
            return durationText(task.entry.nSeconds);
        default:
            return QString();
    }
}
