#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs fnCall once the events already pending are handled (a zero timer, unlike a queued call,
// waits for them: the window is painted first). Nothing runs if pContext goes first.
inline void whenIdle(QObject* pContext, std::function<void()> fnCall)
{
    auto* pTimer = new QTimer(pContext);
    pTimer->setSingleShot(true);
    QObject::connect(pTimer, &QTimer::timeout, pContext, [pTimer, fnCall = std::move(fnCall)] {
        pTimer->deleteLater();
        fnCall();
    });
    pTimer->start(0);
}
