#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <downloadengine/CRecordDownloadManager.h>

#include "EngineFixture.h"

// Record downloads end to end against the simulated device: the file on disk is the device's
// stream byte for byte, decoding is announced first, failures keep what came and a continued
// task asks only for the rest.
class tst_RecordEngineTransfer : public QObject
{
    Q_OBJECT

private:
    EngineFixture m_fixture;
    CRecordDownloadManager& m_engine = CRecordDownloadManager::getInstance();
    int m_nNextIndex = 0;
    // "decode <index>" and "end <index> <ok>", in the order the engine emitted them.
    QStringList m_listEvents;
    bool m_bAllOnGuiThread = true;

    int add(const DownloadInfo& task)
    {
        const int nIndex = ++m_nNextIndex;
        m_engine.addDownloadTask(nIndex, task);
        m_engine.prepareDownloadInfo(nIndex);
        return nIndex;
    }

    static qint64 fileSize(const QString& strPath) { return QFileInfo(strPath).size(); }

    QStringList leftovers() const
    {
        return QDir(m_fixture.downloadFolder())
            .entryList({QStringLiteral("*.part"), QStringLiteral("*.decoding-*")}, QDir::Files);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.isValid());
        // Direct connections: the slots run on the thread that emits.
        connect(
            &m_engine, &CRecordDownloadManager::sgnBeginDecodeNotify, this,
            [this](int nIndex) {
                m_bAllOnGuiThread = m_bAllOnGuiThread && QThread::currentThread() == qApp->thread();
                m_listEvents.append(QStringLiteral("decode %1").arg(nIndex));
            },
            Qt::DirectConnection);
        connect(
            &m_engine, &CRecordDownloadManager::sgnDownloadStateNotify, this,
            [this](int nIndex, bool bOk, const DownloadInfo&) {
                m_bAllOnGuiThread = m_bAllOnGuiThread && QThread::currentThread() == qApp->thread();
                m_listEvents.append(QStringLiteral("end %1 %2").arg(nIndex).arg(bOk));
            },
            Qt::DirectConnection);
    }

    void init()
    {
        m_fixture.resetEngines();
        QVERIFY(m_fixture.setRecordRate(4 * 1024 * 1024));
        m_listEvents.clear();
    }

    void cleanup() { QVERIFY(m_bAllOnGuiThread); }

    void downloadsAndDecodesByteExact_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<qint64>("bitrate");
        QTest::addColumn<QString>("knobs");
        QTest::newRow("tiny") << 1 << qint64(8000) << QString();
        QTest::newRow("several frames") << 10 << qint64(512000) << QString();
        QTest::newRow("exactly one frame") << 1 << qint64(524288) << QString();
        QTest::newRow("without a length") << 10 << qint64(256000) << "length=unknown";
        QTest::newRow("redirected") << 4 << qint64(256000) << "redirect=2";
        QTest::newRow("slow source") << 2 << qint64(256000) << "rate=100000";
    }

    void downloadsAndDecodesByteExact()
    {
        QFETCH(int, seconds);
        QFETCH(qint64, bitrate);
        QFETCH(QString, knobs);
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex = add(m_fixture.recordTask(QStringLiteral("cam"), 3, quint32(seconds),
                                                    quint64(bitrate), QStringLiteral("cam 3.mp4"), 0, knobs));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = false;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(m_listEvents, (QStringList{QStringLiteral("decode %1").arg(nIndex),
                                            QStringLiteral("end %1 1").arg(nIndex)}));

        const QByteArray baExpected =
            EngineFixture::streamSha256(QStringLiteral("cam"), 3, quint32(seconds), quint64(bitrate));
        const DownloadInfo info = EngineFixture::endRecord(ends, nIndex);
        QCOMPARE(info.strFileName, QStringLiteral("cam 3.mp4"));
        QCOMPARE(info.strFilePath, m_fixture.downloadPath(QStringLiteral("cam 3.mp4")));
        QCOMPARE(fileSha256(info.strFilePath), baExpected);
        QCOMPARE(QByteArray::fromStdString(info.stRecordFile.strChecksum), baExpected);
        QCOMPARE(info.stRecordFile.nFileSize, qint64(seconds) * bitrate / 8);
        QCOMPARE(fileSize(info.strFilePath), info.stRecordFile.nFileSize);
        QCOMPARE(leftovers(), QStringList());
        float fPercent = 0;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nIndex, fPercent, strSpeed);
        QCOMPARE(fPercent, 1.0f);
        // Fetched in one go (redirects make more requests, none of them for a range).
        const QStringList listRanges = m_fixture.rangesSeen(QStringLiteral("cam"));
        QVERIFY(!listRanges.isEmpty());
        QCOMPARE(listRanges.join(QString()), QString());
    }

    void resumesWithRangeAfterADrop()
    {
        const qint64 nDropAfter = 300000;
        m_fixture.devices().setKnobs(QStringLiteral("drop"), QStringLiteral("dropAfter=%1").arg(nDropAfter));
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("drop"), 1, 10, 512000, QStringLiteral("drop.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = true;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(!bOk);
        // No decoding for a transfer that did not end.
        QCOMPARE(m_listEvents, QStringList{QStringLiteral("end %1 0").arg(nIndex)});
        // Whatever reached the engine before the connection closed is kept; bytes the client's
        // network layer still held unread when it closed may be lost, never invented.
        const DownloadInfo failed = m_engine.getDownloadInfo(nIndex);
        const qint64 nKept = fileSize(failed.strFilePath + QStringLiteral(".part"));
        QVERIFY2(nKept > 0 && nKept <= nDropAfter, QByteArray::number(nKept).constData());
        QVERIFY(!QFileInfo::exists(failed.strFilePath));
        float fPercent = 0;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nIndex, fPercent, strSpeed);
        QCOMPARE(qRound(fPercent * 1000), qRound(1000.0 * nKept / EngineFixture::framedSize(10, 512000)));
        QVERIFY(m_engine.canStillDownload());

        m_fixture.devices().setKnobs(QStringLiteral("drop"), QString());
        ends.clear();
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        // The client's network layer may try the dropped request once more by itself; the
        // continued task is the one request for a range.
        const QStringList listRanges = m_fixture.rangesSeen(QStringLiteral("drop"));
        QCOMPARE(listRanges.last(), QStringLiteral("bytes=%1-").arg(nKept));
        QCOMPARE(listRanges.filter(QStringLiteral("bytes")).size(), 1);
        QCOMPARE(fileSha256(failed.strFilePath),
                 EngineFixture::streamSha256(QStringLiteral("drop"), 1, 10, 512000));
        QCOMPARE(leftovers(), QStringList());
    }

    void damagedFramesAreFetchedAgain()
    {
        // A byte inside the fourth frame's payload arrives inverted: the first three frames stay.
        const qint64 nFrame = 16 + 65536;
        const qint64 nFourth = 32 + 3 * nFrame;
        m_fixture.devices().setKnobs(QStringLiteral("noisy"),
                                     QStringLiteral("corruptAt=%1").arg(nFourth + 16 + 99));
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("noisy"), 1, 10, 512000, QStringLiteral("noisy.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = true;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(!bOk);
        QCOMPARE(m_listEvents, (QStringList{QStringLiteral("decode %1").arg(nIndex),
                                            QStringLiteral("end %1 0").arg(nIndex)}));
        const QString strTarget = m_engine.getDownloadInfo(nIndex).strFilePath;
        QCOMPARE(fileSize(strTarget + QStringLiteral(".part")), nFourth);
        QVERIFY(!QFileInfo::exists(strTarget));
        QCOMPARE(leftovers(), QStringList{QFileInfo(strTarget).fileName() + QStringLiteral(".part")});

        m_fixture.devices().setKnobs(QStringLiteral("noisy"), QString());
        ends.clear();
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(m_fixture.rangesSeen(QStringLiteral("noisy")).last(),
                 QStringLiteral("bytes=%1-").arg(nFourth));
        QCOMPARE(fileSha256(strTarget),
                 EngineFixture::streamSha256(QStringLiteral("noisy"), 1, 10, 512000));
    }

    void httpErrorsFail_data()
    {
        QTest::addColumn<QString>("knobs");
        QTest::newRow("server error") << "status=500";
        QTest::newRow("not found") << "status=404";
        QTest::newRow("refused range") << "status=416";
    }

    void httpErrorsFail()
    {
        QFETCH(QString, knobs);
        m_fixture.devices().setKnobs(QStringLiteral("err"), knobs);
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("err"), 1, 2, 64000, QStringLiteral("err.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = true;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(!bOk);
        const QString strTarget = m_engine.getDownloadInfo(nIndex).strFilePath;
        QCOMPARE(fileSize(strTarget + QStringLiteral(".part")), qint64(0));

        m_fixture.devices().setKnobs(QStringLiteral("err"), QString());
        ends.clear();
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(fileSha256(strTarget),
                 EngineFixture::streamSha256(QStringLiteral("err"), 1, 2, 64000));
    }

    void stopKeepsWhatCameAndContinues()
    {
        m_fixture.devices().setKnobs(QStringLiteral("slow"), QStringLiteral("rate=200000"));
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("slow"), 1, 10, 512000, QStringLiteral("s.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        float fPercent = 0;
        QString strSpeed;
        QTRY_VERIFY_WITH_TIMEOUT(
            (m_engine.getDownloadSpeedAndPercent(nIndex, fPercent, strSpeed), fPercent > 0.2f),
            EngineFixture::kTimeoutMs);
        m_engine.stopDownload(nIndex, StopReason_Removed, true);
        const QString strPart = m_engine.getDownloadInfo(nIndex).strFilePath + QStringLiteral(".part");
        const qint64 nKept = fileSize(strPart);
        QVERIFY(nKept > 0);
        QVERIFY(m_engine.canStillDownload());
        QTest::qWait(300);
        QCOMPARE(ends.count(), 0);
        QCOMPARE(fileSize(strPart), nKept);

        m_fixture.devices().setKnobs(QStringLiteral("slow"), QString());
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = false;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(m_fixture.rangesSeen(QStringLiteral("slow")).last(), QStringLiteral("bytes=%1-").arg(nKept));
        QCOMPARE(fileSha256(m_engine.getDownloadInfo(nIndex).strFilePath),
                 EngineFixture::streamSha256(QStringLiteral("slow"), 1, 10, 512000));
    }

    void deleteRemovesThePartialFileOnly()
    {
        // A finished download of the same name stays whatever happens to the new task.
        QFile finished(m_fixture.downloadPath(QStringLiteral("d.mp4")));
        QVERIFY(finished.open(QIODevice::WriteOnly));
        finished.write("finished before");
        finished.close();

        m_fixture.devices().setKnobs(QStringLiteral("del"), QStringLiteral("rate=100000"));
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("del"), 1, 10, 512000, QStringLiteral("d.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        const QString strPart = m_engine.getDownloadInfo(nIndex).strFilePath + QStringLiteral(".part");
        QCOMPARE(strPart, m_fixture.downloadPath(QStringLiteral("d(1).mp4.part")));
        QTRY_VERIFY_WITH_TIMEOUT(fileSize(strPart) > 0, EngineFixture::kTimeoutMs);
        m_engine.stopDownload(nIndex, StopReason_Removed, true);
        m_engine.deleteDownloadFile(nIndex);
        QVERIFY(!QFileInfo::exists(strPart));
        QCOMPARE(m_engine.getCurDownloadNumber(), 1);
        m_engine.destoryDownloadObj(nIndex);
        QCOMPARE(m_engine.getCurDownloadNumber(), 0);
        QCOMPARE(QDir(m_fixture.downloadFolder()).entryList(QDir::Files),
                 QStringList{QStringLiteral("d.mp4")});
    }

    void disposingOfARunningTaskEndsItSilently()
    {
        m_fixture.devices().setKnobs(QStringLiteral("gone"), QStringLiteral("rate=100000"));
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("gone"), 1, 10, 512000, QStringLiteral("g.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fixture.rangesSeen(QStringLiteral("gone")).isEmpty(),
                                 EngineFixture::kTimeoutMs);
        m_engine.destoryDownloadObj(nIndex);
        QVERIFY(m_engine.canStillDownload());
        QTest::qWait(300);
        QCOMPARE(ends.count(), 0);
        QCOMPARE(m_engine.startDownload(nIndex), -1);
    }

    void stopWhileDecodingReportsNothingAndContinues()
    {
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("dec"), 1, 60, 512000, QStringLiteral("dec.mp4")));
        const QMetaObject::Connection stopper = connect(
            &m_engine, &CRecordDownloadManager::sgnBeginDecodeNotify, this, [this, nIndex](int nDecoding) {
                if (nDecoding == nIndex) {
                    m_engine.stopDownload(nIndex, StopReason_Removed, false);
                }
            });
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_listEvents.size(), 1, EngineFixture::kTimeoutMs);
        disconnect(stopper);
        const QString strTarget = m_engine.getDownloadInfo(nIndex).strFilePath;
        // Whatever the decoder had done is dropped; the download itself stays whole.
        QTRY_COMPARE_WITH_TIMEOUT(leftovers(), QStringList{QStringLiteral("dec.mp4.part")},
                                  EngineFixture::kTimeoutMs);
        QTest::qWait(300);
        QCOMPARE(ends.count(), 0);
        QVERIFY(!QFileInfo::exists(strTarget));
        QCOMPARE(fileSize(strTarget + QStringLiteral(".part")), EngineFixture::framedSize(60, 512000));

        // Continuing finds nothing left to fetch and decodes again.
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = false;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(m_fixture.rangesSeen(QStringLiteral("dec")).last(),
                 QStringLiteral("bytes=%1-").arg(EngineFixture::framedSize(60, 512000)));
        QCOMPARE(fileSha256(strTarget),
                 EngineFixture::streamSha256(QStringLiteral("dec"), 1, 60, 512000));
    }

    void aNameTakenMeanwhileIsNotOverwritten()
    {
        m_fixture.devices().setKnobs(QStringLiteral("late"), QStringLiteral("rate=300000"));
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("late"), 1, 4, 512000, QStringLiteral("late.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QFile intruder(m_fixture.downloadPath(QStringLiteral("late.mp4")));
        QVERIFY(intruder.open(QIODevice::WriteOnly));
        intruder.write("someone else's");
        intruder.close();
        bool bOk = false;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        const DownloadInfo info = EngineFixture::endRecord(ends, nIndex);
        QCOMPARE(info.strFileName, QStringLiteral("late(1).mp4"));
        QCOMPARE(fileSha256(info.strFilePath),
                 EngineFixture::streamSha256(QStringLiteral("late"), 1, 4, 512000));
        QVERIFY(intruder.open(QIODevice::ReadOnly));
        QCOMPARE(intruder.readAll(), QByteArray("someone else's"));
    }
};

QTEST_GUILESS_MAIN(tst_RecordEngineTransfer)
#include "tst_RecordEngineTransfer.moc"
