#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>
#include <CSimServer.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

// The loopback server through a real HTTP client: files and generated bodies byte for byte,
// the knobs, and Range handling.
class tst_Simulator : public QObject
{
    Q_OBJECT

private:
    struct Fetched
    {
        int nStatus = 0;
        QNetworkReply::NetworkError eError = QNetworkReply::NoError;
        QByteArray baBody;
        QNetworkReply* pReply = nullptr;  // for headers; deleted with the test's manager
        QUrl finalUrl;
    };

    QTemporaryDir m_dir;
    QString m_strPublic;
    QByteArray m_baOutside;
    CSimServer m_server;
    QNetworkAccessManager m_access;

    static QByteArray randomBytes(int nSize, quint32 nPattern)
    {
        QRandomGenerator generator(nPattern);
        QByteArray baData(nSize, Qt::Uninitialized);
        for (char& c : baData) {
            c = static_cast<char>(generator.bounded(256));
        }
        return baData;
    }

    static bool writeFile(const QString& strPath, const QByteArray& baData)
    {
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    static QByteArray generated(quint64 nPattern, quint64 nOffset, int nLength)
    {
        QByteArray baData(nLength, Qt::Uninitialized);
        CGeneratedBody::fill(nPattern, nOffset, baData.data(), static_cast<std::size_t>(nLength));
        return baData;
    }

    // Fetches url; the body is read as it comes, so a failed transfer keeps what arrived.
    bool fetch(const QUrl& url, Fetched& fetched, const QByteArray& baRange = QByteArray(),
               bool bFollow = true, int nStallMs = 0)
    {
        QNetworkRequest request(url);
        request.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute,
            bFollow ? QNetworkRequest::NoLessSafeRedirectPolicy : QNetworkRequest::ManualRedirectPolicy);
        request.setRawHeader("Accept-Encoding", "identity");
        if (!baRange.isEmpty()) {
            request.setRawHeader("Range", baRange);
        }
        if (nStallMs > 0) {
            request.setTransferTimeout(nStallMs);
        }
        QNetworkReply* pReply = m_access.get(request);
        connect(pReply, &QNetworkReply::readyRead, this,
                [pReply, &fetched] { fetched.baBody += pReply->readAll(); });
        QSignalSpy finished(pReply, &QNetworkReply::finished);
        if (!pReply->isFinished() && !finished.wait(60000)) {
            return false;
        }
        if (pReply->isOpen()) {
            fetched.baBody += pReply->readAll();
        }
        fetched.nStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        fetched.eError = pReply->error();
        fetched.finalUrl = pReply->url();
        fetched.pReply = pReply;
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_strPublic = m_dir.filePath(QStringLiteral("public"));
        QVERIFY(writeFile(m_strPublic + "/a.bin", randomBytes(100000, 1)));
        QVERIFY(writeFile(m_strPublic + "/empty.bin", QByteArray()));
        QVERIFY(writeFile(m_strPublic + "/sub/b.bin", randomBytes(10, 2)));
        QVERIFY(writeFile(m_strPublic + "/name with space.bin", randomBytes(77, 3)));
        m_baOutside = "outside the public folder";
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("outside.bin")), m_baOutside));
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("outside.bin")), m_strPublic + "/link.bin"));

        m_server.addRoute(std::make_unique<CPublicFilesRoute>(m_strPublic));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_server.start());
    }

    void freePortsAndBaseAddress()
    {
        QVERIFY(m_server.port() > 0);
        QCOMPARE(m_server.baseUrl(), QStringLiteral("http://127.0.0.1:%1").arg(m_server.port()));
        CSimServer other;
        QVERIFY(other.start());
        QVERIFY(other.port() != m_server.port());
        CSimServer clash;
        QVERIFY(!clash.start(QStringLiteral("127.0.0.1"), m_server.port()));
        QVERIFY(!clash.isRunning());
    }

    void servesPublicFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "/public/a.bin"
                               << "a.bin";
        QTest::newRow("empty") << "/public/empty.bin"
                               << "empty.bin";
        QTest::newRow("sub folder") << "/public/sub/b.bin"
                                    << "sub/b.bin";
        QTest::newRow("encoded blank") << "/public/name%20with%20space.bin"
                                       << "name with space.bin";
    }

    void servesPublicFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, file);
        QFile source(m_strPublic + "/" + file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray baExpected = source.readAll();

        Fetched fetched;
        QVERIFY(fetch(m_server.url(path), fetched));
        QCOMPARE(fetched.eError, QNetworkReply::NoError);
        QCOMPARE(fetched.nStatus, 200);
        QCOMPARE(fetched.pReply->header(QNetworkRequest::ContentLengthHeader).toLongLong(),
                 qint64(baExpected.size()));
        QCOMPARE(fetched.baBody, baExpected);
    }

    void refusesWhatIsNotAFileInTheFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << "/public/missing.bin";
        QTest::newRow("folder") << "/public/sub";
        QTest::newRow("encoded dots") << "/public/%2e%2e/outside.bin";
        QTest::newRow("dots inside") << "/public/sub/%2e%2e/%2e%2e/outside.bin";
        QTest::newRow("backslash") << "/public/..%5Coutside.bin";
        QTest::newRow("link leading out") << "/public/link.bin";
    }

    void refusesWhatIsNotAFileInTheFolder()
    {
        QFETCH(QString, path);
        Fetched fetched;
        QVERIFY(fetch(QUrl(m_server.baseUrl() + path, QUrl::StrictMode), fetched));
        QCOMPARE(fetched.nStatus, 404);
        QVERIFY(!fetched.baBody.contains(m_baOutside));
    }

    void resolvesOnlyInsideTheFolder_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("found");
        QTest::newRow("file") << "a.bin" << true;
        QTest::newRow("nested") << "sub/b.bin" << true;
        QTest::newRow("parent") << "../outside.bin" << false;
        QTest::newRow("dot segment") << "./a.bin" << false;
        QTest::newRow("detour") << "sub/../a.bin" << false;
        QTest::newRow("absolute") << "/a.bin" << false;
        QTest::newRow("double slash") << "sub//b.bin" << false;
        QTest::newRow("backslash") << "sub\\b.bin" << false;
        QTest::newRow("link out") << "link.bin" << false;
        QTest::newRow("empty") << "" << false;
    }

    void resolvesOnlyInsideTheFolder()
    {
        QFETCH(QString, relative);
        QFETCH(bool, found);
        const QString strResolved = CPublicFilesRoute::resolve(m_strPublic, relative);
        QCOMPARE(!strResolved.isEmpty(), found);
        if (found) {
            QCOMPARE(strResolved, QFileInfo(m_strPublic + "/" + relative).canonicalFilePath());
        }
    }

    void generatedBodiesDependOnPatternAndOffsetOnly()
    {
        Fetched first;
        Fetched second;
        Fetched otherPattern;
        QVERIFY(fetch(m_server.url("/generated/5000/file.bin?pattern=7"), first));
        QVERIFY(fetch(m_server.url("/generated/5000?pattern=7"), second));
        QVERIFY(fetch(m_server.url("/generated/5000/file.bin?pattern=8"), otherPattern));
        QCOMPARE(first.nStatus, 200);
        QCOMPARE(first.baBody.size(), 5000);
        QCOMPARE(first.baBody, second.baBody);
        QCOMPARE(first.baBody, generated(7, 0, 5000));
        QVERIFY(otherPattern.baBody != first.baBody);
        // Any slice can be made on its own, starting anywhere within a word.
        QCOMPARE(generated(7, 13, 101), first.baBody.mid(13, 101));

        Fetched empty;
        QVERIFY(fetch(m_server.url("/generated/0/empty.bin"), empty));
        QCOMPARE(empty.nStatus, 200);
        QVERIFY(empty.baBody.isEmpty());
        QCOMPARE(empty.pReply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), 0);
    }

    void ranges_data()
    {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        // Body of 1000 bytes.
        QTest::newRow("first ten") << QByteArray("bytes=0-9") << 206 << 0 << 9;
        QTest::newRow("open end") << QByteArray("bytes=990-") << 206 << 990 << 999;
        QTest::newRow("suffix") << QByteArray("bytes=-10") << 206 << 990 << 999;
        QTest::newRow("end past the body") << QByteArray("bytes=995-5000") << 206 << 995 << 999;
        QTest::newRow("suffix longer than the body") << QByteArray("bytes=-5000") << 206 << 0 << 999;
        QTest::newRow("last byte") << QByteArray("bytes=999-999") << 206 << 999 << 999;
        QTest::newRow("start at the end") << QByteArray("bytes=1000-") << 416 << -1 << -1;
        QTest::newRow("start past the end") << QByteArray("bytes=5000-6000") << 416 << -1 << -1;
        QTest::newRow("empty suffix") << QByteArray("bytes=-0") << 416 << -1 << -1;
        QTest::newRow("several ranges give all") << QByteArray("bytes=0-1,5-6") << 200 << 0 << 999;
    }

    void ranges()
    {
        QFETCH(QByteArray, range);
        QFETCH(int, status);
        QFETCH(int, first);
        QFETCH(int, last);
        Fetched fetched;
        QVERIFY(fetch(m_server.url("/generated/1000/r.bin?pattern=3"), fetched, range));
        QCOMPARE(fetched.nStatus, status);
        const QByteArray baContentRange = fetched.pReply->rawHeader("Content-Range");
        if (status == 416) {
            QCOMPARE(baContentRange, QByteArray("bytes */1000"));
            QVERIFY(fetched.baBody.isEmpty());
            return;
        }
        if (status == 206) {
            QCOMPARE(baContentRange, QStringLiteral("bytes %1-%2/1000").arg(first).arg(last).toLatin1());
        } else {
            QVERIFY(baContentRange.isEmpty());
        }
        QCOMPARE(fetched.pReply->header(QNetworkRequest::ContentLengthHeader).toLongLong(),
                 qint64(last - first + 1));
        QCOMPARE(fetched.baBody, generated(3, first, last - first + 1));
    }

    void rangesOfFiles()
    {
        Fetched fetched;
        QVERIFY(fetch(m_server.url("/public/a.bin"), fetched, "bytes=99990-"));
        QCOMPARE(fetched.nStatus, 206);
        QFile source(m_strPublic + "/a.bin");
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(fetched.baBody, source.readAll().right(10));
        Fetched refused;
        QVERIFY(fetch(m_server.url("/public/a.bin"), refused, "bytes=100000-"));
        QCOMPARE(refused.nStatus, 416);
        QCOMPARE(refused.pReply->rawHeader("Content-Range"), QByteArray("bytes */100000"));
    }

    void forcedStatus_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("404 on a file") << "/public/a.bin?status=404" << 404;
        QTest::newRow("500 on a file") << "/public/a.bin?status=500" << 500;
        QTest::newRow("503 on a body") << "/generated/10?status=503" << 503;
        QTest::newRow("not an error status is ignored") << "/generated/10?status=302" << 200;
        QTest::newRow("garbage is ignored") << "/generated/10?status=abc" << 200;
    }

    void forcedStatus()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        Fetched fetched;
        QVERIFY(fetch(m_server.url(path), fetched));
        QCOMPARE(fetched.nStatus, status);
        QCOMPARE(fetched.eError == QNetworkReply::NoError, status == 200);
    }

    void redirectsCountDown()
    {
        Fetched hop;
        QVERIFY(fetch(m_server.url("/generated/300/x.bin?pattern=5&redirect=3"), hop, QByteArray(), false));
        QCOMPARE(hop.nStatus, 302);
        const QUrl next =
            m_server.url("/").resolved(QUrl(QString::fromLatin1(hop.pReply->rawHeader("Location"))));
        const QUrlQuery query(next);
        QCOMPARE(next.path(), QStringLiteral("/generated/300/x.bin"));
        QCOMPARE(query.queryItemValue(QStringLiteral("redirect")), QStringLiteral("2"));
        QCOMPARE(query.queryItemValue(QStringLiteral("pattern")), QStringLiteral("5"));

        Fetched followed;
        QVERIFY(fetch(m_server.url("/generated/300/x.bin?pattern=5&redirect=3"), followed));
        QCOMPARE(followed.nStatus, 200);
        QVERIFY(!QUrlQuery(followed.finalUrl).hasQueryItem(QStringLiteral("redirect")));
        QCOMPARE(followed.baBody, generated(5, 0, 300));

        // Paths with characters that need encoding survive the trip.
        Fetched encoded;
        QVERIFY(fetch(m_server.url("/public/name%20with%20space.bin?redirect=1"), encoded));
        QCOMPARE(encoded.nStatus, 200);
        QCOMPARE(encoded.baBody.size(), 77);
    }

    void unknownLength()
    {
        Fetched fetched;
        QVERIFY(fetch(m_server.url("/generated/300000/u.bin?pattern=9&length=unknown"), fetched));
        QCOMPARE(fetched.eError, QNetworkReply::NoError);
        QCOMPARE(fetched.nStatus, 200);
        QVERIFY(!fetched.pReply->hasRawHeader("Content-Length"));
        QCOMPARE(fetched.baBody, generated(9, 0, 300000));
    }

    void dropAfter_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::newRow("before any byte") << 0;
        QTest::newRow("early") << 1000;
        QTest::newRow("past a slice") << 262144 + 5;
    }

    void dropAfter()
    {
        QFETCH(int, bytes);
        Fetched fetched;
        QVERIFY(
            fetch(m_server.url(QStringLiteral("/generated/300000/d.bin?pattern=4&dropAfter=%1").arg(bytes)),
                  fetched));
        // Qt itself takes a connection closed early for the end of the body; what tells is the
        // length announced.
        QCOMPARE(fetched.pReply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), 300000);
        QCOMPARE(fetched.baBody, generated(4, 0, bytes));
    }

    void stallAfter()
    {
        Fetched fetched;
        QVERIFY(fetch(m_server.url("/generated/300000/s.bin?pattern=4&stallAfter=5000"), fetched,
                      QByteArray(), true, 1000));
        QCOMPARE(fetched.eError, QNetworkReply::OperationCanceledError);
        QCOMPARE(fetched.baBody, generated(4, 0, 5000));
    }

    void rateLimit()
    {
        // 40000 bytes at 100000 bytes a second cannot arrive in less than about 0.35 s; the
        // bound is loose so that only an unpaced body fails it.
        QElapsedTimer timer;
        timer.start();
        Fetched fetched;
        QVERIFY(fetch(m_server.url("/generated/40000/p.bin?rate=100000"), fetched));
        QVERIFY2(timer.elapsed() >= 200, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(fetched.baBody, generated(0, 0, 40000));
    }

    void knobsThatDoNotParseAreIgnored()
    {
        Fetched fetched;
        QVERIFY(fetch(
            m_server.url("/generated/2000?rate=fast&dropAfter=-5&stallAfter=x&redirect=-1&length=maybe"),
            fetched));
        QCOMPARE(fetched.eError, QNetworkReply::NoError);
        QCOMPARE(fetched.baBody, generated(0, 0, 2000));
        QVERIFY(fetched.pReply->hasRawHeader("Content-Length"));
    }

    void stoppingEndsSlowTransfers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("paced") << "/generated/10000000/slow.bin?rate=1000";
        QTest::newRow("stalled") << "/generated/10000000/slow.bin?stallAfter=100";
    }

    void stoppingEndsSlowTransfers()
    {
        QFETCH(QString, path);
        CSimServer server;
        server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(server.start());
        QNetworkRequest request(server.url(path));
        QNetworkReply* pReply = m_access.get(request);
        QByteArray baBody;
        connect(pReply, &QNetworkReply::readyRead, this, [&] { baBody += pReply->readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(!baBody.isEmpty(), 30000);
        server.stop();
        QVERIFY(!server.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(pReply->isFinished(), 30000);
        if (pReply->isOpen()) {
            baBody += pReply->readAll();
        }
        QVERIFY(baBody.size() < 10000000);
        pReply->deleteLater();
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_Simulator.moc"
