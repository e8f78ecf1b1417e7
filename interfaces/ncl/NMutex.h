#pragma once

#include <mutex>

namespace ncl {

// A non-recursive mutex.
class NMutex
{
public:
    NMutex();
    ~NMutex();
    NMutex(const NMutex&) = delete;
    NMutex& operator=(const NMutex&) = delete;

    void lock();
    void unlock();

private:
    std::mutex m_mutex;
};

}  // namespace ncl
