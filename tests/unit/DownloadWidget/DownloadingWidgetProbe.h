#pragma once

#include <QList>
#include <QSettings>
#include <QStandardItemModel>
#include <QString>
#include <QVariant>

#include <downloadengine/DownloadInfo.h>
#include <hostservices/ClientSettings.h>
#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbPushButton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CDownloadCenterTableDelegate.h"
#include "QDownloadingWidget.h"

// Reads a QDownloadingWidget the way a user or the window sees it: through its tables' models.
// Rows are addressed by task index, as the widget itself does.
namespace probe {

using Role = ORBGUI::struTreeViewData;

inline ORBGUI::OrbTableView* recordView(const QDownloadingWidget& widget)
{
    return widget.findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"));
}

inline ORBGUI::OrbTableView* picView(const QDownloadingWidget& widget)
{
    return widget.findChild<ORBGUI::OrbTableView*>(QStringLiteral("tablePicDownloadingList"));
}

inline QStandardItemModel* recordModel(const QDownloadingWidget& widget)
{
    return qobject_cast<QStandardItemModel*>(recordView(widget)->model());
}

inline QStandardItemModel* picModel(const QDownloadingWidget& widget)
{
    return qobject_cast<QStandardItemModel*>(picView(widget)->model());
}

// Task indexes of the record rows, top to bottom.
inline QList<int> recordTasks(const QDownloadingWidget& widget)
{
    QList<int> listTasks;
    const QStandardItemModel* pModel = recordModel(widget);
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        listTasks.append(pModel->index(nRow, 0).data(Qt::UserRole).toInt());
    }
    return listTasks;
}

inline int recordRow(const QDownloadingWidget& widget, int nTask)
{
    return recordTasks(widget).indexOf(nTask);
}

// A cell of the task's record row; an invalid index when the task has no row.
inline QModelIndex recordCell(const QDownloadingWidget& widget, int nTask, int nColumn)
{
    const int nRow = recordRow(widget, nTask);
    return nRow < 0 ? QModelIndex() : recordModel(widget)->index(nRow, nColumn);
}

inline QVariant recordData(const QDownloadingWidget& widget, int nTask, int nColumn,
                           int nRole = Qt::DisplayRole)
{
    return recordCell(widget, nTask, nColumn).data(nRole);
}

inline int state(const QDownloadingWidget& widget, int nTask)
{
    return recordData(widget, nTask, QDownloadingWidget::RecordColumnStatus, Qt::UserRole).toInt();
}

inline QString statusText(const QDownloadingWidget& widget, int nTask)
{
    return recordData(widget, nTask, QDownloadingWidget::RecordColumnStatus).toString();
}

inline QString speedText(const QDownloadingWidget& widget, int nTask)
{
    return recordData(widget, nTask, QDownloadingWidget::RecordColumnSpeed).toString();
}

inline ORBGUI::ItemPixmapValue icon(const QModelIndex& index, int nRole)
{
    return index.data(nRole).value<ORBGUI::ItemPixmapValue>();
}

// The path of a skin image as the widget stores it.
inline QString skinImage(const QString& strFile)
{
    return QStringLiteral("./Skin/%1/DownloadApp/%2").arg(ORBGUI::GetSkinVersion(), strFile);
}

// The image of icon slot 0 of the task's Status cell.
inline QString statusIcon(const QDownloadingWidget& widget, int nTask)
{
    return icon(recordCell(widget, nTask, QDownloadingWidget::RecordColumnStatus), Role::PixmapRole0)
        .value(ORBGUI::ItemPixmapValue::Normal)
        .toString();
}

inline QString speedIcon(const QDownloadingWidget& widget, int nTask)
{
    return icon(recordCell(widget, nTask, QDownloadingWidget::RecordColumnOperate), Role::PixmapRole2)
        .value(ORBGUI::ItemPixmapValue::Normal)
        .toString();
}

// Clicks icon slot eRole of the task's Operate cell, as the record view reports it.
inline void clickOperateIcon(const QDownloadingWidget& widget, int nTask, Role::OrbItemDataRole eRole)
{
    emit recordView(widget)->SignalPixmapClicked(
        recordCell(widget, nTask, QDownloadingWidget::RecordColumnOperate), eRole);
}

inline DownloadInfo recordTask(const QString& strFileName, int nSourceKind = 0, int nDownloadMode = 0,
                               qint64 nFileSize = 1536)
{
    DownloadInfo info;
    info.strFileName = strFileName;
    info.strChannelName = QStringLiteral("Channel of ") + strFileName;
    info.strShopName = QStringLiteral("Shop of ") + strFileName;
    info.strDeviceId = QStringLiteral("device-1");
    info.nSourceKind = nSourceKind;
    info.nDownloadMode = nDownloadMode;
    info.stRecordFile.strBeginTime = "2024-03-01 08:00:00";
    info.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    info.stRecordFile.nFileSize = nFileSize;
    return info;
}

// Picture rows, addressed by task index like the record rows.
inline QList<int> picTasks(const QDownloadingWidget& widget)
{
    QList<int> listTasks;
    const QStandardItemModel* pModel = picModel(widget);
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        listTasks.append(pModel->index(nRow, 0).data(Qt::UserRole).toInt());
    }
    return listTasks;
}

inline QModelIndex picCell(const QDownloadingWidget& widget, int nTask, int nColumn)
{
    const int nRow = picTasks(widget).indexOf(nTask);
    return nRow < 0 ? QModelIndex() : picModel(widget)->index(nRow, nColumn);
}

inline QVariant picData(const QDownloadingWidget& widget, int nTask, int nColumn, int nRole = Qt::DisplayRole)
{
    return picCell(widget, nTask, nColumn).data(nRole);
}

inline int picState(const QDownloadingWidget& widget, int nTask)
{
    return picData(widget, nTask, QDownloadingWidget::PicColumnStatus, Qt::UserRole).toInt();
}

inline QString picStatusText(const QDownloadingWidget& widget, int nTask)
{
    return picData(widget, nTask, QDownloadingWidget::PicColumnStatus).toString();
}

inline QString picStatusIcon(const QDownloadingWidget& widget, int nTask)
{
    return icon(picCell(widget, nTask, QDownloadingWidget::PicColumnStatus), Role::PixmapRole0)
        .value(ORBGUI::ItemPixmapValue::Normal)
        .toString();
}

inline int picPercent(const QDownloadingWidget& widget, int nTask)
{
    return picData(widget, nTask, QDownloadingWidget::PicColumnPercent,
                   CDownloadCenterTableDelegate::ProgressValueRole)
        .toInt();
}

// Clicks icon slot eRole of the picture's Operate cell, as the picture view reports it.
inline void clickPicOperateIcon(const QDownloadingWidget& widget, int nTask, Role::OrbItemDataRole eRole)
{
    emit picView(widget)->SignalPixmapClicked(picCell(widget, nTask, QDownloadingWidget::PicColumnOperate),
                                              eRole);
}

inline DownloadPicInfo picTask(const QString& strFileName, const QString& strNotifyText = QString())
{
    DownloadPicInfo info;
    info.strDeviceId = QStringLiteral("device-1");
    info.strFileName = strFileName;
    info.strBeginTime = QStringLiteral("2024-03-01 08:00:00");
    info.strEndTime = QStringLiteral("2024-03-01 09:00:00");
    info.strNotifyText = strNotifyText;
    return info;
}

// Checks (or unchecks) column 0 of a row, as a click on its box does.
inline void setChecked(QStandardItemModel* pModel, int nRow, bool bChecked = true)
{
    pModel->setData(pModel->index(nRow, 0), bChecked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

// Presses "Delete" above the tables.
inline void pressDelete(const QDownloadingWidget& widget)
{
    widget.findChild<ORBGUI::OrbPushButton*>(QStringLiteral("btnDelete"))->click();
}

// Writes a key of the client's settings file; an invalid value removes it.
inline void setClientSetting(const QString& strKey, const QVariant& varValue)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    if (varValue.isValid()) {
        settings.setValue(strKey, varValue);
    } else {
        settings.remove(strKey);
    }
    settings.sync();
}

inline void setOpenOSD(bool bOpen)
{
    setClientSetting(QStringLiteral("Base/OpenOSD"), bOpen);
}

}  // namespace probe
