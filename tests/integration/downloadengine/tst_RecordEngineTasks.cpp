#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QtTest>

#include <downloadengine/CRecordDownloadManager.h>

#include "EngineFixture.h"

// The record engine's bookkeeping: what it answers to a start, its limit of parallel downloads,
// how it completes a task's record, the free-space check and the speed answers.
class tst_RecordEngineTasks : public QObject
{
    Q_OBJECT

private:
    EngineFixture m_fixture;
    CRecordDownloadManager& m_engine = CRecordDownloadManager::getInstance();
    int m_nNextIndex = 0;

    // Adds and prepares task, under a new index.
    int add(const DownloadInfo& task)
    {
        const int nIndex = ++m_nNextIndex;
        m_engine.addDownloadTask(nIndex, task);
        m_engine.prepareDownloadInfo(nIndex);
        return nIndex;
    }

    // A task that stays running: its device sends 20 kB a second.
    int addSlow(const QString& strDeviceId)
    {
        m_fixture.devices().setKnobs(strDeviceId, QStringLiteral("rate=20000"));
        return add(m_fixture.recordTask(strDeviceId, 1, 60, 512000, strDeviceId + QStringLiteral(".mp4")));
    }

private slots:
    void initTestCase() { QVERIFY(m_fixture.isValid()); }

    void init()
    {
        m_fixture.resetEngines();
        QVERIFY(m_fixture.setRecordRate(4 * 1024 * 1024));
    }

    void startCodes_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<bool>("folderBlocked");
        QTest::addColumn<int>("code");
        const QString strGood = QStringLiteral("good");
        QTest::newRow("started") << strGood << true << false << 0;
        QTest::newRow("unknown task") << strGood << false << false << -1;
        QTest::newRow("no source") << QString() << true << false << -3;
        QTest::newRow("blank source") << "   " << true << false << -3;
        QTest::newRow("not http") << "ftp://127.0.0.1/rec.bin" << true << false << -3;
        QTest::newRow("no host") << "http:///rec.bin" << true << false << -3;
        QTest::newRow("not an address") << "http://exa mple/ rec" << true << false << -3;
        QTest::newRow("file not writable") << strGood << true << true << -4;
    }

    void startCodes()
    {
        QFETCH(QString, source);
        QFETCH(bool, registered);
        QFETCH(bool, folderBlocked);
        QFETCH(int, code);
        if (folderBlocked) {
            // A file where the download folder should be: no one, root included, can make it.
            QFile blocker(m_fixture.downloadPath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            QVERIFY(
                EngineFixture::writeSettings(blocker.fileName() + QStringLiteral("/sub"), 4 * 1024 * 1024));
        }
        DownloadInfo task = m_fixture.recordTask(QStringLiteral("cam"), 1, 1, 8000, QStringLiteral("a.mp4"));
        if (source != QLatin1String("good")) {
            task.strSourceUrl = source;
        }
        int nIndex = 999;
        if (registered) {
            nIndex = add(task);
        }
        QCOMPARE(m_engine.startDownload(nIndex), code);
        QCOMPARE(m_engine.getCurDownloadNumber(), registered ? 1 : 0);
        // Only a started task takes a slot.
        m_engine.setMaxDownloadNum(1);
        QCOMPARE(m_engine.canStillDownload(), code != 0);
    }

    void aRunningTaskIsStartedOnce()
    {
        const int nIndex = addSlow(QStringLiteral("once"));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fixture.rangesSeen(QStringLiteral("once")).isEmpty(),
                                 EngineFixture::kTimeoutMs);
        QTest::qWait(200);
        QCOMPARE(m_fixture.rangesSeen(QStringLiteral("once")).size(), 1);
    }

    void aFinishedTaskIsNotStartedAgain()
    {
        QSignalSpy ends(&m_engine, &CRecordDownloadManager::sgnDownloadStateNotify);
        const int nIndex =
            add(m_fixture.recordTask(QStringLiteral("cam"), 1, 1, 8000, QStringLiteral("a.mp4")));
        QCOMPARE(m_engine.startDownload(nIndex), 0);
        bool bOk = false;
        QVERIFY(EngineFixture::waitForEnd(ends, nIndex, &bOk));
        QVERIFY(bOk);
        QCOMPARE(m_engine.startDownload(nIndex), -1);
        QVERIFY(m_engine.canStillDownload());
    }

    void limitOfParallelDownloads()
    {
        m_engine.setMaxDownloadNum(2);
        m_engine.setMaxDownloadNum(0);
        m_engine.setMaxDownloadNum(-3);
        const int nFirst = addSlow(QStringLiteral("one"));
        const int nSecond = addSlow(QStringLiteral("two"));
        const int nThird = addSlow(QStringLiteral("three"));
        QVERIFY(m_engine.canStillDownload());
        QCOMPARE(m_engine.startDownload(nFirst), 0);
        QVERIFY(m_engine.canStillDownload());
        QCOMPARE(m_engine.startDownload(nSecond), 0);
        QVERIFY(!m_engine.canStillDownload());
        QCOMPARE(m_engine.startDownload(nThird), -2);
        // A defined failure is told as such even when no slot is free.
        DownloadInfo noSource =
            m_fixture.recordTask(QStringLiteral("x"), 1, 1, 8000, QStringLiteral("x.mp4"));
        noSource.strSourceUrl.clear();
        QCOMPARE(m_engine.startDownload(add(noSource)), -3);
        QCOMPARE(m_engine.getCurDownloadNumber(), 4);

        // A stopped task frees its slot and is still held.
        m_engine.stopDownload(nFirst, StopReason_Removed, false);
        QVERIFY(m_engine.canStillDownload());
        QCOMPARE(m_engine.getCurDownloadNumber(), 4);
        QCOMPARE(m_engine.startDownload(nThird), 0);
        QCOMPARE(m_engine.startDownload(nFirst), -2);

        // A lower limit lets the running ones go on but starts no more.
        m_engine.setMaxDownloadNum(1);
        QVERIFY(!m_engine.canStillDownload());
        float fBefore = 0;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nThird, fBefore, strSpeed);
        float fAfter = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (m_engine.getDownloadSpeedAndPercent(nThird, fAfter, strSpeed), fAfter > fBefore),
            EngineFixture::kTimeoutMs);
        m_engine.destoryDownloadObj(nSecond);
        QVERIFY(!m_engine.canStillDownload());
        m_engine.destoryDownloadObj(nThird);
        QVERIFY(m_engine.canStillDownload());
    }

    void heldTasksAreCountedUntilDisposedOf()
    {
        const int nA = add(m_fixture.recordTask(QStringLiteral("a"), 1, 1, 8000, QStringLiteral("a.mp4")));
        const int nB = add(m_fixture.recordTask(QStringLiteral("b"), 1, 1, 8000, QStringLiteral("b.mp4")));
        const int nC = add(m_fixture.recordTask(QStringLiteral("c"), 1, 1, 8000, QStringLiteral("c.mp4")));
        QCOMPARE(m_engine.getCurDownloadIndexs(), (QList<int>{nA, nB, nC}));
        QCOMPARE(m_engine.getCurDownloadNumber(), 3);
        m_engine.destoryDownloadObj(nB);
        m_engine.destoryDownloadObj(nB);
        m_engine.destoryDownloadObj(12345);
        QCOMPARE(m_engine.getCurDownloadIndexs(), (QList<int>{nA, nC}));
        QCOMPARE(m_engine.getDownloadInfo(nB).strFileName, QString());
        float fPercent = -1;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nB, fPercent, strSpeed);
        QCOMPARE(fPercent, 0.0f);
        QCOMPARE(strSpeed, QStringLiteral("0B/s"));
    }

    void prepareCompletesTheRecord()
    {
        DownloadInfo task =
            m_fixture.recordTask(QStringLiteral("cam"), 2, 1, 8000, QStringLiteral("../../up/cam:2\t.mp4"));
        task.nDownloadMode = 2;
        task.nSourceKind = 22;
        task.stRecordFile.strFileId = "file-7";
        task.vecSegmentOffsets = {0, 100};
        // Only the engine places files.
        task.strFilePath = QStringLiteral("/tmp/elsewhere/cam.mp4");
        task.stRecordFile.strChecksum = "forged";
        const qint64 nBefore = QDateTime::currentSecsSinceEpoch();
        const int nIndex = add(task);
        const qint64 nAfter = QDateTime::currentSecsSinceEpoch();
        const DownloadInfo info = m_engine.getDownloadInfo(nIndex);
        QCOMPARE(info.strFileName, QStringLiteral("_._up_cam_2.mp4"));
        QCOMPARE(info.strFilePath, QDir(m_fixture.downloadFolder()).absoluteFilePath(info.strFileName));
        QVERIFY(info.nStartDownloadTime >= nBefore && info.nStartDownloadTime <= nAfter);
        // The rest is the caller's, untouched.
        QCOMPARE(info.strSourceUrl, task.strSourceUrl);
        QCOMPARE(info.strChannelName, task.strChannelName);
        QCOMPARE(info.nDownloadMode, 2);
        QCOMPARE(info.nSourceKind, 22);
        QCOMPARE(info.stRecordFile.strFileId, std::string("file-7"));
        QCOMPARE(info.vecSegmentOffsets, (QVector<qint64>{0, 100}));
        QVERIFY(info.stRecordFile.strChecksum.empty());
    }

    void namesAreFreeAmongFilesAndTasks()
    {
        QFile existing(m_fixture.downloadPath(QStringLiteral("same.mp4")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        const DownloadInfo task =
            m_fixture.recordTask(QStringLiteral("cam"), 1, 1, 8000, QStringLiteral("same.mp4"));
        const int nFirst = add(task);
        const int nSecond = add(task);
        QCOMPARE(m_engine.getDownloadInfo(nFirst).strFileName, QStringLiteral("same(1).mp4"));
        QCOMPARE(m_engine.getDownloadInfo(nSecond).strFileName, QStringLiteral("same(2).mp4"));
        // Without a name the task gets one of its own.
        DownloadInfo unnamed = task;
        unnamed.strFileName.clear();
        const int nUnnamed = add(unnamed);
        QCOMPARE(m_engine.getDownloadInfo(nUnnamed).strFileName, QStringLiteral("record_%1").arg(nUnnamed));
    }

    void sizeIsAskedOfTheSourceWhenUnknown()
    {
        const int nUnknown =
            add(m_fixture.recordTask(QStringLiteral("ask"), 1, 10, 64000, QStringLiteral("a.mp4")));
        QCOMPARE(m_engine.getDownloadInfo(nUnknown).stRecordFile.nFileSize, qint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(m_engine.getDownloadInfo(nUnknown).stRecordFile.nFileSize,
                                  EngineFixture::framedSize(10, 64000), EngineFixture::kTimeoutMs);
        const QList<CSimDevices::Request> listAsked = m_fixture.devices().requests(QStringLiteral("ask"));
        QCOMPARE(listAsked.size(), 1);
        QCOMPARE(listAsked.first().strMethod, QStringLiteral("HEAD"));

        // A size the caller gives is kept and nothing is asked; the percent follows the response.
        m_fixture.devices().setKnobs(QStringLiteral("told"), QStringLiteral("rate=20000"));
        DownloadInfo known =
            m_fixture.recordTask(QStringLiteral("told"), 1, 10, 64000, QStringLiteral("b.mp4"));
        known.stRecordFile.nFileSize = 5555;
        const int nKnown = add(known);
        QCOMPARE(m_engine.startDownload(nKnown), 0);
        float fFraction = 0;
        QString strSpeed;
        QTRY_VERIFY_WITH_TIMEOUT(
            (m_engine.getDownloadSpeedAndPercent(nKnown, fFraction, strSpeed), fFraction > 5555.0f / 80064),
            EngineFixture::kTimeoutMs);
        QVERIFY(fFraction < 1.0f);
        QCOMPARE(m_engine.getDownloadInfo(nKnown).stRecordFile.nFileSize, qint64(5555));
        for (const CSimDevices::Request& request : m_fixture.devices().requests(QStringLiteral("told"))) {
            QCOMPARE(request.strMethod, QStringLiteral("GET"));
        }
    }

    void freeSpaceCheck_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("enough");
        const QStorageInfo storage(m_fixture.downloadFolder());
        const qint64 nAvailable = storage.bytesAvailable();
        // The download and its decoded copy are on disk together for a moment.
        const qint64 nMargin = 64 * 1024 * 1024;
        QTest::newRow("unknown size") << qint64(0) << true;
        QTest::newRow("small") << qint64(1000) << true;
        if (nAvailable > 4 * nMargin) {
            QTest::newRow("half of the space, with room") << nAvailable / 2 - nMargin << true;
            QTest::newRow("more than half of the space") << nAvailable / 2 + nMargin << false;
        }
        QTest::newRow("more than there is") << nAvailable + nMargin << false;
    }

    void freeSpaceCheck()
    {
        QFETCH(qint64, size);
        QFETCH(bool, enough);
        DownloadInfo task;
        task.stRecordFile.nFileSize = size;
        QCOMPARE(m_engine.isLeftDiskFreeSpaceEnough(task), enough);
    }

    void freeSpaceOfAFolderNotMadeYet()
    {
        QVERIFY(
            EngineFixture::writeSettings(m_fixture.downloadPath(QStringLiteral("new/deeper")), 1024 * 1024));
        DownloadInfo task;
        task.stRecordFile.nFileSize = 1000;
        QVERIFY(m_engine.isLeftDiskFreeSpaceEnough(task));
        QCOMPARE(m_engine.getDownloadDir(), m_fixture.downloadPath(QStringLiteral("new/deeper")));
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("new"))));
    }

    void speedAnswers_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("answer");
        QTest::newRow("waiting task") << false << 2 << 0;
        QTest::newRow("2x") << true << 2 << 1;
        QTest::newRow("4x") << true << 4 << 1;
        QTest::newRow("back to 1x") << true << 1 << 1;
        QTest::newRow("3x is no factor") << true << 3 << 0;
        QTest::newRow("0x") << true << 0 << 0;
        QTest::newRow("8x") << true << 8 << 0;
    }

    void speedAnswers()
    {
        QFETCH(bool, started);
        QFETCH(int, speed);
        QFETCH(int, answer);
        const int nIndex = addSlow(QStringLiteral("speed"));
        if (started) {
            QCOMPARE(m_engine.startDownload(nIndex), 0);
        }
        QCOMPARE(m_engine.setDownloadSpeed(nIndex, speed), answer);
        QCOMPARE(m_engine.setDownloadSpeed(nIndex + 100, 2), 0);
    }

    void downloadDirFollowsTheSettings()
    {
        QCOMPARE(m_engine.getDownloadDir(), m_fixture.downloadFolder());
        QVERIFY(
            EngineFixture::writeSettings(m_fixture.downloadPath(QStringLiteral("elsewhere")), 1024 * 1024));
        QCOMPARE(m_engine.getDownloadDir(), m_fixture.downloadPath(QStringLiteral("elsewhere")));
    }
};

QTEST_GUILESS_MAIN(tst_RecordEngineTasks)
#include "tst_RecordEngineTasks.moc"
