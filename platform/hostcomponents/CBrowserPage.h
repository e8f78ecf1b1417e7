#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

// The browser's page. It belongs to one origin (scheme, host and port): navigations of the
// top frame or of a subframe to any other origin, whether by link, script or server redirect,
// are refused and logged, so the native bridge is never reachable from a foreign document.
class CBrowserPage : public QWebEnginePage
{
    Q_OBJECT

public:
    CBrowserPage(QWebEngineProfile* pProfile, QObject* parent);

    // The origin of url becomes the only one the page may show; one without a host allows none.
    void setOrigin(const QUrl& url) { m_urlOrigin = url; }
    // Whether url lies in that origin; nothing does before setOrigin.
    bool isOwnOrigin(const QUrl& url) const { return sameOrigin(m_urlOrigin, url); }
    // Whether url has the scheme, host and port of origin, which must have a host.
    static bool sameOrigin(const QUrl& origin, const QUrl& url);

    // Whether a navigation of the top frame was refused since the last call.
    bool takeRefusal();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType eType, bool bMainFrame) override;

private:
    QUrl m_urlOrigin;
    bool m_bRefused = false;
};
