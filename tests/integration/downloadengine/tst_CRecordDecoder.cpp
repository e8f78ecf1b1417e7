#include <CRecordDecoder.h>
#include <CRecordingBody.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>

// The decoding step on what the simulated device sends, whole and damaged in every way a
// transfer or a disk can damage it: only checked frames count, and the input is never touched.
class tst_CRecordDecoder : public QObject
{
    Q_OBJECT

private:
    // 10 s at 64 kbit/s: 80000 bytes of stream in a full frame and one of 14464 bytes.
    static constexpr quint32 kBegin = 1700000000;
    static constexpr int kFrame1 = 32 + 16 + 65536;
    static constexpr int kWhole = kFrame1 + 16 + 14464;

    QTemporaryDir m_dir;

    static CRecordingBody body() { return CRecordingBody("cam", 1, kBegin, kBegin + 10, 64000); }

    static QByteArray framed()
    {
        CRecordingBody recording = body();
        QByteArray ba(static_cast<int>(recording.size()), Qt::Uninitialized);
        recording.read(0, ba.data(), std::size_t(ba.size()));
        return ba;
    }

    static QByteArray with32(QByteArray ba, int nAt, quint32 nValue)
    {
        qToLittleEndian(nValue, ba.data() + nAt);
        return ba;
    }

    static QByteArray flipped(QByteArray ba, int nAt)
    {
        ba[nAt] = static_cast<char>(~ba.at(nAt));
        return ba;
    }

    bool write(const QString& strPath, const QByteArray& baData)
    {
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    static QByteArray read(const QString& strPath)
    {
        QFile file(strPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(framed().size(), kWhole);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("valid");
        const QByteArray baWhole = framed();
        QTest::newRow("whole") << baWhole << true << qint64(kWhole);
        QTest::newRow("empty") << QByteArray() << false << qint64(0);
        QTest::newRow("cut in the file header") << baWhole.left(20) << false << qint64(0);
        QTest::newRow("only the file header") << baWhole.left(32) << false << qint64(32);
        QTest::newRow("cut in a frame header") << baWhole.left(32 + 10) << false << qint64(32);
        QTest::newRow("cut in a payload") << baWhole.left(kFrame1 + 16 + 100) << false << qint64(kFrame1);
        QTest::newRow("cut at a frame's end") << baWhole.left(kFrame1) << false << qint64(kFrame1);
        QTest::newRow("one byte short") << baWhole.left(kWhole - 1) << false << qint64(kFrame1);
        QTest::newRow("damaged payload") << flipped(baWhole, kFrame1 + 16 + 500) << false << qint64(kFrame1);
        QTest::newRow("damaged first payload") << flipped(baWhole, 32 + 16) << false << qint64(32);
        QTest::newRow("damaged checksum") << flipped(baWhole, kFrame1 + 12) << false << qint64(kFrame1);
        QTest::newRow("not a recording") << flipped(baWhole, 0) << false << qint64(0);
        QTest::newRow("unknown version") << with32(baWhole, 4, 0x00200002) << false << qint64(0);
        QTest::newRow("frames too large") << with32(baWhole, 16, 8 * 1024 * 1024) << false << qint64(0);
        QTest::newRow("frame out of sequence") << with32(baWhole, kFrame1 + 4, 5) << false << qint64(kFrame1);
        QTest::newRow("frame longer than allowed") << with32(baWhole, 32 + 8, 65537) << false << qint64(32);
        QTest::newRow("empty frame") << with32(baWhole, kFrame1 + 8, 0) << false << qint64(kFrame1);
        QTest::newRow("bytes after the end") << baWhole + QByteArray(20, 'x') << false << qint64(kWhole);
        QTest::newRow("a whole frame too many") << baWhole + baWhole.mid(kFrame1) << false << qint64(kWhole);

        // A header of 40 bytes: the unknown end of it is skipped.
        QByteArray baLonger = baWhole;
        baLonger.insert(32, QByteArray(8, '\0'));
        qToLittleEndian(quint16(40), baLonger.data() + 6);
        QTest::newRow("longer header") << baLonger << true << qint64(kWhole + 8);
    }

    void decode()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, ok);
        QFETCH(qint64, valid);
        const QString strInput = m_dir.filePath(QStringLiteral("in.part"));
        const QString strOutput = m_dir.filePath(QStringLiteral("out.bin"));
        QVERIFY(write(strInput, input));
        QVERIFY(write(strOutput, "left from before"));
        const std::atomic_bool bCancel{false};

        const CRecordDecoder::Result result = CRecordDecoder::decode(strInput, strOutput, bCancel);
        QCOMPARE(result.bOk, ok);
        QVERIFY(!result.bCancelled);
        QCOMPARE(result.nValidBytes, valid);
        QCOMPARE(read(strInput), input);
        if (ok) {
            QCOMPARE(result.nStreamBytes, qint64(80000));
            QCOMPARE(result.baSha256, body().streamSha256());
            QCOMPARE(QCryptographicHash::hash(read(strOutput), QCryptographicHash::Sha256).toHex(),
                     body().streamSha256());
            QVERIFY(result.strError.isEmpty());
        } else {
            QVERIFY(!QFile::exists(strOutput));
            QVERIFY(!result.strError.isEmpty());
        }
    }

    void cancelledDecodeLeavesNoOutput()
    {
        const QString strInput = m_dir.filePath(QStringLiteral("cancel.part"));
        const QString strOutput = m_dir.filePath(QStringLiteral("cancel.bin"));
        QVERIFY(write(strInput, framed()));
        const std::atomic_bool bCancel{true};
        const CRecordDecoder::Result result = CRecordDecoder::decode(strInput, strOutput, bCancel);
        QVERIFY(!result.bOk);
        QVERIFY(result.bCancelled);
        QVERIFY(!QFile::exists(strOutput));
        QVERIFY(QFile::exists(strInput));
    }

    void faultsOutsideTheInputCutNothing()
    {
        const std::atomic_bool bCancel{false};
        const QString strInput = m_dir.filePath(QStringLiteral("good.part"));
        QVERIFY(write(strInput, framed()));
        const CRecordDecoder::Result noFolder =
            CRecordDecoder::decode(strInput, m_dir.filePath(QStringLiteral("missing/out.bin")), bCancel);
        QVERIFY(!noFolder.bOk);
        QCOMPARE(noFolder.nValidBytes, qint64(-1));
        const CRecordDecoder::Result noInput = CRecordDecoder::decode(
            m_dir.filePath(QStringLiteral("missing.part")), m_dir.filePath(QStringLiteral("x.bin")), bCancel);
        QVERIFY(!noInput.bOk);
        QCOMPARE(noInput.nValidBytes, qint64(-1));
    }
};

QTEST_GUILESS_MAIN(tst_CRecordDecoder)
#include "tst_CRecordDecoder.moc"
