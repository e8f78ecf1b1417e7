#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Tells the user when downloads end, whether the download centre is in front or not: "<name>
// downloaded" with an "Open folder" action, "<name> failed"; downloads that end within a
// second of each other share one notice ("12 downloads finished"). A notice outlives the list
// that raised it: its action holds the folder, never the list.
class CFinishNotices : public QObject
{
    Q_OBJECT

public:
    // fnFolder names the folder "Open folder" opens, asked when a notice is shown.
    CFinishNotices(std::function<QString()> fnFolder, QObject* parent);

    // Once per task, when it has ended.
    void finished(const QString& strName);
    void failed(const QString& strName);

    // Shows what was gathered now (log-out: the list goes before the wait ends).
    void notify();

    static constexpr int kGatherMs = 1000;

private:
    void gather(QStringList& listNames, const QString& strName);

    std::function<QString()> m_fnFolder;
    QStringList m_listFinished;
    QStringList m_listFailed;
    QTimer m_timer;
};
