#pragma once

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

// The process a fuzz program runs in, set up by the LLVMFuzzerInitialize of FuzzProcess.cpp:
// offscreen, with settings, log and download folders in a scratch folder, no host name of an input
// ever looked up, and the desktop's opener replaced by a check. No input reaches outside the
// scratch folder or the machine.
namespace fuzz {

// Runs what an input left queued (refused connections, deferred deletions), so nothing piles up.
inline void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace fuzz
