#include <QtTest>

#include <ncl/NPrintLog.h>

#include "LogCapture.h"

namespace {

void writeLog(int nLevel, const char* pszMessage)
{
    ncl::NPrintLog::instance()->Log(__FILE__, __LINE__, "writeLog", "test", nLevel, "%s", pszMessage);
}

}  // namespace

class tst_LogCapture : public QObject
{
    Q_OBJECT

private slots:
    void collectsWhileAlive();
    void contains_data();
    void contains();
    void collectsFromOtherThreads();
};

void tst_LogCapture::collectsWhileAlive()
{
    writeLog(5, "before");
    {
        LogCapture capture;
        writeLog(5, "first");
        writeLog(7, "second");
        QCOMPARE(capture.messages(), QStringList({"first", "second"}));
        QCOMPARE(capture.records().at(1).nLevel, 7);
        QCOMPARE(capture.records().at(1).strModule, QString("test"));

        LogCapture other;
        writeLog(6, "both");
        QCOMPARE(capture.messages(), QStringList({"first", "second", "both"}));
        QCOMPARE(other.messages(), QStringList{"both"});

        capture.clear();
        QCOMPARE(capture.messages(), QStringList());
        writeLog(5, "after clear");
        QCOMPARE(capture.messages(), QStringList{"after clear"});
    }
}

void tst_LogCapture::contains_data()
{
    QTest::addColumn<int>("nLevel");
    QTest::addColumn<QString>("strMessage");
    QTest::addColumn<bool>("bContains");

    QTest::newRow("whole message") << 6 << "disk is full: /data" << true;
    QTest::newRow("part of the message") << 6 << "disk is full" << true;
    QTest::newRow("other level") << 7 << "disk is full" << false;
    QTest::newRow("other message") << 6 << "disk is empty" << false;
}

void tst_LogCapture::contains()
{
    QFETCH(int, nLevel);
    QFETCH(QString, strMessage);
    QFETCH(bool, bContains);

    LogCapture capture;
    writeLog(5, "started");
    writeLog(6, "disk is full: /data");
    QCOMPARE(capture.contains(nLevel, strMessage), bContains);
}

void tst_LogCapture::collectsFromOtherThreads()
{
    LogCapture capture;
    QThread* pThread = QThread::create([] {
        for (int n = 0; n < 100; ++n) {
            writeLog(5, "worker");
        }
    });
    pThread->start();
    for (int n = 0; n < 100; ++n) {
        writeLog(5, "main");
    }
    QVERIFY(pThread->wait(60000));
    delete pThread;
    QCOMPARE(capture.messages().count("worker"), 100);
    QCOMPARE(capture.messages().count("main"), 100);
}

QTEST_GUILESS_MAIN(tst_LogCapture)
#include "tst_LogCapture.moc"
