#include <CRateMeter.h>

#include <QtTest>

// The speed text the lists show, and what the meter counts as the last second.
class tst_CRateMeter : public QObject
{
    Q_OBJECT

private slots:
    void speedText_data()
    {
        QTest::addColumn<qint64>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << qint64(0) << "0B/s";
        QTest::newRow("negative shows nothing") << qint64(-5) << "0B/s";
        QTest::newRow("bytes") << qint64(1023) << "1023B/s";
        QTest::newRow("one kilobyte") << qint64(1024) << "1.0KB/s";
        QTest::newRow("kilobytes") << qint64(1536) << "1.5KB/s";
        QTest::newRow("just below a megabyte") << qint64(1048575) << "1024.0KB/s";
        QTest::newRow("one megabyte") << qint64(1048576) << "1.0MB/s";
        QTest::newRow("megabytes") << qint64(1572864) << "1.5MB/s";
        QTest::newRow("one gigabyte") << qint64(1073741824) << "1.0GB/s";
        QTest::newRow("gigabytes") << qint64(5LL * 1073741824 / 2) << "2.5GB/s";
    }

    void speedText()
    {
        QFETCH(qint64, rate);
        QFETCH(QString, text);
        QCOMPARE(CRateMeter::speedText(rate), text);
    }

    void countsWhatCameWithinTheLastSecond()
    {
        CRateMeter meter;
        QCOMPARE(meter.bytesLastSecond(), qint64(0));
        meter.add(1000);
        meter.add(-50);
        meter.add(500);
        QCOMPARE(meter.bytesLastSecond(), qint64(1500));
        // Once a second has passed without bytes, nothing is left; waited on, never timed.
        QTRY_COMPARE_WITH_TIMEOUT(meter.bytesLastSecond(), qint64(0), 30000);
        meter.add(7);
        QCOMPARE(meter.bytesLastSecond(), qint64(7));
        meter.reset();
        QCOMPARE(meter.bytesLastSecond(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(tst_CRateMeter)
#include "tst_CRateMeter.moc"
