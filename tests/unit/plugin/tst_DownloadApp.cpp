#include <QtTest>

#include <CGeneratedRoute.h>
#include <CSimServer.h>
#include <CWebClientRoute.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/CBrowser.h>
#include <httplib.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <QDesktopServices>
#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <utility>

#include "CDownloadCenterMgr.h"
#include "DataRows.h"
#include "DownloadApp.h"
#include "DownloadingWidgetProbe.h"
#include "LogCapture.h"
#include "ModalAnswerer.h"
#include "QDownloadCenter.h"
#include "ScriptedEngine.h"

using datarows::row;

namespace {

const char* const kNoPage = "/#/client/noPage";
const char* const kFileEntry =
    "{\"firstLevelMenu\":\"/#/client/noPage\",\"secondLevelMenu\":\"/client/base/client/downloadCenter\"}";

QList<QDownloadCenter*> windows()
{
    QList<QDownloadCenter*> listWindows;
    for (QWidget* pWidget : QApplication::allWidgets()) {
        if (auto* pWindow = qobject_cast<QDownloadCenter*>(pWidget)) {
            listWindows << pWindow;
        }
    }
    return listWindows;
}

// The web client's server sending the browser on to another address.
struct CAwayRoute : CSimRoute
{
    std::string m_strTo;
    void install(httplib::Server& server, const std::atomic_bool&) override
    {
        server.Get("/away",
                   [this](const httplib::Request&, httplib::Response& r) { r.set_redirect(m_strTo); });
    }
};

// A page of another origin that, given the bridge, fetches a file, opens the folder, asks for
// the status and shows what it is sent.
const char* const kForeignPage =
    "<script src='qwebchannel.js'></script><script>new QWebChannel(qt.webChannelTransport, function (c) {"
    "var b = c.objects.nativeBridge; b.sgnResponse.connect(function (t) { document.title += t; }); b.ready();"
    "b.request('{\"method\":\"AddDownloadTasksByPublicUrl\",\"id\":1,\"async\":false,\"params\":{"
    "\"downloadTasks\":[{\"taskId\":\"foreign\",\"url\":\"' + location.origin + '/generated/64\","
    "\"fileName\":\"foreign.bin\"}]}}');"
    "b.request('{\"method\":\"openDownloadFiledir\",\"id\":2,\"async\":false,\"params\":{}}');"
    "b.request('{\"method\":\"getDownloadTasksByPublicUrlStatus\",\"id\":3,\"async\":false,\"params\":{}}'); "
    "});"
    "</script>";

// The host's side of the subscription.
struct CRecordingHost : IAppPluginHost
{
    void registerNotify(const QStringList& listNames, void* pContext) override
    {
        m_strSeen = listNames.join(' ') + (pContext == this ? " (context)" : "");
    }
    QString m_strSeen;
};

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

}  // namespace

// The module as the host and the client's other modules drive it, in German, against the scripted
// engine: the plugin object's notifications, the exported facade, and the web page in the real
// browser, served by the simulator, fetching files through the window's public-URL jobs.
class tst_DownloadApp : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the desktop: records what would be opened.
    void onOpenUrl(const QUrl& url) { m_listOpened << url.toLocalFile(); }

private:
    QTemporaryDir m_dir;
    CSimServer m_server;
    CSimServer m_foreign;  // another origin
    std::unique_ptr<QWidget> m_pHost;
    std::unique_ptr<DownloadApp> m_pApp;
    CRecordingHost m_hostSide;
    QStringList m_listOpened;
    QStringList m_listRequests;

    void notify(const QString& strName, const QString& strJson)
    {
        m_pApp->onNotify({nullptr, 0, strName, strJson});
    }
    QDownloadCenter* openFromMenu()
    {
        notify("NotifySwitchMoudle", json({{"menuPath", kNoPage}}));
        return windows().value(0);
    }
    template <typename T = QWidget>
    T* child(const char* pszName = nullptr) const
    {
        return windows().value(0)->findChild<T*>(pszName ? QString(pszName) : QString());
    }
    QDownloadingWidget* downloading() const { return child<QDownloadingWidget>("wgtDownloading"); }
    QVariant inPage(const QString& strScript) const
    {
        // Shared, because an answer may still come after the wait gave up.
        auto pAnswer = std::make_shared<QVariantList>();
        child<QWebEngineView>()->page()->runJavaScript(
            strScript, [pAnswer](const QVariant& value) { *pAnswer << value; });
        (void)QTest::qWaitFor([pAnswer] { return !pAnswer->isEmpty(); }, 60000);
        return pAnswer->value(0);
    }
    // The file tab on the simulator's web client; the page's requests collect in the list returned.
    QStringList& openPage()
    {
        probe::setClientSetting("Local/WebUrl", m_server.baseUrl());
        m_pHost->show();  // the web engine starts with the tab shown
        notify("switchToSubMenu", kFileEntry);
        m_listRequests.clear();
        connect(child<CBrowser>(), &CBrowser::request, this,
                [this](CBrowser*, const QString& strText) { m_listRequests << strText; });
        return m_listRequests;
    }
    bool waitInPage(const QString& strCondition) const
    {
        return QTest::qWaitFor([&] { return inPage("!!(" + strCondition + ")").toBool(); }, 120000);
    }

private slots:
    void initTestCase()
    {
        // Set before the module is first built: its texts follow the locale of that moment.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        m_server.addRoute(std::make_unique<CWebClientRoute>(QCoreApplication::applicationDirPath() + "/web",
                                                            m_dir.filePath("none")));
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkpath("foreign"));
        QFile page(m_dir.filePath("foreign/index.html"));
        QVERIFY(page.open(QIODevice::WriteOnly) && page.write(kForeignPage) > 0);
        QVERIFY(QFile::copy(":/qtwebchannel/qwebchannel.js", m_dir.filePath("foreign/qwebchannel.js")));
        m_foreign.addRoute(std::make_unique<CGeneratedRoute>());
        m_foreign.addRoute(
            std::make_unique<CWebClientRoute>(m_dir.filePath("foreign"), m_dir.filePath("none")));
        QVERIFY(m_foreign.start());
        auto pAway = std::make_unique<CAwayRoute>();
        pAway->m_strTo = m_foreign.url("/client/base/client/downloadCenter").toString().toStdString();
        m_server.addRoute(std::move(pAway));
        QVERIFY(m_server.start());
        probe::setClientSetting("Download/FileDownloadPath", m_dir.filePath("files"));
        QDesktopServices::setUrlHandler("file", this, "onOpenUrl");
    }
    void init()
    {
        // Nothing listens there: the page never loads, except where a test names the simulator.
        probe::setClientSetting("Local/WebUrl", "http://127.0.0.1:9");
        ScriptedEngine::reset();
        ModalAnswerer::reset();
        m_pHost = std::make_unique<QWidget>();
        m_pHost->resize(1000, 700);
        m_pApp = std::make_unique<DownloadApp>();
        m_pApp->initPlugin(m_pHost.get(), &m_hostSide, &m_hostSide);
        QCOMPARE(m_hostSide.m_strSeen,
                 QString("NotifySwitchMoudle switchToSubMenu notifyDownloadingFileNum "
                         "AddDownloadTasksByPublicUrl NotifyDeviceStatus NotifyLoginOut (context)"));
    }
    void cleanup()
    {
        CDownloadCenterMgr::destroyInstance();
        QDownloadCenter::destroyInstance();
        QVERIFY(windows().isEmpty());
    }

    void notifications_data()
    {
        datarows::columns<bool, QString, QString>("bOpenBefore", "strName", "strJson");
        // Page shown (-1: not embedded), window shown, refresh messages to the page, record tasks
        // left, public-URL jobs held.
        QTest::addColumn<QString>("strSeen");
        const QString strSwitch = "NotifySwitchMoudle", strSub = "switchToSubMenu",
                      strJobs = "AddDownloadTasksByPublicUrl";
        const QString strHere = json({{"menuPath", kNoPage}}), strAway = json({{"menuPath", "/#/client/x"}});
        const QString strDelete = json({{"deviceId", "device-1"}, {"channelId", "1"}, {"event", "delete"}});
        const QString strTasks =
            "{\"downloadTasks\":[{\"taskId\":\"h-1\",\"url\":\"ftp:a\"},{\"taskId\":\"h-2\"}]}";
        row("switch here", false, strSwitch, strHere, "0 shown 0 1 0");
        row("switch away, not embedded", false, strSwitch, strAway, "-1 hidden 0 1 0");
        row("switch here, shown", true, strSwitch, strHere, "0 shown 1 1 0");
        row("switch away, shown", true, strSwitch, strAway, "0 hidden 0 1 0");
        row("file entry", false, strSub, kFileEntry, "1 shown 0 1 0");
        row("other module", true, strSub, QString(kFileEntry).replace("noPage", "x"), "0 hidden 0 1 0");
        row("device deleted", false, "NotifyDeviceStatus", strDelete, "0 hidden 0 0 0");
        row("jobs", false, strJobs, strTasks, "0 hidden 0 1 2");
        row("jobs, shown", true, strJobs, strTasks, "0 shown 0 1 2");
        row("count, not embedded", false, "notifyDownloadingFileNum", QString("{}"), "-1 hidden 0 1 0");
    }
    // Only the menus show the window; one taken for background work stays hidden.
    void notifications()
    {
        QFETCH(bool, bOpenBefore);
        QFETCH(QString, strName);
        QFETCH(QString, strJson);
        QFETCH(QString, strSeen);
        // A task handed in by another module before the plugin has needed the window.
        CDownloadCenterMgr::instance().addDownloadTask(probe::recordTask("front door"));
        std::unique_ptr<QSignalSpy> pSpySent;
        if (bOpenBefore) {
            openFromMenu();
            pSpySent = std::make_unique<QSignalSpy>(child<CBrowser>(), &CBrowser::sgnResponseSent);
        }
        notify(strName, strJson);
        const int nSent = pSpySent ? pSpySent->count() : 0;
        QCOMPARE(windows().size(), 1);
        QDownloadCenter* pWindow = windows().at(0);
        QCOMPARE(pWindow->parentWidget(), pWindow->isInited() ? m_pHost.get() : nullptr);
        QString strAnswer;  // to the page asking for the jobs held
        if (pWindow->isInited()) {
            QSignalSpy spyAnswer(child<CBrowser>(), &CBrowser::sgnResponseSent);
            emit child<CBrowser>()->request(
                nullptr,
                "{\"method\":\"getDownloadTasksByPublicUrlStatus\",\"id\":1,\"async\":false,\"params\":{}}");
            strAnswer = spyAnswer.value(0).value(0).toString();
        }
        const int nPage =
            pWindow->isInited() ? child<QStackedWidget>("DownloadCenterStacked")->currentIndex() : -1;
        QCOMPARE(QString("%1 %2 %3 %4 %5")
                     .arg(nPage)
                     .arg(pWindow->isHidden() ? "hidden" : "shown")
                     .arg(nSent)
                     .arg(probe::recordTasks(*downloading()).size())
                     .arg(strAnswer.count("\"taskId\"")),
                 strSeen);
    }

    void logOut_data()
    {
        // strHow: "log-out", "facade" (destroyInstance) or "uninit"; strDuring: a notification, "add" through
        // the facade, "done"; strBack: record tasks and the Done button at the next open
        datarows::columns<QString, QString, QString, QString>("strHow", "strDuring", "strDropped", "strBack");
        const QString strGone = "the download centre window is gone",
                      strTorn = "the window is being torn down", strTask = "1 &Fertig 0";
        const QString strLogOut = "log-out", strFacade = "facade", strMenu = "NotifySwitchMoudle";
        row("log-out, facade add", strLogOut, "add", strGone, strTask);
        row("log-out, device notice", strLogOut, "NotifyDeviceStatus", strTorn, strTask);
        row("log-out, menu", strLogOut, strMenu, strTorn, strTask);
        row("log-out, log-out", strLogOut, "NotifyLoginOut", QString(), strTask);
        // Finished during the stop wait: a finished download like any other, never fetched again.
        row("log-out, done", strLogOut, "done", QString(), "0 &Fertig 1");
        row("facade, facade add", strFacade, "add", strGone, strTask);
        row("facade, menu", strFacade, strMenu, strTorn, strTask);
        row("uninit, menu", "uninit", strMenu, strTorn, strTask);
    }
    // Log-out takes the window and the facade. What comes while it stops the running task (the
    // event loop runs) finds neither, builds no second window and waits on no lock; what comes
    // after is dropped until the next open.
    void logOut()
    {
        QFETCH(QString, strHow);
        QFETCH(QString, strDuring);
        QFETCH(QString, strDropped);
        QFETCH(QString, strBack);
        QPointer<CDownloadCenterMgr> pFacade = &CDownloadCenterMgr::instance();
        QPointer<QDownloadCenter> pFirst = openFromMenu();
        pFacade->addDownloadTask(probe::recordTask("a.mp4"));
        bool bInWait = false;
        ScriptedEngine::record().onNextCall("stopDownload", [&] {
            QTimer::singleShot(10, m_pHost.get(), [&] {
                bInWait = true;
                if (strDuring == "done") {
                    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(
                        1, true, ScriptedEngine::heldRecordInfo(1));
                } else if (strDuring == "add") {
                    CDownloadCenterMgr::instance().addDownloadTask(probe::recordTask("late.mp4"));
                } else {
                    notify(strDuring, json({{"menuPath", kNoPage}}));
                }
            });
        });
        LogCapture log;
        strHow == "facade"   ? CDownloadCenterMgr::destroyInstance()
        : strHow == "uninit" ? m_pApp->uninitPlugin()
                             : notify("NotifyLoginOut", QString());
        QVERIFY(bInWait && !pFirst && !pFacade && windows().isEmpty());
        QVERIFY(ScriptedEngine::heldRecordTasks().isEmpty());
        QCOMPARE(log.messages().filter("dropped").replaceInStrings("; the call is dropped", "").join(','),
                 strDropped);
        if (strDuring == "done") {
            // Its notice outlives the window; its action still opens the folder.
            const QList<QWidget*> listNotices =
                ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().visibleNotifications();
            auto* pNotice = qobject_cast<QLabel*>(listNotices.value(listNotices.size() - 1));
            QVERIFY(pNotice && pNotice->text().contains("a.mp4"));
            m_listOpened.clear();
            emit pNotice->linkActivated("action");
            QCOMPARE(std::exchange(m_listOpened, {}),
                     QStringList{CRecordDownloadManager::getInstance().getDownloadDir()});
        }
        if (strHow == "uninit") {
            m_pApp->initPlugin(m_pHost.get(), &m_hostSide, &m_hostSide);
        }
        notify("notifyDownloadingFileNum", json({{"downloadingFileNum", 3}}));
        QVERIFY(windows().isEmpty());
        QVERIFY(!openFromMenu()->isHidden());
        QTRY_COMPARE(QString("%1 %2")
                         .arg(probe::recordTasks(*downloading()).size())
                         .arg(child<QAbstractButton>("btnDone")->text()),
                     strBack);
    }

    // Every call goes to the one window, in the language of the machine.
    void facade()
    {
        CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
        m_pHost->resize(985, 735);  // the window's default size: the German labels are whole there too
        facade.initWidget(m_pHost.get());
        QVERIFY(facade.isInited() && windows().at(0)->parentWidget() == m_pHost.get());
        m_pHost->show();
        windows().at(0)->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
        facade.setProductInfo(QStringLiteral("Acme"));
        facade.addDownloadTask(probe::recordTask("a.mp4"));
        emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                          ScriptedEngine::heldRecordInfo(1));
        facade.addDownloadTask(probe::recordTask("b.mp4"));
        const auto buttons = [this] {
            return child<QAbstractButton>("btnDone")->text() + ", " +
                   child<QAbstractButton>("btnDownloading")->text();
        };
        QCOMPARE(QStringList({probe::recordModel(*downloading())->headerData(3, Qt::Horizontal).toString(),
                              probe::statusText(*downloading(), 2), buttons(), probe::cutLabels(*m_pHost)}),
                 QStringList({"Acme", "Wird geladen", "&Fertig 1, &Laufend 1", ""}));
        facade.clearDownloadData();
        QCOMPARE(buttons(), QString("&Fertig 0, &Laufend 0"));
    }

    // Built with no lock held: restoring the stored tasks hands them to the engine, and what that runs
    // may ask for the window and the facade again; it gets the ones being built.
    void reentrantInstance()
    {
        CDownloadCenterMgr::instance().addDownloadTask(probe::recordTask("a.mp4"));
        notify("NotifyLoginOut", QString());
        QDownloadCenter* pInner = nullptr;
        CDownloadCenterMgr* pInnerFacade = nullptr;
        ScriptedEngine::record().onNextCall("addDownloadTask", [&] {
            pInnerFacade = &CDownloadCenterMgr::instance();
            pInner = QDownloadCenter::instance();
        });
        CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
        QVERIFY(pInner && windows() == QList<QDownloadCenter*>{pInner} && pInnerFacade == &facade);
    }

    // The page in the window's browser: messages sent before it is up, a file fetched from its
    // list and opened, and how it shows the jobs' states.
    void webPage()
    {
        QStringList& listRequests = openPage();
        const QString strStatus =
            "{\"method\":\"responseDownloadTasksByPublicUrlStatus\",\"params\":{\"downloadTasksStatus\":[%1]}"
            "}";
        child<CBrowser>()->response(strStatus.arg("{\"taskId\":\"earlier\",\"status\":3}"));
        child<CBrowser>()->response(strStatus.arg(
            "{\"taskId\":\"x1\",\"status\":2,\"downloadProgress\":0.425},{\"taskId\":\"x2\",\"status\":3,"
            "\"downloadProgress\":0.5},{\"taskId\":\"x3\",\"status\":7,\"downloadProgress\":7.5},{\"taskId\":"
            "\"x4\",\"status\":2,\"downloadProgress\":\"half\"}"));
        const QString strDownload =
            "document.querySelector('#files button.download[aria-label=\"Download sample-1MiB.bin\"]')";
        QVERIFY(waitInPage(strDownload + " && document.querySelectorAll('#jobs tbody tr').length === 5"));
        QVERIFY(inPage(strDownload + ".click(); true").toBool());
        const QString strRow = "document.querySelector('#jobs tbody tr:nth-child(6)')";
        QVERIFY(waitInPage(strRow + " && " + strRow + ".classList.contains('finished')"));
        QCOMPARE(QFile(m_dir.filePath("files/sample-1MiB.bin")).size(), 1048576);
        QVERIFY(inPage(strRow + ".querySelector('.open-file').click(); true").toBool());
        QTRY_COMPARE_WITH_TIMEOUT(m_listOpened, QStringList{m_dir.filePath("files/sample-1MiB.bin")}, 60000);
        const QString strRows =
            "Array.prototype.map.call(document.querySelectorAll('#jobs tbody tr'), function (r) { return "
            "['.name', '.status', '.percent'].map(function (s) { return r.querySelector(s).textContent; "
            "}).join(' ') + ' ' + r.querySelector('.open-file').disabled; })";
        QCOMPARE(inPage(strRows).toStringList(),
                 QStringList({"earlier Finished 100% false", "x1 Failed 42% true", "x2 Finished 100% false",
                              "x3 Unknown 100% true", "x4 Failed 0% true",
                              "sample-1MiB.bin Finished 100% false"}));
        // The running count only when it changes (0, 1, 0), and the file to open by job and name.
        const QString strRequests = listRequests.join('\n');
        QCOMPARE(strRequests.count("\"method\":\"notifyDownloadingFileNum\""), 3);
        const QRegularExpression openFile(
            "\"openDownloadFiledir\".*\"taskId\":\"[^\"]+\",\"fileName\":\"sample-1MiB.bin\"}}");
        QVERIFY(strRequests.contains(openFile));
    }

    void foreignPages_data()
    {
        // Run in the web client's page; %1 is the other origin's page.
        datarows::columns<QString, bool>("strScript", "bRefused");
        row("link", "var a = document.createElement('a'); a.href = '%1'; document.body.append(a); a.click()",
            true);
        row("redirect", "location.href = '/away'", true);
        row("window.location", "window.location = '%1'", true);
        row("iframe", "var f = document.createElement('iframe'); f.src = '%1'; document.body.append(f)",
            true);
        row("other host name", "location.host = 'localhost:' + location.port", true);
        row("own origin", "location.reload()", false);
        // The window's browser itself pointed elsewhere: the window still answers nothing there.
        row("SetUrl", "SetUrl", true);
    }
    // Only the web client's origin gets the bridge: a page of another origin, however it is
    // reached, never loads, asks nothing and opens nothing; the web client's page goes on working.
    void foreignPages()
    {
        QFETCH(QString, strScript);
        QFETCH(bool, bRefused);
        m_listOpened.clear();
        QStringList& listRequests = openPage();
        QVERIFY(waitInPage("document.querySelector('#files button.download')"));
        LogCapture log;
        const QString strForeign = m_foreign.url("/client/base/client/downloadCenter").toString();
        if (strScript == "SetUrl") {
            listRequests.clear();
            child<CBrowser>()->SetUrl(strForeign);
            QTRY_COMPARE_WITH_TIMEOUT(listRequests.size(), 3, 60000);
            child<CBrowser>()->response("end");  // after any answer to those requests
            QVERIFY(waitInPage("/end$/.test(document.title)"));
            QCOMPARE(inPage("document.title").toString(), QString("end"));
            QCOMPARE(log.messages().filter("not of the web client").size(), 1);
            QVERIFY(m_listOpened.isEmpty() &&
                    QDir(m_dir.filePath("files")).entryList({"foreign*"}).isEmpty());
            return;
        }
        inPage("window.earlier = true; " + strScript.replace("%1", strForeign));
        if (bRefused) {
            QTRY_VERIFY_WITH_TIMEOUT(log.contains(6, "refused"), 30000);
        } else {
            QVERIFY(waitInPage("!window.earlier"));
        }
        child<CBrowser>()->response(
            "{\"method\":\"responseDownloadTasksByPublicUrlStatus\",\"params\":{"
            "\"downloadTasksStatus\":[{\"taskId\":\"still here\",\"status\":3}]}}");
        QVERIFY(waitInPage("document.querySelector('#jobs tbody').textContent.indexOf('still here') >= 0"));
        QCOMPARE(child<QWebEngineView>()->url().port(), m_server.port());
        QCOMPARE(log.contains(6, "refused"), bRefused);
        QCOMPARE(listRequests.filter("foreign"), QStringList());
        QVERIFY(m_listOpened.isEmpty() && !QFile::exists(m_dir.filePath("files/foreign.bin")));
    }
};

QTEST_MAIN(tst_DownloadApp)
#include "tst_DownloadApp.moc"
