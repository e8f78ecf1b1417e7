#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QSet>
#include <QString>

class QWidget;
class CRecordDownloadManager;
class CTaskTable;

// The ways record rows leave the "Downloading" page before they finish: the delete icon, the
// Delete button, a deleted device and the shutdown. Each stop is followed by a wait that runs
// the event loop, so the walks read a row's state when they reach it and find their place again
// through persistent indexes. Questions are asked over the page, and texts are translated under
// the page's name, where the translators find them. A child of the page: when the page goes
// during a wait, the walk sees itself gone and returns at once.
class CRecordRemoval : public QObject
{
    Q_OBJECT

public:
    CRecordRemoval(CTaskTable& table, CRecordDownloadManager* pManager, QWidget* pPage);

    // The delete icon of a row: one question, then the task the user clicked goes.
    void deleteTask(int nRow);
    // The Delete button while the record table shows, on the rows checked when it was pressed.
    void deleteChecked();
    // Shutdown: every row goes except a started one the engine no longer lists. The tasks are
    // given up, their files kept for the next start.
    void removeAll();
    // A deleted device: its started and failed tasks at the notice go, then the queue steps;
    // waiting ones stay.
    void removeDevice(const QString& strDeviceId);

signals:
    // A running task went: the queue may start the next waiting one.
    void sgnSlotFreed();
    void sgnRowsChanged();

private:
    // When the file of a stopped task is deleted.
    enum class FileRule
    {
        DeleteFile,
        KeepFile
    };

    // Removes the row, then disposes of its engine task; with bStop it is stopped first and its
    // file deleted as eFile says after the stop wait. False when the page was destroyed during
    // that wait: the caller must return at once.
    bool removeTask(int nRow, bool bStop, FileRule eFile);
    // Removes nCount adjacent rows that go without a stop in one step, then disposes of their
    // tasks, top to bottom.
    void removeRun(int nRow, int nCount);
    // Row where a top-down walk goes on after a wait: the rows it passed and left in place are
    // the only ones above it, since rows are only ever appended.
    int resumeWalk(const QPersistentModelIndex& lastPassed, const QSet<int>& setPassed) const;
    bool isListedByEngine(int nTaskIndex) const;

    CTaskTable& m_table;
    CRecordDownloadManager* m_pManager;
    QWidget* m_pPage;
};
