#pragma once

#include <QTemporaryDir>

class CBrowser;
class CBrowserBridge;
class CBrowserPage;
class QUrl;
class QWebChannel;
class QWebEngineProfile;
class QWebEngineView;

// What a CBrowser is made of: a web view on a page of its own off-the-record profile, and
// the web channel that publishes the bridge to the page's documents of the web client's origin.
class CBrowserPrivate
{
public:
    explicit CBrowserPrivate(CBrowser* pBrowser);
    ~CBrowserPrivate();
    CBrowserPrivate(const CBrowserPrivate&) = delete;
    CBrowserPrivate& operator=(const CBrowserPrivate&) = delete;

    // The document shown is now url: the bridge is open, and the channel published, only for
    // the page's own origin.
    void onDocument(const QUrl& url);

    QWebEngineView* m_pView = nullptr;
    CBrowserPage* m_pPage = nullptr;
    CBrowserBridge* m_pBridge = nullptr;

private:
    void installChannelScript();

    QTemporaryDir m_dirScratch;
    QWebEngineProfile* m_pProfile = nullptr;
    QWebChannel* m_pChannel = nullptr;
};
