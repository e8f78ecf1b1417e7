#include <QtTest>

#include <downloadengine/DownloadInfo.h>

#include "CDownloadTextFormat.h"

class tst_CDownloadTextFormat : public QObject
{
    Q_OBJECT

private slots:
    void sizeText_data();
    void sizeText();
    void pictureSpeedText_data();
    void pictureSpeedText();
    void counterText_data();
    void counterText();
    void recordSizeUnknown_data();
    void recordSizeUnknown();
};

void tst_CDownloadTextFormat::sizeText_data()
{
    QTest::addColumn<qint64>("nBytes");
    QTest::addColumn<QString>("strExpected");

    QTest::newRow("zero") << qint64(0) << "0B";
    QTest::newRow("last byte count") << qint64(1023) << "1023B";
    QTest::newRow("first KB") << qint64(1024) << "1.0KB";
    QTest::newRow("one and a half KB") << qint64(1536) << "1.5KB";
    // Rounds up within the KB branch rather than switching unit.
    QTest::newRow("last KB") << qint64(1048575) << "1024.0KB";
    QTest::newRow("first MB") << qint64(1048576) << "1.0MB";
    QTest::newRow("MB one decimal") << qint64(123456789) << "117.7MB";
    QTest::newRow("last MB") << qint64(1073741823) << "1024.0MB";
    QTest::newRow("first GB, three decimals") << qint64(1073741824) << "1.000GB";
    QTest::newRow("GB and a half") << qint64(1610612736) << "1.500GB";
    QTest::newRow("beyond 32 bits") << qint64(5368709120) << "5.000GB";
    QTest::newRow("negative stays bytes") << qint64(-5) << "-5B";
}

void tst_CDownloadTextFormat::sizeText()
{
    QFETCH(qint64, nBytes);
    QFETCH(QString, strExpected);
    QCOMPARE(CDownloadTextFormat::sizeText(nBytes), strExpected);
}

void tst_CDownloadTextFormat::pictureSpeedText_data()
{
    QTest::addColumn<qint64>("nBytesPerSecond");
    QTest::addColumn<QString>("strExpected");

    QTest::newRow("idle") << qint64(0) << "0B/s";
    QTest::newRow("last bytes") << qint64(1023) << "1023B/s";
    QTest::newRow("first KB") << qint64(1024) << "1.0KB/s";
    QTest::newRow("KB one decimal") << qint64(1587) << "1.5KB/s";
    QTest::newRow("first MB") << qint64(1048576) << "1.0MB/s";
    QTest::newRow("MB one decimal") << qint64(3670016) << "3.5MB/s";
    QTest::newRow("GB one decimal, not three") << qint64(1073741824) << "1.0GB/s";
}

void tst_CDownloadTextFormat::pictureSpeedText()
{
    QFETCH(qint64, nBytesPerSecond);
    QFETCH(QString, strExpected);
    QCOMPARE(CDownloadTextFormat::pictureSpeedText(nBytesPerSecond), strExpected);
}

void tst_CDownloadTextFormat::counterText_data()
{
    QTest::addColumn<QString>("strWord");
    QTest::addColumn<int>("nCount");
    QTest::addColumn<QString>("strExpected");

    QTest::newRow("none") << "record" << 0 << "record 0";
    QTest::newRow("one") << "picture" << 1 << "picture 1";
    QTest::newRow("99 still exact") << "record" << 99 << "record 99";
    QTest::newRow("100 capped") << "record" << 100 << "record 99+";
    QTest::newRow("far above") << "picture" << 12345 << "picture 99+";
    QTest::newRow("translated word kept") << QString::fromUtf8("录像") << 7 << QString::fromUtf8("录像 7");
}

void tst_CDownloadTextFormat::counterText()
{
    QFETCH(QString, strWord);
    QFETCH(int, nCount);
    QFETCH(QString, strExpected);
    QCOMPARE(CDownloadTextFormat::counterText(strWord, nCount), strExpected);
}

void tst_CDownloadTextFormat::recordSizeUnknown_data()
{
    QTest::addColumn<int>("nSourceKind");
    QTest::addColumn<int>("nDownloadMode");
    QTest::addColumn<qint64>("nFileSize");
    QTest::addColumn<bool>("bUnknown");

    QTest::newRow("plain task") << 0 << 0 << qint64(1536) << false;
    QTest::newRow("no size reported") << 0 << 0 << qint64(0) << true;
    QTest::newRow("kind 22 has its size") << 22 << 0 << qint64(1536) << false;
    QTest::newRow("kind 2 mode 0") << 2 << 0 << qint64(1536) << true;
    QTest::newRow("kind 2 mode 2") << 2 << 2 << qint64(1536) << false;
    QTest::newRow("kind 2 mode 1") << 2 << 1 << qint64(1536) << false;
    QTest::newRow("kind 23 mode 0") << 23 << 0 << qint64(1536) << true;
    QTest::newRow("kind 23 mode 2") << 23 << 2 << qint64(1073741824) << true;
    QTest::newRow("kind 23 mode 1") << 23 << 1 << qint64(1536) << false;
    QTest::newRow("kind 0 mode 2") << 0 << 2 << qint64(1536) << false;
}

void tst_CDownloadTextFormat::recordSizeUnknown()
{
    QFETCH(int, nSourceKind);
    QFETCH(int, nDownloadMode);
    QFETCH(qint64, nFileSize);
    QFETCH(bool, bUnknown);

    DownloadInfo info;
    info.nSourceKind = nSourceKind;
    info.nDownloadMode = nDownloadMode;
    info.stRecordFile.nFileSize = nFileSize;
    QCOMPARE(CDownloadTextFormat::isRecordSizeUnknown(info), bUnknown);
}

QTEST_APPLESS_MAIN(tst_CDownloadTextFormat)
#include "tst_CDownloadTextFormat.moc"
