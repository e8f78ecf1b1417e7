#include "CBrowserBridge.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBrowserBridge, "hostcomponents.browser")

namespace {

// A page that never says ready() must not make the queue grow without end.
constexpr int kMaxPending = 10000;

}  // namespace

CBrowserBridge::CBrowserBridge(QObject* parent) : QObject(parent) {}

void CBrowserBridge::request(const QString& strText)
{
    emit sgnRequest(strText);
}

void CBrowserBridge::ready()
{
    m_bReady = true;
    // A response emitted by a receiver of sgnResponse is appended and still goes out in order.
    while (m_bReady && !m_queuePending.isEmpty()) {
        emit sgnResponse(m_queuePending.dequeue());
    }
}

void CBrowserBridge::deliver(const QString& strText)
{
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
    m_bReady = false;
}
