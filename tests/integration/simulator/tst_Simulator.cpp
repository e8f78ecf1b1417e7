#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>
#include <CSimServer.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
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
    // A finished request: "<status> <Content-Length or -> <Content-Range or ->", and the body.
    struct Fetched
    {
        QString strHead;
        QByteArray baBody;
    };

    QTemporaryDir m_dir;
    CSimServer m_server;
    QNetworkAccessManager m_access;

    bool writeFile(const QString& strName, const QByteArray& baData)
    {
        QFile file(m_dir.filePath(strName));
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    static QByteArray generated(quint64 nPattern, quint64 nOffset, int nLength)
    {
        QByteArray baData(nLength, Qt::Uninitialized);
        CGeneratedBody::fill(nPattern, nOffset, baData.data(), static_cast<std::size_t>(nLength));
        return baData;
    }

    // A path on the server, or an address; the body is read as it comes, so a failed transfer
    // keeps what arrived.
    Fetched fetch(const QString& strPath, const QByteArray& baRange = QByteArray())
    {
        QNetworkRequest request(
            QUrl(strPath.startsWith('/') ? m_server.baseUrl() + strPath : strPath, QUrl::StrictMode));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setRawHeader("Accept-Encoding", "identity");
        request.setRawHeader("Range", baRange);
        Fetched fetched;
        QScopedPointer<QNetworkReply> pReply(m_access.get(request));
        connect(pReply.data(), &QNetworkReply::readyRead, this, [&] { fetched.baBody += pReply->readAll(); });
        QSignalSpy finished(pReply.data(), &QNetworkReply::finished);
        if (!pReply->isFinished()) {
            finished.wait(60000);
        }
        fetched.baBody += pReply->isOpen() ? pReply->readAll() : QByteArray();
        QStringList listHead{pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toString()};
        for (const char* pszHeader : {"Content-Length", "Content-Range"}) {
            listHead << (pReply->hasRawHeader(pszHeader) ? pReply->rawHeader(pszHeader) : "-");
        }
        fetched.strHead = listHead.join(' ');
        return fetched;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkpath("public/sub"));
        QVERIFY(writeFile("public/a.bin", generated(1, 0, 100000)) && writeFile("public/empty.bin", ""));
        QVERIFY(writeFile("public/sub/b.bin", "0123456789") &&
                writeFile("public/name with space.bin", "blank"));
        QVERIFY(writeFile("outside.bin", "outside the public folder"));
        QVERIFY(QFile::link(m_dir.filePath("outside.bin"), m_dir.filePath("public/link.bin")));
        m_server.addRoute(std::make_unique<CPublicFilesRoute>(m_dir.filePath("public")));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_server.start());
    }

    void publicFiles_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<bool>("bServed");  // else refused
        QTest::newRow("plain") << "/public/a.bin" << true;
        QTest::newRow("empty") << "/public/empty.bin" << true;
        QTest::newRow("sub folder") << "/public/sub/b.bin" << true;
        QTest::newRow("encoded blank") << "/public/name%20with%20space.bin" << true;
        QTest::newRow("missing") << "/public/missing.bin" << false;
        QTest::newRow("folder") << "/public/sub" << false;
        QTest::newRow("encoded dots") << "/public/%2e%2e/outside.bin" << false;
        QTest::newRow("backslash") << "/public/..%5Coutside.bin" << false;
        QTest::newRow("link leading out") << "/public/link.bin" << false;
    }

    // Only files that really lie in the public folder are served.
    void publicFiles()
    {
        QFETCH(QString, strPath);
        QFETCH(bool, bServed);
        const Fetched fetched = fetch(strPath);
        QFile file(m_dir.filePath(QUrl::fromPercentEncoding(strPath.mid(1).toUtf8())));
        if (!bServed) {
            QVERIFY(fetched.strHead.startsWith("404 ") && !fetched.baBody.contains("outside"));
            return;
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baExpected = file.readAll();
        QCOMPARE(fetched.strHead, QString("200 %1 -").arg(baExpected.size()));
        QCOMPARE(fetched.baBody, baExpected);
    }

    // A body depends on its pattern and offset only; any slice can be made on its own (other
    // patterns are told apart by the downloads' tests).
    void generatedBodies()
    {
        const QByteArray baBody = fetch("/generated/5000/file.bin?pattern=7").baBody;
        QCOMPARE(baBody, generated(7, 0, 5000));
        QCOMPARE(generated(7, 13, 101), baBody.mid(13, 101));
        QCOMPARE(fetch("/generated/0/empty.bin").strHead, QString("200 0 -"));
    }

    void ranges_data()
    {
        QTest::addColumn<QByteArray>("baRange");
        QTest::addColumn<QString>("strHead");
        QTest::addColumn<int>("nFirst");  // of the body sent
        QTest::addColumn<int>("nLength");
        QTest::newRow("first ten") << QByteArray("bytes=0-9") << "206 10 bytes 0-9/1000" << 0 << 10;
        QTest::newRow("open end") << QByteArray("bytes=990-") << "206 10 bytes 990-999/1000" << 990 << 10;
        QTest::newRow("suffix") << QByteArray("bytes=-10") << "206 10 bytes 990-999/1000" << 990 << 10;
        QTest::newRow("end past the body")
            << QByteArray("bytes=995-5000") << "206 5 bytes 995-999/1000" << 995 << 5;
        QTest::newRow("long suffix") << QByteArray("bytes=-5000") << "206 1000 bytes 0-999/1000" << 0 << 1000;
        QTest::newRow("last byte") << QByteArray("bytes=999-999") << "206 1 bytes 999-999/1000" << 999 << 1;
        QTest::newRow("start at the end") << QByteArray("bytes=1000-") << "416 0 bytes */1000" << 0 << 0;
        QTest::newRow("start past the end")
            << QByteArray("bytes=5000-6000") << "416 0 bytes */1000" << 0 << 0;
        QTest::newRow("empty suffix") << QByteArray("bytes=-0") << "416 0 bytes */1000" << 0 << 0;
        QTest::newRow("several ranges give all") << QByteArray("bytes=0-1,5-6") << "200 1000 -" << 0 << 1000;
    }

    void ranges()
    {
        QFETCH(QByteArray, baRange);
        QFETCH(QString, strHead);
        QFETCH(int, nFirst);
        QFETCH(int, nLength);
        const Fetched fetched = fetch("/generated/1000/r.bin?pattern=3", baRange);
        QCOMPARE(fetched.strHead, strHead);
        QCOMPARE(fetched.baBody, generated(3, nFirst, nLength));
    }

    void rangesOfFiles()
    {
        QCOMPARE(fetch("/public/a.bin", "bytes=99990-").baBody, generated(1, 99990, 10));
        QCOMPARE(fetch("/public/a.bin", "bytes=100000-").strHead, QString("416 0 bytes */100000"));
    }

    void knobs_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<int>("nBody");  // bytes of generated body received; -1: another body
        QTest::addColumn<QString>("strHead");
        QTest::newRow("404 on a file") << "/public/a.bin?status=404" << -1 << "404 21 -";
        QTest::newRow("503 on a body") << "/generated/10?status=503" << -1 << "503 21 -";
        QTest::newRow("not an error status") << "/generated/10?status=302" << 10 << "200 10 -";
        QTest::newRow("garbage")
            << "/generated/2000?rate=x&dropAfter=-5&stallAfter=x&redirect=-1&length=x&status=x" << 2000
            << "200 2000 -";
        QTest::newRow("length not announced")
            << "/generated/300000/u.bin?length=unknown" << 300000 << "200 - -";
        // Qt takes a connection closed early for the end of the body: the length tells.
        QTest::newRow("dropped before any byte")
            << "/generated/300000/d.bin?dropAfter=0" << 0 << "200 300000 -";
        QTest::newRow("dropped early") << "/generated/300000/d.bin?dropAfter=1000" << 1000 << "200 300000 -";
        QTest::newRow("dropped past a slice")
            << "/generated/300000/d.bin?dropAfter=262149" << 262149 << "200 300000 -";
        QTest::newRow("redirects counted down")
            << "/generated/300/x.bin?pattern=5&redirect=3" << 300 << "200";
        QTest::newRow("redirect, encoded path")
            << "/public/name%20with%20space.bin?redirect=1" << -1 << "200";
    }

    void knobs()
    {
        QFETCH(QString, strPath);
        QFETCH(int, nBody);
        QFETCH(QString, strHead);
        const Fetched fetched = fetch(strPath);
        // Along a redirect Qt may keep the hop's headers ("0, 300"): only the status counts there.
        const bool bRedirected = QUrlQuery(QUrl(strPath)).queryItemValue("redirect").toInt() > 0;
        QCOMPARE(bRedirected ? fetched.strHead.section(' ', 0, 0) : fetched.strHead, strHead);
        const int nPattern = QUrlQuery(QUrl(strPath)).queryItemValue("pattern").toInt();
        QVERIFY(nBody < 0 || fetched.baBody == generated(nPattern, 0, nBody));
    }

    // A paced transfer has sent little when the server stops, and then ends.
    void stoppingEndsSlowTransfers()
    {
        CSimServer server;
        server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(server.start());
        QNetworkReply* pReply =
            m_access.get(QNetworkRequest(QUrl(server.baseUrl() + "/generated/10000000?rate=1000")));
        QTRY_VERIFY_WITH_TIMEOUT(pReply->bytesAvailable() > 0, 30000);
        server.stop();
        QVERIFY(!server.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(pReply->isFinished(), 30000);
        QVERIFY(pReply->readAll().size() < 100000);
    }

    // As scripts use it: started with a folder, the program prints its address first and
    // serves until it is killed; a bad port ends it with code 2 before it prints anything.
    void program()
    {
        const QString strProgram = QCoreApplication::applicationDirPath() + "/dc-simulator";
        for (const char* pszPort : {"abc", "-1", "70000"}) {
            QProcess process;
            process.start(strProgram, {"--port", pszPort});
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(QList<int>({process.exitStatus(), process.exitCode(), process.readAll().size()}),
                     QList<int>({0, 2, 0}));
        }
        QProcess process;
        process.start(strProgram, {"--public", m_dir.filePath("public/sub")});
        QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 30000);
        const QString strBase = QString::fromUtf8(process.readLine()).trimmed();
        QVERIFY2(QRegularExpression("^http://127\\.0\\.0\\.1:[1-9]\\d*$").match(strBase).hasMatch(),
                 qPrintable(strBase));
        QCOMPARE(fetch(strBase + "/public/b.bin").baBody, QByteArray("0123456789"));
        QCOMPARE(fetch(strBase + "/generated/64/x.bin").baBody, generated(0, 0, 64));
        QCOMPARE(fetch(strBase + "/public/missing.txt").strHead, QString("404 10 -"));
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        QVERIFY(process.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_Simulator.moc"
