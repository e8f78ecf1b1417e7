#include "CDownloadCenterMgr.h"

#include <QMutexLocker>

#include "CDownloadCenterMgrPrivate.h"
#include "QDownloadCenter.h"

QAtomicPointer<CDownloadCenterMgr> CDownloadCenterMgr::s_ptrInstance;
QAtomicPointer<CDownloadCenterMgr> CDownloadCenterMgr::s_ptrDying;
QMutex CDownloadCenterMgr::s_mutexInstance;

CDownloadCenterMgr& CDownloadCenterMgr::instance()
{
    CDownloadCenterMgr* pInstance = s_ptrInstance.loadAcquire();
    if (pInstance) {
        return *pInstance;
    }
    QMutexLocker locker(&s_mutexInstance);
    pInstance = s_ptrInstance.loadAcquire();
    // Called while the facade's teardown waits: the dying facade, whose calls do nothing, rather
    // than a new one that would build a second window.
    if (!pInstance) {
        pInstance = s_ptrDying.loadAcquire();
    }
    if (!pInstance) {
        pInstance = new CDownloadCenterMgr();
        s_ptrInstance.storeRelease(pInstance);
    }
    return *pInstance;
}

void CDownloadCenterMgr::destroyInstance()
{
    CDownloadCenterMgr* pInstance = nullptr;
    {
        QMutexLocker locker(&s_mutexInstance);
        pInstance = s_ptrInstance.fetchAndStoreOrdered(nullptr);
    }
    // Not under the lock: the window's teardown runs the event loop, and an instance() that
    // arrives meanwhile on this thread would wait for the lock forever.
    delete pInstance;
}

CDownloadCenterMgr::CDownloadCenterMgr() : QObject(nullptr), m_pPrivate(new CDownloadCenterMgrPrivate(this))
{
}

CDownloadCenterMgr::~CDownloadCenterMgr()
{
    // Deleted directly rather than through destroyInstance: the next instance() builds anew.
    s_ptrInstance.testAndSetOrdered(this, nullptr);
    // Until the window is gone, instance() hands out this facade, and nothing it is asked
    // reaches the window.
    s_ptrDying.storeRelease(this);
    m_pPrivate->m_pWindow = nullptr;
    QDownloadCenter::destroyInstance();
    s_ptrDying.testAndSetOrdered(this, nullptr);
    delete m_pPrivate;
    m_pPrivate = nullptr;
}

bool CDownloadCenterMgr::isInited()
{
    Q_D(CDownloadCenterMgr);
    QDownloadCenter* pWindow = d->window(nullptr);
    return pWindow && pWindow->isInited();
}

void CDownloadCenterMgr::initWidget(QWidget* parent)
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::initWidget")) {
        pWindow->initWidget(parent);
    }
}

void CDownloadCenterMgr::setProductInfo(QString& productName)
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::setProductInfo")) {
        pWindow->setProductInfo(productName);
    }
}

void CDownloadCenterMgr::addDownloadTask(const DownloadInfo& task)
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::addDownloadTask")) {
        emit pWindow->sgnAddDownloadTask(task);
    }
}

void CDownloadCenterMgr::addPicDownloadTask(DownloadPicInfo taskInfo)
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::addPicDownloadTask")) {
        emit pWindow->sgnAddPicDownloadTask(taskInfo);
    }
}

void CDownloadCenterMgr::clearDownloadData()
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::clearDownloadData")) {
        pWindow->clearDownloadData();
    }
}
