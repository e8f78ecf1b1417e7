#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>

#include "EngineFixture.h"

// Picture packages against the simulated device: one at a time, size, percent, end and error
// as the list relies on them, byte-exact archives, resume after an error, removal and clear.
class tst_CPicDownloadManager : public QObject
{
    Q_OBJECT

private:
    EngineFixture m_fixture;
    CPicDownloadManager& m_engine = CPicDownloadManager::getInstance();
    int m_nNextIndex = 0;
    // "size <n>", "percent <n>", "finished", "error", in the order emitted.
    QStringList m_listEvents;
    // Whether the engine was idle whenever it announced an end.
    bool m_bIdleAtEnds = true;
    bool m_bAllOnGuiThread = true;

    int append(const DownloadPicInfo& info)
    {
        const int nIndex = ++m_nNextIndex;
        m_engine.appendPicDownloadInfo(nIndex, info);
        return nIndex;
    }

    bool waitForEnd()
    {
        return QTest::qWaitFor(
            [this] {
                return m_listEvents.contains(QStringLiteral("finished")) ||
                       m_listEvents.contains(QStringLiteral("error"));
            },
            EngineFixture::kTimeoutMs);
    }

    QList<int> percents() const
    {
        QList<int> listPercents;
        for (const QString& strEvent : m_listEvents) {
            if (strEvent.startsWith(QLatin1String("percent "))) {
                listPercents.append(strEvent.mid(8).toInt());
            }
        }
        return listPercents;
    }

    void note(const QString& strEvent)
    {
        m_bAllOnGuiThread = m_bAllOnGuiThread && QThread::currentThread() == qApp->thread();
        m_listEvents.append(strEvent);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.isValid());
        connect(&m_engine, &CPicDownloadManager::sgnPicGetDownloadZipInfo, this,
                [this](int nSize) { note(QStringLiteral("size %1").arg(nSize)); });
        connect(&m_engine, &CPicDownloadManager::sgnPicDownloadProgress, this,
                [this](qint64 nPercent) { note(QStringLiteral("percent %1").arg(nPercent)); });
        connect(&m_engine, &CPicDownloadManager::sgnPicFinishedDowndload, this, [this] {
            m_bIdleAtEnds = m_bIdleAtEnds && !m_engine.isPicDownloadingNow();
            note(QStringLiteral("finished"));
        });
        connect(&m_engine, &CPicDownloadManager::sgnPicDownloadError, this, [this](const QString& strError) {
            m_bIdleAtEnds = m_bIdleAtEnds && !m_engine.isPicDownloadingNow() && !strError.isEmpty();
            note(QStringLiteral("error"));
        });
    }

    void init()
    {
        m_fixture.resetEngines();
        m_listEvents.clear();
    }

    void cleanup()
    {
        QVERIFY(m_bIdleAtEnds);
        QVERIFY(m_bAllOnGuiThread);
    }

    void downloadsThePackageByteExact_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pictureBytes");
        QTest::addColumn<QString>("knobs");
        QTest::addColumn<bool>("lengthKnown");
        QTest::newRow("default package") << 0 << 0 << QString() << true;
        QTest::newRow("one picture") << 1 << 10 << QString() << true;
        QTest::newRow("many pictures") << 60 << 20000 << QString() << true;
        QTest::newRow("without a length") << 8 << 30000 << "length=unknown" << false;
        QTest::newRow("redirected") << 4 << 1000 << "redirect=1" << true;
    }

    void downloadsThePackageByteExact()
    {
        QFETCH(int, count);
        QFETCH(int, pictureBytes);
        QFETCH(QString, knobs);
        QFETCH(bool, lengthKnown);
        const int nIndex = append(m_fixture.pictureTask(
            QStringLiteral("cam"), 1, count, quint32(pictureBytes), QStringLiteral("pics.zip"), knobs));
        QVERIFY(m_engine.startDownload(nIndex));
        QVERIFY(m_engine.isPicDownloadingNow());
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents.last(), QStringLiteral("finished"));

        const int nCount = count == 0 ? 8 : count;
        const int nPictureBytes = pictureBytes == 0 ? 32768 : pictureBytes;
        const qint64 nSize =
            EngineFixture::packageSize(QStringLiteral("cam"), 1, nCount, quint32(nPictureBytes));
        const QString strSize = QStringLiteral("size %1").arg(nSize);
        QCOMPARE(m_listEvents.count(strSize), 1);
        // The size comes before any percent when the response tells it; without a length there
        // is no percent to tell until the end, and the size comes with it.
        QCOMPARE(m_listEvents.indexOf(strSize), 0);
        if (!lengthKnown) {
            QCOMPARE(m_listEvents,
                     (QStringList{strSize, QStringLiteral("percent 100"), QStringLiteral("finished")}));
        }
        const QList<int> listPercents = percents();
        QVERIFY(!listPercents.isEmpty());
        QCOMPARE(listPercents.last(), 100);
        QVERIFY(std::is_sorted(listPercents.begin(), listPercents.end()));
        QCOMPARE(QSet<int>(listPercents.begin(), listPercents.end()).size(), listPercents.size());

        const DownloadPicInfo info = m_engine.getDownloadPicInfo(nIndex);
        QCOMPARE(info.nFileSize, nSize);
        QCOMPARE(info.strFileName, QStringLiteral("pics.zip"));
        QVERIFY(info.nStartDownloadTime > 0);
        QCOMPARE(fileSha256(m_fixture.downloadPath(QStringLiteral("pics.zip"))),
                 EngineFixture::packageSha256(QStringLiteral("cam"), 1, nCount, quint32(nPictureBytes)));
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("pics.zip.part"))));
        QVERIFY(!m_engine.isPicDownloadingNow());
        QCOMPARE(m_engine.getSecondDownloadSize(), 0L);
        // A finished task is not started again.
        QVERIFY(!m_engine.startDownload(nIndex));
    }

    void oneTaskAtATime()
    {
        const DownloadPicInfo slow = m_fixture.pictureTask(
            QStringLiteral("slow"), 1, 8, 32768, QStringLiteral("a.zip"), QStringLiteral("rate=50000"));
        const int nFirst = append(slow);
        const int nSecond =
            append(m_fixture.pictureTask(QStringLiteral("fast"), 1, 2, 100, QStringLiteral("b.zip")));
        QCOMPARE(m_engine.getPicDownloadSize(), 2);
        QVERIFY(!m_engine.isPicDownloadingNow());
        QVERIFY(m_engine.startDownload(nFirst));
        QVERIFY(m_engine.startDownload(nFirst));
        QVERIFY(!m_engine.startDownload(nSecond));
        QVERIFY(m_engine.isPicDownloadingNow());
        QTRY_VERIFY_WITH_TIMEOUT(m_engine.getSecondDownloadSize() > 0, EngineFixture::kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_fixture.downloadPath(QStringLiteral("a.zip.part"))).size() > 0,
                                 EngineFixture::kTimeoutMs);

        // The running task goes only when the caller says it means to stop it.
        QVERIFY(!m_engine.removeDownloadPicTask(nFirst, false));
        QVERIFY(m_engine.isPicDownloadingNow());
        QVERIFY(m_engine.removeDownloadPicTask(nFirst, true));
        QVERIFY(!m_engine.isPicDownloadingNow());
        QCOMPARE(m_engine.getSecondDownloadSize(), 0L);
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("a.zip.part"))));
        QCOMPARE(m_engine.getPicDownloadSize(), 1);
        QTest::qWait(300);
        QVERIFY(!m_listEvents.contains(QStringLiteral("error")));
        QVERIFY(!m_listEvents.contains(QStringLiteral("finished")));

        QVERIFY(m_engine.startDownload(nSecond));
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents.last(), QStringLiteral("finished"));
        QVERIFY(QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("b.zip"))));
    }

    void anErrorKeepsWhatCameAndTheNextStartResumes()
    {
        const qint64 nDropAfter = 100000;
        m_fixture.devices().setKnobs(QStringLiteral("drop"), QStringLiteral("dropAfter=%1").arg(nDropAfter));
        const int nIndex =
            append(m_fixture.pictureTask(QStringLiteral("drop"), 1, 8, 32768, QStringLiteral("d.zip")));
        QVERIFY(m_engine.startDownload(nIndex));
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents.last(), QStringLiteral("error"));
        const qint64 nKept = QFileInfo(m_fixture.downloadPath(QStringLiteral("d.zip.part"))).size();
        QVERIFY2(nKept > 0 && nKept <= nDropAfter, QByteArray::number(nKept).constData());
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("d.zip"))));
        QCOMPARE(m_engine.getPicDownloadSize(), 1);

        m_fixture.devices().setKnobs(QStringLiteral("drop"), QString());
        m_listEvents.clear();
        QVERIFY(m_engine.startDownload(nIndex));
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents.last(), QStringLiteral("finished"));
        // The client's network layer may try a dropped request once more by itself; the engine's
        // own second start is the one request for a range.
        QStringList listRanges;
        for (const CSimDevices::Request& request : m_fixture.devices().requests(QStringLiteral("drop"))) {
            listRanges.append(request.strRange);
        }
        QCOMPARE(listRanges.last(), QStringLiteral("bytes=%1-").arg(nKept));
        QCOMPARE(listRanges.filter(QStringLiteral("bytes")).size(), 1);
        QCOMPARE(fileSha256(m_fixture.downloadPath(QStringLiteral("d.zip"))),
                 EngineFixture::packageSha256(QStringLiteral("drop"), 1, 8, 32768));
        QCOMPARE(m_engine.getDownloadPicInfo(nIndex).nFileSize,
                 EngineFixture::packageSize(QStringLiteral("drop"), 1, 8, 32768));
    }

    void refusedStarts_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("registered");
        QTest::newRow("unknown task") << "good" << false;
        QTest::newRow("no source") << "" << true;
        QTest::newRow("not http") << "file:///etc/passwd" << true;
    }

    void refusedStarts()
    {
        QFETCH(QString, source);
        QFETCH(bool, registered);
        DownloadPicInfo info =
            m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QStringLiteral("r.zip"));
        if (source != QLatin1String("good")) {
            info.strSourceUrl = source;
        }
        const int nIndex = registered ? append(info) : 777;
        QVERIFY(!m_engine.startDownload(nIndex));
        QVERIFY(!m_engine.isPicDownloadingNow());
        QTest::qWait(100);
        QVERIFY(m_listEvents.isEmpty());
    }

    void httpErrorIsReported()
    {
        m_fixture.devices().setKnobs(QStringLiteral("err"), QStringLiteral("status=503"));
        const int nIndex =
            append(m_fixture.pictureTask(QStringLiteral("err"), 1, 1, 10, QStringLiteral("e.zip")));
        QVERIFY(m_engine.startDownload(nIndex));
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents, QStringList{QStringLiteral("error")});
    }

    void removeAndClear()
    {
        const int nDone =
            append(m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QStringLiteral("done.zip")));
        QVERIFY(m_engine.startDownload(nDone));
        QVERIFY(waitForEnd());
        m_fixture.devices().setKnobs(QStringLiteral("half"), QStringLiteral("dropAfter=50"));
        const int nFailed =
            append(m_fixture.pictureTask(QStringLiteral("half"), 1, 1, 1000, QStringLiteral("half.zip")));
        m_listEvents.clear();
        QVERIFY(m_engine.startDownload(nFailed));
        QVERIFY(waitForEnd());
        QVERIFY(QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("half.zip.part"))));
        const int nWaiting =
            append(m_fixture.pictureTask(QStringLiteral("cam"), 2, 1, 10, QStringLiteral("w.zip")));
        QCOMPARE(m_engine.getPicDownloadSize(), 3);

        m_engine.adjustFileSize(nWaiting, 4321);
        QCOMPARE(m_engine.getDownloadPicInfo(nWaiting).nFileSize, qint64(4321));
        QCOMPARE(m_engine.getDownloadPicInfo(999).strFileName, QString());

        // A finished package stays on disk when its task goes; a failed one's partial file goes.
        QVERIFY(m_engine.removeDownloadPicTask(nDone, false));
        QVERIFY(!m_engine.removeDownloadPicTask(nDone, false));
        QVERIFY(QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("done.zip"))));
        QVERIFY(m_engine.removeDownloadPicTask(nFailed, false));
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("half.zip.part"))));
        QCOMPARE(m_engine.getPicDownloadSize(), 1);

        m_fixture.devices().setKnobs(QStringLiteral("slow"), QStringLiteral("rate=20000"));
        const int nRunning =
            append(m_fixture.pictureTask(QStringLiteral("slow"), 1, 8, 32768, QStringLiteral("s.zip")));
        QVERIFY(m_engine.startDownload(nRunning));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_fixture.downloadPath(QStringLiteral("s.zip.part"))).size() > 0,
                                 EngineFixture::kTimeoutMs);
        m_listEvents.clear();
        m_engine.clearAllPicDownloadObj();
        QCOMPARE(m_engine.getPicDownloadSize(), 0);
        QVERIFY(!m_engine.isPicDownloadingNow());
        QVERIFY(!QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("s.zip.part"))));
        QVERIFY(QFileInfo::exists(m_fixture.downloadPath(QStringLiteral("done.zip"))));
        QTest::qWait(300);
        QVERIFY(m_listEvents.isEmpty());
    }

    void namesAreSafeAndFree()
    {
        QFile existing(m_fixture.downloadPath(QStringLiteral("p.zip")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("older");
        existing.close();
        const int nFree =
            append(m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QStringLiteral("p.zip")));
        QCOMPARE(m_engine.getDownloadPicInfo(nFree).strFileName, QStringLiteral("p(1).zip"));
        const int nHostile =
            append(m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QStringLiteral("../../x/p\n.zip")));
        QCOMPARE(m_engine.getDownloadPicInfo(nHostile).strFileName, QStringLiteral("_._x_p.zip"));
        const int nUnnamed = append(m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QString()));
        QCOMPARE(m_engine.getDownloadPicInfo(nUnnamed).strFileName,
                 QStringLiteral("pictures_%1.zip").arg(nUnnamed));

        DownloadPicInfo overwrite =
            m_fixture.pictureTask(QStringLiteral("cam"), 1, 1, 10, QStringLiteral("p.zip"));
        overwrite.bOverwrite = true;
        const int nOverwrite = append(overwrite);
        QCOMPARE(m_engine.getDownloadPicInfo(nOverwrite).strFileName, QStringLiteral("p.zip"));
        QVERIFY(m_engine.startDownload(nOverwrite));
        QVERIFY(waitForEnd());
        QCOMPARE(m_listEvents.last(), QStringLiteral("finished"));
        QCOMPARE(fileSha256(existing.fileName()),
                 EngineFixture::packageSha256(QStringLiteral("cam"), 1, 1, 10));
    }
};

QTEST_GUILESS_MAIN(tst_CPicDownloadManager)
#include "tst_CPicDownloadManager.moc"
