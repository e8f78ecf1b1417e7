#include "CTimeLeft.h"

#include <QCoreApplication>

#include <cmath>

namespace {

// Weight of the newest second in the smoothed speed: about the last five seconds count.
constexpr double kNewWeight = 0.3;

}  // namespace

QString CTimeLeft::update(int nTask, qint64 nDone, qint64 nTotal, int nIntervalMs)
{
    const auto it = m_hashSamples.find(nTask);
    if (it == m_hashSamples.end()) {
        m_hashSamples.insert(nTask, Sample{nDone, -1});
        return text(-1);
    }
    if (nIntervalMs > 0 && nDone >= it->nDone) {
        const double dNow = static_cast<double>(nDone - it->nDone) * 1000.0 / nIntervalMs;
        it->dPerSecond = it->dPerSecond < 0 ? dNow : kNewWeight * dNow + (1 - kNewWeight) * it->dPerSecond;
    }
    it->nDone = nDone;
    if (nTotal <= 0 || !(it->dPerSecond > 0)) {
        return text(-1);
    }
    return text(static_cast<double>(qMax<qint64>(0, nTotal - nDone)) / it->dPerSecond);
}

void CTimeLeft::keepOnly(const QSet<int>& setRunning)
{
    for (auto it = m_hashSamples.begin(); it != m_hashSamples.end();) {
        it = setRunning.contains(it.key()) ? std::next(it) : m_hashSamples.erase(it);
    }
}

QString CTimeLeft::text(double dSeconds)
{
    if (!(dSeconds >= 0)) {
        return QStringLiteral("--");
    }
    if (dSeconds < 60) {
        return QCoreApplication::translate("CTimeLeft", "less than a minute left");
    }
    // The count picks the translation's plural form.
    if (dSeconds < 3600) {
        const int nMinutes = static_cast<int>(std::lround(dSeconds / 60));
        return QCoreApplication::translate("CTimeLeft", "about %Ln min left", nullptr, nMinutes);
    }
    // Capped, as it must fit an int; an estimate that far out means nothing anyway.
    const int nHours = static_cast<int>(std::lround(qMin(dSeconds / 3600, 1e9)));
    return QCoreApplication::translate("CTimeLeft", "about %Ln h left", nullptr, nHours);
}
