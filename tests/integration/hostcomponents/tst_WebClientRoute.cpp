#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>
#include <CSimServer.h>
#include <CWebClientRoute.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The simulator's web client over real HTTP: the page and its assets with their types, the
// list of offered files, and that every offered address really serves the listed size.
class tst_WebClientRoute : public QObject
{
    Q_OBJECT

private:
    struct Fetched
    {
        int nStatus = 0;
        QByteArray baBody;
        QByteArray baContentType;
    };

    QTemporaryDir m_dir;
    CSimServer m_server;
    QNetworkAccessManager m_access;

    QString webFolder() const { return m_dir.filePath(QStringLiteral("web")); }
    QString publicFolder() const { return m_dir.filePath(QStringLiteral("public")); }

    static bool writeFile(const QString& strPath, const QByteArray& baData)
    {
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    Fetched fetch(const QUrl& url, const QByteArray& baHost = QByteArray())
    {
        QNetworkRequest request(url);
        if (!baHost.isEmpty()) {
            request.setRawHeader("Host", baHost);
        }
        QNetworkReply* pReply = m_access.get(request);
        QSignalSpy finished(pReply, &QNetworkReply::finished);
        Fetched fetched;
        if (!pReply->isFinished() && !finished.wait(60000)) {
            pReply->deleteLater();
            return fetched;
        }
        fetched.nStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        fetched.baBody = pReply->readAll();
        fetched.baContentType = pReply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        pReply->deleteLater();
        return fetched;
    }

    QJsonArray fileList()
    {
        const Fetched fetched = fetch(m_server.url(QStringLiteral("/client/api/files")));
        if (fetched.nStatus != 200 || !fetched.baContentType.startsWith("application/json")) {
            return QJsonArray();
        }
        return QJsonDocument::fromJson(fetched.baBody).array();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(webFolder() + "/index.html", "<!doctype html><title>page</title>"));
        QVERIFY(writeFile(webFolder() + "/app.js", "var x = 1;"));
        QVERIFY(writeFile(webFolder() + "/style.css", "body {}"));
        QVERIFY(writeFile(webFolder() + "/img/logo.svg", "<svg/>"));
        QVERIFY(writeFile(m_dir.filePath("secret.txt"), "outside the web folder"));
        QVERIFY(writeFile(publicFolder() + "/b.bin", QByteArray(1000, 'b')));
        QVERIFY(writeFile(publicFolder() + "/a.txt", "hello"));
        QVERIFY(writeFile(publicFolder() + "/sub/name with space & more.bin", QByteArray(77, 's')));
        QVERIFY(writeFile(publicFolder() + "/.hidden", "not offered"));
        QVERIFY(QFile::link(m_dir.filePath("secret.txt"), publicFolder() + "/link-out.txt"));

        m_server.addRoute(std::make_unique<CPublicFilesRoute>(publicFolder()));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        m_server.addRoute(std::make_unique<CWebClientRoute>(webFolder(), publicFolder()));
        QVERIFY(m_server.start());
    }

    void pageAndAssets_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<QByteArray>("baBody");
        QTest::addColumn<QByteArray>("baType");
        QTest::newRow("page") << "/client/base/client/downloadCenter"
                              << QByteArray("<!doctype html><title>page</title>") << QByteArray("text/html");
        QTest::newRow("script") << "/client/base/client/app.js" << QByteArray("var x = 1;")
                                << QByteArray("text/javascript");
        QTest::newRow("style") << "/client/base/client/style.css" << QByteArray("body {}")
                               << QByteArray("text/css");
        QTest::newRow("nested") << "/client/base/client/img/logo.svg" << QByteArray("<svg/>")
                                << QByteArray("image/svg+xml");
    }

    void pageAndAssets()
    {
        QFETCH(QString, strPath);
        QFETCH(QByteArray, baBody);
        QFETCH(QByteArray, baType);
        const Fetched fetched = fetch(m_server.url(strPath));
        QCOMPARE(fetched.nStatus, 200);
        QCOMPARE(fetched.baBody, baBody);
        QVERIFY2(fetched.baContentType.startsWith(baType), fetched.baContentType.constData());
    }

    void nothingOutsideTheWebFolder_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::newRow("missing") << "/client/base/client/missing.js";
        QTest::newRow("parent") << "/client/base/client/../secret.txt";
        QTest::newRow("encoded parent") << "/client/base/client/%2e%2e/secret.txt";
        QTest::newRow("folder") << "/client/base/client/img";
        QTest::newRow("page with slash") << "/client/base/client/downloadCenter/";
    }

    void nothingOutsideTheWebFolder()
    {
        QFETCH(QString, strPath);
        const Fetched fetched = fetch(QUrl(m_server.baseUrl() + strPath, QUrl::TolerantMode));
        QCOMPARE(fetched.nStatus, 404);
        QVERIFY(!fetched.baBody.contains("outside"));
    }

    void fileListNamesThePublicFilesAndGeneratedOnes()
    {
        const QJsonArray arrFiles = fileList();
        QStringList listNames;
        for (const QJsonValue& value : arrFiles) {
            listNames << value.toObject().value(QStringLiteral("name")).toString();
        }
        // Sorted by path; hidden files and links out of the folder are not offered.
        QCOMPARE(listNames.mid(0, 3), (QStringList{"a.txt", "b.bin", "name with space & more.bin"}));
        QVERIFY(listNames.size() > 3);
        QVERIFY(!listNames.contains(".hidden"));
        QVERIFY(!listNames.contains("link-out.txt"));
        const QJsonObject first = arrFiles.at(0).toObject();
        QCOMPARE(first.value(QStringLiteral("url")).toString(), m_server.baseUrl() + "/public/a.txt");
        QCOMPARE(first.value(QStringLiteral("size")).toInt(), 5);
        QCOMPARE(arrFiles.at(2).toObject().value(QStringLiteral("url")).toString(),
                 m_server.baseUrl() + "/public/sub/name%20with%20space%20%26%20more.bin");
    }

    void everyOfferedAddressServesTheListedSize()
    {
        const QJsonArray arrFiles = fileList();
        QVERIFY(!arrFiles.isEmpty());
        for (const QJsonValue& value : arrFiles) {
            const QJsonObject file = value.toObject();
            const QUrl url(file.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
            QVERIFY2(url.isValid(), qPrintable(url.toString()));
            const Fetched fetched = fetch(url);
            QCOMPARE(fetched.nStatus, 200);
            QCOMPARE(qint64(fetched.baBody.size()), qint64(file.value(QStringLiteral("size")).toDouble()));
        }
    }

    void addressesFollowTheHostAsked()
    {
        const Fetched fetched =
            fetch(m_server.url(QStringLiteral("/client/api/files")),
                  QByteArray("localhost:%1").replace("%1", QByteArray::number(m_server.port())));
        QCOMPARE(fetched.nStatus, 200);
        const QJsonArray arrFiles = QJsonDocument::fromJson(fetched.baBody).array();
        QVERIFY(!arrFiles.isEmpty());
        QCOMPARE(arrFiles.at(0).toObject().value(QStringLiteral("url")).toString(),
                 QStringLiteral("http://localhost:%1/public/a.txt").arg(m_server.port()));

        // A Host header that is no host name falls back on the address the request came to.
        const Fetched odd = fetch(m_server.url(QStringLiteral("/client/api/files")), "a\"b/c");
        QCOMPARE(odd.nStatus, 200);
        QCOMPARE(QJsonDocument::fromJson(odd.baBody)
                     .array()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("url"))
                     .toString(),
                 m_server.baseUrl() + "/public/a.txt");
    }

    void fileListWithoutPublicFolder()
    {
        const QJsonArray arrFiles =
            QJsonDocument::fromJson(CWebClientRoute::fileList(m_dir.filePath("no such folder"), "http://h:1"))
                .array();
        QVERIFY(!arrFiles.isEmpty());
        for (const QJsonValue& value : arrFiles) {
            QVERIFY(
                value.toObject().value(QStringLiteral("url")).toString().startsWith("http://h:1/generated/"));
        }
    }

    void fileListHonoursTheStatusKnob()
    {
        QCOMPARE(fetch(m_server.url(QStringLiteral("/client/api/files?status=503"))).nStatus, 503);
    }

    void cleanupTestCase() { m_server.stop(); }
};

QTEST_GUILESS_MAIN(tst_WebClientRoute)
#include "tst_WebClientRoute.moc"
