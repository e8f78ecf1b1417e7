#include <CRecordDecoder.h>
#include <CRecordingBody.h>
#include <CSafeFileName.h>
#include <CSimStreamer.h>
#include <FileSha256.h>
#include <ncl/NFileName.h>

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "DataRows.h"

// The engine's parts that decide what lands on disk, each through a table: names made safe and
// free, paths held inside the download folder, the decoding of what a device sends (whole and
// damaged), and the simulator's reading of a Range header.
class tst_EngineParts : public QObject
{
    Q_OBJECT

private:
    // 10 s at 64 kbit/s: 80000 bytes of stream in a full frame and one of 14464 bytes.
    static constexpr int kFrame1 = 32 + 16 + 65536;
    static constexpr int kWhole = kFrame1 + 16 + 14464;
    QTemporaryDir m_dir;

    static CRecordingBody body() { return CRecordingBody("cam", 1, 1700000000, 1700000010, 64000); }
    static QByteArray set32(QByteArray ba, int nAt, quint32 nValue)
    {
        qToLittleEndian(nValue, ba.data() + nAt);
        return ba;
    }
    bool write(const QString& strName, const QByteArray& baData)
    {
        QFile file(m_dir.filePath(strName));
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

private slots:
    void sanitize_data()
    {
        datarows::columns<QString, QString>("name", "safe");
        using datarows::row;
        row("plain, blanks and unicode", "Front door 前门.mp4", "Front door 前门.mp4");
        row("separators", "a/b\\c.mp4", "a_b_c.mp4");
        row("climbing out", "../../up/cam:2\t.mp4", "_._up_cam_2.mp4");
        row("dots inside, leading and trailing", " .a..b...mp4. . ", "a.b.mp4");
        row("refused and control characters", "a*b?c\"d<e>f|g\x01\x7f.mp4", "a_b_c_d_e_f_g.mp4");
        row("nothing left", ".. ", "fallback");
        row("device names", "con.mp4", "_con.mp4");
        row("bidi and zero-width", "invoice\u202Etxt\u200B.exe", "invoicetxt.exe");
        row("decomposed", "cafe\u0301.mp4", "caf\u00e9.mp4");
        row("long, extension kept", QString(300, 'a') + ".mp4", QString(196, 'a') + ".mp4");
        row("long, cut after a dot", QString(198, 'a') + ". " + QString(20, 'b'), QString(198, 'a'));
        row("long in bytes only", QString(100, QChar(0x524D)) + ".mp4", QString(65, QChar(0x524D)) + ".mp4");
        const auto emoji = [](int nCount) {
            return QString::fromUcs4(std::u32string(nCount, U'\U0001F600').c_str());
        };
        row("long, no half characters", emoji(100) + ".zip", emoji(49) + ".zip");
    }

    void sanitize()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(ncl::NFileName::sanitize(name, QStringLiteral("fallback"), CSafeFileName::kMaxNameBytes),
                 safe);
    }

    // Names that other tasks are about to write, and partial files, are taken; a hidden name
    // is numbered at its end.
    void freeName()
    {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("a(1).mp4.part")).open(QIODevice::WriteOnly));
        QCOMPARE(CSafeFileName::freeName(dir.path(), "a.mp4", {dir.filePath("a.mp4")}, {".part"}),
                 "a(2).mp4");
        QCOMPARE(CSafeFileName::freeName(dir.path(), ".a", {dir.filePath(".a")}, {}), ".a(1)");
    }

    void isInside_data()
    {
        datarows::columns<QString, QString, bool>("folder", "path", "inside");
        using datarows::row;
        row("file", "/x/Downloads", "/x/Downloads/a", true);
        row("relative name", "/x/Downloads/", "sub/a", true);
        row("the folder itself", "/x/Downloads", "/x/Downloads/", false);
        row("root folder itself", "/", "/", false);
        row("sibling sharing the prefix", "/x/Downloads", "/x/Downloads2/a", false);
        row("climbing out", "/x/Downloads", "/x/Downloads/../a", false);
        row("climbing out, relative", "/x/Downloads", "..", false);
    }

    void isInside()
    {
        QFETCH(QString, folder);
        QFETCH(QString, path);
        QFETCH(bool, inside);
        QCOMPARE(CSafeFileName::isInside(folder, path), inside);
    }

    // Only checked frames count: nValidBytes is where a continued download picks up.
    void decode_data()
    {
        // valid: -1: decoded whole
        datarows::columns<QByteArray, qint64>("input", "valid");
        CRecordingBody recording = body();
        QByteArray baWhole(kWhole, Qt::Uninitialized);
        QVERIFY(recording.read(0, baWhole.data(), std::size_t(kWhole)));
        QByteArray baDamaged = baWhole;
        baDamaged[kFrame1 + 16 + 500] = char(~baDamaged.at(kFrame1 + 16 + 500));
        QByteArray baLonger = baWhole;
        baLonger.insert(32, QByteArray(8, '\0'));
        qToLittleEndian(quint16(40), baLonger.data() + 6);
        QTest::newRow("whole") << baWhole << qint64(-1);
        QTest::newRow("longer header") << baLonger << qint64(-1);
        QTest::newRow("cut in a frame header") << baWhole.left(32 + 10) << qint64(32);
        QTest::newRow("cut at a frame's end") << baWhole.left(kFrame1) << qint64(kFrame1);
        QTest::newRow("one byte short") << baWhole.left(kWhole - 1) << qint64(kFrame1);
        QTest::newRow("damaged payload") << baDamaged << qint64(kFrame1);
        QTest::newRow("out of sequence") << set32(baWhole, kFrame1 + 4, 5) << qint64(kFrame1);
        QTest::newRow("frame too long") << set32(baWhole, 32 + 8, 65537) << qint64(32);
        QTest::newRow("a frame too many") << baWhole + baWhole.mid(kFrame1) << qint64(kWhole);
    }

    void decode()
    {
        QFETCH(QByteArray, input);
        QFETCH(qint64, valid);
        QVERIFY(write("in.part", input) && write("out.bin", "left from before"));
        const std::atomic_bool bCancel{false};
        const CRecordDecoder::Result result =
            CRecordDecoder::decode(m_dir.filePath("in.part"), m_dir.filePath("out.bin"), bCancel);
        QCOMPARE(result.bOk, valid < 0);
        QCOMPARE(fileSha256(m_dir.filePath("out.bin")), valid < 0 ? body().streamSha256() : QByteArray());
        if (valid >= 0) {
            QCOMPARE(result.nValidBytes, valid);
        }
        QVERIFY(result.bOk || !result.strError.isEmpty());
    }

    // The simulator's Range reading, which the engine's resume tests rely on: "first-last" of a
    // 1000-byte body, "416" when it cannot be served, "all" for the whole body.
    void simulatorRange_data()
    {
        datarows::columns<QString, QString>("header", "served");
        const auto row = [](const char* pHeader, const char* pServed) {
            QTest::newRow(pHeader) << QString(pHeader) << QString(pServed);
        };
        row("bytes=990-", "990-999");
        row("bytes=-5000", "0-999");
        row("bytes=1000-", "416");
        row("bytes=10-5", "all");
        row("bytes=0-1,5-6", "all");
    }

    void simulatorRange()
    {
        QFETCH(QString, header);
        QFETCH(QString, served);
        using Kind = CSimStreamer::Range::Kind;
        const CSimStreamer::Range range = CSimStreamer::parseRange(header.toStdString(), 1000);
        const QString strServed = range.eKind == Kind::None ? QStringLiteral("all")
                                  : range.eKind == Kind::Unsatisfiable
                                      ? QStringLiteral("416")
                                      : QStringLiteral("%1-%2").arg(range.nFirst).arg(range.nLast);
        QCOMPARE(strServed, served);
    }
};

QTEST_GUILESS_MAIN(tst_EngineParts)
#include "tst_EngineParts.moc"
