#include "PublicUrlFixture.h"

#include <QtTest>

// Jobs fetch real bodies over loopback HTTP into the download folder: byte for byte, under
// free names, failing cleanly when the transfer does, and closing their files when they end.
class tst_PublicUrlDownloads : public QObject
{
    Q_OBJECT

private:
    static constexpr int kWaitMs = 60000;

    PublicUrlFixture m_f;

private slots:
    void initTestCase() { QVERIFY(m_f.isValid()); }

    void init() { QVERIFY(m_f.reset()); }

    void cleanup() { m_f.deleteRunner(); }

    void filesArriveByteForByte_data()
    {
        QTest::addColumn<int>("nSize");
        QTest::addColumn<QString>("strQuery");
        QTest::addColumn<double>("fProgress");  // an empty or unannounced body has no fraction
        QTest::newRow("empty") << 0 << "" << 0.0;
        QTest::newRow("one byte") << 1 << "" << 1.0;
        QTest::newRow("a few MB") << 3 * 1024 * 1024 + 17 << "" << 1.0;
        QTest::newRow("redirected") << 1000 << "&redirect=3" << 1.0;
        QTest::newRow("length not announced") << 1000 << "&length=unknown" << 0.0;
    }

    void filesArriveByteForByte()
    {
        QFETCH(int, nSize);
        QFETCH(QString, strQuery);
        QFETCH(double, fProgress);
        m_f.add("t1", m_f.url(nSize, 5, strQuery), "copy.bin");
        QTRY_COMPARE_WITH_TIMEOUT(m_f.status("t1"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::listing(m_f.folder()), QStringList{"copy.bin"});
        QCOMPARE(PublicUrlFixture::read(m_f.path("copy.bin")), PublicUrlFixture::generated(nSize, 5));
        QCOMPARE(m_f.statusOf("t1").value("downloadProgress").toDouble(), fProgress);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(m_f.path("copy.bin")), 0);
    }

    void sameNameGetsNumbered_data()
    {
        QTest::addColumn<bool>("bAtOnce");  // the three jobs running together, or one after the other
        QTest::newRow("in turn") << false;
        QTest::newRow("at once") << true;
    }

    // The report names the file that was asked for, not the one on disk.
    void sameNameGetsNumbered()
    {
        QFETCH(bool, bAtOnce);
        for (int i = 0; i < 3; ++i) {
            m_f.add(QString::number(i), m_f.url(60000, i, bAtOnce ? "&rate=200000" : ""), "a.txt");
            QTRY_VERIFY_WITH_TIMEOUT(bAtOnce || m_f.status(QString::number(i)) == 3, kWaitMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_f.statusText().count("\"fileName\":\"a.txt\",\"status\":3"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::listing(m_f.folder()), QStringList({"a(1).txt", "a(2).txt", "a.txt"}));
        QList<QByteArray> listOnDisk, listSources;  // at once, in any order
        for (const char* pszName : {"a.txt", "a(1).txt", "a(2).txt"}) {
            listOnDisk << PublicUrlFixture::read(m_f.path(pszName));
            listSources << PublicUrlFixture::generated(60000, listSources.size());
        }
        if (bAtOnce) {
            std::sort(listOnDisk.begin(), listOnDisk.end());
            std::sort(listSources.begin(), listSources.end());
        }
        QCOMPARE(listOnDisk, listSources);
    }

    void failedTransfers_data()
    {
        QTest::addColumn<QString>("strQuery");
        QTest::addColumn<int>("nKept");  // bytes of the partial file left, -1 for no file
        QTest::newRow("404") << "&status=404" << -1;
        QTest::newRow("dropped half-way") << "&dropAfter=100000" << 100000;
        QTest::newRow("dropped before the body") << "&dropAfter=0" << -1;
        QTest::newRow("stalled") << "&stallAfter=50000" << 50000;
        QTest::newRow("too many redirects") << "&redirect=30" << -1;
    }

    // A partial file stays, closed, holding exactly what arrived; error pages are not files.
    void failedTransfers()
    {
        QFETCH(QString, strQuery);
        QFETCH(int, nKept);
        QVERIFY(PublicUrlFixture::writeSettings(m_f.folder(), 1));
        m_f.add("t1", m_f.url(200000, 7, strQuery), "part.bin");
        QTRY_COMPARE_WITH_TIMEOUT(m_f.status("t1"), 2, kWaitMs);
        QCOMPARE(PublicUrlFixture::listing(m_f.folder()),
                 nKept < 0 ? QStringList() : QStringList{"part.bin"});
        if (nKept >= 0) {
            QCOMPARE(PublicUrlFixture::read(m_f.path("part.bin")), PublicUrlFixture::generated(nKept, 7));
            QCOMPARE(PublicUrlFixture::descriptorsOpenOn(m_f.path("part.bin")), 0);
        }
    }

    // The HTTP client goes later, from the event loop; until then nothing may reach the
    // runner that is gone, and data still on its way (at full speed, nearly always some) goes
    // nowhere.
    void destroyingTheRunnerClosesFilesAndStopsTransfers()
    {
        for (const char* pszQuery : {"&rate=100000", ""}) {
            QVERIFY(m_f.reset());
            m_f.add("t1", m_f.url(2000000000, 0, pszQuery), "running.bin");
            const QString strTarget = m_f.path("running.bin");
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strTarget).size() > 0, kWaitMs);
            QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 1);
            m_f.deleteRunner(false);
            QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 0);
            const qint64 nSize = QFileInfo(strTarget).size();
            QTest::qWait(500);
            QCOMPARE(QFileInfo(strTarget).size(), nSize);
        }
    }

    // Accepted again, a job drops its old transfer and file and starts over.
    void acceptingATaskAgainStartsItOver()
    {
        m_f.add("t1", m_f.url(50000000, 0, "&rate=100000"), "first.bin");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_f.path("first.bin")).size() > 0, kWaitMs);
        m_f.add("t1", m_f.url(300000, 3), "second.bin");
        QCOMPARE(m_f.status("t1"), 0);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(m_f.path("first.bin")), 0);
        const qint64 nFirstSize = QFileInfo(m_f.path("first.bin")).size();
        QTRY_COMPARE_WITH_TIMEOUT(m_f.status("t1"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::read(m_f.path("second.bin")), PublicUrlFixture::generated(300000, 3));
        QCOMPARE(m_f.statusOf("t1").value("fileName").toString(), QString("second.bin"));
        QCOMPARE(QFileInfo(m_f.path("first.bin")).size(), nFirstSize);
    }
};

QTEST_MAIN(tst_PublicUrlDownloads)
#include "tst_PublicUrlDownloads.moc"
