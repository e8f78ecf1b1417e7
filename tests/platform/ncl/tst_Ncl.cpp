#include <ncl/NMutexGuard.h>
#include <ncl/NPrintLog.h>

#include <QFile>
#include <QThread>
#include <QtTest>

// The client's base library: the logger hands records to its file and its observers, keeping
// texts passed as arguments exactly; the mutex guard serialises threads.
class tst_Ncl : public QObject
{
    Q_OBJECT

private:
    QStringList m_listSeen;  // "file:line function module level message" of each record heard
    int m_nObserver = 0;

    static ncl::NPrintLog* log() { return ncl::NPrintLog::instance(); }

private slots:
    void init()
    {
        m_listSeen.clear();
        m_nObserver = log()->addObserver([this](const ncl::NLogRecord& record) {
            m_listSeen
                << QString("%1:%2 %3").arg(record.strFile).arg(record.nLine).arg(record.strFunction) + " " +
                       QString("%1 %2 %3").arg(record.strModule).arg(record.nLevel).arg(record.strMessage);
        });
    }

    void cleanup() { log()->removeObserver(m_nObserver); }

    void logFormatsLikePrintf()
    {
        log()->Log("Dir\\File", 77, "C::f", "mod", 4, "ret [%d] %s %.1f %%", -7, "two", 3.5);
        log()->Log("f", 1, "fn", "", 6, "Json format error[%s]", "%s%n%%");
        log()->Log("f", 1, "fn", "", 6, "%s", "%s%n%%");
        log()->Log("f", 1, "fn", "", 6, "Json error[%s]", "unterminated \xc3\xa9");
        log()->Log(nullptr, 0, nullptr, nullptr, 4, nullptr);
        QCOMPARE(m_listSeen,
                 QStringList({"Dir\\File:77 C::f mod 4 ret [-7] two 3.5 %",
                              "f:1 fn  6 Json format error[%s%n%%]", "f:1 fn  6 %s%n%%",
                              QStringLiteral("f:1 fn  6 Json error[unterminated \u00e9]"), ":0   4 "}));
    }

    void logWritesOneLinePerRecordToItsFile()
    {
        QVERIFY(log()->logFilePath().startsWith(qEnvironmentVariable("CLIENT_LOG_DIR")));
        const QByteArray baMarker = "marker-" + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
        log()->Log("Dir\\File", 42, "C::x", "", 6, "%s", (baMarker + " %d%%\nsecond").constData());
        QFile file(log()->logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baContent = file.readAll();
        const int nStart = baContent.lastIndexOf('\n', baContent.indexOf(baMarker)) + 1;
        const QByteArray baLine = baContent.mid(nStart, baContent.indexOf('\n', nStart) - nStart);
        QVERIFY2(baLine.contains("[6] Dir\\File:42 C::x") && baLine.endsWith(baMarker + " %d%%"), baLine);
    }

    // Observers run outside the logger's lock, so one may log in turn; removed, it hears nothing.
    void logObservers()
    {
        const int nId = log()->addObserver([](const ncl::NLogRecord& record) {
            if (record.strMessage == "outer") {
                log()->Log("f", 2, "fn", "", 4, "inner");
            }
        });
        log()->Log("f", 1, "fn", "", 4, "outer");
        log()->removeObserver(nId);
        log()->removeObserver(m_nObserver);
        log()->Log("f", 1, "fn", "", 4, "outer");
        QCOMPARE(m_listSeen, QStringList({"f:1 fn  4 outer", "f:2 fn  4 inner"}));
    }

    // Unguarded read-modify-write from several threads loses updates; a guard that kept the
    // lock past its scope would stall the threads instead.
    void mutexGuardSerialisesWriters()
    {
        ncl::NMutex mutex;
        volatile long nCounter = 0;
        QList<QThread*> listThreads;
        for (int i = 0; i < 4; ++i) {
            listThreads << QThread::create([&] {
                for (int n = 0; n < 200000; ++n) {
                    ncl::NMutexGuard guard(&mutex);
                    nCounter = nCounter + 1;
                }
            });
            listThreads.last()->start();
        }
        for (QThread* pThread : qAsConst(listThreads)) {
            QVERIFY(pThread->wait(120000));
        }
        qDeleteAll(listThreads);
        QCOMPARE(nCounter, 800000L);
    }
};

QTEST_GUILESS_MAIN(tst_Ncl)
#include "tst_Ncl.moc"
