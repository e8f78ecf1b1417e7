#pragma once

#include <QMetaObject>
#include <QObject>
#include <QStringList>

// Collects the texts of the passing notifications shown while it lives.
class NotificationCapture
{
public:
    NotificationCapture();
    ~NotificationCapture() { QObject::disconnect(m_connection); }

    // The texts shown, oldest first.
    QStringList texts() const { return m_listTexts; }
    // Forgets the texts collected so far.
    void clear() { m_listTexts.clear(); }

private:
    Q_DISABLE_COPY(NotificationCapture)

    QStringList m_listTexts;
    QMetaObject::Connection m_connection;
};
