#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>

#include <downloadengine/DownloadInfo.h>

#include "CDownloadHistory.h"
#include "CRecordTaskValue.h"
#include "CTaskRows.h"
#include "CTimeLeft.h"

class CRecordDownloadManager;
class CRecordTableModel;

// The recordings not yet finished: the one owner of their tasks, and the queue that feeds them
// to the engine, at most five at once, first come first served. Whatever re-enters the event loop
// (the stop wait, an engine call) is followed by a fresh look up of the task by its index. Asks
// no question: the list shown to the user asks first, then calls here.
class CRecordTaskList : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxDownloads = 5;
    // Pause between stopping a task and acting on it, so the engine can let go of its file.
    static constexpr int kStopWaitMs = 100;

    CRecordTaskList(CRecordDownloadManager* pManager, QObject* parent);
    ~CRecordTaskList() override;

    CRecordTableModel* model() const { return m_pModel; }
    int count() const { return m_rows.count(); }
    // The task of a row, or 0.
    int taskIndexAt(int nRow) const { return m_rows.taskIndexAt(nRow); }
    // State of a task, or -1 when it has no row.
    int state(int nTaskIndex) const { return m_rows.state(nTaskIndex); }
    // The speed factor of a task (0: none shown yet).
    int speed(int nTaskIndex) const;
    QVector<int> checkedTasks() const { return m_rows.checkedTasks(); }

    // Whether the disk has room for a task (not asked of live views and picture streams).
    bool hasRoomFor(const DownloadInfo& info) const;
    // Registers a task, shows it waiting and starts it when a slot is free. Its index.
    int add(const DownloadInfo& info);
    // Brings back the stored record tasks in their old order (failed ones stay failed) and keeps
    // every task from now on; once the events already pending are handled (the window painted), it
    // starts as many as the engine takes and says so with sgnRestored.
    void attachHistory(CDownloadHistory* pHistory);
    // Log-out, while everything is alive: writes what the running tasks have, then every task
    // goes but a started one the engine no longer lists, each running one after its stop wait;
    // files and stored tasks are kept for the next start. A task that finishes or fails during
    // the waits ends as it would at any time (finished list, history). Nothing starts, and
    // nothing is added, from then on; a second call does nothing.
    void shutdown();
    bool isShutDown() const { return m_bShutDown; }

    // The queue step: starts the first waiting task from the top; a refused one fails and the
    // next is tried.
    void startNext();
    // Progress, speed and time left of the running tasks, nIntervalMs after the last refresh.
    void refresh(int nIntervalMs);
    void onStateNotify(int nTaskIndex, bool bSucceeded, const DownloadInfo& info);
    void onBeginDecode(int nTaskIndex);

    // A failed task waits again; false for a task without the continue icon (a stale click).
    bool continueTask(int nTaskIndex);
    // To nSpeed, or with 0 to the next factor as the icon steps (1x, 2x, 4x, 1x).
    void changeSpeed(int nTaskIndex, int nSpeed = 0);

    // The delete icon, once confirmed: a waiting task goes, a started or failed one the engine
    // lists is stopped and its file deleted.
    void deleteTask(int nTaskIndex);
    // The Delete button, once confirmed: the tasks checked now; with bOpenOsd waiting and failed
    // ones are stopped and their files deleted too.
    void deleteChecked(bool bOpenOsd);
    // A deleted device: its started and failed tasks go, then the queue steps; waiting ones stay.
    void removeDevice(const QString& strDeviceId);
    // Everything at once, as many as the engine counts, without file deletion or queue steps.
    void clear();
    static void waitWithEventLoop(int nMilliseconds);

signals:
    // A task finished: the engine's final record. The row is still there.
    void sgnFinished(const DownloadInfo& info);
    // A task ended, by its name as the row shows it.
    void sgnEnded(const QString& strName, bool bSucceeded);
    void sgnCountChanged();
    // The stored tasks are shown and as many started as the engine takes.
    void sgnRestored();

private:
    enum class Removal
    {
        Keep,
        Quiet,     // no stop: the engine only drops it
        Stop,      // stopped, its file kept
        StopFile,  // stopped and its file deleted
    };

    CRecordTaskValue newTask(int nTaskIndex, const DownloadInfo& info) const;
    void setState(CRecordTaskValue& task, CTaskTypes::State eState);
    void fail(CRecordTaskValue& task, bool bRefused);
    // Shows (bShow) or hides the speed icon at nSpeed.
    void setSpeedIcon(CRecordTaskValue& task, int nSpeed, bool bShow);
    bool isListedByEngine(int nTaskIndex) const;
    // Removes the tasks given (ascending) as fnRule says, top to bottom: the quiet ones gathered
    // and taken out together before each stop. Counts the running ones stopped. False when the list went
    // during a stop wait: the caller must return at once.
    bool removeTasks(const QVector<int>& vecTasks,
                     const std::function<Removal(const CRecordTaskValue&)>& fnRule, int* pStopped = nullptr);
    // Takes the rows of the tasks given (ascending) out of the table, and out of the history
    // unless the list is shutting down; the tasks that had one.
    QVector<int> takeTasks(const QVector<int>& vecTasks);
    // Takes the tasks out, then has the engine drop them; empties vecTasks.
    void removeQuietly(QVector<int>& vecTasks);
    bool removeStopped(int nTaskIndex, bool bDeleteFile);

    CRecordDownloadManager* m_pManager;
    CRecordTableModel* m_pModel;
    CTaskRows<CRecordTaskValue> m_rows;
    int m_nDownloadIndex = 0;
    // Indexes of the running tasks, ascending: the refresh visits only these.
    QVector<int> m_vecRunning;
    CTimeLeft m_timeLeft;
    QPointer<CDownloadHistory> m_pHistory;
    bool m_bShutDown = false;
};
