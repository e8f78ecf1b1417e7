#include "CDownloadCenterMgrPrivate.h"

#include "QDownloadCenter.h"

CDownloadCenterMgrPrivate::CDownloadCenterMgrPrivate(CDownloadCenterMgr* pFacade)
    : m_pWindow(QDownloadCenter::instance()), m_pFacade(pFacade)
{
}

CDownloadCenterMgrPrivate::~CDownloadCenterMgrPrivate()
{
    QDownloadCenter::destroyInstance();
    m_pWindow = nullptr;
}
