#include "QDownloadListBase.h"

#include <hostservices/CBaseInfo.h>

#include "CSkinStyle.h"

void QDownloadListBase::paintEvent(QPaintEvent* event)
{
    CSkinStyle::paintBackground(this);
    QWidget::paintEvent(event);
}

void QDownloadListBase::showEvent(QShowEvent* event)
{
    const QString strProductName = ConfigInfo::CBaseInfo::instance().getProductName();
    if (strProductName != m_strProductName) {
        setProductName(strProductName);
    }
    QWidget::showEvent(event);
}
