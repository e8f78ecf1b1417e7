#include <ncl/NMutexGuard.h>

#include <QThread>
#include <QtTest>

#include <vector>

class tst_NMutex : public QObject
{
    Q_OBJECT

private slots:
    // Unsynchronised read-modify-write from several threads loses updates; the guard must
    // serialise them.
    void guardSerialisesWriters()
    {
        ncl::NMutex mutex;
        volatile long nCounter = 0;
        const int nThreads = 4;
        const int nRounds = 200000;
        std::vector<QThread*> vecThreads;
        for (int i = 0; i < nThreads; ++i) {
            vecThreads.push_back(QThread::create([&]() {
                for (int n = 0; n < nRounds; ++n) {
                    ncl::NMutexGuard guard(&mutex);
                    nCounter = nCounter + 1;
                }
            }));
            vecThreads.back()->start();
        }
        for (QThread* pThread : vecThreads) {
            pThread->wait();
            delete pThread;
        }
        QCOMPARE(nCounter, long(nThreads) * nRounds);
    }

    void guardReleasesOnScopeExit()
    {
        ncl::NMutex mutex;
        {
            ncl::NMutexGuard guard(&mutex);
        }
        // Would block forever if the guard had kept the lock; try from another thread.
        bool bTaken = false;
        QThread* pThread = QThread::create([&]() {
            ncl::NMutexGuard guard(&mutex);
            bTaken = true;
        });
        pThread->start();
        QVERIFY(pThread->wait(10000));
        delete pThread;
        QVERIFY(bTaken);
    }
};

QTEST_GUILESS_MAIN(tst_NMutex)
#include "tst_NMutex.moc"
