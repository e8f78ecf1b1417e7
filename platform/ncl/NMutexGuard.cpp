#include <ncl/NMutexGuard.h>

namespace ncl {

NMutexGuard::NMutexGuard(NMutex* pMutex) : m_pMutex(pMutex)
{
    if (m_pMutex) {
        m_pMutex->lock();
    }
}

NMutexGuard::~NMutexGuard()
{
    if (m_pMutex) {
        m_pMutex->unlock();
    }
}

}  // namespace ncl
