#pragma once

#include <QString>
#include <QVariant>

class CBrowser;
class QWebEnginePage;
class QWebEngineView;

// Reads and drives the page inside a CBrowser from a test: scripts run in the page's own
// world, answers are waited for with generous timeouts (the first start of the web engine
// is slow on a small machine).
class PageProbe
{
public:
    explicit PageProbe(CBrowser* pBrowser);

    QWebEngineView* view() const;
    QWebEnginePage* page() const;

    // The value of strScript's last expression (JSON-like values only: strings, numbers,
    // booleans, arrays, objects), or an invalid QVariant when no answer came in time.
    QVariant evaluate(const QString& strScript, int nTimeoutMs = 60000) const;
    // Evaluates strCondition until it is true; false when it never became so.
    bool waitUntil(const QString& strCondition, int nTimeoutMs = 120000) const;

    // strText as a JavaScript string literal.
    static QString literal(const QString& strText);

private:
    CBrowser* m_pBrowser = nullptr;
};
