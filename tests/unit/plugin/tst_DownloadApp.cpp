#include <QtTest>

#include <CGeneratedRoute.h>
#include <CSimServer.h>
#include <CWebClientRoute.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/CBrowser.h>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QStackedWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

#include "CDownloadCenterMgr.h"
#include "DownloadApp.h"
#include "DownloadingWidgetProbe.h"
#include "ModalAnswerer.h"
#include "QDownloadCenter.h"
#include "ScriptedEngine.h"

namespace {

const char* const kNoPage = "/#/client/noPage";
const char* const kFilePage = "/client/base/client/downloadCenter";

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

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString subMenu(const char* pszFirst, const char* pszSecond)
{
    return json({{"firstLevelMenu", pszFirst}, {"secondLevelMenu", pszSecond}});
}

// A status message to the page with jobs named by their ids.
QString statusMessage(const QList<QList<QJsonValue>>& listJobs)
{
    QJsonArray arrJobs;
    for (const QList<QJsonValue>& job : listJobs) {
        arrJobs << QJsonObject{
            {"taskId", job[0]}, {"fileName", job[0]}, {"status", job[1]}, {"downloadProgress", job[2]}};
    }
    return json({{"method", "responseDownloadTasksByPublicUrlStatus"},
                 {"params", QJsonObject{{"downloadTasksStatus", arrJobs}}}});
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
    std::unique_ptr<QWidget> m_pHost;
    std::unique_ptr<DownloadApp> m_pApp;
    QStringList m_listOpened;

    void notify(const QString& strName, const QString& strJson)
    {
        AppPluginNotification notification;
        notification.strName = strName;
        notification.strJson = strJson;
        m_pApp->onNotify(notification);
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
        QVERIFY(m_dir.isValid() && m_server.start());
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
        // Without a host to subscribe with; the loading test covers the subscription.
        m_pApp->initPlugin(m_pHost.get(), nullptr, nullptr);
    }
    void cleanup()
    {
        CDownloadCenterMgr::destroyInstance();
        QDownloadCenter::destroyInstance();
        m_pApp.reset();
        m_pHost.reset();
        QVERIFY(windows().isEmpty());
    }

    void notifications_data()
    {
        QTest::addColumn<bool>("bOpenBefore");
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strJson");
        // Page shown ("-": not embedded), window shown, refresh messages to the page, record tasks
        // left, public-URL jobs held.
        QTest::addColumn<QString>("strSeen");
        const QString strSwitch = "NotifySwitchMoudle", strSub = "switchToSubMenu",
                      strJobs = "AddDownloadTasksByPublicUrl";
        const QString strHere = json({{"menuPath", kNoPage}}), strAway = json({{"menuPath", "/#/client/x"}});
        const QString strDelete = json({{"deviceId", "device-1"}, {"channelId", "1"}, {"event", "delete"}});
        const QString strTasks = R"({"downloadTasks":[{"taskId":"h-1","url":"ftp:a"},{"taskId":"h-2"}]})";
        QTest::newRow("switch here") << false << strSwitch << strHere << "0 shown 0 1";
        QTest::newRow("switch away, not embedded") << false << strSwitch << strAway << "- hidden 0 1";
        QTest::newRow("switch here, shown") << true << strSwitch << strHere << "0 shown 1 1";
        QTest::newRow("switch away, shown") << true << strSwitch << strAway << "0 hidden 0 1";
        QTest::newRow("switch, not json") << true << strSwitch << "{\"menuPath\":"
                                          << "0 hidden 0 1";
        QTest::newRow("file entry") << false << strSub << subMenu(kNoPage, kFilePage) << "1 shown 0 1";
        QTest::newRow("file entry, shown") << true << strSub << subMenu(kNoPage, kFilePage) << "1 shown 1 1";
        QTest::newRow("other module")
            << true << strSub << subMenu("/#/client/x", kFilePage) << "0 hidden 0 1";
        QTest::newRow("device deleted") << false << "NotifyDeviceStatus" << strDelete << "0 hidden 0 0";
        QTest::newRow("device deleted, shown") << true << "NotifyDeviceStatus" << strDelete << "0 shown 0 0";
        QTest::newRow("jobs") << false << strJobs << strTasks << "0 hidden 0 1 h-1 h-2";
        QTest::newRow("jobs, shown") << true << strJobs << strTasks << "0 shown 0 1 h-1 h-2";
        QTest::newRow("jobs, not json") << false << strJobs << strTasks.chopped(1) << "0 hidden 0 1";
        QTest::newRow("count, not embedded") << false << "notifyDownloadingFileNum"
                                             << "{}"
                                             << "- hidden 0 1";
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
        QCOMPARE(windows().size(), 1);
        QDownloadCenter* pWindow = windows().at(0);
        QCOMPARE(pWindow->parentWidget(), pWindow->isInited() ? m_pHost.get() : nullptr);
        QStringList listSeen{
            pWindow->isInited()
                ? QString::number(child<QStackedWidget>("DownloadCenterStacked")->currentIndex())
                : "-",
            pWindow->isHidden() ? "hidden" : "shown", QString::number(pSpySent ? pSpySent->count() : 0),
            QString::number(probe::recordTasks(*downloading()).size())};
        if (pWindow->isInited()) {
            // The jobs held, as the page asks for them.
            QSignalSpy spyAnswer(child<CBrowser>(), &CBrowser::sgnResponseSent);
            emit child<CBrowser>()->request(
                nullptr,
                R"({"method":"getDownloadTasksByPublicUrlStatus","id":1,"async":false,"params":{}})");
            for (const QJsonValue& entry :
                 QJsonDocument::fromJson(
                     spyAnswer.value(0).value(0).toString().toUtf8())["params"]["downloadTasksStatus"]
                     .toArray()) {
                listSeen << entry["taskId"].toString();
            }
        }
        QCOMPARE(listSeen.join(' '), strSeen);
    }

    // Log-out takes the window and the facade; what comes for them then is dropped.
    void logOut()
    {
        QPointer<QDownloadCenter> pFirst = openFromMenu();
        QPointer<CDownloadCenterMgr> pFacade = &CDownloadCenterMgr::instance();
        notify("NotifyLoginOut", QString());
        QVERIFY(!pFirst && !pFacade && windows().isEmpty());
        notify("notifyDownloadingFileNum", json({{"downloadingFileNum", 3}}));
        QVERIFY(windows().isEmpty());
        QVERIFY(!openFromMenu()->isHidden());
        QVERIFY(!child("wgtFileDownloadNum")->isVisibleTo(windows().at(0)));
    }

    // Every call goes to the one window, in the language of the machine.
    void facade()
    {
        CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
        QVERIFY(!facade.isInited());
        facade.initWidget(m_pHost.get());
        QVERIFY(facade.isInited() && windows().at(0)->parentWidget() == m_pHost.get());
        QString strProduct = "Acme";
        facade.setProductInfo(strProduct);
        QCOMPARE(probe::recordModel(*downloading())->headerData(3, Qt::Horizontal).toString(), strProduct);
        facade.addDownloadTask(probe::recordTask("a.mp4"));
        QCOMPARE(probe::recordTasks(*downloading()), QList<int>{1});
        QCOMPARE(probe::statusText(*downloading(), 1), QString("Wird geladen"));
        emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                          ScriptedEngine::heldRecordInfo(1));
        QCOMPARE(child<QAbstractButton>("btnDone")->text(), QString("Fertig 1"));
        facade.clearDownloadData();
        QCOMPARE(child<QAbstractButton>("btnDone")->text(), QString("Fertig 0"));
        CDownloadCenterMgr::destroyInstance();
        QVERIFY(windows().isEmpty());
    }

    // The page in the window's browser: messages sent before it is up, a file fetched from its
    // list and opened, and how it shows the jobs' states.
    void webPage()
    {
        probe::setClientSetting("Local/WebUrl", m_server.baseUrl());
        m_pHost->show();
        notify("switchToSubMenu", subMenu(kNoPage, kFilePage));
        QStringList listRequests;
        QObject context;  // ends the connection with this test
        connect(child<CBrowser>(), &CBrowser::request, &context,
                [&listRequests](CBrowser*, const QString& strText) { listRequests << strText; });
        child<CBrowser>()->response(statusMessage({{"earlier", 3, 1}}));
        child<CBrowser>()->response(
            statusMessage({{"x1", 2, 0.425}, {"x2", 3, 0.5}, {"x3", 7, 7.5}, {"x4", 2, "half"}}));
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
        // The running count only when it changes, and the file to open by job and name.
        QStringList listSeen;
        for (const QString& strText : qAsConst(listRequests)) {
            const QJsonObject request = QJsonDocument::fromJson(strText.toUtf8()).object();
            if (QStringList({"notifyDownloadingFileNum", "openDownloadFiledir"})
                    .contains(request.value("method").toString())) {
                listSeen << json(request["params"].toObject())
                                .remove(QRegularExpression(",\"taskId\":\"[^\"]*\""));
            }
        }
        QCOMPARE(listSeen, QStringList({R"({"downloadingFileNum":0})", R"({"downloadingFileNum":1})",
                                        R"({"downloadingFileNum":0})", R"({"fileName":"sample-1MiB.bin"})"}));
    }
};

QTEST_MAIN(tst_DownloadApp)
#include "tst_DownloadApp.moc"
