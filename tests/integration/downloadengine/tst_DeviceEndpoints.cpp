#include <CDeviceRoute.h>
#include <CGeneratedBody.h>
#include <CPicturePackageBody.h>
#include <CRecordingBody.h>
#include <CSimDevices.h>
#include <CSimServer.h>

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtEndian>
#include <QtTest>

#include <zlib.h>

#include <memory>

// The simulator's device endpoints through a real HTTP client: recordings in the device's
// framing with sizes from duration and bitrate, picture packages as ZIP archives, Range, the
// per-device knobs and the record of requests.
class tst_DeviceEndpoints : public QObject
{
    Q_OBJECT

private:
    struct Fetched
    {
        int nStatus = 0;
        QNetworkReply::NetworkError eError = QNetworkReply::NoError;
        QByteArray baBody;
        qint64 nLength = -1;  // Content-Length, -1 when absent
        QByteArray baContentRange;
    };

    static constexpr quint32 kBegin = 1700000000;

    std::shared_ptr<CSimDevices> m_pDevices = std::make_shared<CSimDevices>();
    CSimServer m_server;
    QNetworkAccessManager m_access;

    bool fetch(const QString& strPath, Fetched& fetched, const QByteArray& baRange = QByteArray(),
               bool bHead = false)
    {
        QNetworkRequest request(m_server.url(strPath));
        request.setRawHeader("Accept-Encoding", "identity");
        if (!baRange.isEmpty()) {
            request.setRawHeader("Range", baRange);
        }
        QNetworkReply* pReply = bHead ? m_access.head(request) : m_access.get(request);
        QSignalSpy finished(pReply, &QNetworkReply::finished);
        if (!pReply->isFinished() && !finished.wait(60000)) {
            return false;
        }
        fetched.baBody = pReply->readAll();
        fetched.nStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        fetched.eError = pReply->error();
        const QVariant varLength = pReply->header(QNetworkRequest::ContentLengthHeader);
        fetched.nLength = varLength.isValid() ? varLength.toLongLong() : -1;
        fetched.baContentRange = pReply->rawHeader("Content-Range");
        pReply->deleteLater();
        return true;
    }

    static quint32 crc(const QByteArray& baData)
    {
        return static_cast<quint32>(crc32(crc32(0L, Z_NULL, 0),
                                          reinterpret_cast<const Bytef*>(baData.constData()),
                                          static_cast<uInt>(baData.size())));
    }

    static quint16 u16(const QByteArray& ba, int nAt)
    {
        return qFromLittleEndian<quint16>(ba.constData() + nAt);
    }
    static quint32 u32(const QByteArray& ba, int nAt)
    {
        return qFromLittleEndian<quint32>(ba.constData() + nAt);
    }
    static quint64 u64(const QByteArray& ba, int nAt)
    {
        return qFromLittleEndian<quint64>(ba.constData() + nAt);
    }

private slots:
    void initTestCase()
    {
        m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
        QVERIFY(m_server.start());
    }

    void init() { m_pDevices->clearRequests(); }

    void recordingSizeFollowsDurationAndBitrate_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<qint64>("bitrate");
        QTest::addColumn<qint64>("size");
        // header 32, 16 per frame of up to 65536 bytes, stream = seconds * bitrate / 8
        QTest::newRow("one second at the lowest rate") << 1 << qint64(8000) << qint64(32 + 16 + 1000);
        QTest::newRow("exactly one frame") << 1 << qint64(524288) << qint64(32 + 16 + 65536);
        QTest::newRow("one byte more than a frame") << 1 << qint64(524296) << qint64(32 + 32 + 65537);
        QTest::newRow("ten seconds, default rate") << 10 << qint64(0) << qint64(32 + 10 * 16 + 640000);
        QTest::newRow("an hour") << 3600 << qint64(512000) << qint64(32 + 3516 * 16 + 230400000);
    }

    void recordingSizeFollowsDurationAndBitrate()
    {
        QFETCH(int, seconds);
        QFETCH(qint64, bitrate);
        QFETCH(qint64, size);
        const QString strPath =
            CDeviceRoute::recordPath(QStringLiteral("cam"), 1, kBegin, kBegin + seconds, quint64(bitrate));
        Fetched head;
        QVERIFY(fetch(strPath, head, QByteArray(), true));
        QCOMPARE(head.nStatus, 200);
        QCOMPARE(head.nLength, size);
        QVERIFY(head.baBody.isEmpty());
        if (size < 1000000) {
            Fetched body;
            QVERIFY(fetch(strPath, body));
            QCOMPARE(qint64(body.baBody.size()), size);
        }
    }

    void recordingIsFramedDeterministicStream()
    {
        // 80000 bytes of stream: a full frame and one of 14464 bytes.
        const QString strPath =
            CDeviceRoute::recordPath(QStringLiteral("cam 7"), 3, kBegin, kBegin + 10, 64000);
        Fetched fetched;
        QVERIFY(fetch(strPath, fetched));
        QCOMPARE(fetched.nStatus, 200);
        const QByteArray& ba = fetched.baBody;
        QCOMPARE(ba.size(), 32 + 16 + 65536 + 16 + 14464);
        QCOMPARE(ba.left(4), QByteArray("VREC"));
        QCOMPARE(u16(ba, 4), quint16(1));
        QCOMPARE(u16(ba, 6), quint16(32));
        QCOMPARE(u64(ba, 8), quint64(80000));
        QCOMPARE(u32(ba, 16), quint32(65536));
        QCOMPARE(u32(ba, 20), quint32(3));
        QCOMPARE(u32(ba, 24), kBegin);
        QCOMPARE(u32(ba, 28), kBegin + 10);

        QByteArray baStream;
        int nAt = 32;
        for (quint32 nFrame = 0; nAt < ba.size(); ++nFrame) {
            QCOMPARE(ba.mid(nAt, 4), QByteArray("VFRM"));
            QCOMPARE(u32(ba, nAt + 4), nFrame);
            const int nLength = static_cast<int>(u32(ba, nAt + 8));
            QCOMPARE(nLength, nFrame == 0 ? 65536 : 14464);
            const QByteArray baPayload = ba.mid(nAt + 16, nLength);
            QCOMPARE(u32(ba, nAt + 12), crc(baPayload));
            baStream += baPayload;
            nAt += 16 + nLength;
        }
        CRecordingBody body("cam 7", 3, kBegin, kBegin + 10, 64000);
        QByteArray baExpected(80000, Qt::Uninitialized);
        CGeneratedBody::fill(body.pattern(), 0, baExpected.data(), std::size_t(baExpected.size()));
        QCOMPARE(baStream, baExpected);
        QCOMPARE(QCryptographicHash::hash(baStream, QCryptographicHash::Sha256).toHex(), body.streamSha256());
    }

    void recordingsDifferByDeviceChannelAndTime()
    {
        const auto streamOf = [](const char* pDevice, int nChannel, quint32 nBegin) {
            return CRecordingBody(pDevice, nChannel, nBegin, nBegin + 10, 64000).streamSha256();
        };
        const QByteArray baBase = streamOf("cam", 1, kBegin);
        QCOMPARE(streamOf("cam", 1, kBegin), baBase);
        QVERIFY(streamOf("cam2", 1, kBegin) != baBase);
        QVERIFY(streamOf("cam", 2, kBegin) != baBase);
        QVERIFY(streamOf("cam", 1, kBegin + 1) != baBase);
    }

    void rangesOfARecording()
    {
        const QString strPath = CDeviceRoute::recordPath(QStringLiteral("cam"), 1, kBegin, kBegin + 2, 64000);
        Fetched whole;
        QVERIFY(fetch(strPath, whole));
        Fetched rest;
        QVERIFY(fetch(strPath, rest, "bytes=1000-"));
        QCOMPARE(rest.nStatus, 206);
        QCOMPARE(rest.baContentRange, QStringLiteral("bytes 1000-%1/%2")
                                          .arg(whole.baBody.size() - 1)
                                          .arg(whole.baBody.size())
                                          .toLatin1());
        QCOMPARE(rest.baBody, whole.baBody.mid(1000));
        Fetched past;
        QVERIFY(fetch(strPath, past, QStringLiteral("bytes=%1-").arg(whole.baBody.size()).toLatin1()));
        QCOMPARE(past.nStatus, 416);
        QCOMPARE(past.baContentRange, QStringLiteral("bytes */%1").arg(whole.baBody.size()).toLatin1());
    }

    void corruptAtInvertsOneByte()
    {
        const QString strPath = CDeviceRoute::recordPath(QStringLiteral("cam"), 1, kBegin, kBegin + 2, 64000);
        Fetched good;
        Fetched bad;
        QVERIFY(fetch(strPath, good));
        QVERIFY(fetch(strPath + QStringLiteral("&corruptAt=5000"), bad));
        QCOMPARE(bad.baBody.size(), good.baBody.size());
        QCOMPARE(bad.baBody.left(5000), good.baBody.left(5000));
        QCOMPARE(quint8(bad.baBody.at(5000)), quint8(~quint8(good.baBody.at(5000))));
        QCOMPARE(bad.baBody.mid(5001), good.baBody.mid(5001));
    }

    void deviceKnobsApplyAndTheQueryWins()
    {
        const QString strPath =
            CDeviceRoute::recordPath(QStringLiteral("flaky"), 1, kBegin, kBegin + 10, 64000);
        m_pDevices->setKnobs(QStringLiteral("flaky"), QStringLiteral("status=503"));
        Fetched refused;
        QVERIFY(fetch(strPath, refused));
        QCOMPARE(refused.nStatus, 503);
        Fetched own;
        QVERIFY(fetch(strPath + QStringLiteral("&status=404"), own));
        QCOMPARE(own.nStatus, 404);
        Fetched other;
        QVERIFY(
            fetch(CDeviceRoute::recordPath(QStringLiteral("steady"), 1, kBegin, kBegin + 10, 64000), other));
        QCOMPARE(other.nStatus, 200);

        m_pDevices->setKnobs(QStringLiteral("flaky"), QStringLiteral("dropAfter=30000"));
        Fetched dropped;
        QVERIFY(fetch(strPath, dropped));
        QCOMPARE(dropped.nLength, qint64(32 + 2 * 16 + 80000));
        QCOMPARE(dropped.baBody.size(), 30000);
        QVERIFY(dropped.eError != QNetworkReply::NoError);

        m_pDevices->setKnobs(QStringLiteral("flaky"), QString());
        Fetched whole;
        QVERIFY(fetch(strPath, whole));
        QCOMPARE(whole.nStatus, 200);
        QCOMPARE(whole.baBody.size(), 32 + 2 * 16 + 80000);
    }

    void requestsAreRecorded()
    {
        const QString strPath = CDeviceRoute::recordPath(QStringLiteral("rec"), 4, kBegin, kBegin + 1, 64000);
        Fetched fetched;
        QVERIFY(fetch(strPath, fetched, "bytes=10-"));
        QVERIFY(fetch(strPath, fetched, QByteArray(), true));
        QVERIFY(
            fetch(CDeviceRoute::picturesPath(QStringLiteral("rec"), 5, kBegin, kBegin + 1, 1, 10), fetched));
        QVERIFY(
            fetch(CDeviceRoute::recordPath(QStringLiteral("other"), 1, kBegin, kBegin + 1, 64000), fetched));

        const QList<CSimDevices::Request> listSeen = m_pDevices->requests(QStringLiteral("rec"));
        QCOMPARE(listSeen.size(), 3);
        QCOMPARE(listSeen.at(0).strMethod, QStringLiteral("GET"));
        QCOMPARE(listSeen.at(0).nChannel, 4);
        QCOMPARE(listSeen.at(0).strKind, QStringLiteral("record"));
        QCOMPARE(listSeen.at(0).strRange, QStringLiteral("bytes=10-"));
        QCOMPARE(listSeen.at(1).strMethod, QStringLiteral("HEAD"));
        QVERIFY(listSeen.at(1).strRange.isEmpty());
        QCOMPARE(listSeen.at(2).strKind, QStringLiteral("pictures"));
        QCOMPARE(listSeen.at(2).nChannel, 5);
        QCOMPARE(m_pDevices->requests().size(), 4);
    }

    void badParametersAreRefused_data()
    {
        QTest::addColumn<QString>("path");
        const QString strBase = QStringLiteral("/device/cam/channel/1/");
        QTest::newRow("no begin") << strBase + "record?end=100";
        QTest::newRow("no end") << strBase + "record?begin=100";
        QTest::newRow("end before begin") << strBase + "record?begin=200&end=100";
        QTest::newRow("empty range") << strBase + "record?begin=100&end=100";
        QTest::newRow("longer than a week") << strBase + "record?begin=0&end=604801";
        QTest::newRow("not a number") << strBase + "record?begin=1e3&end=2000";
        QTest::newRow("negative") << strBase + "record?begin=-1&end=2000";
        QTest::newRow("bitrate too low") << strBase + "record?begin=0&end=10&bitrate=7999";
        QTest::newRow("bitrate too high") << strBase + "record?begin=0&end=10&bitrate=50000001";
        QTest::newRow("no pictures") << strBase + "pictures?begin=0&end=10&count=0";
        QTest::newRow("too many pictures") << strBase + "pictures?begin=0&end=10&count=501";
        QTest::newRow("picture too big") << strBase + "pictures?begin=0&end=10&size=4194305";
    }

    void badParametersAreRefused()
    {
        QFETCH(QString, path);
        Fetched fetched;
        QVERIFY(fetch(path, fetched));
        QCOMPARE(fetched.nStatus, 400);
    }

    void unknownAddressesAreNotDevices_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("other kind") << "/device/cam/channel/1/video?begin=0&end=10";
        QTest::newRow("channel not a number") << "/device/cam/channel/x/record?begin=0&end=10";
        QTest::newRow("no device") << "/device//channel/1/record?begin=0&end=10";
    }

    void unknownAddressesAreNotDevices()
    {
        QFETCH(QString, path);
        Fetched fetched;
        QVERIFY(fetch(path, fetched));
        QCOMPARE(fetched.nStatus, 404);
    }

    void picturePackageIsAZipOfItsPictures()
    {
        // Three entries "picture_000n.bin" of 1000 bytes: 3 * (30 + 16 + 1000) of local entries,
        // 3 * (46 + 16) of central directory, 22 of end record.
        const QString strPath =
            CDeviceRoute::picturesPath(QStringLiteral("cam"), 2, kBegin, kBegin + 60, 3, 1000);
        Fetched fetched;
        QVERIFY(fetch(strPath, fetched));
        QCOMPARE(fetched.nStatus, 200);
        const QByteArray& ba = fetched.baBody;
        QCOMPARE(fetched.nLength, qint64(3346));
        QCOMPARE(ba.size(), 3346);

        const int nEnd = ba.size() - 22;
        QCOMPARE(u32(ba, nEnd), quint32(0x06054b50));
        QCOMPARE(u16(ba, nEnd + 10), quint16(3));
        const int nCentralSize = static_cast<int>(u32(ba, nEnd + 12));
        int nCentral = static_cast<int>(u32(ba, nEnd + 16));
        QCOMPARE(nCentral + nCentralSize, nEnd);
        QSet<QByteArray> setPictures;
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(u32(ba, nCentral), quint32(0x02014b50));
            QCOMPARE(u16(ba, nCentral + 10), quint16(0));  // stored
            const quint32 nCrc = u32(ba, nCentral + 16);
            QCOMPARE(u32(ba, nCentral + 20), quint32(1000));
            const int nNameLength = u16(ba, nCentral + 28);
            const QByteArray baName = ba.mid(nCentral + 46, nNameLength);
            QCOMPARE(baName, QStringLiteral("picture_%1.bin").arg(i, 4, 10, QLatin1Char('0')).toLatin1());
            const int nLocal = static_cast<int>(u32(ba, nCentral + 42));
            QCOMPARE(u32(ba, nLocal), quint32(0x04034b50));
            QCOMPARE(u32(ba, nLocal + 14), nCrc);
            QCOMPARE(ba.mid(nLocal + 30, nNameLength), baName);
            const QByteArray baPicture = ba.mid(nLocal + 30 + nNameLength, 1000);
            QCOMPARE(crc(baPicture), nCrc);
            setPictures.insert(baPicture);
            nCentral += 46 + nNameLength;
        }
        QCOMPARE(setPictures.size(), 3);

        CPicturePackageBody body("cam", 2, kBegin, kBegin + 60, 3, 1000);
        QCOMPARE(qint64(body.size()), qint64(ba.size()));
        QCOMPARE(QCryptographicHash::hash(ba, QCryptographicHash::Sha256).toHex(), body.sha256());
        // Any slice reads the same as the whole.
        QByteArray baSlice(777, Qt::Uninitialized);
        QVERIFY(body.read(1500, baSlice.data(), std::size_t(baSlice.size())));
        QCOMPARE(baSlice, ba.mid(1500, 777));
        QVERIFY(!body.read(3000, baSlice.data(), std::size_t(baSlice.size())));
    }

    void picturePackageHonoursRangeAndDefaults()
    {
        const QString strPath = CDeviceRoute::picturesPath(QStringLiteral("cam"), 2, kBegin, kBegin + 60);
        Fetched whole;
        QVERIFY(fetch(strPath, whole));
        // Eight pictures of 32 KiB by default.
        QCOMPARE(whole.baBody.size(), 8 * (30 + 16 + 32768) + 8 * (46 + 16) + 22);
        Fetched rest;
        QVERIFY(fetch(strPath, rest, "bytes=100000-"));
        QCOMPARE(rest.nStatus, 206);
        QCOMPARE(rest.baBody, whole.baBody.mid(100000));
    }
};

QTEST_GUILESS_MAIN(tst_DeviceEndpoints)
#include "tst_DeviceEndpoints.moc"
