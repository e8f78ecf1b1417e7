#pragma once

#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>

// The process a fuzz program runs in, set up by the LLVMFuzzerInitialize of FuzzProcess.cpp:
// offscreen, with settings, log and download folders in a scratch folder, no host name of an input
// ever looked up, and the desktop's opener replaced by a check. No input reaches outside the
// scratch folder or the machine.
namespace fuzz {

// The widget the window is embedded in, as the host's would be.
inline QWidget* hostWidget()
{
    static QWidget* pHost = new QWidget;
    return pHost;
}

inline QString text(const uint8_t* pData, size_t nSize)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
}

// Runs what an input left queued (refused connections, deferred deletions), so nothing piles up.
inline void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace fuzz
