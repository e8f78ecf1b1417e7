#include <CDeviceRoute.h>
#include <CPicturePackageBody.h>
#include <CRecordingBody.h>
#include <CSimDevices.h>
#include <CSimServer.h>
#include <FileSha256.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/ClientSettings.h>

#include "DataRows.h"

// Both engines against the simulated devices over loopback HTTP, judged by what the host sees:
// start answers, the signals in order, the files in the download folder byte for byte, and the
// ranges the devices were asked for. Each task has a device of its own ("dev<index>").
class tst_DownloadEngine : public QObject
{
    Q_OBJECT

private:
    static constexpr quint32 kBegin = 1700000000;
    // Generous: a loaded machine is slow; nothing here depends on its speed.
    static constexpr int kTimeoutMs = 60000;

    QTemporaryDir m_dir;
    std::shared_ptr<CSimDevices> m_pDevices = std::make_shared<CSimDevices>();
    CSimServer m_server;
    CRecordDownloadManager& m_record = CRecordDownloadManager::getInstance();
    CPicDownloadManager& m_pictures = CPicDownloadManager::getInstance();
    int m_nLast = 0;
    QMap<int, QStringList> m_mapEvents;  // of record tasks: "d" decoding announced, "e1"/"e0" ends
    QStringList m_listPictures;          // "size <n>", "percent <n>", "finished", "error"

    QString folder() const { return m_dir.filePath(QStringLiteral("downloads")); }
    static QString dev(int nIndex) { return QStringLiteral("dev%1").arg(nIndex); }
    void setKnobs(int nIndex, const QString& strKnobs) { m_pDevices->setKnobs(dev(nIndex), strKnobs); }
    QStringList ranges(int nIndex, const char* pKind) const
    {
        return m_pDevices->ranges(dev(nIndex), QLatin1String(pKind)).filter(QStringLiteral("bytes="));
    }
    bool setSettings(const QString& strFolder, qint64 nRecordRate)
    {
        QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Download/DownloadPath"), strFolder);
        settings.setValue(QStringLiteral("Download/RecordRate"), nRecordRate);
        settings.sync();
        return settings.status() == QSettings::NoError;
    }

    // A task of its own device; strQuery carries knobs for every request of it ("rate=20000").
    int addRecord(quint32 nSeconds, quint64 nBitrate = 512000, const QString& strQuery = QString())
    {
        DownloadInfo info;
        info.strFileName = dev(++m_nLast) + QStringLiteral(".mp4");
        info.strSourceUrl = m_server.baseUrl() +
                            CDeviceRoute::recordPath(dev(m_nLast), 1, kBegin, kBegin + nSeconds, nBitrate) +
                            QLatin1Char('&') + strQuery;
        m_record.addDownloadTask(m_nLast, info);
        m_record.prepareDownloadInfo(m_nLast);
        return m_nLast;
    }
    static CRecordingBody recording(int nIndex, quint32 nSeconds, quint64 nBitrate = 512000)
    {
        return CRecordingBody(dev(nIndex).toStdString(), 1, kBegin, kBegin + nSeconds, nBitrate);
    }
    QString target(int nIndex) { return m_record.getDownloadInfo(nIndex).strFilePath; }
    qint64 partSize(int nIndex) { return QFileInfo(target(nIndex) + QStringLiteral(".part")).size(); }
    int ends(int nIndex) { return m_mapEvents[nIndex].filter(QStringLiteral("e")).size(); }
    bool waitEnds(int nIndex, int nEnds)
    {
        return QTest::qWaitFor([&] { return ends(nIndex) >= nEnds; }, kTimeoutMs);
    }
    float percent(int nIndex)
    {
        float fPercent = -1;
        QString strSpeed;
        m_record.getDownloadSpeedAndPercent(nIndex, fPercent, strSpeed);
        return fPercent;
    }

    int addPictures(const QString& strQuery)
    {
        DownloadPicInfo info;
        info.strFileName = dev(++m_nLast) + QStringLiteral(".zip");
        info.strSourceUrl = m_server.baseUrl() +
                            CDeviceRoute::picturesPath(dev(m_nLast), 1, kBegin, kBegin + 60, 8, 32768) +
                            QLatin1Char('&') + strQuery;
        m_pictures.appendPicDownloadInfo(m_nLast, info);
        return m_nLast;
    }
    bool waitPictures()
    {
        return QTest::qWaitFor(
            [this] { return !m_listPictures.filter(QRegularExpression("finished|error")).isEmpty(); },
            kTimeoutMs);
    }

    void resetEngines()
    {
        for (const int nIndex : m_record.getCurDownloadIndexs()) {
            m_record.stopDownload(nIndex, StopReason_Removed, true);
            m_record.deleteDownloadFile(nIndex);
            m_record.destoryDownloadObj(nIndex);
        }
        m_record.setMaxDownloadNum(5);
        m_pictures.clearAllPicDownloadObj();
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
        QVERIFY(m_dir.isValid() && m_server.start());
        connect(&m_record, &CRecordDownloadManager::sgnBeginDecodeNotify, this,
                [this](int nIndex) { m_mapEvents[nIndex] << QStringLiteral("d"); });
        connect(&m_record, &CRecordDownloadManager::sgnDownloadStateNotify, this,
                [this](int nIndex, bool bOk) { m_mapEvents[nIndex] << QStringLiteral("e%1").arg(bOk); });
        connect(&m_pictures, &CPicDownloadManager::sgnPicGetDownloadZipInfo, this,
                [this](int nSize) { m_listPictures << QStringLiteral("size %1").arg(nSize); });
        connect(&m_pictures, &CPicDownloadManager::sgnPicDownloadProgress, this,
                [this](qint64 nPercent) { m_listPictures << QStringLiteral("percent %1").arg(nPercent); });
        connect(&m_pictures, &CPicDownloadManager::sgnPicFinishedDowndload, this,
                [this] { m_listPictures << QStringLiteral("finished"); });
        connect(&m_pictures, &CPicDownloadManager::sgnPicDownloadError, this,
                [this] { m_listPictures << QStringLiteral("error"); });
    }

    void init()
    {
        resetEngines();
        m_listPictures.clear();
        QVERIFY(QDir(folder()).removeRecursively() && QDir().mkpath(folder()));
        QVERIFY(setSettings(folder(), 4 * 1024 * 1024));
    }

    void cleanupTestCase() { resetEngines(); }

    // A task that ends early keeps what came and continues with a Range request, also through
    // redirects and from a source that gives no length. A source that then sends the whole file
    // is taken from the start; one that sends another part than asked
    // makes the attempt fail with nothing kept, and the next one starts over. Never is a file
    // that differs from the recording reported as finished.
    void resumes_data()
    {
        // first: knobs of the first attempt; stop: by the user: 1 while fetching, 2 when decoding begins;
        // kept: of the framed download after it; -1: some; then: knobs of the attempts after it
        datarows::columns<QString, int, qint64, QString, QString>("first", "stop", "kept", "then", "events");
        const auto row = [](const char* pTag, const QString& strFirst, int nStop, qint64 nKept,
                            const char* pThen, const char* pEvents) {
            QTest::newRow(pTag) << strFirst << nStop << nKept << QString(pThen) << QString(pEvents);
        };
        const QString strDrop = QStringLiteral("dropAfter=300000");
        const qint64 nFourthFrame = 32 + 3 * (16 + 65536);
        row("dropped", strDrop, 0, -1, "", "e0 d e1");
        row("dropped, then redirected", strDrop, 0, -1, "redirect=2", "e0 d e1");
        row("dropped, then no length", strDrop, 0, -1, "length=unknown", "e0 d e1");
        row("damaged frame", QStringLiteral("corruptAt=%1").arg(nFourthFrame + 115), 0, nFourthFrame, "",
            "d e0 d e1");
        row("server error", "status=500", 0, 0, "", "e0 d e1");
        row("stopped", "rate=200000", 1, -1, "", "d e1");
        row("stopped decoding", "", 2, qint64(CRecordingBody::framedSize(640000)), "", "d d e1");
        row("range ignored", strDrop, 0, -1, "range=ignore", "e0 d e1");
        row("range from 0", strDrop, 0, -1, "rangeFrom=0", "e0 e0 d e1");
        row("range further on", strDrop, 0, -1, "rangeFrom=400000", "e0 e0 d e1");
        row("range from before", strDrop, 0, -1, "rangeFrom=1000", "e0 e0 d e1");
    }

    void resumes()
    {
        QFETCH(QString, first);
        QFETCH(int, stop);
        QFETCH(qint64, kept);
        QFETCH(QString, then);
        QFETCH(QString, events);
        const int nIndex = addRecord(10);
        setKnobs(nIndex, first);
        const qint64 nFramed = qint64(recording(nIndex, 10).size());
        const QMetaObject::Connection stopper =
            connect(&m_record, &CRecordDownloadManager::sgnBeginDecodeNotify, this, [this, stop, nIndex] {
                if (stop == 2) {
                    m_record.stopDownload(nIndex, StopReason_Removed, false);
                }
            });
        QCOMPARE(m_record.startDownload(nIndex), 0);
        if (stop == 1) {
            QTRY_VERIFY_WITH_TIMEOUT(partSize(nIndex) > 0, kTimeoutMs);
            m_record.stopDownload(nIndex, StopReason_Removed, false);
        }
        QVERIFY(stop != 0 || waitEnds(nIndex, 1));
        QTRY_VERIFY_WITH_TIMEOUT(stop != 2 || !m_mapEvents[nIndex].isEmpty(), kTimeoutMs);
        disconnect(stopper);
        const qint64 nKept = partSize(nIndex);
        QVERIFY2(kept < 0 ? nKept > 0 && nKept < nFramed : nKept == kept, qPrintable(QString::number(nKept)));
        QVERIFY(qAbs(percent(nIndex) - double(nKept) / nFramed) < 1e-4);
        QVERIFY(!QFileInfo::exists(target(nIndex)));
        QVERIFY(m_record.canStillDownload());

        setKnobs(nIndex, then);
        for (int nAttempt = 0; nAttempt < 2 && !m_mapEvents[nIndex].endsWith(QStringLiteral("e1"));
             ++nAttempt) {
            if (nAttempt > 0) {
                QCOMPARE(partSize(nIndex), qint64(0));
            }
            const int nEnds = ends(nIndex);
            QCOMPARE(m_record.startDownload(nIndex), 0);
            QVERIFY(waitEnds(nIndex, nEnds + 1));
        }
        QCOMPARE(m_mapEvents[nIndex].join(' '), events);
        // One ranged request, asked again at each hop of a redirect.
        const int nHops = 1 + then.section(QStringLiteral("redirect="), 1).toInt();
        QCOMPARE(ranges(nIndex, "record").join(' '),
                 nKept > 0 ? QStringLiteral("bytes=%1- ").arg(nKept).repeated(nHops).trimmed() : QString());
        const DownloadInfo info = m_record.getDownloadInfo(nIndex);
        const QByteArray baSha = recording(nIndex, 10).streamSha256();
        QCOMPARE(fileSha256(info.strFilePath), baSha);
        QCOMPARE(QByteArray::fromStdString(info.stRecordFile.strChecksum), baSha);
        QCOMPARE(info.stRecordFile.nFileSize, qint64(640000));
        QCOMPARE(percent(nIndex), 1.0f);
        // Finished, it is not started again.
        QCOMPARE(m_record.startDownload(nIndex), -1);
        // A cancelled decode removes its own output as it sees the stop, a moment later at most.
        QTRY_COMPARE(QDir(folder()).entryList(QDir::Files), QStringList(dev(nIndex) + ".mp4"));
    }

    // After a restart a new task on the same record takes up the partial file with a Range
    // request, only when it is the engine's own for that source; otherwise it starts over.
    void takenUpAfterRestart_data()
    {
        // change: what happened to the files meanwhile
        datarows::columns<QString, bool>("change", "resumed");
        QTest::newRow("own partial file") << QString() << true;
        QTest::newRow("its mark gone") << ".part.source" << false;
        QTest::newRow("another source's") << "other" << false;
        QTest::newRow("partial file gone") << ".part" << false;
    }

    void takenUpAfterRestart()
    {
        QFETCH(QString, change);
        QFETCH(bool, resumed);
        const int nIndex = addRecord(10);
        setKnobs(nIndex, QStringLiteral("rate=200000"));
        QCOMPARE(m_record.startDownload(nIndex), 0);
        QTRY_VERIFY_WITH_TIMEOUT(partSize(nIndex) > 0, kTimeoutMs);
        m_record.stopDownload(nIndex, StopReason_Removed, true);
        const qint64 nKept = partSize(nIndex);
        DownloadInfo info = m_record.getDownloadInfo(nIndex);
        m_record.destoryDownloadObj(nIndex);
        QFile::remove(info.strFilePath + change);
        if (change == "other") {
            QFile mark(info.strFilePath + ".part.source");
            QVERIFY(mark.open(QIODevice::WriteOnly) && mark.write("http://127.0.0.1:9/other") > 0);
        }
        setKnobs(nIndex, QString());
        const int nNew = ++m_nLast;
        m_record.addDownloadTask(nNew, info);
        QCOMPARE(m_record.startDownload(nNew), 0);
        QVERIFY(waitEnds(nNew, 1));
        QCOMPARE(ranges(nIndex, "record"),
                 resumed ? QStringList(QStringLiteral("bytes=%1-").arg(nKept)) : QStringList());
        const QString strDone = m_record.getDownloadInfo(nNew).strFilePath;
        QCOMPARE(fileSha256(strDone), recording(nIndex, 10).streamSha256());
        // A partial file that is not taken up is left as it is, beside a file of a name of its own.
        QCOMPARE(strDone == info.strFilePath, resumed || change == ".part");
        QCOMPARE(QFileInfo::exists(info.strFilePath + ".part"), !resumed && change != ".part");
    }

    void startAnswers_data()
    {
        // source: empty: the simulator's; "&knobs": the same with these; running: tasks started before, of at
        // most 2
        datarows::columns<QString, int, int>("source", "running", "code");
        QTest::newRow("started") << QString() << 0 << 0;
        QTest::newRow("the last slot") << QString() << 1 << 0;
        QTest::newRow("no free slot") << QString() << 2 << -2;
        QTest::newRow("no free slot, redirected") << "&redirect=2" << 2 << -2;
        QTest::newRow("unknown task") << "unknown" << 0 << -1;
        QTest::newRow("no source, no slot") << " " << 2 << -3;
        QTest::newRow("not http") << "ftp://127.0.0.1/rec.bin" << 0 << -3;
        QTest::newRow("folder not writable") << "blocked" << 0 << -4;
    }

    void startAnswers()
    {
        QFETCH(QString, source);
        QFETCH(int, running);
        QFETCH(int, code);
        m_record.setMaxDownloadNum(2);
        m_record.setMaxDownloadNum(0);  // ignored, as any limit below 1
        for (int n = 0; n < running; ++n) {
            QCOMPARE(m_record.startDownload(addRecord(60, 512000, QStringLiteral("rate=20000"))), 0);
        }
        if (source == QLatin1String("blocked")) {
            // A file where the download folder should be: no one, root included, can make it.
            QFile blocker(QDir(folder()).filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly) && setSettings(blocker.fileName() + "/sub", 1000));
        }
        const int nIndex = addRecord(1, 8000);
        if (code == -2) {
            // Another waiting task of the same name gets a file name of its own.
            m_record.addDownloadTask(++m_nLast, m_record.getDownloadInfo(nIndex));
            m_record.prepareDownloadInfo(m_nLast);
            QCOMPARE(m_record.getDownloadInfo(m_nLast).strFileName, dev(nIndex) + "(1).mp4");
        }
        if (!source.isEmpty() && source != QLatin1String("blocked")) {
            DownloadInfo info = m_record.getDownloadInfo(nIndex);
            info.strSourceUrl = source.startsWith('&') ? info.strSourceUrl + source.mid(1) : source;
            m_record.addDownloadTask(nIndex, info);
        }
        QCOMPARE(m_record.startDownload(source == QLatin1String("unknown") ? 999 : nIndex), code);
        // Only started tasks take a slot.
        QCOMPARE(m_record.canStillDownload(), running + (code == 0 ? 1 : 0) < 2);
        // A waiting task's size is asked of the device (its final answer, after redirects); a started
        // one learns it from its download and sends nothing else.
        if (code == -2) {
            QTRY_COMPARE_WITH_TIMEOUT(m_record.getDownloadInfo(nIndex).stRecordFile.nFileSize,
                                      qint64(recording(nIndex, 1, 8000).size()), kTimeoutMs);
        } else if (code == 0) {
            QVERIFY(waitEnds(nIndex, 1));
            QStringList listMethods;
            for (const CSimDevices::Request& request : m_pDevices->requests(dev(nIndex))) {
                listMethods << request.strMethod;
            }
            QCOMPARE(listMethods, QStringList("GET"));
        }
    }

    // The factor scales the rate: compared as bytes moved side by side in the same window,
    // never against the clock.
    void speedFactors()
    {
        QVERIFY(setSettings(folder(), 128 * 1024));
        const QList<int> listTasks{addRecord(120), addRecord(120), addRecord(120)};
        QCOMPARE(m_record.setDownloadSpeed(listTasks[1], 2), 0);  // not running yet
        for (const int nIndex : listTasks) {
            QCOMPARE(m_record.startDownload(nIndex), 0);
        }
        const auto speed = [&](int nTask, int nSpeed) {
            return m_record.setDownloadSpeed(listTasks[nTask], nSpeed);
        };
        QCOMPARE(QList<int>({speed(1, 3), speed(1, 0), speed(1, 8), speed(1, 2), speed(2, 4)}),
                 QList<int>({0, 0, 0, 1, 1}));
        const qint64 nFramed = qint64(recording(listTasks[0], 120).size());
        const auto bytes = [&](int nTask) { return qint64(double(percent(listTasks[nTask])) * nFramed); };
        QVERIFY(QTest::qWaitFor([&] { return bytes(0) > 0 && bytes(1) > 0 && bytes(2) > 0; }, kTimeoutMs));
        QTest::qWait(500);
        const QList<qint64> listBefore{bytes(0), bytes(1), bytes(2)};
        QTest::qWait(2000);
        const double fOne = double(bytes(0) - listBefore[0]);
        const double fTwo = double(bytes(1) - listBefore[1]) / fOne;
        const double fFour = double(bytes(2) - listBefore[2]) / fOne;
        QVERIFY2(fTwo > 1.4 && fTwo < 3.0 && fFour > 2.5 && fFour < 6.0,
                 qPrintable(QStringLiteral("2x: %1, 4x: %2").arg(fTwo).arg(fFour)));
    }

    // Picture packages come whole (size first, 100 % last), and a failed one continues.
    void pictures_data()
    {
        // device: knobs of the first attempt
        datarows::columns<QString, QString>("query", "device");
        QTest::newRow("package") << QString() << QString();
        QTest::newRow("without a length") << "length=unknown" << QString();
        QTest::newRow("redirected") << "redirect=1" << QString();
        QTest::newRow("dropped, then continued") << QString() << "dropAfter=100000";
    }

    void pictures()
    {
        QFETCH(QString, query);
        QFETCH(QString, device);
        const int nIndex = addPictures(query);
        setKnobs(nIndex, device);
        const QString strFile = QDir(folder()).filePath(dev(nIndex) + ".zip");
        QVERIFY(m_pictures.startDownload(nIndex));
        QVERIFY(!m_pictures.startDownload(addPictures(QString())));  // one at a time
        QVERIFY(waitPictures());
        qint64 nKept = 0;
        if (!device.isEmpty()) {
            QCOMPARE(m_listPictures.last(), QStringLiteral("error"));
            nKept = QFileInfo(strFile + ".part").size();
            QVERIFY(nKept > 0 && nKept <= 100000);
            setKnobs(nIndex, QString());
            m_listPictures.clear();
            QVERIFY(m_pictures.startDownload(nIndex));
            QVERIFY(waitPictures());
        }
        CPicturePackageBody package(dev(nIndex).toStdString(), 1, kBegin, kBegin + 60, 8, 32768);
        QCOMPARE(m_listPictures.first(), QStringLiteral("size %1").arg(package.size()));
        QCOMPARE(m_listPictures.mid(m_listPictures.size() - 2), QStringList({"percent 100", "finished"}));
        QCOMPARE(fileSha256(strFile), package.sha256());
        QCOMPARE(m_pictures.getDownloadPicInfo(nIndex).nFileSize, qint64(package.size()));
        QCOMPARE(ranges(nIndex, "pictures"),
                 nKept > 0 ? QStringList(QStringLiteral("bytes=%1-").arg(nKept)) : QStringList());
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList(dev(nIndex) + ".zip"));
    }
};

QTEST_GUILESS_MAIN(tst_DownloadEngine)
#include "tst_DownloadEngine.moc"