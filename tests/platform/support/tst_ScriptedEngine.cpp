#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>

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

DownloadPicInfo picNamed(const QString& strFileName)
{
    DownloadPicInfo info;
    info.strFileName = strFileName;
    return info;
}

// Calls one engine method, named as in the combined call list, with fixed arguments: record
// index 3, picture index 2. Results come back comparable: records as their file name, index
// lists and speed/percent pairs as QVariantLists; void methods give an invalid QVariant.
QVariant invoke(const QString& strCall)
{
    if (strCall == "rec.setMaxDownloadNum") {
        rec().setMaxDownloadNum(5);
    } else if (strCall == "rec.isLeftDiskFreeSpaceEnough") {
        return rec().isLeftDiskFreeSpaceEnough(recordNamed("a.mp4"));
    } else if (strCall == "rec.addDownloadTask") {
        rec().addDownloadTask(3, recordNamed("a.mp4"));
    } else if (strCall == "rec.prepareDownloadInfo") {
        rec().prepareDownloadInfo(3);
    } else if (strCall == "rec.getDownloadInfo") {
        return rec().getDownloadInfo(3).strFileName;
    } else if (strCall == "rec.canStillDownload") {
        return rec().canStillDownload();
    } else if (strCall == "rec.startDownload") {
        return rec().startDownload(3);
    } else if (strCall == "rec.getCurDownloadNumber") {
        return rec().getCurDownloadNumber();
    } else if (strCall == "rec.getDownloadSpeedAndPercent") {
        float fPercent = -1.0f;
        QString strSpeed;
        rec().getDownloadSpeedAndPercent(3, fPercent, strSpeed);
        return QVariantList{fPercent, strSpeed};
    } else if (strCall == "rec.setDownloadSpeed") {
        return rec().setDownloadSpeed(3, 4);
    } else if (strCall == "rec.getCurDownloadIndexs") {
        QVariantList listIndexes;
        const QList<int> listHeld = rec().getCurDownloadIndexs();
        for (int nIndex : listHeld) {
            listIndexes.append(nIndex);
        }
        return listIndexes;
    } else if (strCall == "rec.stopDownload") {
        rec().stopDownload(3, StopReason_Removed, true);
    } else if (strCall == "rec.deleteDownloadFile") {
        rec().deleteDownloadFile(3);
    } else if (strCall == "rec.destoryDownloadObj") {
        rec().destoryDownloadObj(3);
    } else if (strCall == "rec.getDownloadDir") {
        return rec().getDownloadDir();
    } else if (strCall == "pic.appendPicDownloadInfo") {
        pic().appendPicDownloadInfo(2, picNamed("p.zip"));
    } else if (strCall == "pic.isPicDownloadingNow") {
        return pic().isPicDownloadingNow();
    } else if (strCall == "pic.startDownload") {
        return pic().startDownload(2);
    } else if (strCall == "pic.getSecondDownloadSize") {
        return static_cast<qlonglong>(pic().getSecondDownloadSize());
    } else if (strCall == "pic.adjustFileSize") {
        pic().adjustFileSize(2, 4096);
    } else if (strCall == "pic.getDownloadPicInfo") {
        return pic().getDownloadPicInfo(2).strFileName;
    } else if (strCall == "pic.removeDownloadPicTask") {
        return pic().removeDownloadPicTask(2, false);
    } else if (strCall == "pic.getPicDownloadSize") {
        return pic().getPicDownloadSize();
    } else if (strCall == "pic.clearAllPicDownloadObj") {
        pic().clearAllPicDownloadObj();
    } else {
        qFatal("invoke: no such call %s", qPrintable(strCall));
    }
    return QVariant();
}

ScriptedEngine& scriptOf(const QString& strCall)
{
    return strCall.startsWith("rec.") ? ScriptedEngine::record() : ScriptedEngine::pic();
}

QString methodOf(const QString& strCall)
{
    return strCall.mid(4);
}

}  // namespace

class tst_ScriptedEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void recordsEveryCall_data();
    void recordsEveryCall();
    void filtersCalls();

    void answersAsScripted_data();
    void answersAsScripted();
    void answerPrecedence_data();
    void answerPrecedence();
    void stateFollowsTheAnswerGiven();

    void slotModel_data();
    void slotModel();
    void heldTasks();
    void prepareAndProgress();

    void hookFiresOnceAtNextCall();
    void hookRunsBeforeTheAnswer();
    void hookIsReentrant();
    void hookDeliversSignalLater();

    void picRunningState_data();
    void picRunningState();

    void resetForgetsEverything();
};

void tst_ScriptedEngine::initTestCase()
{
    // Registered by the engine itself, before anything here names the types: connections made
    // by signature and queued across threads need the names.
    ScriptedEngine::reset();
    QVERIFY(QMetaType::type("DownloadInfo") != QMetaType::UnknownType);
    QVERIFY(QMetaType::type("DownloadPicInfo") != QMetaType::UnknownType);
}

void tst_ScriptedEngine::init()
{
    ScriptedEngine::reset();
}

void tst_ScriptedEngine::recordsEveryCall_data()
{
    QTest::addColumn<QString>("strCall");
    QTest::addColumn<QString>("strRecorded");

    QTest::newRow("setMaxDownloadNum") << "rec.setMaxDownloadNum"
                                       << "setMaxDownloadNum(5)";
    QTest::newRow("isLeftDiskFreeSpaceEnough") << "rec.isLeftDiskFreeSpaceEnough"
                                               << "isLeftDiskFreeSpaceEnough()";
    QTest::newRow("addDownloadTask") << "rec.addDownloadTask"
                                     << "addDownloadTask(3)";
    QTest::newRow("prepareDownloadInfo") << "rec.prepareDownloadInfo"
                                         << "prepareDownloadInfo(3)";
    QTest::newRow("getDownloadInfo") << "rec.getDownloadInfo"
                                     << "getDownloadInfo(3)";
    QTest::newRow("canStillDownload") << "rec.canStillDownload"
                                      << "canStillDownload()";
    QTest::newRow("rec.startDownload") << "rec.startDownload"
                                       << "startDownload(3)";
    QTest::newRow("getCurDownloadNumber") << "rec.getCurDownloadNumber"
                                          << "getCurDownloadNumber()";
    QTest::newRow("getDownloadSpeedAndPercent") << "rec.getDownloadSpeedAndPercent"
                                                << "getDownloadSpeedAndPercent(3)";
    QTest::newRow("setDownloadSpeed") << "rec.setDownloadSpeed"
                                      << "setDownloadSpeed(3,4)";
    QTest::newRow("getCurDownloadIndexs") << "rec.getCurDownloadIndexs"
                                          << "getCurDownloadIndexs()";
    QTest::newRow("stopDownload") << "rec.stopDownload"
                                  << "stopDownload(3,2,true)";
    QTest::newRow("deleteDownloadFile") << "rec.deleteDownloadFile"
                                        << "deleteDownloadFile(3)";
    QTest::newRow("destoryDownloadObj") << "rec.destoryDownloadObj"
                                        << "destoryDownloadObj(3)";
    QTest::newRow("getDownloadDir") << "rec.getDownloadDir"
                                    << "getDownloadDir()";
    QTest::newRow("appendPicDownloadInfo") << "pic.appendPicDownloadInfo"
                                           << "appendPicDownloadInfo(2)";
    QTest::newRow("isPicDownloadingNow") << "pic.isPicDownloadingNow"
                                         << "isPicDownloadingNow()";
    QTest::newRow("pic.startDownload") << "pic.startDownload"
                                       << "startDownload(2)";
    QTest::newRow("getSecondDownloadSize") << "pic.getSecondDownloadSize"
                                           << "getSecondDownloadSize()";
    QTest::newRow("adjustFileSize") << "pic.adjustFileSize"
                                    << "adjustFileSize(2,4096)";
    QTest::newRow("getDownloadPicInfo") << "pic.getDownloadPicInfo"
                                        << "getDownloadPicInfo(2)";
    QTest::newRow("removeDownloadPicTask") << "pic.removeDownloadPicTask"
                                           << "removeDownloadPicTask(2,false)";
    QTest::newRow("getPicDownloadSize") << "pic.getPicDownloadSize"
                                        << "getPicDownloadSize()";
    QTest::newRow("clearAllPicDownloadObj") << "pic.clearAllPicDownloadObj"
                                            << "clearAllPicDownloadObj()";
}

void tst_ScriptedEngine::recordsEveryCall()
{
    QFETCH(QString, strCall);
    QFETCH(QString, strRecorded);

    invoke(strCall);

    const bool bRecord = strCall.startsWith("rec.");
    ScriptedEngine& script = bRecord ? ScriptedEngine::record() : ScriptedEngine::pic();
    ScriptedEngine& other = bRecord ? ScriptedEngine::pic() : ScriptedEngine::record();
    QCOMPARE(script.calls(), QStringList{strRecorded});
    QCOMPARE(other.calls(), QStringList());
    QCOMPARE(ScriptedEngine::allCalls(), QStringList{strCall.left(4) + strRecorded});
}

void tst_ScriptedEngine::filtersCalls()
{
    rec().addDownloadTask(1, DownloadInfo());
    rec().startDownload(1);
    rec().getCurDownloadNumber();
    pic().startDownload(7);
    rec().stopDownload(1, StopReason_Finished, false);
    rec().getCurDownloadNumber();

    QCOMPARE(
        ScriptedEngine::allCalls(),
        QStringList({"rec.addDownloadTask(1)", "rec.startDownload(1)", "rec.getCurDownloadNumber()",
                     "pic.startDownload(7)", "rec.stopDownload(1,0,false)", "rec.getCurDownloadNumber()"}));
    QCOMPARE(ScriptedEngine::record().calls({"startDownload", "stopDownload"}),
             QStringList({"startDownload(1)", "stopDownload(1,0,false)"}));
    QCOMPARE(ScriptedEngine::allCalls({"rec.startDownload", "pic.startDownload"}),
             QStringList({"rec.startDownload(1)", "pic.startDownload(7)"}));
    // A prefix-less name names no call in the combined list.
    QCOMPARE(ScriptedEngine::allCalls({"startDownload"}), QStringList());
    QCOMPARE(ScriptedEngine::record().callCount("getCurDownloadNumber"), 2);
    QCOMPARE(ScriptedEngine::pic().callCount("getCurDownloadNumber"), 0);

    ScriptedEngine::clearCalls();
    QCOMPARE(ScriptedEngine::allCalls(), QStringList());
    QCOMPARE(ScriptedEngine::record().calls(), QStringList());
    // Tasks stay.
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>());
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>{1});
}

void tst_ScriptedEngine::answersAsScripted_data()
{
    QTest::addColumn<QString>("strCall");
    QTest::addColumn<bool>("bIndexed");
    QTest::addColumn<QVariant>("varAnswer");
    QTest::addColumn<QVariant>("varExpected");

    // Every answer differs from what the default would give here (nothing held).
    QTest::newRow("isLeftDiskFreeSpaceEnough")
        << "rec.isLeftDiskFreeSpaceEnough" << false << QVariant(false) << QVariant(false);
    QTest::newRow("getDownloadInfo") << "rec.getDownloadInfo" << true
                                     << QVariant::fromValue(recordNamed("scripted.mp4"))
                                     << QVariant("scripted.mp4");
    QTest::newRow("canStillDownload")
        << "rec.canStillDownload" << false << QVariant(false) << QVariant(false);
    QTest::newRow("rec.startDownload") << "rec.startDownload" << true << QVariant(-7) << QVariant(-7);
    QTest::newRow("getCurDownloadNumber")
        << "rec.getCurDownloadNumber" << false << QVariant(4) << QVariant(4);
    QTest::newRow("getDownloadSpeedAndPercent")
        << "rec.getDownloadSpeedAndPercent" << true << QVariant(QVariantList{0.25, "2MB/s"})
        << QVariant(QVariantList{0.25f, "2MB/s"});
    QTest::newRow("setDownloadSpeed") << "rec.setDownloadSpeed" << true << QVariant(0) << QVariant(0);
    QTest::newRow("getCurDownloadIndexs as QVariantList")
        << "rec.getCurDownloadIndexs" << false << QVariant(QVariantList{9, 8})
        << QVariant(QVariantList{9, 8});
    QTest::newRow("getCurDownloadIndexs as QList<int>")
        << "rec.getCurDownloadIndexs" << false << QVariant::fromValue(QList<int>{6})
        << QVariant(QVariantList{6});
    QTest::newRow("getDownloadDir") << "rec.getDownloadDir" << false << QVariant("/scripted")
                                    << QVariant("/scripted");
    QTest::newRow("isPicDownloadingNow")
        << "pic.isPicDownloadingNow" << false << QVariant(true) << QVariant(true);
    QTest::newRow("pic.startDownload") << "pic.startDownload" << true << QVariant(true) << QVariant(true);
    QTest::newRow("getSecondDownloadSize")
        << "pic.getSecondDownloadSize" << false << QVariant(12345) << QVariant(12345LL);
    QTest::newRow("getDownloadPicInfo")
        << "pic.getDownloadPicInfo" << true << QVariant::fromValue(picNamed("scripted.zip"))
        << QVariant("scripted.zip");
    QTest::newRow("removeDownloadPicTask")
        << "pic.removeDownloadPicTask" << true << QVariant(true) << QVariant(true);
    QTest::newRow("getPicDownloadSize") << "pic.getPicDownloadSize" << false << QVariant(3) << QVariant(3);
}

void tst_ScriptedEngine::answersAsScripted()
{
    QFETCH(QString, strCall);
    QFETCH(bool, bIndexed);
    QFETCH(QVariant, varAnswer);
    QFETCH(QVariant, varExpected);

    QVERIFY2(invoke(strCall) != varExpected, "the default must differ from the scripted answer");
    if (bIndexed) {
        scriptOf(strCall).setAnswer(methodOf(strCall), strCall.startsWith("rec.") ? 3 : 2, varAnswer);
    } else {
        scriptOf(strCall).setAnswer(methodOf(strCall), varAnswer);
    }
    QCOMPARE(invoke(strCall), varExpected);

    // The same answer once more, through the queue.
    ScriptedEngine::reset();
    scriptOf(strCall).queueAnswers(methodOf(strCall), {varAnswer});
    QCOMPARE(invoke(strCall), varExpected);
    QVERIFY(invoke(strCall) != varExpected);
}

void tst_ScriptedEngine::answerPrecedence_data()
{
    QTest::addColumn<QVariant>("varForIndex3");
    QTest::addColumn<QVariant>("varForAnyIndex");
    QTest::addColumn<QVariantList>("listQueued");
    // Answers to startDownload(3), startDownload(3), startDownload(4); both tasks held, slots free.
    QTest::addColumn<QList<int>>("listExpected");
    QTest::addColumn<int>("nUnfitWarnings");

    const QVariant none;
    QTest::newRow("default") << none << none << QVariantList() << QList<int>{0, 0, 0} << 0;
    QTest::newRow("queue, then default") << none << none << QVariantList{7} << QList<int>{7, 0, 0} << 0;
    QTest::newRow("queue in order") << none << none << QVariantList{-2, 5, -9} << QList<int>{-2, 5, -9} << 0;
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

void tst_ScriptedEngine::answerPrecedence()
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
    ScriptedEngine& script = ScriptedEngine::record();
    script.setAnswer("startDownload", 3, varForIndex3);
    script.setAnswer("startDownload", varForAnyIndex);
    script.queueAnswers("startDownload", listQueued);
    // Answers for other methods or the other manager do not interfere.
    script.setAnswer("setDownloadSpeed", 3, 99);
    ScriptedEngine::pic().setAnswer("startDownload", 3, false);

    const QList<int> listActual{rec().startDownload(3), rec().startDownload(3), rec().startDownload(4)};
    QCOMPARE(listActual, listExpected);
}

void tst_ScriptedEngine::stateFollowsTheAnswerGiven()
{
    rec().addDownloadTask(1, DownloadInfo());
    rec().addDownloadTask(2, DownloadInfo());
    ScriptedEngine::record().setAnswer("startDownload", 1, -2);
    QCOMPARE(rec().startDownload(1), -2);
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>());

    // All slots taken, yet answered 0: the task runs.
    rec().setMaxDownloadNum(1);
    ScriptedEngine::record().queueAnswers("startDownload", {0, 0});
    QCOMPARE(rec().startDownload(2), 0);
    QCOMPARE(rec().startDownload(1), -2);  // the index answer comes first
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>{2});

    pic().appendPicDownloadInfo(5, DownloadPicInfo());
    ScriptedEngine::pic().queueAnswers("startDownload", {false});
    QCOMPARE(pic().startDownload(5), false);
    QCOMPARE(ScriptedEngine::runningPicTask(), -1);
    ScriptedEngine::pic().queueAnswers("removeDownloadPicTask", {false});
    QCOMPARE(pic().removeDownloadPicTask(5, false), false);
    QCOMPARE(ScriptedEngine::heldPicTasks(), QList<int>{5});

    // A scripted count does not change the tasks held.
    ScriptedEngine::record().setAnswer("getCurDownloadNumber", 0);
    QCOMPARE(rec().getCurDownloadNumber(), 0);
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>({1, 2}));
}

void tst_ScriptedEngine::slotModel_data()
{
    QTest::addColumn<int>("nMaxToSet");  // 0: never set
    QTest::addColumn<int>("nSlots");

    QTest::newRow("five until set") << 0 << 5;
    QTest::newRow("set to five") << 5 << 5;
    QTest::newRow("set to two") << 2 << 2;
    QTest::newRow("below one ignored") << -1 << 5;
}

void tst_ScriptedEngine::slotModel()
{
    QFETCH(int, nMaxToSet);
    QFETCH(int, nSlots);

    if (nMaxToSet < 0) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("setMaxDownloadNum.*ignored"));
    }
    if (nMaxToSet != 0) {
        rec().setMaxDownloadNum(nMaxToSet);
    }
    QCOMPARE(ScriptedEngine::maxDownloadNum(), nSlots);
    for (int nIndex = 1; nIndex <= nSlots + 1; ++nIndex) {
        rec().addDownloadTask(nIndex, DownloadInfo());
    }
    for (int nIndex = 1; nIndex <= nSlots; ++nIndex) {
        QVERIFY(rec().canStillDownload());
        QCOMPARE(rec().startDownload(nIndex), 0);
    }
    QVERIFY(!rec().canStillDownload());
    QCOMPARE(rec().startDownload(nSlots + 1), -2);
    QCOMPARE(ScriptedEngine::runningRecordTasks().size(), nSlots);
    QVERIFY(!ScriptedEngine::runningRecordTasks().contains(nSlots + 1));
    // Starting a running task again takes no second slot.
    QCOMPARE(rec().startDownload(1), 0);
    QCOMPARE(ScriptedEngine::runningRecordTasks().size(), nSlots);

    rec().stopDownload(1, StopReason_Removed, true);
    QVERIFY(rec().canStillDownload());
    QCOMPARE(rec().startDownload(nSlots + 1), 0);
    QVERIFY(!rec().canStillDownload());

    // Destroying a running task frees its slot too.
    rec().destoryDownloadObj(nSlots + 1);
    QVERIFY(rec().canStillDownload());

    // A task never added does not start.
    QCOMPARE(rec().startDownload(42), -1);
    QVERIFY(!ScriptedEngine::runningRecordTasks().contains(42));
}

void tst_ScriptedEngine::heldTasks()
{
    rec().addDownloadTask(5, recordNamed("five"));
    rec().addDownloadTask(1, recordNamed("one"));
    rec().addDownloadTask(3, recordNamed("three"));
    rec().addDownloadTask(3, recordNamed("three again"));
    QCOMPARE(rec().getCurDownloadNumber(), 3);
    QCOMPARE(rec().getCurDownloadIndexs(), QList<int>({1, 3, 5}));
    QCOMPARE(rec().getDownloadInfo(3).strFileName, QString("three again"));

    rec().startDownload(3);
    rec().stopDownload(3, StopReason_Finished, false);
    rec().deleteDownloadFile(3);
    QCOMPARE(rec().getCurDownloadNumber(), 3);  // stopped tasks stay held

    rec().destoryDownloadObj(3);
    rec().destoryDownloadObj(9);
    QCOMPARE(rec().getCurDownloadNumber(), 2);
    QCOMPARE(rec().getCurDownloadIndexs(), QList<int>({1, 5}));
    QCOMPARE(rec().getDownloadInfo(3).strFileName, QString());

    pic().appendPicDownloadInfo(4, picNamed("four"));
    pic().appendPicDownloadInfo(2, picNamed("two"));
    QCOMPARE(pic().getPicDownloadSize(), 2);
    QCOMPARE(ScriptedEngine::heldPicTasks(), QList<int>({2, 4}));
    pic().adjustFileSize(4, 777);
    pic().adjustFileSize(8, 777);
    QCOMPARE(pic().getDownloadPicInfo(4).nFileSize, qint64(777));
    QCOMPARE(ScriptedEngine::heldPicTasks(), QList<int>({2, 4}));
    QCOMPARE(pic().removeDownloadPicTask(4, false), true);
    QCOMPARE(pic().removeDownloadPicTask(4, false), false);
    QCOMPARE(pic().getPicDownloadSize(), 1);
    QCOMPARE(pic().getDownloadPicInfo(2).strFileName, QString("two"));
    pic().clearAllPicDownloadObj();
    QCOMPARE(pic().getPicDownloadSize(), 0);
}

void tst_ScriptedEngine::prepareAndProgress()
{
    rec().addDownloadTask(1, recordNamed("raw"));
    rec().prepareDownloadInfo(1);
    QCOMPARE(rec().getDownloadInfo(1).strFileName, QString("raw"));

    ScriptedEngine::setPrepareTransform([](int nIndex, DownloadInfo& info) {
        info.strFileName = QString("prepared%1.mp4").arg(nIndex);
        info.stRecordFile.nFileSize = 2048;
    });
    rec().prepareDownloadInfo(1);
    rec().prepareDownloadInfo(2);  // not held: nothing to prepare
    QCOMPARE(rec().getDownloadInfo(1).strFileName, QString("prepared1.mp4"));
    QCOMPARE(ScriptedEngine::heldRecordInfo(1).stRecordFile.nFileSize, qint64(2048));
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>{1});

    float fPercent = -1.0f;
    QString strSpeed;
    rec().getDownloadSpeedAndPercent(1, fPercent, strSpeed);
    QCOMPARE(fPercent, 0.0f);
    QCOMPARE(strSpeed, QString("0B/s"));
    ScriptedEngine::setProgress(1, 0.5f, "3MB/s");
    rec().getDownloadSpeedAndPercent(1, fPercent, strSpeed);
    QCOMPARE(fPercent, 0.5f);
    QCOMPARE(strSpeed, QString("3MB/s"));
    rec().getDownloadSpeedAndPercent(2, fPercent, strSpeed);
    QCOMPARE(fPercent, 0.0f);

    ScriptedEngine::setDownloadDir("/downloads/here");
    QCOMPARE(rec().getDownloadDir(), QString("/downloads/here"));
    ScriptedEngine::setSecondDownloadSize(4096);
    QCOMPARE(pic().getSecondDownloadSize(), 4096L);
}

void tst_ScriptedEngine::hookFiresOnceAtNextCall()
{
    int nStopHooks = 0;
    int nDeleteHooks = 0;
    ScriptedEngine::record().onNextCall("stopDownload", [&] { ++nStopHooks; });
    ScriptedEngine::record().onNextCall("stopDownload", [&] { nStopHooks += 10; });
    ScriptedEngine::record().onNextCall("deleteDownloadFile", [&] { ++nDeleteHooks; });
    ScriptedEngine::pic().onNextCall("startDownload", [] { QFAIL("the picture manager's hook fired"); });

    rec().addDownloadTask(1, DownloadInfo());
    rec().startDownload(1);
    QCOMPARE(nStopHooks, 0);
    rec().stopDownload(1, StopReason_Removed, false);
    QCOMPARE(nStopHooks, 11);  // both waiting hooks, at the same call
    rec().stopDownload(1, StopReason_Removed, false);
    QCOMPARE(nStopHooks, 11);
    QCOMPARE(nDeleteHooks, 0);
}

void tst_ScriptedEngine::hookRunsBeforeTheAnswer()
{
    rec().addDownloadTask(1, DownloadInfo());
    QStringList listSeenCalls;
    ScriptedEngine::record().onNextCall("startDownload", [&] {
        listSeenCalls = ScriptedEngine::allCalls();
        ScriptedEngine::record().setAnswer("startDownload", 1, -5);
    });
    QCOMPARE(rec().startDownload(1), -5);
    QCOMPARE(listSeenCalls, QStringList({"rec.addDownloadTask(1)", "rec.startDownload(1)"}));
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>());
}

void tst_ScriptedEngine::hookIsReentrant()
{
    rec().addDownloadTask(1, DownloadInfo());
    rec().addDownloadTask(2, DownloadInfo());
    int nLaterHooks = 0;
    ScriptedEngine::record().onNextCall("startDownload", [&] {
        // Registered now, so it waits for the call below, not the one running.
        ScriptedEngine::record().onNextCall("startDownload", [&] { ++nLaterHooks; });
        QCOMPARE(rec().startDownload(2), 0);
    });

    QCOMPARE(rec().startDownload(1), 0);
    QCOMPARE(nLaterHooks, 1);
    QCOMPARE(ScriptedEngine::record().calls({"startDownload"}),
             QStringList({"startDownload(1)", "startDownload(2)"}));
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({1, 2}));
    rec().startDownload(1);
    QCOMPARE(nLaterHooks, 1);
}

void tst_ScriptedEngine::hookDeliversSignalLater()
{
    QSignalSpy spyState(&rec(), &CRecordDownloadManager::sgnDownloadStateNotify);
    QVERIFY(spyState.isValid());
    QList<DownloadInfo> listQueued;
    QObject context;  // ends the connection with the test function
    connect(
        &rec(), &CRecordDownloadManager::sgnDownloadStateNotify, &context,
        [&](int, bool, const DownloadInfo& info) { listQueued.append(info); }, Qt::QueuedConnection);

    rec().addDownloadTask(4, recordNamed("late.mp4"));
    ScriptedEngine::record().onNextCall("stopDownload", [] {
        QTimer::singleShot(10, [] {
            emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(4, true,
                                                                              recordNamed("late.mp4"));
        });
    });
    rec().stopDownload(4, StopReason_Finished, false);
    QCOMPARE(spyState.count(), 0);

    QVERIFY(spyState.wait(5000));
    QCOMPARE(spyState.at(0).at(0).toInt(), 4);
    QCOMPARE(spyState.at(0).at(2).value<DownloadInfo>().strFileName, QString("late.mp4"));
    QTRY_COMPARE_WITH_TIMEOUT(listQueued.size(), 1, 5000);
    QCOMPARE(listQueued.at(0).strFileName, QString("late.mp4"));
}

void tst_ScriptedEngine::picRunningState_data()
{
    // Steps: "add N", "start N", "remove N", "finished", "error", "clear".
    QTest::addColumn<QStringList>("listSteps");
    QTest::addColumn<int>("nRunning");
    QTest::addColumn<QList<int>>("listHeld");

    QTest::newRow("nothing") << QStringList() << -1 << QList<int>();
    QTest::newRow("start runs") << QStringList({"add 1", "start 1"}) << 1 << QList<int>{1};
    QTest::newRow("unknown task does not start") << QStringList({"start 1"}) << -1 << QList<int>();
    QTest::newRow("one at a time") << QStringList({"add 1", "add 2", "start 1", "start 2"}) << 1
                                   << QList<int>({1, 2});
    QTest::newRow("finished ends it") << QStringList({"add 1", "start 1", "finished"}) << -1 << QList<int>{1};
    QTest::newRow("error ends it") << QStringList({"add 1", "start 1", "error"}) << -1 << QList<int>{1};
    QTest::newRow("next starts after finished")
        << QStringList({"add 1", "add 2", "start 1", "finished", "start 2"}) << 2 << QList<int>({1, 2});
    QTest::newRow("removing the running task ends it")
        << QStringList({"add 1", "start 1", "remove 1"}) << -1 << QList<int>();
    QTest::newRow("removing another keeps it running")
        << QStringList({"add 1", "add 2", "start 1", "remove 2"}) << 1 << QList<int>{1};
    QTest::newRow("clear ends it") << QStringList({"add 1", "add 2", "start 1", "clear"}) << -1
                                   << QList<int>();
}

void tst_ScriptedEngine::picRunningState()
{
    QFETCH(QStringList, listSteps);
    QFETCH(int, nRunning);
    QFETCH(QList<int>, listHeld);

    for (const QString& strStep : qAsConst(listSteps)) {
        const QString strAction = strStep.section(' ', 0, 0);
        const int nIndex = strStep.section(' ', 1, 1).toInt();
        if (strAction == "add") {
            pic().appendPicDownloadInfo(nIndex, DownloadPicInfo());
        } else if (strAction == "start") {
            pic().startDownload(nIndex);
        } else if (strAction == "remove") {
            pic().removeDownloadPicTask(nIndex, true);
        } else if (strAction == "finished") {
            emit pic().sgnPicFinishedDowndload();
        } else if (strAction == "error") {
            emit pic().sgnPicDownloadError("broken");
        } else if (strAction == "clear") {
            pic().clearAllPicDownloadObj();
        } else {
            QFAIL(qPrintable("unknown step " + strStep));
        }
    }
    QCOMPARE(ScriptedEngine::runningPicTask(), nRunning);
    QCOMPARE(pic().isPicDownloadingNow(), nRunning != -1);
    QCOMPARE(ScriptedEngine::heldPicTasks(), listHeld);
    QCOMPARE(pic().getPicDownloadSize(), listHeld.size());
}

void tst_ScriptedEngine::resetForgetsEverything()
{
    rec().setMaxDownloadNum(2);
    rec().addDownloadTask(1, recordNamed("one"));
    rec().startDownload(1);
    ScriptedEngine::record().setAnswer("canStillDownload", false);
    ScriptedEngine::record().setAnswer("setDownloadSpeed", 1, 0);
    ScriptedEngine::record().queueAnswers("getCurDownloadNumber", {8});
    bool bHookRan = false;
    ScriptedEngine::record().onNextCall("deleteDownloadFile", [&] { bHookRan = true; });
    ScriptedEngine::setProgress(1, 0.9f, "9MB/s");
    ScriptedEngine::setPrepareTransform([](int, DownloadInfo& info) { info.strFileName = "changed"; });
    ScriptedEngine::setDownloadDir("/elsewhere");
    pic().appendPicDownloadInfo(2, DownloadPicInfo());
    pic().startDownload(2);
    ScriptedEngine::pic().setAnswer("getPicDownloadSize", 6);
    ScriptedEngine::setSecondDownloadSize(100);

    ScriptedEngine::reset();

    QCOMPARE(ScriptedEngine::allCalls(), QStringList());
    QCOMPARE(ScriptedEngine::record().calls(), QStringList());
    QCOMPARE(ScriptedEngine::pic().calls(), QStringList());
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>());
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>());
    QCOMPARE(ScriptedEngine::maxDownloadNum(), 5);
    QCOMPARE(ScriptedEngine::runningPicTask(), -1);
    QCOMPARE(ScriptedEngine::heldPicTasks(), QList<int>());

    QVERIFY(rec().canStillDownload());
    QCOMPARE(rec().setDownloadSpeed(1, 2), 1);
    QCOMPARE(rec().getCurDownloadNumber(), 0);
    rec().deleteDownloadFile(1);
    QVERIFY(!bHookRan);
    float fPercent = -1.0f;
    QString strSpeed;
    rec().getDownloadSpeedAndPercent(1, fPercent, strSpeed);
    QCOMPARE(fPercent, 0.0f);
    rec().addDownloadTask(1, recordNamed("one"));
    rec().prepareDownloadInfo(1);
    QCOMPARE(rec().getDownloadInfo(1).strFileName, QString("one"));
    QCOMPARE(rec().getDownloadDir(), QDir::tempPath());
    QCOMPARE(pic().getPicDownloadSize(), 0);
    QCOMPARE(pic().getSecondDownloadSize(), 0L);
}

QTEST_GUILESS_MAIN(tst_ScriptedEngine)
#include "tst_ScriptedEngine.moc"
