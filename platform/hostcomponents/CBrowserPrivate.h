#pragma once

#include <QTemporaryDir>

class CBrowser;
class CBrowserBridge;
class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// What a CBrowser is made of: a web view on a page of its own off-the-record profile, and
// the web channel that publishes the bridge to the page.
class CBrowserPrivate
{
public:
    explicit CBrowserPrivate(CBrowser* pBrowser);
    ~CBrowserPrivate();
    CBrowserPrivate(const CBrowserPrivate&) = delete;
    CBrowserPrivate& operator=(const CBrowserPrivate&) = delete;

    QWebEngineView* m_pView = nullptr;
    CBrowserBridge* m_pBridge = nullptr;

private:
    void installChannelScript();

    QTemporaryDir m_dirScratch;
    QWebEngineProfile* m_pProfile = nullptr;
    QWebEnginePage* m_pPage = nullptr;
    QWebChannel* m_pChannel = nullptr;
};
