#pragma once

#include <QElapsedTimer>
#include <QPair>
#include <QQueue>
#include <QString>
#include <QtGlobal>

// Bytes moved in the last second, from the amounts reported as they move. Amounts are kept in
// short buckets, so the memory stays small whatever the rate.
class CRateMeter
{
public:
    CRateMeter();

    void add(qint64 nBytes);
    qint64 bytesLastSecond() const;
    void reset();

    // A rate as the lists show it: "512B/s", "1.5KB/s", "2.0MB/s", "1.1GB/s".
    static QString speedText(qint64 nBytesPerSecond);

private:
    void dropOld(qint64 nNow);

    QElapsedTimer m_clock;
    QQueue<QPair<qint64, qint64>> m_queueBuckets;  // bucket start (ms), bytes
};
