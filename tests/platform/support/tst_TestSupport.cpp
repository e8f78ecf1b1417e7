#include <QtTest>

#include <ncl/NPrintLog.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>

#include "LogCapture.h"
#include "NotificationCapture.h"
#include "ScriptedEngine.h"

namespace {

CRecordDownloadManager& rec()
{
    return CRecordDownloadManager::getInstance();
}

CPicDownloadManager& pic()
{
    return CPicDownloadManager::getInstance();
}

DownloadInfo recordNamed(const QString& strFileName)
{
    DownloadInfo info;
    info.strFileName = strFileName;
    return info;
}

}  // namespace

// A compact check of what the module's unit tests stand on: the scripted engine, and the
// captures of log records and notifications, which collect what comes while they live.
class tst_TestSupport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Queued connections carrying the records need their names registered by the engine.
        ScriptedEngine::reset();
        QVERIFY(QMetaType::type("DownloadInfo") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("DownloadPicInfo") != QMetaType::UnknownType);
    }

    void init() { ScriptedEngine::reset(); }

    // Calls read "name(args)", prefixed by manager in the combined list, and can be filtered.
    void recordsCalls()
    {
        float fPercent = 0;
        QString strSpeed;
        rec().addDownloadTask(1, DownloadInfo());
        pic().removeDownloadPicTask(2, false);
        rec().stopDownload(1, StopReason_Removed, true);
        rec().getDownloadSpeedAndPercent(1, fPercent, strSpeed);
        rec().getCurDownloadNumber();
        QCOMPARE(ScriptedEngine::allCalls(),
                 QStringList({"rec.addDownloadTask(1)", "pic.removeDownloadPicTask(2,false)",
                              "rec.stopDownload(1,2,true)", "rec.getDownloadSpeedAndPercent(1)",
                              "rec.getCurDownloadNumber()"}));
        QCOMPARE(ScriptedEngine::record().calls({"stopDownload", "removeDownloadPicTask"}),
                 QStringList{"stopDownload(1,2,true)"});
        QCOMPARE(ScriptedEngine::allCalls({"pic.removeDownloadPicTask", "stopDownload"}).size(), 1);
        ScriptedEngine::clearCalls();
        QCOMPARE(ScriptedEngine::allCalls() + ScriptedEngine::record().calls(), QStringList());
        QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>{1});  // tasks stay
    }

    void answerPrecedence_data()
    {
        QTest::addColumn<QVariant>("varForIndex3");
        QTest::addColumn<QVariant>("varForAnyIndex");
        QTest::addColumn<QVariantList>("listQueued");
        // Answers to startDownload(3), startDownload(3), startDownload(4); both held, slots free.
        QTest::addColumn<QList<int>>("listExpected");
        QTest::addColumn<int>("nUnfitWarnings");

        const QVariant none;
        QTest::newRow("default") << none << none << QVariantList() << QList<int>{0, 0, 0} << 0;
        QTest::newRow("queue in order")
            << none << none << QVariantList{-2, 5, -9} << QList<int>{-2, 5, -9} << 0;
        QTest::newRow("invalid queued answer gives the default")
            << none << none << QVariantList{QVariant(), 5} << QList<int>{0, 5, 0} << 0;
        QTest::newRow("index answer over queue")
            << QVariant(-2) << none << QVariantList{5} << QList<int>{-2, -2, 5} << 0;
        QTest::newRow("any-index answer over queue")
            << none << QVariant(-3) << QVariantList{5} << QList<int>{-3, -3, -3} << 0;
        QTest::newRow("index answer over any-index answer")
            << QVariant(-2) << QVariant(-3) << QVariantList() << QList<int>{-2, -2, -3} << 0;
        QTest::newRow("unfit index answer gives the default")
            << QVariant("not a number") << none << QVariantList() << QList<int>{0, 0, 0} << 2;
    }

    void answerPrecedence()
    {
        QFETCH(QVariant, varForIndex3);
        QFETCH(QVariant, varForAnyIndex);
        QFETCH(QVariantList, listQueued);
        QFETCH(QList<int>, listExpected);
        QFETCH(int, nUnfitWarnings);
        for (int n = 0; n < nUnfitWarnings; ++n) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not fit, default used"));
        }
        rec().addDownloadTask(3, DownloadInfo());
        rec().addDownloadTask(4, DownloadInfo());
        ScriptedEngine::record().setAnswer("startDownload", 3, varForIndex3);
        ScriptedEngine::record().setAnswer("startDownload", varForAnyIndex);
        ScriptedEngine::record().queueAnswers("startDownload", listQueued);
        // Answers for another method or the other manager do not interfere.
        ScriptedEngine::record().setAnswer("setDownloadSpeed", 3, 99);
        ScriptedEngine::pic().setAnswer("startDownload", 3, false);
        const QList<int> listActual{rec().startDownload(3), rec().startDownload(3), rec().startDownload(4)};
        QCOMPARE(listActual, listExpected);
    }

    void slotModel_data()
    {
        QTest::addColumn<int>("nMaxToSet");  // 0: never set
        QTest::addColumn<int>("nSlots");
        QTest::newRow("five until set") << 0 << 5;
        QTest::newRow("set to two") << 2 << 2;
        QTest::newRow("below one ignored") << -1 << 5;
    }

    void slotModel()
    {
        QFETCH(int, nMaxToSet);
        QFETCH(int, nSlots);
        if (nMaxToSet < 0) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("setMaxDownloadNum.*ignored"));
        }
        if (nMaxToSet != 0) {
            rec().setMaxDownloadNum(nMaxToSet);
        }
        for (int nIndex = 1; nIndex <= nSlots + 1; ++nIndex) {
            rec().addDownloadTask(nIndex, DownloadInfo());
        }
        for (int nIndex = 1; nIndex <= nSlots; ++nIndex) {
            QVERIFY(rec().canStillDownload());
            QCOMPARE(rec().startDownload(nIndex), 0);
        }
        QVERIFY(!rec().canStillDownload());
        QCOMPARE(rec().startDownload(nSlots + 1), -2);
        QCOMPARE(rec().startDownload(1), 0);  // running already: no second slot
        QCOMPARE(ScriptedEngine::runningRecordTasks().size(), nSlots);
        // Stopping or destroying a running task frees its slot; a task never added does not start.
        rec().stopDownload(1, StopReason_Removed, true);
        QCOMPARE(rec().startDownload(nSlots + 1), 0);
        QVERIFY(!rec().canStillDownload());
        rec().destoryDownloadObj(nSlots + 1);
        QVERIFY(rec().canStillDownload());
        QCOMPARE(rec().startDownload(42), -1);
        ScriptedEngine::record().setAnswer("startDownload", 1, -2);  // state follows the answer given
        QCOMPARE(rec().startDownload(1), -2);
        QCOMPARE(ScriptedEngine::runningRecordTasks().size(), nSlots - 1);
    }

    // Hooks run once, at the next call of their method, before it is answered; a hook may
    // call the engine again and register a hook for a later call.
    void hooks()
    {
        QStringList listSeen;
        rec().addDownloadTask(1, DownloadInfo());
        rec().addDownloadTask(2, DownloadInfo());
        ScriptedEngine::pic().onNextCall("startDownload", [&] { listSeen << "pic"; });
        ScriptedEngine::record().onNextCall("startDownload", [&] {
            listSeen << ScriptedEngine::allCalls().last();
            ScriptedEngine::record().setAnswer("startDownload", 1, -5);
            ScriptedEngine::record().onNextCall("startDownload", [&] { listSeen << "later"; });
            rec().startDownload(2);
        });
        ScriptedEngine::record().onNextCall("startDownload", [&] { listSeen << "second hook"; });
        QCOMPARE(rec().startDownload(1), -5);
        rec().startDownload(1);
        QCOMPARE(listSeen, QStringList({"rec.startDownload(1)", "later", "second hook"}));
        QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>{2});
    }

    void resetForgetsEverything()
    {
        rec().setMaxDownloadNum(2);
        rec().addDownloadTask(1, recordNamed("one"));
        ScriptedEngine::record().setAnswer("getCurDownloadNumber", 7);
        ScriptedEngine::record().queueAnswers("canStillDownload", {false});
        ScriptedEngine::record().onNextCall("canStillDownload", [] { QFAIL("a hook outlived reset()"); });
        ScriptedEngine::setPrepareTransform([](int, DownloadInfo& info) { info.strFileName = "changed"; });
        ScriptedEngine::reset();
        rec().addDownloadTask(1, recordNamed("one"));
        rec().prepareDownloadInfo(1);
        QCOMPARE(QVariantList({rec().getCurDownloadNumber(), rec().canStillDownload(),
                               ScriptedEngine::maxDownloadNum(), rec().getDownloadInfo(1).strFileName,
                               ScriptedEngine::allCalls().size()}),
                 QVariantList({1, true, 5, "one", 5}));
    }

    void logCaptureCollectsFromAnyThread()
    {
        const auto log = [](int nLevel, const char* pszMessage) {
            ncl::NPrintLog::instance()->Log(__FILE__, __LINE__, "log", "test", nLevel, "%s", pszMessage);
        };
        log(5, "before");
        LogCapture capture;
        {
            LogCapture other;
            QThread* pThread = QThread::create([&log] { log(7, "disk is full: /data"); });
            pThread->start();
            QVERIFY(pThread->wait(60000));
            delete pThread;
            QCOMPARE(other.messages(), QStringList{"disk is full: /data"});
        }
        log(5, "main");
        QCOMPARE(capture.messages(), QStringList({"disk is full: /data", "main"}));
        QVERIFY(capture.contains(7, "disk is full") && !capture.contains(6, "disk is full"));
        QVERIFY(!capture.contains(7, "disk is empty"));
        capture.clear();
        log(5, "after clear");
        QCOMPARE(capture.messages(), QStringList{"after clear"});
    }

    void notificationCapture()
    {
        const auto notify = [](const QString& strText) {
            ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(strText);
        };
        notify("before");
        {
            NotificationCapture capture;
            notify("first");
            capture.clear();
            notify("second");
            notify("third");
            QCOMPARE(capture.texts(), QStringList({"second", "third"}));
        }
        // A connection left behind would write to freed memory here (the sanitizer build sees it).
        notify("after");
    }
};

QTEST_MAIN(tst_TestSupport)
#include "tst_TestSupport.moc"
