#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

#include "CDownloadHistory.h"
#include "QDownloadListBase.h"

class QModelIndex;
class CDownloadHistory;
class QStandardItem;
class QStandardItemModel;

namespace ORBGUI {
class OrbTableView;
}

namespace Ui {
class DownloadDoneWidget;
}

// The "Done" page: finished record and picture downloads, newest at the top. With a history the
// list is kept across restarts, removals included; removing a row never touches a file. Both delete paths ask
// first, and a finished task may arrive while the question is open, so rows are kept as persistent indexes
// across it.
class QDownloadDoneWidget : public QDownloadListBase
{
    Q_OBJECT

public:
    enum DoneColumn
    {
        DoneColumnCheck = 0,
        DoneColumnFileName,
        DoneColumnChannel,
        DoneColumnShop,
        DoneColumnBeginTime,
        DoneColumnEndTime,
        DoneColumnFileSize,
        DoneColumnDoneTime,
        DoneColumnOperate,
        DoneColumnCount
    };

    explicit QDownloadDoneWidget(QWidget* parent = nullptr);
    ~QDownloadDoneWidget() override;

    // Shows the stored rows and keeps every change from now on; call once, on an empty list.
    void attachHistory(CDownloadHistory* pHistory);
    // Removes every row and reports 0.
    void clearDoneList();
    // Titles column 3 with the product name.
    void setProductName(const QString& strName) override;

    // How long a download took, as the "Done time" column shows it: "1Hour1Minute1Seconds",
    // "1Minute0Seconds", "59Seconds"; a negative span is shown as it is ("-5Seconds").
    static QString durationText(qint32 nSeconds);

signals:
    void sgnDoneItemNumChanged(int nNum);

public slots:
    void onDownloadFinished(const DownloadInfo& task);
    void onPicDownloadFinished(const DownloadPicInfo& taskInfo);
    void onPixmapItemClicked(const QModelIndex& modelIndex,
                             ORBGUI::struTreeViewData::OrbItemDataRole eDateRole);
    void onDelete();
    void onOpenFolder();

protected:
    void fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index) override;
    void openFolder() override;
    void deleteChecked() override;
    void activateRow(ORBGUI::OrbTableView* pView, const QModelIndex& index) override;

private:
    static QString filePath(const QModelIndex& index);
    void initTableView();
    QList<QStandardItem*> recordCells(const DownloadInfo& task, qint32 nSeconds);
    QList<QStandardItem*> pictureCells(const DownloadPicInfo& taskInfo, qint32 nSeconds);
    // Adds the check box (with the stored row's id) and the delete icon to a finished task's cells.
    QList<QStandardItem*> completeRow(QList<QStandardItem*> listCells, qint64 nStoredId,
                                      const QVariant& varDeleteIcon);
    // Puts a finished task at the top, storing it first.
    void insertRowAtTop(QList<QStandardItem*> listCells, const CDownloadHistory::Entry& entry);
    // Forgets the stored copies of rows about to go.
    void forgetStored(const QList<QPersistentModelIndex>& listRows);
    // The delete icon of the current skin; loaded once per skin, rows share the pixmaps.
    QVariant deleteIcon();

    Ui::DownloadDoneWidget* ui = nullptr;
    ORBGUI::OrbTableView* m_pTableView = nullptr;
    QStandardItemModel* m_pModel = nullptr;
    QString m_strIconSkin;
    QVariant m_varDeleteIcon;
    QPointer<CDownloadHistory> m_pHistory;
};
