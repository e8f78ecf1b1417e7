#include <CGeneratedBody.h>
#include <CGeneratedRoute.h>
#include <CSimServer.h>

#include <hostservices/ClientSettings.h>
#include <hostservices/NetworkManager.h>
#include <hostservices/NetworkManagerListener.h>

#include <QNetworkReply>
#include <QSettings>
#include <QtTest>

#include <memory>

// The HTTP client behind public-URL jobs, as its listener (the test) sees it: the body in
// pieces of at most 1 MiB with the last one at the end, progress adding up to it, failures
// told, and never from inside the request. What reaches the files is covered with the runner.
class tst_NetworkManager : public QObject, public Common::NetworkManagerListener
{
    Q_OBJECT

private:
    CSimServer m_server;
    std::unique_ptr<Common::NetworkManager> m_pManager;
    QByteArray m_baShape;  // one letter per callback: 'd'ata, 'p'rogress, 'f'inished, 'e'rror
    QByteArray m_baBody;
    qint64 m_nLargest = 0, m_nProgress = 0, m_nCode = 0;
    int m_nStatus = 0;
    QString m_strUrl;
    QSet<qint64> m_setTotals;

    void onNetworkReadyRead(NetworkReplyData data, QString) override
    {
        m_baShape += 'd';
        m_baBody += data.baData;
        m_nLargest = qMax<qint64>(m_nLargest, data.baData.size());
        m_nStatus = data.nHttpStatus;
    }
    void onNetworkFinished(NetworkReplyData data, QString strTaskId) override
    {
        onNetworkReadyRead(data, strTaskId);
        m_baShape.back() = 'f';
        m_strUrl = data.strUrl;
    }
    void onNetworkError(qint64 nCode, QString, QString) override
    {
        m_baShape += 'e';
        m_nCode = nCode;
    }
    void onNetworkProgress(qint64 nTotal, qint64 nChunk, QString) override
    {
        m_baShape += 'p';
        m_setTotals << nTotal;
        m_nProgress += nChunk;
    }

    static QByteArray generated(int nLength)
    {
        QByteArray baData(nLength, Qt::Uninitialized);
        CGeneratedBody::fill(0, 0, baData.data(), static_cast<std::size_t>(nLength));
        return baData;
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_server.start());
        QSettings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat)
            .setValue("Network/StallTimeout", 1);
    }

    void init()
    {
        m_baShape.clear();
        m_baBody.clear();
        m_nLargest = m_nProgress = m_nCode = m_nStatus = 0;
        m_setTotals.clear();
        m_pManager = std::make_unique<Common::NetworkManager>();
        m_pManager->registerObject(this);
    }

    void cleanup() { m_pManager.reset(); }

    void transfers_data()
    {
        QTest::addColumn<int>("nSize");
        QTest::addColumn<QString>("strQuery");
        QTest::addColumn<int>("nTotal");  // announced; -1: the transfer fails
        QTest::addColumn<int>("nDelivered");
        QTest::addColumn<int>("nCode");
        const int nBig = 9 * 1024 * 1024 + 1;
        QTest::newRow("empty") << 0 << "" << 0 << 0 << 0;
        QTest::newRow("one byte") << 1 << "" << 1 << 1 << 0;
        QTest::newRow("just over the read buffer")
            << 1024 * 1024 + 3 << "" << 1024 * 1024 + 3 << 1024 * 1024 + 3 << 0;
        QTest::newRow("several buffers") << nBig << "" << nBig << nBig << 0;
        QTest::newRow("length not announced") << 300000 << "?length=unknown" << 0 << 300000 << 0;
        QTest::newRow("redirected") << 5000 << "?redirect=4" << 5000 << 5000 << 0;
        // Error pages are not the file: only body bytes of a good answer are handed over.
        QTest::newRow("404") << 5000 << "?status=404" << -1 << 0 << int(QNetworkReply::ContentNotFoundError);
        QTest::newRow("closed half-way")
            << 300000 << "?dropAfter=150000" << -1 << 150000 << int(QNetworkReply::RemoteHostClosedError);
        QTest::newRow("stalled") << 300000 << "?stallAfter=70000" << -1 << 70000
                                 << int(QNetworkReply::TimeoutError);
    }

    void transfers()
    {
        QFETCH(int, nSize);
        QFETCH(QString, strQuery);
        QFETCH(int, nTotal);
        QFETCH(int, nDelivered);
        QFETCH(int, nCode);
        QCOMPARE(m_pManager->getRequestPublicUrl(
                     m_server.baseUrl() + QString("/generated/%1/x.bin").arg(nSize) + strQuery, "t"),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_baShape.endsWith('f') || m_baShape.endsWith('e'), 60000);
        QVERIFY2(QRegularExpression(nCode ? "^[dp]*e$" : "^[dp]*f$").match(m_baShape).hasMatch(), m_baShape);
        QCOMPARE(m_baBody, generated(nDelivered));
        QCOMPARE(m_nCode, qint64(nCode));
        if (nCode == 0) {  // pieces bounded, HTTP status, final address, totals as announced, chunks' sum
            const QString strSeen =
                QString("%1 %2 %3 %4 %5 %6")
                    .arg(QString::number(m_nLargest <= 1024 * 1024), QString::number(m_nStatus),
                         QUrl(m_strUrl).path(), QString::number(m_strUrl.contains("redirect")),
                         QString::number(m_setTotals == QSet<qint64>{nTotal}), QString::number(m_nProgress));
            QCOMPARE(strSeen, QString("1 200 /generated/%1/x.bin 0 1 %1").arg(nSize));
        }
    }

    // Refused at once, and told later, never from inside the request; without a listener
    // nothing is fetched.
    void onlyHttpAndHttpsAreFetched()
    {
        for (const char* pszUrl :
             {"ftp://127.0.0.1/x.bin", "file:///etc/hostname", "data:text/plain,hi", "http:///x", ""}) {
            QVERIFY(m_pManager->getRequestPublicUrl(pszUrl, "t") != 0);
        }
        QVERIFY(m_baShape.isEmpty());
        QTRY_COMPARE(m_baShape, QByteArray("eeeee"));
        m_pManager->registerObject(nullptr);
        QVERIFY(m_pManager->getRequestPublicUrl(m_server.baseUrl() + "/generated/10/x.bin", "t") != 0);
    }
};

QTEST_GUILESS_MAIN(tst_NetworkManager)
#include "tst_NetworkManager.moc"
