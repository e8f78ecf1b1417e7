#include <hostcomponents/CBrowser.h>

#include "CBrowserBridge.h"
#include "CBrowserPrivate.h"

#include <QJsonDocument>
#include <QWebEngineView>

CBrowser::CBrowser(QWidget* parent) : QWidget(parent), d(new CBrowserPrivate(this))
{
    // Queued: a receiver of request may tear this browser down, which must not happen
    // inside the web channel's own call.
    connect(
        d->m_pBridge, &CBrowserBridge::sgnRequest, this,
        [this](const QString& strText) { emit request(this, strText); }, Qt::QueuedConnection);
    // A new document has to subscribe again; until it does, messages wait.
    connect(d->m_pView, &QWebEngineView::loadStarted, d->m_pBridge, &CBrowserBridge::reset);
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
    // What is sent from now on is for the new document, even before its load has started.
    d->m_pBridge->reset();
    d->m_pView->setUrl(QUrl::fromUserInput(strUrl));
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
