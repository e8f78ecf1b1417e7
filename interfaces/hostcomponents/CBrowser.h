#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

#include "IWebNotifyBusHost.h"

class CBrowserPrivate;

// The client's embedded web view. The page sends request texts to the native side
// (signal request) and receives texts through response(). Only documents of the origin
// (scheme, host and port) of the address given to SetUrl talk to the native side: the view
// refuses to go to other origins, and requests from, and texts for, any other document are
// dropped and logged.
class CBrowser : public QWidget, public IWebNotifyBusHost
{
    Q_OBJECT

public:
    explicit CBrowser(QWidget* parent = nullptr);
    ~CBrowser() override;

    // Loads strUrl; its origin becomes the only one that gets the bridge.
    void SetUrl(const QString& strUrl);
    void response(const QString& strText);
    // The address of the document shown now: the one whose requests request hands on.
    QUrl currentUrl() const;

    bool onWebNotifyBusMessage(const QJsonObject& message) override;

signals:
    void request(CBrowser* browser, QString const& strText);
    void loadProgress(int nProgress);
    void loadFinished(bool bOk);
    void sgnResponseSent(const QString& strText);

protected:
    // The web engine starts when the browser is first shown.
    void showEvent(QShowEvent* pEvent) override;

private:
    CBrowserPrivate* d = nullptr;
};
