#pragma once

#include <QObject>
#include <QQueue>
#include <QString>

// The native object the page reaches through the web channel, as "nativeBridge". The page
// calls request(text) to ask something, subscribes to sgnResponse and then calls ready();
// texts delivered before ready() wait in order, so a message sent while the page is still
// loading is not lost.
class CBrowserBridge : public QObject
{
    Q_OBJECT

public:
    explicit CBrowserBridge(QObject* parent = nullptr);

    // Page side: one request text, handed on as sgnRequest.
    Q_INVOKABLE void request(const QString& strText);
    // Page side: the page has subscribed to sgnResponse; what waited is sent now.
    Q_INVOKABLE void ready();

    // Native side (not visible to the page): sends strText now or, before ready(), later.
    void deliver(const QString& strText);
    // Native side: a new document is loading; it has to say ready() again.
    void reset();

    bool isReady() const { return m_bReady; }
    int pendingCount() const { return m_queuePending.size(); }

signals:
    void sgnResponse(const QString& strText);
    void sgnRequest(const QString& strText);

private:
    QQueue<QString> m_queuePending;
    bool m_bReady = false;
};
