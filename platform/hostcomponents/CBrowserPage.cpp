#include "CBrowserPage.h"

#include <ncl/NPrintLog.h>

namespace {

const char* const kLogFile = "platform\\hostcomponents\\CBrowserPage";
constexpr int kLogWarning = 6;

// The port a URL of this scheme means when it names none.
int portOf(const QUrl& url)
{
    const QString strScheme = url.scheme();
    return url.port(strScheme == QLatin1String("https") ? 443 : strScheme == QLatin1String("http") ? 80 : -1);
}

}  // namespace

CBrowserPage::CBrowserPage(QWebEngineProfile* pProfile, QObject* parent) : QWebEnginePage(pProfile, parent) {}

bool CBrowserPage::sameOrigin(const QUrl& origin, const QUrl& url)
{
    // QUrl keeps scheme and host in lower case, so plain comparisons are exact.
    return !origin.host().isEmpty() && url.scheme() == origin.scheme() && url.host() == origin.host() &&
           portOf(url) == portOf(origin);
}

bool CBrowserPage::takeRefusal()
{
    const bool bRefused = m_bRefused;
    m_bRefused = false;
    return bRefused;
}

bool CBrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType eType, bool bMainFrame)
{
    if (isOwnOrigin(url)) {
        return true;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CBrowserPage::acceptNavigationRequest", "",
                                    kLogWarning, "navigation to another origin refused (type %d, %s)[%s]",
                                    static_cast<int>(eType), bMainFrame ? "page" : "subframe",
                                    url.toString().toUtf8().constData());
    m_bRefused = m_bRefused || bMainFrame;
    return false;
}
