#include <hostcomponents/CBrowser.h>

#include "CBrowserBridge.h"
#include "CBrowserPage.h"
#include "CBrowserPrivate.h"

#include <ncl/NPrintLog.h>

#include <QJsonDocument>
#include <QWebEngineView>

namespace {

const char* const kLogFile = "platform\\hostcomponents\\CBrowser";
constexpr int kLogWarning = 6;

}  // namespace

CBrowser::CBrowser(QWidget* parent) : QWidget(parent), d(new CBrowserPrivate(this))
{
    // Queued: a receiver of request may tear this browser down, which must not happen
    // inside the web channel's own call. By then another document may have come: what the
    // old one asked is not answered to it.
    connect(
        d->m_pBridge, &CBrowserBridge::sgnRequest, this,
        [this](const QString& strText, int nDocument) {
            if (nDocument != d->m_pBridge->document() || !d->m_pBridge->isOpen()) {
                ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CBrowser::request", "", kLogWarning,
                                                "request of an earlier page dropped[%s]",
                                                strText.toUtf8().constData());
                return;
            }
            emit request(this, strText);
        },
        Qt::QueuedConnection);
}

CBrowser::~CBrowser()
{
    delete d;
    d = nullptr;
}

void CBrowser::SetUrl(const QString& strUrl)
{
    // The origin of the page asked for is the only one that gets the bridge. What is sent from
    // now on is for the new document, even before its load has started.
    d->m_urlPage = QUrl::fromUserInput(strUrl);
    d->m_pBridge->reset();
    d->onDocument(d->m_urlPage);
    if (d->m_pView) {
        d->m_pPage->setOrigin(d->m_urlPage);
        d->m_pView->setUrl(d->m_urlPage);
    }
}

void CBrowser::showEvent(QShowEvent* pEvent)
{
    if (!d->m_pView) {
        d->startEngine();
    }
    QWidget::showEvent(pEvent);
}

void CBrowser::response(const QString& strText)
{
    emit sgnResponseSent(strText);
    d->m_pBridge->deliver(strText);
}

QUrl CBrowser::currentUrl() const
{
    return d->m_urlDocument;
}

bool CBrowser::onWebNotifyBusMessage(const QJsonObject& message)
{
    response(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    return true;
}
