#include "CDownloadCenterMgr.h"

#include <QMutexLocker>

#include "CDownloadCenterMgrPrivate.h"
#include "QDownloadCenter.h"

QAtomicPointer<CDownloadCenterMgr> CDownloadCenterMgr::s_ptrInstance;
QMutex CDownloadCenterMgr::s_mutexInstance;

CDownloadCenterMgr& CDownloadCenterMgr::instance()
{
    CDownloadCenterMgr* pInstance = s_ptrInstance.loadAcquire();
    if (pInstance) {
        return *pInstance;
    }
    QMutexLocker locker(&s_mutexInstance);
    pInstance = s_ptrInstance.loadAcquire();
    if (!pInstance) {
        pInstance = new CDownloadCenterMgr();
        s_ptrInstance.storeRelease(pInstance);
    }
    return *pInstance;
}

void CDownloadCenterMgr::destroyInstance()
{
    QMutexLocker locker(&s_mutexInstance);
    delete s_ptrInstance.fetchAndStoreOrdered(nullptr);
}

CDownloadCenterMgr::CDownloadCenterMgr() : QObject(nullptr), m_pPrivate(new CDownloadCenterMgrPrivate(this))
{
}

CDownloadCenterMgr::~CDownloadCenterMgr()
{
    // Deleted directly rather than through destroyInstance: the next instance() builds anew.
    s_ptrInstance.testAndSetOrdered(this, nullptr);
    delete m_pPrivate;
    m_pPrivate = nullptr;
}

bool CDownloadCenterMgr::isInited()
{
    Q_D(CDownloadCenterMgr);
    return d->m_pWindow ? d->m_pWindow->isInited() : false;
}

void CDownloadCenterMgr::initWidget(QWidget* parent)
{
    Q_D(CDownloadCenterMgr);
    if (d->m_pWindow) {
        d->m_pWindow->initWidget(parent);
    }
}

void CDownloadCenterMgr::setProductInfo(QString& productName)
{
    Q_D(CDownloadCenterMgr);
    if (d->m_pWindow) {
        d->m_pWindow->setProductInfo(productName);
    }
}

void CDownloadCenterMgr::addDownloadTask(const DownloadInfo& task)
{
    Q_D(CDownloadCenterMgr);
    if (d->m_pWindow) {
        emit d->m_pWindow->sgnAddDownloadTask(task);
    }
}

void CDownloadCenterMgr::addPicDownloadTask(DownloadPicInfo taskInfo)
{
    Q_D(CDownloadCenterMgr);
    if (d->m_pWindow) {
        emit d->m_pWindow->sgnAddPicDownloadTask(taskInfo);
    }
}

void CDownloadCenterMgr::clearDownloadData()
{
    Q_D(CDownloadCenterMgr);
    if (d->m_pWindow) {
        d->m_pWindow->clearDownloadData();
    }
}
