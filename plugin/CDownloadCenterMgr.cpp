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
    {
        QMutexLocker locker(&s_mutexInstance);
        pInstance = s_ptrInstance.loadAcquire();
        if (pInstance) {
            return *pInstance;
        }
        pInstance = new CDownloadCenterMgr();
        s_ptrInstance.storeRelease(pInstance);
    }
    // The window is built with no lock held: building it may ask for the facade again.
    pInstance->m_pPrivate->bind(QDownloadCenter::instance());
    return *pInstance;
}

void CDownloadCenterMgr::destroyInstance()
{
    // The window stops its tasks first, while the facade is still there to be asked (and drops
    // what it is asked meanwhile); then both go, waiting for nothing.
    QDownloadCenter::destroyInstance();
    CDownloadCenterMgr* pInstance = nullptr;
    {
        QMutexLocker locker(&s_mutexInstance);
        pInstance = s_ptrInstance.fetchAndStoreOrdered(nullptr);
    }
    delete pInstance;
}

CDownloadCenterMgr::CDownloadCenterMgr() : QObject(nullptr), m_pPrivate(new CDownloadCenterMgrPrivate(this))
{
}

CDownloadCenterMgr::~CDownloadCenterMgr()
{
    // Deleted directly rather than through destroyInstance: the next instance() builds anew.
    // The window is not this object's: it stays until destroyInstance() or log-out.
    s_ptrInstance.testAndSetOrdered(this, nullptr);
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

void CDownloadCenterMgr::setProductInfo(const QString& productName)
{
    Q_D(CDownloadCenterMgr);
    if (QDownloadCenter* pWindow = d->window("CDownloadCenterMgr::setProductInfo")) {
        QString strName = productName;
        pWindow->setProductInfo(strName);
    }
}

void CDownloadCenterMgr::setProductInfo(QString& productName)
{
    setProductInfo(static_cast<const QString&>(productName));
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
