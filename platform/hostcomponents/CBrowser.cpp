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
    // A new document has to subscribe again; until it does, messages wait. The view reports
    // the start of a load late, even after refusing it; a refused load leaves the document in
    // place, still subscribed, and its failure says so.
    connect(d->m_pView, &QWebEngineView::loadStarted, d->m_pBridge, &CBrowserBridge::reset);
    connect(d->m_pView, &QWebEngineView::loadFinished, this, [this](bool bOk) {
        if (d->m_pPage->takeRefusal() && !bOk) {
            d->m_pBridge->resume();
        }
    });
    connect(d->m_pView, &QWebEngineView::urlChanged, this, [this](const QUrl& url) { d->onDocument(url); });
    connect(d->m_pView, &QWebEngineView::loadProgress, this, &CBrowser::loadProgress);
    connect(d->m_pView, &QWebEngineView::loadFinished, this, &CBrowser::loadFinished);
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
    const QUrl url = QUrl::fromUserInput(strUrl);
    d->m_pPage->setOrigin(url);
    d->m_pBridge->reset();
    d->onDocument(url);
    d->m_pView->setUrl(url);
}

void CBrowser::response(const QString& strText)
{
    emit sgnResponseSent(strText);
    d->m_pBridge->deliver(strText);
}

bool CBrowser::onWebNotifyBusMessage(const QJsonObject& message)
{
    response(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    return true;
}
