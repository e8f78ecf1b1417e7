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

namespace {

// Everything a manager tells its listener, in order.
class RecordingListener : public Common::NetworkManagerListener
{
public:
    struct Event
    {
        enum Kind
        {
            ReadyRead,
            Finished,
            Error,
            Progress
        } eKind;
        QString strTaskId;
        QByteArray baData;
        int nHttpStatus = 0;
        QString strUrl;
        qint64 nCode = 0;
        qint64 nTotal = 0;
        qint64 nChunk = 0;
    };

    QList<Event> listEvents;

    void onNetworkFinished(NetworkReplyData data, QString strTaskId) override
    {
        listEvents.append({Event::Finished, strTaskId, data.baData, data.nHttpStatus, data.strUrl, 0, 0, 0});
    }
    void onNetworkReadyRead(NetworkReplyData data, QString strTaskId) override
    {
        listEvents.append({Event::ReadyRead, strTaskId, data.baData, data.nHttpStatus, data.strUrl, 0, 0, 0});
    }
    void onNetworkError(qint64 nCode, QString strError, QString strTaskId) override
    {
        listEvents.append({Event::Error, strTaskId, strError.toUtf8(), 0, QString(), nCode, 0, 0});
    }
    void onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId) override
    {
        listEvents.append({Event::Progress, strTaskId, QByteArray(), 0, QString(), 0, nTotal, nChunk});
    }

    QList<Event> of(const QString& strTaskId) const
    {
        QList<Event> list;
        for (const Event& event : listEvents) {
            if (event.strTaskId == strTaskId) {
                list.append(event);
            }
        }
        return list;
    }

    // Whether the transfer of strTaskId has ended, one way or the other.
    bool ended(const QString& strTaskId) const
    {
        for (const Event& event : listEvents) {
            if (event.strTaskId == strTaskId &&
                (event.eKind == Event::Finished || event.eKind == Event::Error)) {
                return true;
            }
        }
        return false;
    }

    QByteArray body(const QString& strTaskId) const
    {
        QByteArray baBody;
        for (const Event& event : of(strTaskId)) {
            if (event.eKind == Event::ReadyRead || event.eKind == Event::Finished) {
                baBody += event.baData;
            }
        }
        return baBody;
    }
};

}  // namespace

// The HTTP client behind public-URL jobs: one request per task, the body in bounded pieces
// with the last one at the end, progress that adds up, and clean failures.
class tst_NetworkManager : public QObject
{
    Q_OBJECT

private:
    static constexpr int kWaitMs = 60000;
    static constexpr qint64 kLargestPiece = 1024 * 1024;

    CSimServer m_server;
    std::unique_ptr<Common::NetworkManager> m_pManager;
    RecordingListener m_listener;

    QString url(const QString& strPathAndQuery) const { return m_server.baseUrl() + strPathAndQuery; }

    static QByteArray generated(quint64 nPattern, int nLength)
    {
        QByteArray baData(nLength, Qt::Uninitialized);
        CGeneratedBody::fill(nPattern, 0, baData.data(), static_cast<std::size_t>(nLength));
        return baData;
    }

    static void setStallSeconds(double fSeconds)
    {
        QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Network/StallTimeout"), fSeconds);
        settings.sync();
    }

    // One finished transfer: pieces, then progress up to the total, then the end.
    void checkCompleteTransfer(const QString& strTaskId, const QByteArray& baExpected, qint64 nTotal)
    {
        const QList<RecordingListener::Event> listEvents = m_listener.of(strTaskId);
        QVERIFY(!listEvents.isEmpty());
        QCOMPARE(listEvents.last().eKind, RecordingListener::Event::Finished);
        QCOMPARE(listEvents.last().nHttpStatus, 200);
        qint64 nProgress = 0;
        for (int i = 0; i < listEvents.size(); ++i) {
            const RecordingListener::Event& event = listEvents.at(i);
            QVERIFY(event.eKind != RecordingListener::Event::Error);
            QVERIFY(event.eKind != RecordingListener::Event::Finished || i == listEvents.size() - 1);
            QVERIFY(event.baData.size() <= kLargestPiece);
            if (event.eKind == RecordingListener::Event::Progress) {
                QCOMPARE(event.nTotal, nTotal);
                QVERIFY(event.nChunk >= 0);
                nProgress += event.nChunk;
            }
        }
        QCOMPARE(nProgress, qint64(baExpected.size()));
        QCOMPARE(m_listener.body(strTaskId), baExpected);
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        QVERIFY(m_server.start());
    }

    void init()
    {
        setStallSeconds(30);
        m_listener.listEvents.clear();
        m_pManager = std::make_unique<Common::NetworkManager>();
        m_pManager->registerObject(&m_listener);
    }

    void cleanup() { m_pManager.reset(); }

    void bodiesArriveInBoundedPieces_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("one byte") << 1;
        QTest::newRow("just over the read buffer") << 1024 * 1024 + 3;
        QTest::newRow("several buffers") << 9 * 1024 * 1024 + 1;
    }

    void bodiesArriveInBoundedPieces()
    {
        QFETCH(int, size);
        QCOMPARE(m_pManager->getRequestPublicUrl(
                     url(QStringLiteral("/generated/%1/b.bin?pattern=3").arg(size)), "t"),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("t"), kWaitMs);
        checkCompleteTransfer("t", generated(3, size), size);
    }

    void unknownLengthReportsNoTotal()
    {
        QCOMPARE(
            m_pManager->getRequestPublicUrl(url("/generated/300000/u.bin?pattern=4&length=unknown"), "u"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("u"), kWaitMs);
        checkCompleteTransfer("u", generated(4, 300000), 0);
    }

    void parallelTransfersKeepTheirTasks()
    {
        for (int i = 0; i < 4; ++i) {
            m_pManager->getRequestPublicUrl(
                url(QStringLiteral("/generated/%1/p.bin?pattern=%2&rate=2000000").arg(200000 + i).arg(i)),
                QStringLiteral("p%1").arg(i));
        }
        for (int i = 0; i < 4; ++i) {
            const QString strTaskId = QStringLiteral("p%1").arg(i);
            QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended(strTaskId), kWaitMs);
            checkCompleteTransfer(strTaskId, generated(static_cast<quint64>(i), 200000 + i), 200000 + i);
        }
    }

    void redirectsAreFollowed()
    {
        m_pManager->getRequestPublicUrl(url("/generated/5000/r.bin?pattern=5&redirect=4"), "r");
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("r"), kWaitMs);
        checkCompleteTransfer("r", generated(5, 5000), 5000);
        QCOMPARE(m_listener.of("r").last().strUrl, url("/generated/5000/r.bin?pattern=5"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("delivered");  // body bytes handed over before the error
        QTest::newRow("404") << "/generated/5000/x.bin?status=404" << 0;
        QTest::newRow("500") << "/generated/5000/x.bin?status=500" << 0;
        QTest::newRow("no such address") << "/nothing/here" << 0;
        QTest::newRow("closed half-way") << "/generated/300000/x.bin?dropAfter=150000" << 150000;
        QTest::newRow("closed before the body") << "/generated/300000/x.bin?dropAfter=0" << 0;
        QTest::newRow("too many redirects") << "/generated/5000/x.bin?redirect=30" << 0;
        QTest::newRow("stalled") << "/generated/300000/x.bin?stallAfter=70000" << 70000;
    }

    void failures()
    {
        QFETCH(QString, path);
        QFETCH(int, delivered);
        setStallSeconds(1);
        QCOMPARE(m_pManager->getRequestPublicUrl(url(path), "f"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("f"), kWaitMs);
        const QList<RecordingListener::Event> listEvents = m_listener.of("f");
        QCOMPARE(listEvents.last().eKind, RecordingListener::Event::Error);
        QVERIFY(listEvents.last().nCode != 0);
        for (const RecordingListener::Event& event : listEvents) {
            QVERIFY(event.eKind != RecordingListener::Event::Finished);
        }
        // Error pages are not the file: only body bytes of a good answer are handed over.
        QCOMPARE(m_listener.body("f"), generated(0, delivered));
    }

    void stallsReportATimeout()
    {
        setStallSeconds(0.5);
        m_pManager->getRequestPublicUrl(url("/generated/300000/s.bin?stallAfter=10"), "s");
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("s"), kWaitMs);
        QCOMPARE(m_listener.of("s").last().nCode, qint64(QNetworkReply::TimeoutError));
    }

    void onlyHttpAndHttpsAreFetched_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("ftp") << "ftp://127.0.0.1/x.bin";
        QTest::newRow("file") << "file:///etc/hostname";
        QTest::newRow("data") << "data:text/plain,hello";
        QTest::newRow("no host") << "http:///x.bin";
        QTest::newRow("empty") << "";
    }

    void onlyHttpAndHttpsAreFetched()
    {
        QFETCH(QString, address);
        QVERIFY(m_pManager->getRequestPublicUrl(address, "x") != 0);
        // Told later, never from inside the request.
        QVERIFY(m_listener.listEvents.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("x"), kWaitMs);
        QCOMPARE(m_listener.of("x").size(), 1);
        QCOMPARE(m_listener.of("x").first().eKind, RecordingListener::Event::Error);
    }

    void aNewRequestForATaskReplacesTheOld()
    {
        m_pManager->getRequestPublicUrl(url("/generated/5000000/old.bin?pattern=1&rate=100000"), "t");
        QTRY_VERIFY_WITH_TIMEOUT(!m_listener.body("t").isEmpty(), kWaitMs);
        m_listener.listEvents.clear();
        m_pManager->getRequestPublicUrl(url("/generated/7000/new.bin?pattern=2"), "t");
        QTRY_VERIFY_WITH_TIMEOUT(m_listener.ended("t"), kWaitMs);
        checkCompleteTransfer("t", generated(2, 7000), 7000);
        // Nothing more of the old one afterwards.
        const int nEvents = m_listener.listEvents.size();
        QTest::qWait(300);
        QCOMPARE(m_listener.listEvents.size(), nEvents);
    }

    void withoutAListenerNothingIsFetched()
    {
        Common::NetworkManager manager;
        QVERIFY(manager.getRequestPublicUrl(url("/generated/10/x.bin"), "x") != 0);
    }

    void unregisteringStopsEveryTransfer()
    {
        m_pManager->getRequestPublicUrl(url("/generated/5000000/a.bin?rate=100000"), "a");
        m_pManager->getRequestPublicUrl(url("/generated/5000000/b.bin?rate=100000"), "b");
        QTRY_VERIFY_WITH_TIMEOUT(!m_listener.body("a").isEmpty() && !m_listener.body("b").isEmpty(), kWaitMs);
        m_pManager->registerObject(nullptr);

        RecordingListener other;
        m_pManager->registerObject(&other);
        m_pManager->getRequestPublicUrl(url("/generated/100/c.bin"), "c");
        QTRY_VERIFY_WITH_TIMEOUT(other.ended("c"), kWaitMs);
        QTest::qWait(300);
        QVERIFY(other.of("a").isEmpty());
        QVERIFY(other.of("b").isEmpty());
        m_pManager->registerObject(&m_listener);
    }

    void destroyingTheManagerMidTransferIsQuiet()
    {
        m_pManager->getRequestPublicUrl(url("/generated/5000000/a.bin?rate=100000"), "a");
        QTRY_VERIFY_WITH_TIMEOUT(!m_listener.body("a").isEmpty(), kWaitMs);
        m_pManager.reset();
        const int nEvents = m_listener.listEvents.size();
        QTest::qWait(300);
        QCOMPARE(m_listener.listEvents.size(), nEvents);
        QVERIFY(!m_listener.ended("a"));
    }
};

QTEST_GUILESS_MAIN(tst_NetworkManager)
#include "tst_NetworkManager.moc"
