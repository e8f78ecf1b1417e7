#include "PublicUrlFixture.h"

#include <CGeneratedBody.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSet>
#include <QtTest>

// Jobs fetch real files over loopback HTTP into the download folder: byte for byte, under
// free names, failing cleanly when the transfer does, and closing their files when they end.
class tst_PublicUrlDownloads : public QObject
{
    Q_OBJECT

private:
    static constexpr int kWaitMs = 60000;
    static constexpr int kSourceSize = 200000;

    PublicUrlFixture m_fixture;
    QByteArray m_baSourceSha;

    static QByteArray readAll(const QString& strPath)
    {
        QFile file(strPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray generatedSha(quint64 nPattern, qint64 nSize)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QByteArray baPiece(1024 * 1024, Qt::Uninitialized);
        for (qint64 nOffset = 0; nOffset < nSize; nOffset += baPiece.size()) {
            const int nLength = static_cast<int>(qMin<qint64>(baPiece.size(), nSize - nOffset));
            CGeneratedBody::fill(nPattern, static_cast<quint64>(nOffset), baPiece.data(),
                                 static_cast<std::size_t>(nLength));
            hash.addData(baPiece.constData(), nLength);
        }
        return hash.result().toHex();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.isValid());
        m_baSourceSha = m_fixture.makeSource(QStringLiteral("source.bin"), kSourceSize, 42);
        QVERIFY(!m_baSourceSha.isEmpty());
    }

    void init()
    {
        QVERIFY(PublicUrlFixture::writeSettings(m_fixture.downloadFolder()));
        m_fixture.clearDownloads();
        m_fixture.newRunner();
    }

    void cleanup() { m_fixture.deleteRunner(); }

    void filesArriveByteForByte_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("one byte") << 1;
        QTest::newRow("a few MB") << 3 * 1024 * 1024 + 17;
    }

    void filesArriveByteForByte()
    {
        QFETCH(int, size);
        const QString strSource = QStringLiteral("exact-%1.bin").arg(size);
        const QByteArray baSha = m_fixture.makeSource(strSource, size, static_cast<quint32>(size) + 1);
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url("/public/" + strSource), "copy.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);

        const QString strTarget = m_fixture.downloadPath(QStringLiteral("copy.bin"));
        QCOMPARE(PublicUrlFixture::listing(m_fixture.downloadFolder()), QStringList{"copy.bin"});
        QCOMPARE(QFileInfo(strTarget).size(), qint64(size));
        QCOMPARE(PublicUrlFixture::sha256(strTarget), baSha);
        // An empty body has no fraction to report.
        QCOMPARE(m_fixture.progress("t1"), size > 0 ? 1.0 : 0.0);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 0);
    }

    void largeBodyStreamsThrough()
    {
        const qint64 nSize = 24 * 1024 * 1024 + 5;
        m_fixture.add({PublicUrlFixture::job(
            "big", m_fixture.url(QStringLiteral("/generated/%1/big.bin?pattern=11").arg(nSize)), "big.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("big"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("big.bin")), generatedSha(11, nSize));
        QCOMPARE(m_fixture.progress("big"), 1.0);
    }

    void sameNameInTurnGetsNumbered()
    {
        QList<QByteArray> listShas;
        for (int i = 0; i < 3; ++i) {
            const QString strSource = QStringLiteral("turn-%1.txt").arg(i);
            listShas.append(m_fixture.makeSource(strSource, 1000 + i, 100 + i));
            const QString strTaskId = QStringLiteral("turn%1").arg(i);
            m_fixture.add({PublicUrlFixture::job(strTaskId, m_fixture.url("/public/" + strSource), "a.txt")});
            QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status(strTaskId), 3, kWaitMs);
        }
        QCOMPARE(PublicUrlFixture::listing(m_fixture.downloadFolder()),
                 (QStringList{"a(1).txt", "a(2).txt", "a.txt"}));
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("a.txt")), listShas.at(0));
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("a(1).txt")), listShas.at(1));
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("a(2).txt")), listShas.at(2));
        // The report names the file that was asked for, not the one on disk.
        const QJsonArray arrStatus = m_fixture.statuses();
        QCOMPARE(arrStatus.size(), 3);
        for (const QJsonValue& entry : arrStatus) {
            QCOMPARE(entry.toObject().value("fileName").toString(), QStringLiteral("a.txt"));
        }
    }

    void sameNameAtOnceNeverSharesAFile()
    {
        QSet<QByteArray> setShas;
        QJsonArray arrJobs;
        for (int i = 0; i < 3; ++i) {
            const QString strSource = QStringLiteral("once-%1.txt").arg(i);
            setShas.insert(m_fixture.makeSource(strSource, 60000, 200 + i));
            // Paced, so that the three are running together.
            arrJobs.append(PublicUrlFixture::job(QStringLiteral("once%1").arg(i),
                                                 m_fixture.url("/public/" + strSource + "?rate=200000"),
                                                 "a.txt"));
        }
        m_fixture.add(arrJobs);
        for (int i = 0; i < 3; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status(QStringLiteral("once%1").arg(i)), 3, kWaitMs);
        }
        QCOMPARE(PublicUrlFixture::listing(m_fixture.downloadFolder()),
                 (QStringList{"a(1).txt", "a(2).txt", "a.txt"}));
        QSet<QByteArray> setOnDisk;
        for (const char* pName : {"a.txt", "a(1).txt", "a(2).txt"}) {
            setOnDisk.insert(PublicUrlFixture::sha256(m_fixture.downloadPath(QString::fromLatin1(pName))));
        }
        QCOMPARE(setOnDisk, setShas);
    }

    void existingFilesAreNeverOverwritten()
    {
        QFile existing(m_fixture.downloadPath("keep.bin"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("mine");
        existing.close();
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin"), "keep.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QCOMPARE(readAll(m_fixture.downloadPath("keep.bin")), QByteArray("mine"));
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("keep(1).bin")), m_baSourceSha);
    }

    void failedTransfers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("kept");  // bytes of the partial file left, -1 for no file
        QTest::newRow("404") << "/public/missing.bin" << -1;
        QTest::newRow("forced 500") << "/public/source.bin?status=500" << -1;
        QTest::newRow("dropped half-way")
            << QString("/public/source.bin?dropAfter=%1").arg(kSourceSize / 2) << kSourceSize / 2;
        QTest::newRow("dropped before the body") << "/public/source.bin?dropAfter=0" << -1;
        QTest::newRow("stalled") << QString("/public/source.bin?stallAfter=%1").arg(kSourceSize / 4)
                                 << kSourceSize / 4;
        QTest::newRow("too many redirects") << "/public/source.bin?redirect=30" << -1;
    }

    void failedTransfers()
    {
        QFETCH(QString, path);
        QFETCH(int, kept);
        QVERIFY(PublicUrlFixture::writeSettings(m_fixture.downloadFolder(), 1));
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url(path), "part.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 2, kWaitMs);

        const QString strTarget = m_fixture.downloadPath("part.bin");
        if (kept < 0) {
            QVERIFY(PublicUrlFixture::listing(m_fixture.downloadFolder()).isEmpty());
            return;
        }
        // The partial file stays, closed, holding exactly what arrived.
        QCOMPARE(PublicUrlFixture::listing(m_fixture.downloadFolder()), QStringList{"part.bin"});
        QFile source(m_fixture.sourceFolder() + "/source.bin");
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(readAll(strTarget), source.read(kept));
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 0);
    }

    void redirectsAreFollowed()
    {
        m_fixture.add(
            {PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin?redirect=3"), "moved.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("moved.bin")), m_baSourceSha);
    }

    void unknownLengthFinishesWithoutAFraction()
    {
        m_fixture.add(
            {PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin?length=unknown"), "u.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("u.bin")), m_baSourceSha);
        QCOMPARE(m_fixture.progress("t1"), 0.0);
        QVERIFY(!m_fixture.statusText().contains("nan", Qt::CaseInsensitive));
    }

    void onlyHttpAndHttpsAreFetched_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("ftp") << m_fixture.url("/public/source.bin").replace("http://", "ftp://");
        QTest::newRow("local file") << "file://" + m_fixture.sourceFolder() + "/source.bin";
        QTest::newRow("script") << "javascript:alert(1)";
        QTest::newRow("no host") << "http:///public/source.bin";
        QTest::newRow("empty") << "";
        QTest::newRow("not a URL") << "source.bin";
    }

    void onlyHttpAndHttpsAreFetched()
    {
        QFETCH(QString, url);
        m_fixture.add({PublicUrlFixture::job("bad", url, "x.bin"),
                       PublicUrlFixture::job("good", m_fixture.url("/public/source.bin"), "y.bin")});
        QCOMPARE(m_fixture.status("bad"), 2);
        // Once the good job is done, anything the bad one might have fetched would be there too.
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("good"), 3, kWaitMs);
        QCOMPARE(m_fixture.status("bad"), 2);
        QCOMPARE(PublicUrlFixture::listing(m_fixture.downloadFolder()), QStringList{"y.bin"});
    }

    void progressGrowsWhileRunning()
    {
        m_fixture.add(
            {PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin?rate=200000"), "slow.bin")});
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture.progress("t1") > 0.0 && m_fixture.progress("t1") < 1.0, kWaitMs);
        QCOMPARE(m_fixture.status("t1"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QCOMPARE(m_fixture.progress("t1"), 1.0);
    }

    void destroyingTheRunnerClosesFilesAndStopsTransfers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("paced") << "/generated/50000000/slow.bin?rate=100000";
        // Data queued for the runner at the moment it goes, nearly always.
        QTest::newRow("full speed") << "/generated/100000000000/fast.bin";
    }

    void destroyingTheRunnerClosesFilesAndStopsTransfers()
    {
        QFETCH(QString, path);
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url(path), "running.bin")});
        const QString strTarget = m_fixture.downloadPath("running.bin");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strTarget).size() > 0, kWaitMs);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 1);

        // The HTTP client goes later, from the event loop; until then nothing may reach the
        // runner that is gone.
        m_fixture.deleteRunner(false);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strTarget), 0);
        const qint64 nSize = QFileInfo(strTarget).size();
        // Data still on its way must go nowhere.
        QTest::qWait(500);
        QCOMPARE(QFileInfo(strTarget).size(), nSize);
    }

    void acceptingATaskAgainStartsItOver()
    {
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url("/generated/50000000/first.bin?rate=100000"),
                                             "first.bin")});
        const QString strFirst = m_fixture.downloadPath("first.bin");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strFirst).size() > 0, kWaitMs);

        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin"), "second.bin")});
        QCOMPARE(m_fixture.status("t1"), 0);
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strFirst), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::sha256(m_fixture.downloadPath("second.bin")), m_baSourceSha);
        QCOMPARE(m_fixture.statusOf("t1").value("fileName").toString(), QStringLiteral("second.bin"));
        const qint64 nFirstSize = QFileInfo(strFirst).size();
        QTest::qWait(300);
        QCOMPARE(QFileInfo(strFirst).size(), nFirstSize);
    }
};

QTEST_MAIN(tst_PublicUrlDownloads)
#include "tst_PublicUrlDownloads.moc"
