#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// Time left of the running downloads, from their progress at each tick. The speed is smoothed
// over the last seconds, so that one slow or fast second does not swing the estimate.
class CTimeLeft
{
public:
    // A tick's progress of a task: nDone of nTotal (bytes or any other unit; nTotal 0 when
    // unknown), nIntervalMs after the previous tick. Returns what its Speed cell's tooltip says: "about 3 min
    // left", or "--" while the size or the speed is not known.
    QString update(int nTask, qint64 nDone, qint64 nTotal, int nIntervalMs);
    // Forgets the tasks not in setRunning (ended, failed, removed).
    void keepOnly(const QSet<int>& setRunning);

    // "less than a minute left", "about 3 min left", "about 2 h left"; "--" below 0.
    static QString text(double dSeconds);

private:
    struct Sample
    {
        qint64 nDone = 0;
        double dPerSecond = -1;  // units of nDone a second; below 0 until a second tick
    };
    QHash<int, Sample> m_hashSamples;
};
