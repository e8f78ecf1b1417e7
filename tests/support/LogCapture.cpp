#include "LogCapture.h"

#include <QMutexLocker>

#include <algorithm>

LogCapture::LogCapture() : m_pStore(std::make_shared<Store>())
{
    std::shared_ptr<Store> pStore = m_pStore;
    m_nObserverId = ncl::NPrintLog::instance()->addObserver([pStore](const ncl::NLogRecord& record) {
        QMutexLocker locker(&pStore->mutex);
        pStore->listRecords.append(record);
    });
}

QList<ncl::NLogRecord> LogCapture::records() const
{
    QMutexLocker locker(&m_pStore->mutex);
    return m_pStore->listRecords;
}

QStringList LogCapture::messages() const
{
    QStringList listMessages;
    const QList<ncl::NLogRecord> listRecords = records();
    for (const ncl::NLogRecord& record : listRecords) {
        listMessages.append(record.strMessage);
    }
    return listMessages;
}

bool LogCapture::contains(int nLevel, const QString& strMessage) const
{
    const QList<ncl::NLogRecord> listRecords = records();
    return std::any_of(listRecords.cbegin(), listRecords.cend(), [&](const ncl::NLogRecord& record) {
        return record.nLevel == nLevel && record.strMessage.contains(strMessage);
    });
}

void LogCapture::clear()
{
    QMutexLocker locker(&m_pStore->mutex);
    m_pStore->listRecords.clear();
}
