#include "CRateMeter.h"

namespace {

constexpr qint64 kWindowMs = 1000;
constexpr qint64 kBucketMs = 50;

}  // namespace

CRateMeter::CRateMeter()
{
    m_clock.start();
}

void CRateMeter::add(qint64 nBytes)
{
    if (nBytes <= 0) {
        return;
    }
    const qint64 nNow = m_clock.elapsed();
    dropOld(nNow);
    if (!m_queueBuckets.isEmpty() && nNow - m_queueBuckets.last().first < kBucketMs) {
        m_queueBuckets.last().second += nBytes;
    } else {
        m_queueBuckets.enqueue(qMakePair(nNow, nBytes));
    }
}

qint64 CRateMeter::bytesLastSecond() const
{
    const qint64 nNow = m_clock.elapsed();
    qint64 nBytes = 0;
    for (const QPair<qint64, qint64>& bucket : m_queueBuckets) {
        if (nNow - bucket.first < kWindowMs) {
            nBytes += bucket.second;
        }
    }
    return nBytes;
}

void CRateMeter::reset()
{
    m_queueBuckets.clear();
    m_clock.restart();
}

QString CRateMeter::speedText(qint64 nBytesPerSecond)
{
    const qint64 nRate = qMax<qint64>(0, nBytesPerSecond);
    if (nRate < 1024) {
        return QString::number(nRate) + QStringLiteral("B/s");
    }
    if (nRate < 1024 * 1024) {
        return QString::number(nRate / 1024.0, 'f', 1) + QStringLiteral("KB/s");
    }
    if (nRate < 1024LL * 1024 * 1024) {
        return QString::number(nRate / 1024.0 / 1024.0, 'f', 1) + QStringLiteral("MB/s");
    }
    return QString::number(nRate / 1024.0 / 1024.0 / 1024.0, 'f', 1) + QStringLiteral("GB/s");
}

void CRateMeter::dropOld(qint64 nNow)
{
    while (!m_queueBuckets.isEmpty() && nNow - m_queueBuckets.head().first >= kWindowMs) {
        m_queueBuckets.dequeue();
    }
}
