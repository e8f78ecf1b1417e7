#include "PageProbe.h"

#include <CSimServer.h>
#include <CWebClientRoute.h>
#include <hostcomponents/CBrowser.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

// A page that only speaks the bridge: it keeps every text it receives in order.
const char kProbePage[] = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>probe</title></head>
<body style="height: 600px">
<p>probe</p>
<script>
window.received = [];
window.bridgeUp = false;
window.contextMenus = 0;
document.addEventListener('contextmenu', function () {
  window.contextMenus++;
  window.nativeBridge.request('contextmenu seen');
});
new QWebChannel(qt.webChannelTransport, function (channel) {
  window.nativeBridge = channel.objects.nativeBridge;
  window.nativeBridge.sgnResponse.connect(function (text) { window.received.push(text); });
  window.nativeBridge.ready();
  window.bridgeUp = true;
});
</script>
</body></html>
)";

}  // namespace

// The embedded browser in a real web engine, offscreen: requests from the page, responses
// and bus messages to it, load signals, the context menu, and a profile that leaves no trace
// in the home folder (this program runs with a home of its own, see main()).
class tst_CBrowser : public QObject
{
    Q_OBJECT

public:
    explicit tst_CBrowser(const QString& strHome) : m_strHome(strHome) {}

private:
    QString m_strHome;
    QTemporaryDir m_dir;
    CSimServer m_server;
    std::unique_ptr<CBrowser> m_pBrowser;
    std::unique_ptr<PageProbe> m_pProbe;

    QString probeUrl() const { return m_server.baseUrl() + QStringLiteral("/client/base/client/probe.html"); }

    // Marks the document shown now, so that a wait can tell the next one from it.
    void markOldDocument() { m_pProbe->evaluate(QStringLiteral("window.oldDocument = true")); }

    bool newProbeIsUp(const QString& strAlso = QStringLiteral("true"))
    {
        return m_pProbe->waitUntil(
            QStringLiteral("!window.oldDocument && window.bridgeUp && location.href === %1 && (%2)")
                .arg(PageProbe::literal(probeUrl()), strAlso));
    }

    bool loadProbe()
    {
        markOldDocument();
        m_pBrowser->SetUrl(probeUrl());
        return newProbeIsUp();
    }

    QStringList received() const
    {
        return m_pProbe->evaluate(QStringLiteral("window.received")).toStringList();
    }

    static QStringList homeContents(const QString& strHome)
    {
        QStringList listEntries;
        QDirIterator it(strHome, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            listEntries << QDir(strHome).relativeFilePath(it.next());
        }
        listEntries.sort();
        return listEntries;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("web"))));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("public"))));
        QFile page(m_dir.filePath(QStringLiteral("web/probe.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        QVERIFY(page.write(kProbePage) > 0);
        page.close();
        m_server.addRoute(std::make_unique<CWebClientRoute>(m_dir.filePath(QStringLiteral("web")),
                                                            m_dir.filePath(QStringLiteral("public"))));
        QVERIFY(m_server.start());
        QVERIFY(homeContents(m_strHome).isEmpty());

        m_pBrowser = std::make_unique<CBrowser>();
        m_pBrowser->resize(800, 600);
        m_pBrowser->show();
        m_pProbe = std::make_unique<PageProbe>(m_pBrowser.get());
        QVERIFY(m_pProbe->view());
    }

    void loadSignalsArePassedOn()
    {
        QSignalSpy progress(m_pBrowser.get(), &CBrowser::loadProgress);
        QSignalSpy finished(m_pBrowser.get(), &CBrowser::loadFinished);
        m_pBrowser->SetUrl(probeUrl());
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toInt(), 100);

        // Nothing listens on port 1 of loopback.
        finished.clear();
        m_pBrowser->SetUrl(QStringLiteral("http://127.0.0.1:1/"));
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
    }

    void oddAddressesLeaveTheBrowserUsable()
    {
        m_pBrowser->SetUrl(QString());
        m_pBrowser->SetUrl(QStringLiteral(":::: not an address"));
        m_pBrowser->SetUrl(QStringLiteral("unknown-scheme://x/y"));
        QVERIFY(loadProbe());
        m_pBrowser->response(QStringLiteral("still here"));
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("window.received.length >= 1")));
        QCOMPARE(received(), QStringList{QStringLiteral("still here")});
    }

    void requestTextsArriveExactly_data()
    {
        QTest::addColumn<QString>("strText");
        QTest::newRow("request") << QStringLiteral(
            R"({"method":"notifyDownloadingFileNum","id":1,"async":false,"params":{"downloadingFileNum":5}})");
        QTest::newRow("empty") << QString();
        QTest::newRow("percent signs") << QStringLiteral("%s %d %n %1 %%");
        QTest::newRow("quotes and escapes") << QStringLiteral("\"'\\\n\t</script>");
        QTest::newRow("non-ascii") << QStringLiteral(u"Grüße 下载 \U0001F4E5");
        QTest::newRow("not json") << QStringLiteral("{\"method\":");
        QTest::newRow("long") << QString(200000, QLatin1Char('x'));
    }

    void requestTextsArriveExactly()
    {
        QFETCH(QString, strText);
        if (!m_pProbe->evaluate(QStringLiteral("window.bridgeUp")).toBool()) {
            QVERIFY(loadProbe());
        }
        QSignalSpy requests(m_pBrowser.get(), &CBrowser::request);
        QVERIFY(
            m_pProbe
                ->evaluate(
                    QStringLiteral("window.nativeBridge.request(%1); true").arg(PageProbe::literal(strText)))
                .toBool());
        // The answer to the script may come before or after the request.
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, 60000);
        QCOMPARE(requests.at(0).at(0).value<CBrowser*>(), m_pBrowser.get());
        QCOMPARE(requests.at(0).at(1).toString(), strText);
    }

    void requestsKeepTheirOrder()
    {
        QVERIFY(loadProbe());
        QStringList listTexts;
        QSignalSpy requests(m_pBrowser.get(), &CBrowser::request);
        connect(m_pBrowser.get(), &CBrowser::request, this,
                [&listTexts](CBrowser*, const QString& strText) { listTexts << strText; });
        QVERIFY(m_pProbe
                    ->evaluate(QStringLiteral(
                        "for (var i = 0; i < 200; i++) window.nativeBridge.request('r' + i); true"))
                    .toBool());
        QTRY_COMPARE_WITH_TIMEOUT(listTexts.size(), 200, 60000);
        for (int i = 0; i < 200; ++i) {
            QCOMPARE(listTexts.at(i), QStringLiteral("r%1").arg(i));
        }
        disconnect(m_pBrowser.get(), &CBrowser::request, this, nullptr);
    }

    void responsesSentBeforeThePageIsReadyAreKept()
    {
        // Sent while the old document, subscribed, is still shown and before the new one has
        // subscribed.
        QVERIFY(loadProbe());
        markOldDocument();
        m_pBrowser->SetUrl(probeUrl());
        m_pBrowser->response(QStringLiteral("first"));
        m_pBrowser->response(QStringLiteral("second"));
        QVERIFY(newProbeIsUp());
        m_pBrowser->response(QStringLiteral("third"));
        QVERIFY(newProbeIsUp(QStringLiteral("window.received.length >= 3")));
        QCOMPARE(received(), (QStringList{"first", "second", "third"}));
    }

    void responsesKeepTheirOrder()
    {
        QVERIFY(loadProbe());
        QStringList listSent;
        for (int i = 0; i < 300; ++i) {
            listSent << QStringLiteral("{\"n\":%1,\"text\":\"%2\"}")
                            .arg(i)
                            .arg(i % 7 == 0 ? QStringLiteral("100%") : QString());
            m_pBrowser->response(listSent.last());
        }
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("window.received.length >= 300")));
        QCOMPARE(received(), listSent);
    }

    void aReloadByThePageDoesNotLoseResponses()
    {
        QVERIFY(loadProbe());
        // The page navigates by itself; what is sent as the navigation starts belongs to the
        // next document.
        bool bStarted = false;
        QMetaObject::Connection connection =
            connect(m_pProbe->view(), &QWebEngineView::loadStarted, this, [this, &bStarted] {
                bStarted = true;
                m_pBrowser->response(QStringLiteral("during the reload"));
            });
        markOldDocument();
        QVERIFY(m_pProbe->evaluate(QStringLiteral("window.location.reload(); true")).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(bStarted, 120000);
        disconnect(connection);
        QVERIFY(newProbeIsUp(QStringLiteral("window.received.length >= 1")));
        QCOMPARE(received(), QStringList{QStringLiteral("during the reload")});
    }

    void busMessagesReachThePageAsCompactJson()
    {
        QVERIFY(loadProbe());
        QJsonObject message;
        message.insert(QStringLiteral("method"), QStringLiteral("notifyWebRefreshDownloadFilePage"));
        message.insert(QStringLiteral("id"), 7);
        message.insert(QStringLiteral("async"), false);
        message.insert(QStringLiteral("result"), true);
        message.insert(QStringLiteral("params"),
                       QJsonObject{{QStringLiteral("text"), QStringLiteral("a b")}});
        QVERIFY(m_pBrowser->onWebNotifyBusMessage(message));
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("window.received.length >= 1")));
        QCOMPARE(
            received(),
            QStringList{QStringLiteral(
                R"({"async":false,"id":7,"method":"notifyWebRefreshDownloadFilePage","params":{"text":"a b"},"result":true})")});
    }

    void noContextMenu()
    {
        QVERIFY(loadProbe());
        QWidget* pTarget = m_pProbe->view()->focusProxy();
        QVERIFY(pTarget);
        QSignalSpy requests(m_pBrowser.get(), &CBrowser::request);
        const QPoint point(100, 100);
        QTest::mouseMove(pTarget, point);
        QTest::mousePress(pTarget, Qt::RightButton, Qt::NoModifier, point);
        QTest::mouseRelease(pTarget, Qt::RightButton, Qt::NoModifier, point);
        // The page saw the click ...
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, 60000);
        QCOMPARE(requests.at(0).at(1).toString(), QStringLiteral("contextmenu seen"));
        // ... and a round trip through the page later, the browser has still shown no menu.
        QVERIFY(m_pProbe->evaluate(QStringLiteral("window.contextMenus")).toInt() >= 1);
        QVERIFY(m_pProbe->evaluate(QStringLiteral("true")).toBool());
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(m_pBrowser->findChildren<QMenu*>().size(), 0);
    }

    void offTheRecordProfileLeavesNothingInTheHomeAndEndsCleanly()
    {
        QVERIFY(loadProbe());
        // Everything a page can keep: a lasting cookie, local storage, a database, a cache.
        const QVariant stored = m_pProbe->evaluate(QStringLiteral(R"(
            document.cookie = 'kept=1; max-age=86400; path=/';
            localStorage.setItem('kept', 'value');
            window.dbDone = false;
            var open = indexedDB.open('kept', 1);
            open.onupgradeneeded = function () { open.result.createObjectStore('s'); };
            open.onsuccess = function () {
              var tx = open.result.transaction('s', 'readwrite');
              tx.objectStore('s').put('value', 'key');
              tx.oncomplete = function () { window.dbDone = true; };
            };
            window.cacheDone = false;
            caches.open('kept').then(function (cache) {
              return cache.put('/kept', new Response('value'));
            }).then(function () { window.cacheDone = true; }, function () { window.cacheDone = true; });
            document.cookie.indexOf('kept=1') >= 0 && localStorage.getItem('kept') === 'value';
        )"));
        QCOMPARE(stored.toBool(), true);
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("window.dbDone && window.cacheDone")));

        // The storage lives as long as the browser; its end is when a profile would write.
        // The browser goes as a receiver of its request may end it: from inside the slot, as
        // a log-out does.
        QPointer<QWebEngineView> pView = m_pProbe->view();
        connect(m_pBrowser.get(), &CBrowser::request, this, [this](CBrowser*, const QString& strText) {
            if (strText == QLatin1String("log out")) {
                m_pProbe.reset();
                m_pBrowser.reset();
            }
        });
        m_pProbe->page()->runJavaScript(QStringLiteral("window.nativeBridge.request('log out'); true"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_pBrowser, 60000);
        QVERIFY(pView.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(homeContents(m_strHome), QStringList());
    }

    void cleanupTestCase()
    {
        m_pProbe.reset();
        m_pBrowser.reset();
        m_server.stop();
    }
};

// The home folder and the XDG folders of this process point into an empty folder of its
// own, so that anything the web engine writes under the home shows up.
int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    const QByteArray baHome = QFile::encodeName(home.path());
    qputenv("HOME", baHome);
    qputenv("XDG_CONFIG_HOME", baHome + "/.config");
    qputenv("XDG_DATA_HOME", baHome + "/.local/share");
    qputenv("XDG_CACHE_HOME", baHome + "/.cache");

    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_CBrowser test(home.path());
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CBrowser.moc"
