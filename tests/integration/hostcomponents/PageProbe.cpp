#include "PageProbe.h"

#include <hostcomponents/CBrowser.h>

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

PageProbe::PageProbe(CBrowser* pBrowser) : m_pBrowser(pBrowser) {}

QWebEngineView* PageProbe::view() const
{
    return m_pBrowser ? m_pBrowser->findChild<QWebEngineView*>() : nullptr;
}

QWebEnginePage* PageProbe::page() const
{
    QWebEngineView* pView = view();
    return pView ? pView->page() : nullptr;
}

QVariant PageProbe::evaluate(const QString& strScript, int nTimeoutMs) const
{
    QWebEnginePage* pPage = page();
    if (!pPage) {
        return QVariant();
    }
    // Shared, because an answer may still come after this call gave up.
    struct Answer
    {
        bool bDone = false;
        QVariant value;
    };
    auto pAnswer = std::make_shared<Answer>();
    pPage->runJavaScript(strScript, [pAnswer](const QVariant& value) {
        pAnswer->value = value;
        pAnswer->bDone = true;
    });
    (void)QTest::qWaitFor([&pAnswer] { return pAnswer->bDone; }, nTimeoutMs);
    return pAnswer->bDone ? pAnswer->value : QVariant();
}

bool PageProbe::waitUntil(const QString& strCondition, int nTimeoutMs) const
{
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!deadline.hasExpired()) {
        const QVariant value =
            evaluate(QStringLiteral("!!(%1)").arg(strCondition), qMax<qint64>(1, deadline.remainingTime()));
        if (value.toBool()) {
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}

QString PageProbe::literal(const QString& strText)
{
    // A JSON string is a JavaScript string literal.
    const QByteArray baArray = QJsonDocument(QJsonArray{strText}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(baArray.mid(1, baArray.size() - 2));
}
