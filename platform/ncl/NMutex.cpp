#include <ncl/NMutex.h>

namespace ncl {

NMutex::NMutex() = default;
NMutex::~NMutex() = default;

void NMutex::lock()
{
    m_mutex.lock();
}

void NMutex::unlock()
{
    m_mutex.unlock();
}

}  // namespace ncl
