#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QtGlobal>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

#include "QDownloadListBase.h"

class QModelIndex;
class CDoneTableModel;
class CDoneTaskList;
class CDownloadHistory;

namespace ORBGUI {
class OrbTableView;
}

namespace Ui {
class DownloadDoneWidget;
}

// The "Done" page: shows the finished downloads of its CDoneTaskList, newest at the top, and
// hands the user's requests to it. Both delete paths ask first, and a finished task may arrive
// while the question is open, so rows are kept as persistent indexes across it.
class QDownloadDoneWidget : public QDownloadListBase
{
    Q_OBJECT

public:
    explicit QDownloadDoneWidget(QWidget* parent = nullptr);
    ~QDownloadDoneWidget() override;

    // Shows the stored rows and keeps every change from now on; call once, on an empty list.
    void attachHistory(CDownloadHistory* pHistory);
    // Removes every row and reports 0.
    void clearDoneList();
    // Titles the Shop column with the product name.
    void setProductName(const QString& strName) override;

    // How long a download took, as the "Done time" column shows it (CDoneTableModel::durationText).
    static QString durationText(qint64 nSeconds);

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
    // The rows still there, of those followed across a question.
    static QVector<int> rowsOf(const QList<QPersistentModelIndex>& listRows);
    void initTableView();
    // Gives the model the delete icon of the current skin; loaded once per skin, rows share it.
    void updateDeleteIcon();

    Ui::DownloadDoneWidget* ui = nullptr;
    ORBGUI::OrbTableView* m_pTableView = nullptr;
    CDoneTaskList* m_pList = nullptr;
    CDoneTableModel* m_pModel = nullptr;
    QString m_strIconSkin;
    bool m_bIconLoaded = false;
};
