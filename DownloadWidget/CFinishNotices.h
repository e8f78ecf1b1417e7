#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Tells the user when downloads end, whether the download centre is in front or not: "<name>
// downloaded" with an "Open folder" action, "<name> failed"; downloads that end within a
// second of each other share one notice ("12 downloads finished").
class CFinishNotices : public QObject
{
    Q_OBJECT

public:
    CFinishNotices(std::function<void()> fnOpenFolder, QObject* parent);

    // Once per task, when it has ended.
    void finished(const QString& strName);
    void failed(const QString& strName);

    static constexpr int kGatherMs = 1000;

private:
    void gather(QStringList& listNames, const QString& strName);
    void notify();

    std::function<void()> m_fnOpenFolder;
    QStringList m_listFinished;
    QStringList m_listFailed;
    QTimer m_timer;
};
