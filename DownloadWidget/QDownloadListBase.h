#pragma once

#include <QString>
#include <QWidget>

class QMenu;
class QModelIndex;
class QPaintEvent;
class QShowEvent;

namespace ORBGUI {
class OrbTableView;
}

// What the two lists share: a skinned background, the product name in a column title, taken
// up again from the client's settings whenever the list is shown, and the rows' context menu.
class QDownloadListBase : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Titles the list's product column with the name.
    virtual void setProductName(const QString& strName) = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // A context menu on pView's rows: what the row offers (fillRowMenu), then "Open folder" and
    // "Select all"; and keys: Space ticks the current row, Delete presses the list's Delete,
    // Enter does the row's main action. Each does what the matching icon or button does,
    // questions included.
    void enableRowActions(ORBGUI::OrbTableView* pView);
    virtual void fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index) = 0;
    virtual void openFolder() = 0;
    virtual void deleteChecked() = 0;
    // Enter on a row: open its file, or continue it.
    virtual void activateRow(ORBGUI::OrbTableView* pView, const QModelIndex& index) = 0;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    // An entry that clicks icon slot nRole of an Operate cell, named as the icon's tooltip; none
    // when the cell has no such icon.
    void addIconEntry(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& operate, int nRole);

    QString m_strProductName;
};
