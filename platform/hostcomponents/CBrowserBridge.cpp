#include "CBrowserBridge.h"

#include <ncl/NPrintLog.h>

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBrowserBridge, "hostcomponents.browser")

namespace {

const char* const kLogFile = "platform\\hostcomponents\\CBrowserBridge";
constexpr int kLogWarning = 6;

// A page that never says ready() must not make the queue grow without end.
constexpr int kMaxPending = 10000;

}  // namespace

CBrowserBridge::CBrowserBridge(QObject* parent) : QObject(parent) {}

void CBrowserBridge::request(const QString& strText)
{
    if (!m_bOpen) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CBrowserBridge::request", "", kLogWarning,
                                        "request of a page of another origin dropped[%s]",
                                        strText.toUtf8().constData());
        return;
    }
    emit sgnRequest(strText, m_nDocument);
}

void CBrowserBridge::ready()
{
    if (!m_bOpen) {
        return;
    }
    m_bLoading = false;
    m_bReady = true;
    // A response emitted by a receiver of sgnResponse is appended and still goes out in order.
    while (m_bReady && !m_queuePending.isEmpty()) {
        emit sgnResponse(m_queuePending.dequeue());
    }
}

void CBrowserBridge::deliver(const QString& strText)
{
    if (!m_bOpen) {
        // Kept, it would go to whatever document says ready() next.
        qCWarning(lcBrowserBridge) << "no page of the web client shown, message dropped";
        return;
    }
    if (m_bReady && m_queuePending.isEmpty()) {
        emit sgnResponse(strText);
        return;
    }
    if (m_queuePending.size() >= kMaxPending) {
        qCWarning(lcBrowserBridge) << "page not ready, oldest pending message dropped";
        m_queuePending.dequeue();
    }
    m_queuePending.enqueue(strText);
}

void CBrowserBridge::reset()
{
    if (!m_bLoading) {
        m_bLoading = true;
        m_bWasReady = m_bReady;
    }
    m_bReady = false;
    ++m_nDocument;
}

void CBrowserBridge::resume()
{
    if (!m_bLoading) {
        return;
    }
    m_bLoading = false;
    if (m_bWasReady) {
        ready();
    }
}

void CBrowserBridge::setOpen(bool bOpen)
{
    m_bOpen = bOpen;
    if (!bOpen) {
        m_bReady = false;
        m_queuePending.clear();
    }
}
