#include <QtTest>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <hostcomponents/CBrowser.h>
#include <hostcomponents/QRedDotLabel.h>

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

// Every download centre window that exists.
QList<QDownloadCenter*> windows()
{
    QList<QDownloadCenter*> listWindows;
    for (QWidget* pWidget : QApplication::allWidgets()) {
        if (auto* pWindow = qobject_cast<QDownloadCenter*>(pWidget)) {
            listWindows.append(pWindow);
        }
    }
    return listWindows;
}

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// The host's side of the subscription.
class RecordingHost : public IAppPluginHost
{
public:
    void registerNotify(const QStringList& names, void* context) override
    {
        m_listNames.append(names);
        m_listContexts.append(context);
    }

    QList<QStringList> m_listNames;
    QList<void*> m_listContexts;
};

}  // namespace

class tst_DownloadApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void subscribesToSixNames();
    void menus_data();
    void menus();
    void fileCountNeedsAWindow();
    void deviceStatus_data();
    void deviceStatus();
    void publicUrlTasks_data();
    void publicUrlTasks();
    void logOutThenNewWindow();
    void logOutTakesTheFacadesWindow();
    void facadeDestroysTheWindowFirst();
    void otherNamesIgnored();

private:
    void notify(const QString& strName, const QString& strJson);
    void notify(const QString& strName, const QJsonObject& payload) { notify(strName, json(payload)); }
    // Opens the download centre from the menu, as the host does.
    QDownloadCenter* openFromMenu();
    QDownloadCenter* window() const { return windows().value(0); }
    int stackedPage() const
    {
        return window()->findChild<QStackedWidget*>(QStringLiteral("DownloadCenterStacked"))->currentIndex();
    }

    std::unique_ptr<QWidget> m_pHost;
    std::unique_ptr<DownloadApp> m_pApp;
    RecordingHost m_host;
    int m_nContext = 0;
    QTemporaryDir m_dirFiles;
};

void tst_DownloadApp::initTestCase()
{
    QVERIFY(m_dirFiles.isValid());
    // Nothing listens there: the page never loads.
    probe::setClientSetting(QStringLiteral("Local/WebUrl"), QStringLiteral("http://127.0.0.1:9"));
    probe::setClientSetting(QStringLiteral("Download/FileDownloadPath"), m_dirFiles.path());
}

void tst_DownloadApp::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    m_pHost = std::make_unique<QWidget>();
    m_pHost->resize(1000, 700);
    m_host = RecordingHost();
    m_pApp = std::make_unique<DownloadApp>();
    m_pApp->initPlugin(m_pHost.get(), &m_host, &m_nContext);
}

void tst_DownloadApp::cleanup()
{
    CDownloadCenterMgr::destroyInstance();
    QDownloadCenter::destroyInstance();
    m_pApp.reset();
    m_pHost.reset();
    QVERIFY(windows().isEmpty());
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
}

void tst_DownloadApp::notify(const QString& strName, const QString& strJson)
{
    AppPluginNotification notification;
    notification.strName = strName;
    notification.strJson = strJson;
    m_pApp->onNotify(notification);
}

QDownloadCenter* tst_DownloadApp::openFromMenu()
{
    notify(QStringLiteral("NotifySwitchMoudle"), QJsonObject{{"menuPath", kNoPage}});
    return window();
}

void tst_DownloadApp::subscribesToSixNames()
{
    const QStringList listNames{"NotifySwitchMoudle",       "switchToSubMenu",
                                "notifyDownloadingFileNum", "AddDownloadTasksByPublicUrl",
                                "NotifyDeviceStatus",       "NotifyLoginOut"};
    QCOMPARE(m_host.m_listNames, QList<QStringList>{listNames});
    QCOMPARE(m_host.m_listContexts, QList<void*>{&m_nContext});
    QVERIFY(windows().isEmpty());
}

void tst_DownloadApp::menus_data()
{
    QTest::addColumn<bool>("bOpenBefore");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strJson");
    QTest::addColumn<bool>("bShown");  // false also when there is no window
    QTest::addColumn<int>("nPage");
    QTest::addColumn<int>("nRefreshes");

    const QString strSwitch = QStringLiteral("NotifySwitchMoudle");
    const QString strSub = QStringLiteral("switchToSubMenu");
    const auto sub = [](const char* szFirst, const char* szSecond) {
        return json(QJsonObject{{"firstLevelMenu", szFirst}, {"secondLevelMenu", szSecond}});
    };
    const QString strNoPage = json(QJsonObject{{"menuPath", kNoPage}});
    const QString strOther = json(QJsonObject{{"menuPath", "/#/client/preview"}});

    QTest::newRow("switch here, no window") << false << strSwitch << strNoPage << true << 0 << -1;
    QTest::newRow("switch away, no window") << false << strSwitch << strOther << false << -1 << -1;
    QTest::newRow("switch here, shown") << true << strSwitch << strNoPage << true << 0 << 1;
    QTest::newRow("switch away, shown") << true << strSwitch << strOther << false << 0 << 0;
    QTest::newRow("switch, no path") << true << strSwitch << "{}" << false << 0 << 0;
    QTest::newRow("switch, not json") << true << strSwitch << "{\"menuPath\":" << false << 0 << 0;
    QTest::newRow("file entry, no window") << false << strSub << sub(kNoPage, kFilePage) << true << 1 << -1;
    QTest::newRow("file entry, shown") << true << strSub << sub(kNoPage, kFilePage) << true << 1 << 1;
    QTest::newRow("other entry, shown")
        << true << strSub << sub(kNoPage, "/client/base/client/other") << true << 0 << 0;
    QTest::newRow("other module, shown")
        << true << strSub << sub("/#/client/preview", kFilePage) << false << 0 << 0;
    QTest::newRow("other module, no window")
        << false << strSub << sub("/#/client/preview", kFilePage) << false << -1 << -1;
    QTest::newRow("sub, not json") << true << strSub << "first" << false << 0 << 0;
}

void tst_DownloadApp::menus()
{
    QFETCH(bool, bOpenBefore);
    QFETCH(QString, strName);
    QFETCH(QString, strJson);
    QFETCH(bool, bShown);
    QFETCH(int, nPage);
    QFETCH(int, nRefreshes);

    std::unique_ptr<QSignalSpy> pSpySent;
    if (bOpenBefore) {
        QVERIFY(!openFromMenu()->isHidden());
        pSpySent = std::make_unique<QSignalSpy>(window()->findChild<CBrowser*>(), &CBrowser::sgnResponseSent);
    }
    notify(strName, strJson);

    // -1: no window is made.
    QCOMPARE(windows().size(), nPage < 0 ? 0 : 1);
    if (nPage < 0) {
        return;
    }
    QVERIFY(window()->isInited());
    QCOMPARE(window()->parentWidget(), m_pHost.get());
    QCOMPARE(!window()->isHidden(), bShown);
    QCOMPARE(stackedPage(), nPage);
    if (pSpySent) {
        QCOMPARE(pSpySent->count(), nRefreshes);
        for (const QList<QVariant>& listArgs : qAsConst(*pSpySent)) {
            QCOMPARE(QJsonDocument::fromJson(listArgs.at(0).toString().toUtf8())["method"].toString(),
                     QStringLiteral("notifyWebRefreshDownloadFilePage"));
        }
    }
}

void tst_DownloadApp::fileCountNeedsAWindow()
{
    const QJsonObject count{{"downloadingFileNum", 12}};
    notify(QStringLiteral("notifyDownloadingFileNum"), count);
    QVERIFY(windows().isEmpty());

    QDownloadCenter* pWindow = openFromMenu();
    notify(QStringLiteral("notifyDownloadingFileNum"), count);
    QCOMPARE(pWindow->findChild<QRedDotLabel*>(QStringLiteral("labFileDownloadNum"))->text(),
             QStringLiteral("12"));
    // Not JSON: no count in it, the badge stays.
    notify(QStringLiteral("notifyDownloadingFileNum"), QStringLiteral("{\"downloadingFileNum\":0"));
    QVERIFY(pWindow->findChild<QWidget*>(QStringLiteral("wgtFileDownloadNum"))->isVisibleTo(pWindow));
}

void tst_DownloadApp::deviceStatus_data()
{
    QTest::addColumn<bool>("bOpenBefore");
    QTest::addColumn<QString>("strJson");
    QTest::addColumn<bool>("bRemoved");

    const QString strDelete =
        json(QJsonObject{{"deviceId", "device-1"}, {"channelId", "1"}, {"event", "delete"}});
    QTest::newRow("window not open") << false << strDelete << true;
    QTest::newRow("window shown") << true << strDelete << true;
    QTest::newRow("other event") << false << json(QJsonObject{{"deviceId", "device-1"}, {"event", "online"}})
                                 << false;
    QTest::newRow("not json") << false << R"({"deviceId":"device-1","event":"delete")" << false;
}

void tst_DownloadApp::deviceStatus()
{
    QFETCH(bool, bOpenBefore);
    QFETCH(QString, strJson);
    QFETCH(bool, bRemoved);

    // A task handed in by another module before the plugin has needed the window.
    QDownloadCenter* pWindow = bOpenBefore ? openFromMenu() : QDownloadCenter::instance();
    emit pWindow->sgnAddDownloadTask(probe::recordTask(QStringLiteral("front door")));
    auto* pDownloading = pWindow->findChild<QDownloadingWidget*>(QStringLiteral("wgtDownloading"));
    QCOMPARE(probe::recordTasks(*pDownloading).size(), 1);

    notify(QStringLiteral("NotifyDeviceStatus"), strJson);

    QCOMPARE(windows(), QList<QDownloadCenter*>{pWindow});
    QVERIFY(pWindow->isInited());
    QCOMPARE(pWindow->parentWidget(), m_pHost.get());
    // Only the menus show the window.
    QCOMPARE(!pWindow->isHidden(), bOpenBefore);
    QCOMPARE(probe::recordTasks(*pDownloading).isEmpty(), bRemoved);
}

void tst_DownloadApp::publicUrlTasks_data()
{
    QTest::addColumn<bool>("bOpenBefore");
    QTest::addColumn<QString>("strJson");
    QTest::addColumn<QStringList>("listTaskIds");

    // Addresses the jobs refuse at once: no transfer, failed jobs.
    const QString strTasks = json(QJsonObject{
        {"downloadTasks", QJsonArray{QJsonObject{{"taskId", "h-1"}, {"url", "ftp:a"}, {"fileName", "a"}},
                                     QJsonObject{{"taskId", "h-2"}, {"url", "ftp:b"}, {"fileName", "b"}}}}});
    QTest::newRow("window not open") << false << strTasks << QStringList{"h-1", "h-2"};
    QTest::newRow("window shown") << true << strTasks << QStringList{"h-1", "h-2"};
    QTest::newRow("not json") << false << strTasks.chopped(1) << QStringList();
}

void tst_DownloadApp::publicUrlTasks()
{
    QFETCH(bool, bOpenBefore);
    QFETCH(QString, strJson);
    QFETCH(QStringList, listTaskIds);

    if (bOpenBefore) {
        openFromMenu();
    }
    notify(QStringLiteral("AddDownloadTasksByPublicUrl"), strJson);

    QCOMPARE(windows().size(), 1);
    QDownloadCenter* pWindow = window();
    QVERIFY(pWindow->isInited());
    QCOMPARE(!pWindow->isHidden(), bOpenBefore);
    // The jobs answer the page for whatever they hold.
    QSignalSpy spySent(pWindow->findChild<CBrowser*>(), &CBrowser::sgnResponseSent);
    pWindow->onRPCcall(
        nullptr,
        QStringLiteral(R"({"method":"getDownloadTasksByPublicUrlStatus","id":1,"async":false,"params":{}})"));
    QCOMPARE(spySent.count(), 1);
    QStringList listHeld;
    const QJsonArray arrStatus = QJsonDocument::fromJson(spySent.at(0).at(0).toString().toUtf8())["params"]
                                     .toObject()
                                     .value("downloadTasksStatus")
                                     .toArray();
    for (const QJsonValue& value : arrStatus) {
        listHeld.append(value["taskId"].toString());
    }
    QCOMPARE(listHeld, listTaskIds);
}

void tst_DownloadApp::logOutThenNewWindow()
{
    QPointer<QDownloadCenter> pFirst = openFromMenu();
    QPointer<CDownloadCenterMgr> pFacade = &CDownloadCenterMgr::instance();

    notify(QStringLiteral("NotifyLoginOut"), QString());
    QVERIFY(pFirst.isNull());
    QVERIFY(pFacade.isNull());
    QVERIFY(windows().isEmpty());

    // Counts for a window that is gone are dropped, not kept for the next one.
    notify(QStringLiteral("notifyDownloadingFileNum"), QJsonObject{{"downloadingFileNum", 3}});
    QVERIFY(windows().isEmpty());
    QDownloadCenter* pSecond = openFromMenu();
    QVERIFY(pSecond);
    QVERIFY(pSecond->isInited());
    QCOMPARE(pSecond->parentWidget(), m_pHost.get());
    QVERIFY(!pSecond->isHidden());
}

void tst_DownloadApp::logOutTakesTheFacadesWindow()
{
    // Made by another module through the facade; the plugin never needed it.
    CDownloadCenterMgr::instance().initWidget(m_pHost.get());
    QCOMPARE(windows().size(), 1);

    notify(QStringLiteral("NotifyLoginOut"), QStringLiteral("{}"));
    QVERIFY(windows().isEmpty());
}

void tst_DownloadApp::facadeDestroysTheWindowFirst()
{
    openFromMenu();
    CDownloadCenterMgr::instance();
    CDownloadCenterMgr::destroyInstance();
    QVERIFY(windows().isEmpty());

    // None of these may reach the window that went.
    notify(QStringLiteral("notifyDownloadingFileNum"), QJsonObject{{"downloadingFileNum", 3}});
    QVERIFY(windows().isEmpty());
    notify(QStringLiteral("NotifySwitchMoudle"), QJsonObject{{"menuPath", "/#/client/preview"}});
    QVERIFY(windows().isEmpty());
    QDownloadCenter* pWindow = openFromMenu();
    QCOMPARE(windows().size(), 1);
    QVERIFY(pWindow->isInited());
    QVERIFY(!pWindow->isHidden());
    notify(QStringLiteral("NotifyLoginOut"), QString());
    QVERIFY(windows().isEmpty());
}

void tst_DownloadApp::otherNamesIgnored()
{
    for (const char* szName : {"NotifySwitchModule", "notifyswitchmoudle", "NotifySwitchMoudle ", ""}) {
        notify(QLatin1String(szName), QJsonObject{{"menuPath", kNoPage}});
    }
    QVERIFY(windows().isEmpty());

    QPointer<QDownloadCenter> pWindow = openFromMenu();
    notify(QStringLiteral("notifyLoginOut"), QString());
    notify(QStringLiteral("NotifyLogout"), QString());
    QVERIFY(pWindow);
    QVERIFY(!pWindow->isHidden());
}

QTEST_MAIN(tst_DownloadApp)
#include "tst_DownloadApp.moc"
