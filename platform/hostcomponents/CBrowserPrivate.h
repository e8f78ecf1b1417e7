#pragma once

#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class CBrowser;
class CBrowserBridge;
class CBrowserPage;
class QUrl;
class QWebChannel;
class QWebEngineProfile;
class QWebEngineView;

// What a CBrowser is made of: a web view on a page of its own off-the-record profile, and
// the web channel that publishes the bridge to the page's documents of the web client's origin.
// The web engine's part (profile, page, view) is made when the browser is first shown: a window
// whose file-download tab is never opened costs no web engine. Until then the bridge is ready
// for the page given to SetUrl and keeps what is sent to it.
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
    // Makes the profile, the page and the view, and loads the page given to SetUrl.
    void startEngine();

    // The page given to SetUrl; its origin is the only one that gets the bridge.
    QUrl m_urlPage;
    // The document shown (or, before the engine starts, the page given to SetUrl).
    QUrl m_urlDocument;
    QWebEngineView* m_pView = nullptr;
    CBrowserPage* m_pPage = nullptr;
    CBrowserBridge* m_pBridge = nullptr;

private:
    void installChannelScript();

    CBrowser* const m_pBrowser;
    std::unique_ptr<QTemporaryDir> m_pDirScratch;
    QWebEngineProfile* m_pProfile = nullptr;
    QWebChannel* m_pChannel = nullptr;
};
