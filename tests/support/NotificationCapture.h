#pragma once

#include <QMetaObject>
#include <QStringList>

// Collects the texts of the passing notifications shown while it lives.
class NotificationCapture
{
public:
    NotificationCapture();
    ~NotificationCapture();

    // The texts shown, oldest first.
    QStringList texts() const;
    // Forgets the texts collected so far.
    void clear();

private:
    Q_DISABLE_COPY(NotificationCapture)

    QStringList m_listTexts;
    QMetaObject::Connection m_connection;
};
