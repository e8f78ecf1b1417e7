#pragma once

#include <QObject>
#include <QQueue>
#include <QString>

// The native object the page reaches through the web channel, as "nativeBridge". The page
// calls request(text) to ask something, subscribes to sgnResponse and then calls ready();
// texts delivered before ready() wait in order, so a message sent while the page is still
// loading is not lost. The bridge is open only while the document shown is of the web
// client's origin: closed, it drops requests and messages instead of keeping them.
class CBrowserBridge : public QObject
{
    Q_OBJECT

public:
    explicit CBrowserBridge(QObject* parent = nullptr);

    // Page side: one request text, handed on as sgnRequest with the number of the document
    // that was shown when it came.
    Q_INVOKABLE void request(const QString& strText);
    // Page side: the page has subscribed to sgnResponse; what waited is sent now.
    Q_INVOKABLE void ready();

    // Native side (not visible to the page): sends strText now or, before ready(), later.
    void deliver(const QString& strText);
    // Native side: a new document is loading; it has to say ready() again.
    void reset();
    // Native side: the load did not happen, the document shown before is still there and
    // still subscribed.
    void resume();
    // Native side: whether the document shown may use the bridge.
    void setOpen(bool bOpen);

    bool isOpen() const { return m_bOpen; }
    bool isReady() const { return m_bReady; }
    int pendingCount() const { return m_queuePending.size(); }
    // Counts the documents loaded; a request of an earlier one is stale.
    int document() const { return m_nDocument; }

signals:
    void sgnResponse(const QString& strText);
    void sgnRequest(const QString& strText, int nDocument);

private:
    QQueue<QString> m_queuePending;
    bool m_bReady = false;
    bool m_bLoading = false;   // reset() since the last ready()
    bool m_bWasReady = false;  // m_bReady before that reset()
    bool m_bOpen = false;
    int m_nDocument = 0;
};
