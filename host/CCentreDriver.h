#pragma once

#include <QString>
#include <QVariant>
#include "CPicTableModel.h"
#include "CRecordTableModel.h"
#include "CTaskTypes.h"

#include <functional>

#include <orbgui/OrbItemDataRole.h>

class QAbstractItemView;
class QMenu;
class QWebEngineView;
class QWidget;

// Finds the download centre's widgets inside the client's content area and works them as a
// user would: buttons are clicked, icons in table cells are clicked with the mouse, the web page
// is clicked where its buttons are. Knows the lists only as any user of the GUI kit does: by
// their widget names, columns and item roles.
class CCentreDriver
{
public:
    // Columns and roles of the lists that the tour reads.
    static constexpr int kRecordPercentColumn = CRecordTableModel::ColumnPercent;
    static constexpr int kRecordStatusColumn = CRecordTableModel::ColumnStatus;
    static constexpr int kRecordOperateColumn = CRecordTableModel::ColumnOperate;
    static constexpr int kPicStatusColumn = CPicTableModel::ColumnStatus;
    static constexpr int kProgressValueRole = CTaskTypes::ProgressValueRole;
    static constexpr int kContinueIconRole = ORBGUI::struTreeViewData::PixmapRole1;
    static constexpr int kSpeedIconRole = ORBGUI::struTreeViewData::PixmapRole2;
    // Task states under Qt::UserRole of a Status cell.
    static constexpr int kStateWaiting = CTaskTypes::Waiting;
    static constexpr int kStateDownloading = CTaskTypes::Downloading;
    static constexpr int kStateFailed = CTaskTypes::Failed;

    explicit CCentreDriver(QWidget* pContentArea);

    // The download centre window, when one is embedded.
    QWidget* centre() const;
    bool isShown() const;

    QAbstractItemView* recordTable() const;
    QAbstractItemView* pictureTable() const;
    QAbstractItemView* doneTable() const;
    static int rowCount(const QAbstractItemView* pView);
    static QVariant cell(const QAbstractItemView* pView, int nRow, int nColumn, int nRole = Qt::DisplayRole);
    // Rows of the record table in a state.
    int recordRowsIn(int nState) const;
    // The first record row whose column 1 (file name) is strFileName, or -1.
    int recordRow(const QString& strFileName) const;

    // Clicks a button of the window by its name; false when there is none.
    bool clickButton(const QString& strName) const;
    // Clicks the icon of a cell's slot with the mouse; false when the slot shows no icon.
    static bool clickIcon(QAbstractItemView* pView, int nRow, int nColumn, int nRole);
    // Right-clicks a row's file name; the context menu that opens, or nullptr.
    static QMenu* openRowMenu(QAbstractItemView* pView, int nRow);

    QWebEngineView* webView() const;
    // Runs JavaScript in the page and returns its result; invalid when the page did not answer.
    QVariant evaluate(const QString& strScript, int nTimeoutMs) const;
    // Clicks, with the mouse, the first element of the page that strSelector finds; false when
    // the page has no such element on screen.
    bool clickInPage(const QString& strSelector, int nTimeoutMs) const;

    // Lets the event loop run until fnDone answers true (true) or nTimeoutMs have passed (false).
    static bool waitUntil(const std::function<bool()>& fnDone, int nTimeoutMs);

private:
    QWidget* child(const char* pClassName) const;
    static void click(QWidget* pTarget, const QPoint& pos);

    QWidget* m_pContentArea = nullptr;
};
