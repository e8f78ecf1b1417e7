#include <CDownloadByPublicUrl.h>
#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>
#include <CRPCEnvelope.h>
#include <CSimServer.h>
#include <LogCapture.h>

#include <hostservices/ClientSettings.h>
#include <hostservices/NetworkManager.h>
#include <hostservices/NetworkManagerListener.h>

#include <RedirectRule.h>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QStorageInfo>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

#include <sys/resource.h>

#include "DataRows.h"

using datarows::row;

// Public-URL jobs as the page sees them, over real HTTP on loopback into a real download folder:
// the files that land and their names, the status report, what an open request opens, and the
// envelope of the messages.
class tst_PublicUrl : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the desktop: records what would be opened.
    void onOpenUrl(const QUrl& url) { m_listOpened << url.toLocalFile(); }

private:
    static constexpr int kWaitMs = 60000;
    QTemporaryDir m_dir;
    CSimServer m_server;
    std::unique_ptr<CDownloadByPublicUrl> m_pRunner;
    QStringList m_listOpened;

    QString folder() const { return m_dir.filePath("downloads"); }
    QString path(const QString& strName) const { return folder() + "/" + strName; }
    QString url(int nSize, const QString& strQuery = QString()) const
    {
        return m_server.baseUrl() + QString("/generated/%1/f.bin?pattern=5").arg(nSize) + strQuery;
    }
    static void setFolder(const QString& strFolder, double fStallSeconds = 30)
    {
        QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
        settings.setValue("Download/FileDownloadPath", strFolder);
        settings.setValue("Network/StallTimeout", fStallSeconds);
    }
    void add(const QString& strTaskId, const QString& strUrl, const QString& strName = "f.bin")
    {
        const QJsonObject job{{"taskId", strTaskId}, {"url", strUrl}, {"fileName", strName}};
        m_pRunner->addDownloadTasksByPublicUrl({{"downloadTasks", QJsonArray{job}}});
    }
    // The message the runner sends the page for a status request.
    QJsonDocument report(const QJsonObject& params)
    {
        QString strText;
        auto connection = connect(m_pRunner.get(), &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
                                  [&strText](QString& strStatus) { strText = strStatus; });
        m_pRunner->getDownloadTasksByPublicUrlStatus(params);
        disconnect(connection);
        return QJsonDocument::fromJson(strText.toUtf8());
    }
    QJsonObject statusOf(const QString& strId)
    {
        return report({{"downloadTasks", QJsonArray{strId}}})["params"]["downloadTasksStatus"][0].toObject();
    }
    // The job's status once it has ended (0 when it is still running after a long wait).
    int ended(const QString& strId)
    {
        (void)QTest::qWaitFor([&] { return statusOf(strId)["status"].toInt() != 0; }, kWaitMs);
        return statusOf(strId)["status"].toInt();
    }
    static QStringList entries(const QString& strFolder)
    {
        QStringList list =
            QDir(strFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        list.sort();
        return list;
    }
    static int descriptorsOpenOn(const QString& strPath)
    {
        int nCount = 0;
        for (const QFileInfo& info : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System)) {
            nCount += info.symLinkTarget() == strPath;
        }
        return nCount;
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_dir.isValid() && m_server.start());
        QDesktopServices::setUrlHandler("file", this, "onOpenUrl");
    }
    void init()
    {
        setFolder(folder());
        QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(folder()));
        m_pRunner = std::make_unique<CDownloadByPublicUrl>();
        m_listOpened.clear();
    }

    void transfers_data()
    {
        // nKept: bytes of the file left, -1 for no file; fProgress: 0 for an empty or unannounced body; -1:
        // unchecked
        datarows::columns<int, QString, int, int, double>("nSize", "strQuery", "nStatus", "nKept",
                                                          "fProgress");
        row("empty", 0, "", 3, 0, 0.0);
        row("a few MB", 3 * 1024 * 1024 + 17, "", 3, 3 * 1024 * 1024 + 17, 1.0);
        row("paced, in many pieces, traced", 1000000, "&rate=2000000", 3, 1000000, 1.0);
        row("redirected thrice", 1000, "&redirect=3", 3, 1000, 1.0);
        row("length not announced", 1000, "&length=unknown", 3, 1000, 0.0);
        // A transfer that does not end well leaves no file; error pages are not files.
        row("404", 200000, "&status=404", 2, -1, -1.0);
        row("dropped half-way", 200000, "&dropAfter=100000", 2, -1, -1.0);
        row("dropped before the body", 200000, "&dropAfter=0", 2, -1, -1.0);
        row("stalled", 200000, "&stallAfter=50000", 2, -1, -1.0);
        row("too many redirects", 200000, "&redirect=30", 2, -1, -1.0);
    }
    void transfers()
    {
        QFETCH(int, nSize);
        QFETCH(QString, strQuery);
        QFETCH(int, nStatus);
        QFETCH(int, nKept);
        QFETCH(double, fProgress);
        // Traces on for one row; the others run with the logger's default, which has them off.
        const bool bTraced = QByteArray(QTest::currentDataTag()).endsWith("traced");
        setFolder(folder(), strQuery.contains("stall") ? 1 : 30);
        const int nLowest = ncl::NPrintLog::instance()->lowestLevel();
        ncl::NPrintLog::instance()->setLowestLevel(bTraced ? 4 : nLowest);
        const auto restore = qScopeGuard([nLowest] { ncl::NPrintLog::instance()->setLowestLevel(nLowest); });
        LogCapture log;
        add("t1", url(nSize, strQuery), "copy.bin");
        QCOMPARE(ended("t1"), nStatus);
        QCOMPARE(descriptorsOpenOn(path("copy.bin")), 0);
        QCOMPARE(entries(folder()), nKept < 0 ? QStringList() : QStringList{"copy.bin"});
        QByteArray baKept(qMax(0, nKept), Qt::Uninitialized);
        CGeneratedBody::fill(5, 0, baKept.data(), baKept.size());
        QFile file(path("copy.bin"));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("no file"),
                 nKept < 0 ? "no file" : baKept);
        const double fReported = statusOf("t1")["downloadProgress"].toDouble();
        QCOMPARE(fReported, fProgress < 0 ? fReported : fProgress);
        // A trace for every piece, the last one with every byte.
        const int nTraces = log.messages().filter("iCurrLength").size();
        QVERIFY(bTraced ? nTraces > 1 && log.contains(4, QString("iCurrLength [%1]").arg(nKept))
                        : nTraces == 0);
    }

    void addressRules_data()
    {
        datarows::columns<QUrl, QUrl, bool>("from", "to", "bYes");
        // Whether a redirect from one to the other is followed.
        row("down from https", QUrl("https://127.0.0.1"), QUrl("http://127.0.0.1"), false);
        row("https to https", QUrl("https://127.0.0.1"), QUrl("https://localhost"), true);
        row("another scheme", QUrl("http://127.0.0.1"), QUrl("ftp://127.0.0.1"), false);
        // Whether the per-host queue counts both as one host.
        row("host: default port", QUrl("http://h/a"), QUrl("HTTP://H:80/b"), true);
        row("host: https default", QUrl("https://h"), QUrl("https://h:443"), true);
        row("host: another port", QUrl("http://h"), QUrl("http://h:8080"), false);
        row("host: another scheme", QUrl("http://h:443"), QUrl("https://h"), false);
    }
    // Asked directly: no test server speaks TLS or listens on a default port (http to http is
    // followed in transfers).
    void addressRules()
    {
        QFETCH(QUrl, from);
        QFETCH(QUrl, to);
        QFETCH(bool, bYes);
        const bool bHostRule = QByteArray(QTest::currentDataTag()).startsWith("host:");
        QCOMPARE(bHostRule ? CDownloadByPublicUrl::hostKey(from) == CDownloadByPublicUrl::hostKey(to)
                           : Common::isRedirectAllowed(from, to),
                 bYes);
    }

    void freeNames_data()
    {
        // listTaken: "@name": a link to nowhere; listGiven: to jobs running at once
        datarows::columns<QString, QStringList, QStringList>("strWanted", "listTaken", "listGiven");
        row("free", "a.txt", QStringList(), QStringList{"a.txt"});
        row("taken", "a.txt", QStringList{"a.txt"}, QStringList{"a(1).txt"});
        row("last dot", "a.tar.gz", QStringList{"a.tar.gz"}, QStringList{"a.tar(1).gz"});
        row("no extension", "READ", QStringList{"READ", "READ(1)"}, QStringList{"READ(2)"});
        // Written in NFC ("e" and a combining accent become one character), cut to fit with "(n)".
        row("decomposed", "cafe\u0301.txt", QStringList(), QStringList{"caf\u00e9.txt"});
        row("overlong", QString(300, 'n') + ".txt", QStringList(), QStringList{QString(240, 'n') + ".txt"});
        // Opening the link for writing would create its target outside the folder.
        row("dangling link", "l.txt", QStringList{"@l.txt"}, QStringList{"l(1).txt"});
        row("dangling partial link", "p.txt", QStringList{"@p.txt.part"}, QStringList{"p(1).txt"});
        row("at once", "a.txt", QStringList(), QStringList{"a(1).txt", "a(2).txt", "a.txt"});
        // Names that are no plain file name fail at once and write nothing.
        QStringList listRefused{"../e.txt",   "sub/e.txt", "..\\e.txt",   "e\n.txt", "e\u0085.txt",
                                "..",         "",          ".profile",    "a:b.txt", "a*b?.txt",
                                "\"a\".txt",  "a<b>.txt",  "a|b.txt",     "e.txt.",  "e.txt ",
                                "CON",        "nul.txt",   "Com1.tar.gz", "lpt9",    "invoice\u202Etxt.exe",
                                "e\u200B.txt"};
        for (const QString& strName : listRefused << m_dir.filePath("e.txt")) {
            row(qPrintable("refused " + strName), strName, QStringList(), QStringList());
        }
    }
    // The report keeps the name asked for, whatever the name on disk.
    void freeNames()
    {
        QFETCH(QString, strWanted);
        QFETCH(QStringList, listTaken);
        QFETCH(QStringList, listGiven);
        for (const QString& strName : listTaken) {
            QVERIFY(strName.startsWith('@') ? QFile::link(m_dir.filePath("nowhere"), path(strName.mid(1)))
                                            : QFile(path(strName)).open(QIODevice::WriteOnly));
        }
        const int nJobs = qMax(1, listGiven.size());
        for (int i = 0; i < nJobs; ++i) {
            add(QString::number(i), url(60000, "&rate=200000"), strWanted);
        }
        for (int i = 0; i < nJobs; ++i) {
            QCOMPARE(ended(QString::number(i)), listGiven.isEmpty() ? 2 : 3);
            QCOMPARE(statusOf(QString::number(i))["fileName"].toString(), strWanted);
        }
        QStringList listExpected = listTaken.replaceInStrings("@", "") + listGiven;
        listExpected.sort();
        QCOMPARE(entries(folder()), listExpected);
        QCOMPARE(entries(m_dir.path()), QStringList{"downloads"});
    }

    // Accepted again, a job drops its partial file and starts over.
    void acceptedAgain()
    {
        add("t1", url(50000000, "&rate=100000"), "first.bin");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path("first.bin.part")).size() > 0, kWaitMs);
        add("t1", url(3000), "second.bin");
        QCOMPARE(ended("t1"), 3);
        QCOMPARE(entries(folder()), QStringList{"second.bin"});
        QCOMPARE(QFileInfo(path("second.bin")).size(), 3000);
    }

    // Jobs that cannot fit end before they fill the disk: an announced length past the free
    // space, and a write refused past the size limit of the process (it stops the transfer).
    void diskLimits()
    {
        add("huge", m_server.baseUrl() + "/generated/1152921504606846976/f.bin?rate=1000000", "huge.bin");
        QCOMPARE(ended("huge"), 2);
        signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        const rlimit limited{300000, old.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        // At full speed: the refused write is likely one of a piece handed over inside the HTTP
        // client, which must stop the transfer only once its own work is done.
        add("big", url(3000000), "big.bin");
        const int nStatus = ended("big");
        QVERIFY(setrlimit(RLIMIT_FSIZE, &old) == 0 && nStatus == 2 && entries(folder()).isEmpty());
        // Half the free space fits: the file is being written, not refused.
        const qint64 nHalf = QStorageInfo(folder()).bytesAvailable() / 2;
        add("fits", m_server.baseUrl() + QString("/generated/%1/f.bin?rate=1000000").arg(nHalf), "fits.bin");
        QTRY_VERIFY(statusOf("fits")["downloadProgress"].toDouble() > 0);
        QCOMPARE(statusOf("fits")["status"].toInt(), 0);
    }

    // Jobs beyond the per-host limit wait their turn without counting against the stall time.
    void turnsPerHost()
    {
        setFolder(folder(), 2);
        for (int i = 0; i < 14; ++i) {
            add(QString::number(i), url(250000, "&rate=100000"), QString("t%1.bin").arg(i));
        }
        QVERIFY(QTest::qWaitFor([&] { return QDir(folder()).entryList({"t*.bin"}).size() == 14; }, kWaitMs));
    }

    // A thousand jobs in one request: all land byte for byte, a few transfers at a time; a
    // thousand kept jobs make room for new ones by dropping the oldest ended, and a request
    // that cannot fit beside running ones is refused whole.
    void manyJobs()
    {
        QJsonArray arrJobs;
        for (int i = 0; i < 1000; ++i) {
            arrJobs.append(QJsonObject{{"taskId", QString::number(i)},
                                       {"url", url(1000 + i)},
                                       {"fileName", QString("f%1.bin").arg(i)}});
        }
        m_pRunner->addDownloadTasksByPublicUrl({{"downloadTasks", arrJobs}});
        QVERIFY(
            QTest::qWaitFor([&] { return QDir(folder()).entryList({"*.bin"}).size() == 1000; }, 4 * kWaitMs));
        QByteArray baExpected(2000, Qt::Uninitialized);
        CGeneratedBody::fill(5, 0, baExpected.data(), baExpected.size());
        for (int i = 0; i < 1000; ++i) {
            QFile file(path(QString("f%1.bin").arg(i)));
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == baExpected.left(1000 + i));
        }
        QCOMPARE(report({})["params"]["downloadTasksStatus"].toArray().size(), 1000);
        add("new", url(10, "&stallAfter=0"), "new.bin");
        QVERIFY(statusOf("0")["taskId"].toString().isEmpty() && statusOf("1")["status"].toInt() == 3);
        m_pRunner->addDownloadTasksByPublicUrl({{"downloadTasks", arrJobs}});
        add("late", url(10), "l.bin");
        QCOMPARE(statusOf("late")["taskId"].toString(), QString());
    }

    void openRequests_data()
    {
        // The request's params, and what opens: "<folder>" or a name in it.
        QTest::addColumn<QStringList>("listRequest");
        row("nothing named", QStringList{"{}", "<folder>"});
        row("unknown task", QStringList{R"({"taskId":"none"})", ""});
        row("no task, a file", QStringList{R"({"taskId":"","fileName":"p.txt"})", "<folder>"});
        row("unknown task, a file", QStringList{R"({"taskId":"none","fileName":"p.txt"})", "p.txt"});
        row("parent", QStringList{R"({"taskId":"none","fileName":"../s.txt"})", "<folder>"});
        row("link out", QStringList{R"({"taskId":"none","fileName":"link.txt"})", "<folder>"});
        // A job's own file comes first, whatever the name; a failed job opens the folder.
        row("done job", QStringList{R"({"taskId":"done","fileName":"../s.txt"})", "done.txt"});
        row("failed job", QStringList{R"({"taskId":"lost"})", "<folder>"});
        row("running job", QStringList{R"({"taskId":"slow"})", "<folder>"});
        // What the desktop would run is shown in its folder.
        row("a script", QStringList{R"({"taskId":"none","fileName":"run.SH"})", "<folder>"});
        row("executable", QStringList{R"({"taskId":"none","fileName":"x.txt"})", "<folder>"});
        row("done job, a launcher", QStringList{R"({"taskId":"app"})", "<folder>"});
        // Fetched while the download folder was a sibling whose name starts like it.
        row("job in a sibling folder", QStringList{R"({"taskId":"moved"})", "<folder>"});
    }
    void openRequests()
    {
        QFETCH(QStringList, listRequest);
        QVERIFY(QFile(path("p.txt")).open(QIODevice::WriteOnly) &&
                QFile(path("run.SH")).open(QIODevice::WriteOnly));
        QVERIFY(QFile(path("x.txt")).open(QIODevice::WriteOnly) &&
                QFile::setPermissions(path("x.txt"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile(m_dir.filePath("s.txt")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(m_dir.filePath("s.txt"), path("link.txt")));
        setFolder(folder() + "2");
        add("moved", url(10));
        QCOMPARE(ended("moved"), 3);
        setFolder(folder());
        add("done", url(10), "done.txt");
        add("lost", url(10, "&status=404"));
        add("app", url(10), "app.desktop");
        add("slow", url(100000, "&stallAfter=10"), "slow.bin");
        QVERIFY(ended("done") == 3 && ended("lost") == 2 && ended("app") == 3);
        m_pRunner->openDownloadFiledir(QJsonDocument::fromJson(listRequest[0].toUtf8()).object());
        QCOMPARE(m_listOpened.join(' ').replace(folder() + "/", "").replace(folder(), "<folder>"),
                 listRequest[1]);
    }

    // The HTTP client itself: a listener that ends a transfer at its last report and starts
    // another (the runner does so when a file cannot be kept) hears nothing more of the first,
    // and all of the second, which may run on the first one's connection and handle.
    void listenerTurns()
    {
        struct CListener : Common::NetworkManagerListener
        {
            Common::NetworkManager manager;
            std::function<void(const QString&)> fnOnLastReport;
            QHash<QString, QByteArray> hashData;
            QStringList listEnds;
            void onNetworkReadyRead(NetworkReplyData data, QString strTaskId) override
            {
                hashData[strTaskId] += data.baData;
            }
            void onNetworkProgress(qint64 nTotal, qint64, QString strTaskId) override
            {
                if (nTotal == hashData.value(strTaskId).size()) {
                    fnOnLastReport(strTaskId);
                }
            }
            void onNetworkFinished(NetworkReplyData data, QString strTaskId) override
            {
                hashData[strTaskId] += data.baData;
                listEnds << strTaskId;
            }
            void onNetworkError(qint64, QString, QString strTaskId) override
            {
                listEnds << "error " + strTaskId;
            }
        } listener;
        listener.manager.registerObject(&listener);
        listener.fnOnLastReport = [&](const QString& strTaskId) {
            if (strTaskId == "a") {
                listener.manager.abortRequest("a");
                listener.manager.getRequestPublicUrl(url(70000), "b");
            }
        };
        listener.manager.getRequestPublicUrl(url(50000), "a");
        QTRY_COMPARE_WITH_TIMEOUT(listener.listEnds, QStringList{"b"}, kWaitMs);
        QByteArray baExpected(70000, Qt::Uninitialized);
        CGeneratedBody::fill(5, 0, baExpected.data(), baExpected.size());
        QCOMPARE(listener.hashData.value("b"), baExpected);
    }

    // The envelope: numbered from one, an explicit id taking no number, compact text with sorted keys;
    // requests of the page need all four keys, and a refused one leaves the outputs as they were.
    void messages()
    {
        int nCounter = 0;
        const QJsonObject first = CRPCEnvelope::make(nCounter, "m", false, true);
        CRPCEnvelope::make(nCounter, "m", true, false, 77);
        QCOMPARE(CRPCEnvelope::toCompactText(first),
                 QString(R"({"async":false,"id":1,"method":"m","result":true})"));
        QCOMPARE(CRPCEnvelope::make(nCounter, "m", false, true)["id"].toInt(), 2);
        QString strMethod;
        QJsonObject params;
        QVERIFY(CRPCEnvelope::parseRequest(R"({"method":"m","id":null,"async":"no","params":{"a":1}})",
                                           strMethod, params));
        for (const char* pszText :
             {R"({"method":"x","async":false,"params":{}})", R"({"method":"x","id":1,"params":{}})",
              R"({"method":"x","id":1,"async":false})", "[]", "method=x"}) {
            QVERIFY2(!CRPCEnvelope::parseRequest(pszText, strMethod, params), pszText);
        }
        QCOMPARE(strMethod + QJsonDocument(params).toJson(QJsonDocument::Compact), QString(R"(m{"a":1})"));
        // The runner's report: an id it does not know gets an entry with the initial values.
        QJsonObject report = this->report({{"downloadTasks", QJsonArray{"x"}}}).object();
        const QJsonObject initial{
            {"taskId", ""}, {"url", ""}, {"fileName", ""}, {"status", 0}, {"downloadProgress", 0}};
        QCOMPARE(report.take("params"),
                 QJsonValue(QJsonObject{{"downloadTasksStatus", QJsonArray{initial}}}));
        report.remove("id");
        QCOMPARE(report, (QJsonObject{{"async", false},
                                      {"method", "responseDownloadTasksByPublicUrlStatus"},
                                      {"result", true}}));
    }
};

QTEST_MAIN(tst_PublicUrl)
#include "tst_PublicUrl.moc"
