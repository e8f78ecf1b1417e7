#include <QtTest>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLayout>
#include <QLoggingCategory>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <hostcomponents/CBrowser.h>
#include <hostcomponents/QRedDotLabel.h>
#include <hostservices/WebNotifyBus.h>

#include <memory>

#include "CDownloadByPublicUrl.h"
#include "DownloadingWidgetProbe.h"
#include "LogCapture.h"
#include "QDownloadCenter.h"
#include "ScriptedEngine.h"

namespace {

// Nothing listens there: the page never loads, so nothing but the test talks to the window.
const QString kWebUrl = QStringLiteral("http://127.0.0.1:9/web");

QJsonObject parse(const QString& strText)
{
    return QJsonDocument::fromJson(strText.toUtf8()).object();
}

// Takes what the desktop would be asked to open.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> m_listUrls;

public slots:
    void open(const QUrl& url) { m_listUrls.append(url); }
};

// The host's "Main" part of the client, as far as the bus goes.
class BusReceiver
{
public:
    explicit BusReceiver(const QString& strName) : m_strName(strName)
    {
        WebNotifyBus::registerReceiver(
            strName, &m_context, [this](const QJsonObject& message) { m_listMessages.append(message); });
    }
    ~BusReceiver() { WebNotifyBus::unregisterReceiver(m_strName); }

    QString m_strName;
    QObject m_context;
    QList<QJsonObject> m_listMessages;
};

}  // namespace

class tst_WebBridge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // First: it checks the numbering from the start of the process.
    void messageIds();
    void browserOnFilePage();
    void badgeFromPage();
    void publicUrlJobsFromPage();
    void openFolderFromPage();
    void malformed_data();
    void malformed();
    void ignoredSilently_data();
    void ignoredSilently();
    void loginOutFromPage();
    void randomRequests();

private:
    QDownloadCenter* embed();
    CBrowser* browser() const { return QDownloadCenter::instance()->findChild<CBrowser*>(); }
    bool fileBadgeShown() const;

    std::unique_ptr<QWidget> m_pHost;
    QTemporaryDir m_dirFiles;
};

void tst_WebBridge::initTestCase()
{
    QVERIFY(m_dirFiles.isValid());
    probe::setClientSetting(QStringLiteral("Local/WebUrl"), kWebUrl);
    probe::setClientSetting(QStringLiteral("Download/FileDownloadPath"), m_dirFiles.path());
}

void tst_WebBridge::init()
{
    ScriptedEngine::reset();
    m_pHost = std::make_unique<QWidget>();
    m_pHost->resize(1000, 700);
}

void tst_WebBridge::cleanup()
{
    QDownloadCenter::destroyInstance();
    m_pHost.reset();
}

QDownloadCenter* tst_WebBridge::embed()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    return pWindow;
}

bool tst_WebBridge::fileBadgeShown() const
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    return pWindow->findChild<QWidget*>(QStringLiteral("wgtFileDownloadNum"))->isVisibleTo(pWindow);
}

void tst_WebBridge::messageIds()
{
    // Built before there is a page: dropped, but it takes number 1.
    QDownloadCenter::instance()->notifyWebRefreshDownloadFilePage();

    embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);
    auto* pFileTab = QDownloadCenter::instance()->findChild<QPushButton*>(QStringLiteral("btnFileDownload"));
    QTest::mouseClick(pFileTab, Qt::LeftButton);
    // The jobs number their own messages: the window's numbering does not move.
    QDownloadCenter::instance()->onRPCcall(
        nullptr,
        QStringLiteral(R"({"method":"getDownloadTasksByPublicUrlStatus","id":9,"async":false,"params":{}})"));
    QTest::mouseClick(pFileTab, Qt::LeftButton);

    QCOMPARE(spySent.count(), 3);
    QCOMPARE(
        spySent.at(0).at(0).toString(),
        QStringLiteral(
            R"({"async":false,"id":2,"method":"notifyWebRefreshDownloadFilePage","params":{},"result":true})"));
    QCOMPARE(parse(spySent.at(1).at(0).toString()).value("id").toInt(), 1);
    QCOMPARE(
        spySent.at(2).at(0).toString(),
        QStringLiteral(
            R"({"async":false,"id":3,"method":"notifyWebRefreshDownloadFilePage","params":{},"result":true})"));
}

void tst_WebBridge::browserOnFilePage()
{
    QDownloadCenter* pWindow = embed();
    CBrowser* pBrowser = browser();
    QVERIFY(pBrowser);
    QCOMPARE(pWindow->findChildren<CBrowser*>().size(), 1);
    QCOMPARE(pBrowser->parentWidget(), pWindow->findChild<QWidget*>(QStringLiteral("FileDownloadPage")));
    auto* pLayout = pWindow->findChild<QLayout*>(QStringLiteral("FileDownloadPageVerticalLayout"));
    QCOMPARE(pLayout->count(), 1);
    QCOMPARE(pLayout->itemAt(0)->widget(), pBrowser);
    QCOMPARE(pBrowser->contextMenuPolicy(), Qt::NoContextMenu);
    // The base address and the page's path, nothing in between.
    QObject* pView = nullptr;
    for (QWidget* pChild : pBrowser->findChildren<QWidget*>()) {
        pView = pChild->inherits("QWebEngineView") ? pChild : pView;
    }
    QVERIFY(pView);
    QCOMPARE(pView->property("url").toUrl(),
             QUrl(kWebUrl + QStringLiteral("/client/base/client/downloadCenter")));

    // What the page sends arrives through the browser's signal.
    emit pBrowser->request(
        pBrowser,
        QStringLiteral(
            R"({"method":"notifyDownloadingFileNum","id":1,"async":false,"params":{"downloadingFileNum":4}})"));
    QVERIFY(fileBadgeShown());
}

void tst_WebBridge::badgeFromPage()
{
    QDownloadCenter* pWindow = embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);
    pWindow->onRPCcall(
        nullptr,
        QStringLiteral(
            R"({"method":"notifyDownloadingFileNum","id":1,"async":false,"params":{"downloadingFileNum":5}})"));
    QVERIFY(fileBadgeShown());
    QCOMPARE(pWindow->findChild<QRedDotLabel*>(QStringLiteral("labFileDownloadNum"))->text(),
             QStringLiteral("5"));
    QCOMPARE(spySent.count(), 0);
}

void tst_WebBridge::publicUrlJobsFromPage()
{
    QDownloadCenter* pWindow = embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);
    QStringList listStatus;
    connect(pWindow->findChild<CDownloadByPublicUrl*>(), &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
            this, [&listStatus](QString& strText) { listStatus.append(strText); });

    // An address the jobs refuse at once: no transfer, a failed job.
    const QString strAdd = QStringLiteral(
        R"({"method":"AddDownloadTasksByPublicUrl","id":1,"async":true,"params":{"downloadTasks":[{"taskId":"t-1","url":"ftp:a.bin","fileName":"a.bin"}]}})");
    pWindow->onRPCcall(nullptr, strAdd);
    QCOMPARE(spySent.count(), 0);
    const QString strStatus = QStringLiteral(
        R"({"method":"getDownloadTasksByPublicUrlStatus","id":2,"async":true,"params":{"downloadTasks":["t-1"]}})");
    pWindow->onRPCcall(nullptr, strStatus);

    QCOMPARE(spySent.count(), 1);
    // Passed on exactly as the jobs wrote it.
    QCOMPARE(listStatus, QStringList{spySent.at(0).at(0).toString()});
    const QJsonObject message = parse(spySent.at(0).at(0).toString());
    QCOMPARE(message.value("method").toString(), QStringLiteral("responseDownloadTasksByPublicUrlStatus"));
    const QJsonArray arrStatus = message.value("params").toObject().value("downloadTasksStatus").toArray();
    QCOMPARE(arrStatus.size(), 1);
    QCOMPARE(arrStatus.at(0).toObject().value("taskId").toString(), QStringLiteral("t-1"));
    QCOMPARE(arrStatus.at(0).toObject().value("status").toInt(), 2);
}

void tst_WebBridge::openFolderFromPage()
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    QDownloadCenter* pWindow = embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);

    pWindow->onRPCcall(
        nullptr, QStringLiteral(R"({"method":"openDownloadFiledir","id":1,"async":false,"params":{}})"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(opened.m_listUrls, QList<QUrl>{QUrl::fromLocalFile(m_dirFiles.path())});
    QCOMPARE(spySent.count(), 0);
}

void tst_WebBridge::malformed_data()
{
    QTest::addColumn<QString>("strRequest");
    QTest::addColumn<QString>("strLogged");

    const auto jsonError = [](const QString& strText) {
        QJsonParseError error;
        QJsonDocument::fromJson(strText.toUtf8(), &error);
        return QStringLiteral("Json error[%1]").arg(error.errorString());
    };
    const QString strTruncated = QStringLiteral(R"({"method":"notifyDownloadingFileNum","id":1,"async")");
    QTest::newRow("truncated") << strTruncated << jsonError(strTruncated);
    QTest::newRow("empty") << QString() << jsonError(QString());
    QTest::newRow("array") << R"([{"method":"notifyDownloadingFileNum"}])"
                           << R"(Json format error[[{"method":"notifyDownloadingFileNum"}]])";

    const QString strWithout =
        QStringLiteral(R"({"method":"notifyDownloadingFileNum",%1"params":{"downloadingFileNum":5}})");
    QTest::newRow("no async") << strWithout.arg(R"("id":1,)")
                              << QStringLiteral("Json context error[%1]").arg(strWithout.arg(R"("id":1,)"));
    QTest::newRow("no id")
        << strWithout.arg(R"("async":false,)")
        << QStringLiteral("Json context error[%1]").arg(strWithout.arg(R"("async":false,)"));
    const QString strNoMethod = QStringLiteral(R"({"id":1,"async":false,"params":{"downloadingFileNum":5}})");
    QTest::newRow("no method") << strNoMethod << QStringLiteral("Json context error[%1]").arg(strNoMethod);
    const QString strNoParams =
        QStringLiteral(R"({"method":"notifyDownloadingFileNum","id":1,"async":false})");
    QTest::newRow("no params") << strNoParams << QStringLiteral("Json context error[%1]").arg(strNoParams);

    // Percent signs reach the log as they came, whatever a format would make of them.
    QTest::newRow("percent, not an object") << R"(["%s%n%d%%","%1"])"
                                            << R"(Json format error[["%s%n%d%%","%1"]])";
    QTest::newRow("percent, no params")
        << R"({"method":"%s%n","id":"%1%2","async":"%%"})"
        << R"(Json context error[{"method":"%s%n","id":"%1%2","async":"%%"}])";
}

void tst_WebBridge::malformed()
{
    QFETCH(QString, strRequest);
    QFETCH(QString, strLogged);

    QDownloadCenter* pWindow = embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);
    LogCapture capture;
    pWindow->onRPCcall(nullptr, strRequest);

    const QList<ncl::NLogRecord> listRecords = capture.records();
    QCOMPARE(listRecords.size(), 1);
    QCOMPARE(listRecords.at(0).strMessage, strLogged);
    QCOMPARE(listRecords.at(0).nLevel, 6);
    QCOMPARE(listRecords.at(0).strFile, QStringLiteral("DownloadWidget\\QDownloadCenter"));
    QCOMPARE(listRecords.at(0).strFunction, QStringLiteral("QDownloadCenter::onRPCcall"));
    QCOMPARE(spySent.count(), 0);
    QVERIFY(!fileBadgeShown());
}

void tst_WebBridge::ignoredSilently_data()
{
    QTest::addColumn<QString>("strRequest");

    QTest::newRow("unknown method") << R"({"method":"getDownloadTasks","id":1,"async":false,"params":{}})";
    QTest::newRow("numeric method")
        << R"({"method":5,"id":1,"async":false,"params":{"downloadingFileNum":5}})";
    QTest::newRow("other case")
        << R"({"method":"NotifyDownloadingFileNum","id":1,"async":false,"params":{"downloadingFileNum":5}})";
    QTest::newRow("log-out, other case") << R"({"method":"notifyLoginOut","id":1,"async":false,"params":{}})";
    // Runs, with no count in it.
    QTest::newRow("params not an object")
        << R"({"method":"notifyDownloadingFileNum","id":1,"async":false,"params":[{"downloadingFileNum":5}]})";
}

void tst_WebBridge::ignoredSilently()
{
    QFETCH(QString, strRequest);

    QDownloadCenter* pWindow = embed();
    QPointer<CBrowser> pBrowser = browser();
    QSignalSpy spySent(pBrowser.data(), &CBrowser::sgnResponseSent);
    BusReceiver main(QStringLiteral("Main"));
    LogCapture capture;
    pWindow->onRPCcall(nullptr, strRequest);
    QCoreApplication::processEvents();

    QCOMPARE(capture.messages(), QStringList());
    QCOMPARE(spySent.count(), 0);
    QVERIFY(main.m_listMessages.isEmpty());
    QVERIFY(!fileBadgeShown());
    QCOMPARE(browser(), pBrowser.data());
}

void tst_WebBridge::loginOutFromPage()
{
    QDownloadCenter* pWindow = embed();
    QPointer<QDownloadCenter> pGuard(pWindow);
    QPointer<CBrowser> pBrowser = browser();
    QSignalSpy spySent(pBrowser.data(), &CBrowser::sgnResponseSent);
    BusReceiver main(QStringLiteral("Main"));
    BusReceiver other(QStringLiteral("Other"));
    pWindow->notifyWebRefreshDownloadFilePage();
    QCOMPARE(spySent.count(), 1);
    const int nLastId = parse(spySent.at(0).at(0).toString()).value("id").toInt();

    LogCapture capture;
    pWindow->onRPCcall(nullptr,
                       QStringLiteral(R"({"method":"NotifyLoginOut","id":7,"async":false,"params":{}})"));
    QTRY_COMPARE(main.m_listMessages.size(), 1);
    QCoreApplication::processEvents();

    QCOMPARE(main.m_listMessages.size(), 1);
    QCOMPARE(main.m_listMessages.at(0), (QJsonObject{{"method", "notifyWebLoginOut"},
                                                     {"result", true},
                                                     {"async", false},
                                                     {"id", nLastId + 1},
                                                     {"params", QJsonObject()}}));
    QVERIFY(other.m_listMessages.isEmpty());
    QCOMPARE(capture.messages(), QStringList());
    // The window stays where it was; only the browser has left it.
    QVERIFY(pGuard);
    QCOMPARE(pWindow->parentWidget(), m_pHost.get());
    QVERIFY(pBrowser);
    QVERIFY(!pBrowser->parent());
    QVERIFY(!browser());
    // It still gets what the window sends.
    pWindow->notifyWebRefreshDownloadFilePage();
    QCOMPARE(spySent.count(), 2);
    QCOMPARE(parse(spySent.at(1).at(0).toString()).value("id").toInt(), nLastId + 2);

    // Once the window is gone nothing can use it any more: it goes too.
    QDownloadCenter::destroyInstance();
    QTRY_VERIFY(pBrowser.isNull());
}

void tst_WebBridge::randomRequests()
{
    // Shapes close to real requests, none of which makes the window answer or post anything.
    const QStringList listSeeds{
        QStringLiteral(
            R"({"method":"notifyDownloadingFileNum","id":1,"async":false,"params":{"downloadingFileNum":3}})"),
        QStringLiteral(R"({"method":"unknownMethod","id":"x","async":true,"params":{"a":[1,2,{"b":null}]}})"),
        QStringLiteral(R"([{"method":"notifyDownloadingFileNum","id":1,"async":false,"params":{}}])"),
        QStringLiteral(R"({"id":2,"async":false,"params":{},"note":"%s%n%1%%"})"),
        QStringLiteral(R"({"method":5,"id":null,"async":null,"params":null})"),
        QStringLiteral(R"("just text")"),
    };
    const QString strAlphabet = QStringLiteral("{}[]\",:%\\01259.-+eEtrufalsnmhodixy \t\n") + QChar(0xE9) +
                                QChar(0x4E2D) + QChar(0x2028) + QChar(0xFEFF);
    QRandomGenerator generator(20240611);
    const auto randomChar = [&] { return strAlphabet.at(generator.bounded(strAlphabet.size())); };
    const QStringList listKeys{QStringLiteral("\"method\""), QStringLiteral("\"id\""),
                               QStringLiteral("\"async\""), QStringLiteral("\"params\"")};
    const auto mutate = [&](QString strText) {
        const int nMutations = 1 + generator.bounded(2);
        for (int n = 0; n < nMutations; ++n) {
            const int nAt = strText.isEmpty() ? 0 : generator.bounded(strText.size());
            const int nKind = generator.bounded(20);
            if (nKind < 6) {
                if (!strText.isEmpty()) {
                    strText[nAt] = randomChar();
                }
            } else if (nKind < 9) {
                strText.insert(nAt, randomChar());
            } else if (nKind < 12) {
                strText.remove(nAt, 1);
            } else if (nKind < 14) {
                strText.insert(nAt, strText.mid(generator.bounded(qMax(1, strText.size())), 8));
            } else if (nKind < 15) {
                strText.truncate(nAt);
            } else {
                // A key renamed: the request keeps its shape but lacks a member.
                const QString& strKey = listKeys.at(generator.bounded(listKeys.size()));
                strText.replace(strKey, QStringLiteral("\"%1\"").arg(randomChar()));
            }
        }
        return strText;
    };

    QDownloadCenter* pWindow = embed();
    QSignalSpy spySent(browser(), &CBrowser::sgnResponseSent);
    BusReceiver main(QStringLiteral("Main"));
    LogCapture capture;
    // Thousands of expected warnings: kept out of the test's output.
    QLoggingCategory::setFilterRules(QStringLiteral("ncl.warning=false"));

    QMap<QString, int> mapKinds;
    for (int nRound = 0; nRound < 4000; ++nRound) {
        QString strText;
        if (nRound % 5 == 0) {
            const int nLength = generator.bounded(40);
            for (int n = 0; n < nLength; ++n) {
                strText.append(randomChar());
            }
        } else {
            strText = mutate(listSeeds.at(generator.bounded(listSeeds.size())));
        }
        capture.clear();
        pWindow->onRPCcall(nullptr, strText);

        const QList<ncl::NLogRecord> listRecords = capture.records();
        QVERIFY2(listRecords.size() <= 1, qPrintable(strText));
        if (listRecords.isEmpty()) {
            ++mapKinds[QStringLiteral("silent")];
            continue;
        }
        const QString strLogged = listRecords.at(0).strMessage;
        QCOMPARE(listRecords.at(0).nLevel, 6);
        if (strLogged == QStringLiteral("Json format error[%1]").arg(strText)) {
            ++mapKinds[QStringLiteral("format")];
        } else if (strLogged == QStringLiteral("Json context error[%1]").arg(strText)) {
            ++mapKinds[QStringLiteral("context")];
        } else {
            QVERIFY2(strLogged.startsWith(QStringLiteral("Json error[")) && strLogged.endsWith(']'),
                     qPrintable(strLogged));
            ++mapKinds[QStringLiteral("json")];
        }
    }
    QLoggingCategory::setFilterRules(QString());
    QCoreApplication::processEvents();

    QCOMPARE(spySent.count(), 0);
    QVERIFY(main.m_listMessages.isEmpty());
    // The texts reached every kind of rejection, and some got through to the dispatcher.
    for (const char* szKind : {"silent", "format", "context", "json"}) {
        QVERIFY2(mapKinds.value(QLatin1String(szKind)) > 0, szKind);
    }
}

QTEST_MAIN(tst_WebBridge)
#include "tst_WebBridge.moc"
