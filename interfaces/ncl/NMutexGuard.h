#pragma once

#include "NMutex.h"

namespace ncl {

// Holds a mutex for the guard's lifetime.
class NMutexGuard
{
public:
    explicit NMutexGuard(NMutex* pMutex);
    ~NMutexGuard();
    NMutexGuard(const NMutexGuard&) = delete;
    NMutexGuard& operator=(const NMutexGuard&) = delete;

private:
    NMutex* m_pMutex = nullptr;
};

}  // namespace ncl
