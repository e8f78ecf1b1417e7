#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

#include <ncl/NPrintLog.h>

// Collects every record the client's logger writes while it lives. Records may come from any
// thread.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture() { ncl::NPrintLog::instance()->removeObserver(m_nObserverId); }

    // The records collected, oldest first.
    QList<ncl::NLogRecord> records() const;
    // Their messages, oldest first.
    QStringList messages() const;
    // Whether a record of exactly nLevel has a message containing strMessage.
    bool contains(int nLevel, const QString& strMessage) const;
    // Forgets the records collected so far.
    void clear();

private:
    Q_DISABLE_COPY(LogCapture)

    // Shared with the observer, which the logger may still be running when this object goes.
    struct Store
    {
        QMutex mutex;
        QList<ncl::NLogRecord> listRecords;
    };

    std::shared_ptr<Store> m_pStore;
    int m_nObserverId = 0;
};
