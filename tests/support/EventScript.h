#pragma once

#include <QHash>
#include <QString>

#include <functional>

#include <downloadengine/DownloadInfo.h>

// Events of the downloading tables as the tests write them, separated by blanks: a name, a number
// and a value ("+3" adds three record tasks, "fail2" has the engine report task 2 failed,
// "s3=-2" answers startDownload(3) with -2). "stop{e1,e2}" runs e1 and e2 during the wait after
// the next stop (10 ms into it; "stop90{...}" 90 ms), "idx{...}" while the engine is asked which
// tasks it holds, "ok{...}" (and "cancel", "close") while the next question is open. The engine's
// notices are known here; the test adds what its subject does.
class EventScript
{
public:
    struct Event
    {
        int n;
        QString s;
    };
    using Handler = std::function<void(const Event&)>;
    // Answers the next question with the button ("close" 0, "ok", "cancel"), running fnWhileOpen
    // while it is open.
    using Answerer = std::function<void(int nButton, const std::function<void()>& fnWhileOpen)>;

    EventScript();
    // Its events hold on to it.
    EventScript(const EventScript&) = delete;
    EventScript& operator=(const EventScript&) = delete;

    void on(const QString& strName, Handler fnHandler) { m_hashEvents.insert(strName, std::move(fnHandler)); }
    void setAnswerer(Answerer fnAnswerer) { m_fnAnswerer = std::move(fnAnswerer); }
    void run(const QString& strEvents);

    // The record task "+" adds next (of "size=", "kind=", "mode=", "dev=").
    DownloadInfo nextRecord;
    // The engine calls that start, stop, poll, speed up and dispose of tasks, in order: a removed
    // task reads "gone(n)" (stopped, its file deleted, disposed of), a finished one "done(n)", one
    // stopped and disposed of with its file kept "kept(n)" (log-out), one taken off without a wait
    // "cleared(n)", and one whose file goes after its stop "erased(n)".
    static QString calls();
    // The calls, then " => " and the picture packages handed on as finished.
    static QString callsThen(const QStringList& listFinished);

private:
    QHash<QString, Handler> m_hashEvents;
    Answerer m_fnAnswerer;
};
