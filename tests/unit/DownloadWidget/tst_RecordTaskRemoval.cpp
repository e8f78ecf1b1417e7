#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <orbgui/OrbMessageBox.h>

#include <memory>

#include "DownloadingWidgetProbe.h"
#include "ModalAnswerer.h"
#include "NotificationCapture.h"
#include "ScriptedEngine.h"

namespace {

using Role = ORBGUI::struTreeViewData;

CRecordDownloadManager& engine()
{
    return CRecordDownloadManager::getInstance();
}

CPicDownloadManager& picEngine()
{
    return CPicDownloadManager::getInstance();
}

// The engine calls by which tasks are started, stopped and disposed of, in call order.
const QSet<QString> kRemovalCalls = {
    QStringLiteral("rec.startDownload"),         QStringLiteral("rec.stopDownload"),
    QStringLiteral("rec.deleteDownloadFile"),    QStringLiteral("rec.destoryDownloadObj"),
    QStringLiteral("pic.startDownload"),         QStringLiteral("pic.removeDownloadPicTask"),
    QStringLiteral("pic.clearAllPicDownloadObj")};

QStringList removalCalls()
{
    return ScriptedEngine::allCalls(kRemovalCalls);
}

const char* const kRecordQuestion = "are you sure to delete this downEvent?";
const char* const kPictureQuestion = "This file being downloading, are you sure to delete?";
const int kOk = ORBGUI::OrbMessageBox::Ok;
const int kCancel = ORBGUI::OrbMessageBox::Cancel;

}  // namespace

class tst_RecordTaskRemoval : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The Delete button, record table
    void deleteMixedRecordRows_data();
    void deleteMixedRecordRows();
    void fileDeletedOnlyAfterStopWait();
    void eachFreedSlotStepsQueue();
    void checkedRowsNeverSkipped_data();
    void checkedRowsNeverSkipped();
    void declinedQuestionChangesNothing_data();
    void declinedQuestionChangesNothing();
    void nothingChecked_data();
    void nothingChecked();

    // The Delete button, picture table
    void deleteCheckedPictures_data();
    void deleteCheckedPictures();

    // Delete icon of a record row
    void deleteIcon_data();
    void deleteIcon();

    // Device deletion, clear, shutdown
    void deviceDeletion();
    void deviceDeletionOfUnknownDevice();
    void clearEverything();
    void clearBoundedByEngineCounts_data();
    void clearBoundedByEngineCounts();
    void shutdown_data();
    void shutdown();

    // Re-entry
    void notificationsWhileRecordQuestionOpen();
    void notificationsDuringDeleteWait();
    void iconDeleteFindsClickedTaskAfterQuestion();
    void notificationsDuringEngineCall();
    void pictureFinishesWhileAsked();
    void deviceDeletionWithNotificationsDuringWait();
    void shutdownWithNotificationsDuringWait();
    void widgetDestroyedDuringDeleteWait();

private:
    // Adds a record task for each device id given; tasks start while the engine has slots.
    void addRecordTasks(const QStringList& listDevices);
    // Builds the rows 1 waiting, 2 started, 3 failed, 4 started; 5 waiting, all of "device-1".
    void addMixedRows();
    void addPicTasks(int nCount);
    // The last count the widget reported, or -1 when none since the spy began.
    static int lastCount(const QSignalSpy& spy);
    int rowCount() const;

    std::unique_ptr<QDownloadingWidget> m_pWidget;
};

void tst_RecordTaskRemoval::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    probe::setOpenOSD(false);
    m_pWidget = std::make_unique<QDownloadingWidget>();
    ScriptedEngine::clearCalls();
}

void tst_RecordTaskRemoval::cleanup()
{
    m_pWidget.reset();
    probe::setClientSetting(QStringLiteral("Base/OpenOSD"), QVariant());
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
    QCOMPARE(ModalAnswerer::pending(), 0);
}

void tst_RecordTaskRemoval::addRecordTasks(const QStringList& listDevices)
{
    for (const QString& strDevice : listDevices) {
        DownloadInfo task =
            probe::recordTask(QStringLiteral("task %1").arg(probe::recordModel(*m_pWidget)->rowCount() + 1));
        task.strDeviceId = strDevice;
        m_pWidget->onAddDownloadTask(task);
    }
}

void tst_RecordTaskRemoval::addMixedRows()
{
    // Task 1 never gets a slot; task 3 fails; task 5 comes when every slot is taken.
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, -2);
    addRecordTasks({"device-1", "device-1", "device-1", "device-1"});
    emit engine().sgnDownloadStateNotify(3, false, DownloadInfo());
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addRecordTasks({"device-1"});
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), QVariant());
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(probe::state(*m_pWidget, 1), 0);
    QCOMPARE(probe::state(*m_pWidget, 2), 1);
    QCOMPARE(probe::state(*m_pWidget, 3), 2);
    QCOMPARE(probe::state(*m_pWidget, 4), 1);
    QCOMPARE(probe::state(*m_pWidget, 5), 0);
}

void tst_RecordTaskRemoval::addPicTasks(int nCount)
{
    for (int i = 0; i < nCount; ++i) {
        m_pWidget->onAddPicDownloadTask(probe::picTask(QStringLiteral("pictures %1").arg(i + 1)));
    }
}

int tst_RecordTaskRemoval::lastCount(const QSignalSpy& spy)
{
    return spy.isEmpty() ? -1 : spy.last().at(0).toInt();
}

int tst_RecordTaskRemoval::rowCount() const
{
    return probe::recordModel(*m_pWidget)->rowCount() + probe::picModel(*m_pWidget)->rowCount();
}

void tst_RecordTaskRemoval::deleteMixedRecordRows_data()
{
    QTest::addColumn<bool>("bOpenOSD");
    QTest::addColumn<QStringList>("listCalls");

    // Checked: 1 waiting, 2 started and listed, 3 failed, 4 started and not listed. Unchecked: 5.
    QTest::newRow("open-OSD off") << false
                                  << QStringList({"rec.destoryDownloadObj(1)", "rec.stopDownload(2,2,true)",
                                                  "rec.deleteDownloadFile(2)", "rec.destoryDownloadObj(2)",
                                                  "rec.destoryDownloadObj(3)", "rec.startDownload(5)"});
    QTest::newRow("open-OSD on") << true
                                 << QStringList({"rec.stopDownload(1,2,true)", "rec.deleteDownloadFile(1)",
                                                 "rec.destoryDownloadObj(1)", "rec.stopDownload(2,2,true)",
                                                 "rec.deleteDownloadFile(2)", "rec.destoryDownloadObj(2)",
                                                 "rec.stopDownload(3,2,true)", "rec.deleteDownloadFile(3)",
                                                 "rec.destoryDownloadObj(3)", "rec.startDownload(5)"});
}

void tst_RecordTaskRemoval::deleteMixedRecordRows()
{
    QFETCH(bool, bOpenOSD);
    QFETCH(QStringList, listCalls);

    addMixedRows();
    probe::setOpenOSD(bOpenOSD);
    ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadIndexs"), QVariantList{1, 2, 3, 5});
    for (int nRow = 0; nRow < 4; ++nRow) {
        probe::setChecked(probe::recordModel(*m_pWidget), nRow);
    }
    QString strTitle;
    ModalAnswerer::answerNext(kOk, [&strTitle] {
        if (QWidget* pBox = QApplication::activeModalWidget()) {
            strTitle = pBox->windowTitle();
        }
    });
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    // One question for the press; the started task the engine does not list stays.
    QCOMPARE(ModalAnswerer::questions(), QStringList{QLatin1String(kRecordQuestion)});
    QCOMPARE(strTitle, QStringLiteral("Notice"));
    QCOMPARE(removalCalls(), listCalls);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({4, 5}));
    QCOMPARE(probe::state(*m_pWidget, 4), 1);
    QCOMPARE(probe::state(*m_pWidget, 5), 1);
    QCOMPARE(lastCount(spyCount), 2);
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>({4, 5}));
}

void tst_RecordTaskRemoval::fileDeletedOnlyAfterStopWait()
{
    // The file goes only after the event loop has run following the stop.
    addRecordTasks({"device-1"});
    probe::setChecked(probe::recordModel(*m_pWidget), 0);
    QStringList listCallsWhenLoopRan;
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"), [&] {
        QTimer::singleShot(0, m_pWidget.get(), [&] { listCallsWhenLoopRan = removalCalls(); });
    });
    ModalAnswerer::answerNext(kOk);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(listCallsWhenLoopRan, QStringList{QStringLiteral("rec.stopDownload(1,2,true)")});
    QCOMPARE(removalCalls(), QStringList({"rec.stopDownload(1,2,true)", "rec.deleteDownloadFile(1)",
                                          "rec.destoryDownloadObj(1)"}));
}

void tst_RecordTaskRemoval::eachFreedSlotStepsQueue()
{
    // Two of five running tasks go with one press: the two waiting tasks take their slots.
    addRecordTasks({"d", "d", "d", "d", "d", "d", "d"});
    probe::setChecked(probe::recordModel(*m_pWidget), 1);
    probe::setChecked(probe::recordModel(*m_pWidget), 3);
    ModalAnswerer::answerNext(kOk);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("startDownload")}),
             QStringList({"startDownload(6)", "startDownload(7)"}));
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({1, 3, 5, 6, 7}));
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 3, 5, 6, 7}));
}

void tst_RecordTaskRemoval::checkedRowsNeverSkipped_data()
{
    QTest::addColumn<QString>("strChecks");  // one letter a row: x checked, . not
    QTest::addColumn<bool>("bOpenOSD");

    QTest::newRow("two adjacent") << "xx" << false;
    QTest::newRow("all of six") << "xxxxxx" << false;
    QTest::newRow("gaps") << "x.xx..xxx." << false;
    QTest::newRow("last only") << ".....x" << false;
    QTest::newRow("gaps, open-OSD") << "x.xx..xxx." << true;
}

void tst_RecordTaskRemoval::checkedRowsNeverSkipped()
{
    QFETCH(QString, strChecks);
    QFETCH(bool, bOpenOSD);

    // All waiting, so the rows go on the spot and the walk has to keep its place.
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addRecordTasks(QVector<QString>(strChecks.size(), QStringLiteral("device-1")).toList());
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), QVariant());
    probe::setOpenOSD(bOpenOSD);
    QList<int> listKept;
    QStringList listCalls;
    for (int nRow = 0; nRow < strChecks.size(); ++nRow) {
        const int nTask = nRow + 1;
        if (strChecks.at(nRow) == QLatin1Char('x')) {
            probe::setChecked(probe::recordModel(*m_pWidget), nRow);
            if (bOpenOSD) {
                listCalls << QStringLiteral("rec.stopDownload(%1,2,true)").arg(nTask)
                          << QStringLiteral("rec.deleteDownloadFile(%1)").arg(nTask);
            }
            listCalls << QStringLiteral("rec.destoryDownloadObj(%1)").arg(nTask);
        } else {
            listKept << nTask;
        }
    }
    ModalAnswerer::answerNext(kOk);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(probe::recordTasks(*m_pWidget), listKept);
    // No running task went, so the queue is not stepped.
    QCOMPARE(removalCalls(), listCalls);
    QCOMPARE(lastCount(spyCount), listKept.size());
    QCOMPARE(ScriptedEngine::heldRecordTasks(), listKept);
}

void tst_RecordTaskRemoval::declinedQuestionChangesNothing_data()
{
    QTest::addColumn<int>("nAnswer");
    QTest::newRow("Cancel") << kCancel;
    QTest::newRow("box closed") << 0;
}

void tst_RecordTaskRemoval::declinedQuestionChangesNothing()
{
    QFETCH(int, nAnswer);

    addMixedRows();
    probe::setOpenOSD(true);
    for (int nRow = 0; nRow < 5; ++nRow) {
        probe::setChecked(probe::recordModel(*m_pWidget), nRow);
    }
    ModalAnswerer::answerNext(nAnswer);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    NotificationCapture notices;
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 2, 3, 4, 5}));
    QVERIFY(removalCalls().isEmpty());
    QCOMPARE(spyCount.count(), 0);
    QVERIFY(notices.texts().isEmpty());
}

void tst_RecordTaskRemoval::nothingChecked_data()
{
    QTest::addColumn<bool>("bPictureView");
    QTest::addColumn<QString>("strNotice");

    QTest::newRow("record view") << false << "no record selected!";
    QTest::newRow("picture view") << true << "no file selected!";
}

void tst_RecordTaskRemoval::nothingChecked()
{
    QFETCH(bool, bPictureView);
    QFETCH(QString, strNotice);

    addRecordTasks({"device-1", "device-1"});
    addPicTasks(2);
    if (bPictureView) {
        m_pWidget->findChild<QAbstractButton*>(QStringLiteral("btnPictureDownloading"))->click();
    }
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    NotificationCapture notices;
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QVERIFY(ModalAnswerer::questions().isEmpty());
    QCOMPARE(notices.texts(), QStringList{strNotice});
    QVERIFY(removalCalls().isEmpty());
    QCOMPARE(rowCount(), 4);
    QCOMPARE(lastCount(spyCount), 4);
}

void tst_RecordTaskRemoval::deleteCheckedPictures_data()
{
    QTest::addColumn<int>("nAnswer");
    QTest::addColumn<bool>("bEngineAgrees");
    QTest::addColumn<QList<int>>("listRowsAfter");
    QTest::addColumn<QStringList>("listCalls");

    // Rows: 1 downloading (checked), 2 waiting (checked), 3 waiting (not checked).
    QTest::newRow("confirmed") << kOk << true << QList<int>{3}
                               << QStringList({"pic.removeDownloadPicTask(1,true)",
                                               "pic.removeDownloadPicTask(2,false)", "pic.startDownload(3)"});
    QTest::newRow("engine refuses") << kOk << false << QList<int>({1, 3})
                                    << QStringList({"pic.removeDownloadPicTask(1,true)",
                                                    "pic.removeDownloadPicTask(2,false)"});
    QTest::newRow("declined") << kCancel << true << QList<int>({1, 3})
                              << QStringList{"pic.removeDownloadPicTask(2,false)"};
}

void tst_RecordTaskRemoval::deleteCheckedPictures()
{
    QFETCH(int, nAnswer);
    QFETCH(bool, bEngineAgrees);
    QFETCH(QList<int>, listRowsAfter);
    QFETCH(QStringList, listCalls);

    addRecordTasks({"device-1"});
    probe::setChecked(probe::recordModel(*m_pWidget), 0);
    addPicTasks(3);
    QCOMPARE(probe::picState(*m_pWidget, 1), 1);
    probe::setChecked(probe::picModel(*m_pWidget), 0);
    probe::setChecked(probe::picModel(*m_pWidget), 1);
    if (!bEngineAgrees) {
        ScriptedEngine::pic().setAnswer(QStringLiteral("removeDownloadPicTask"), 1, false);
    }
    m_pWidget->findChild<QAbstractButton*>(QStringLiteral("btnPictureDownloading"))->click();
    ModalAnswerer::answerNext(nAnswer);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    // Asked about the downloading picture only; the checked record row is not this table's.
    QCOMPARE(ModalAnswerer::questions(), QStringList{QLatin1String(kPictureQuestion)});
    QCOMPARE(probe::picTasks(*m_pWidget), listRowsAfter);
    QCOMPARE(removalCalls(), listCalls);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{1});
    QCOMPARE(lastCount(spyCount), listRowsAfter.size() + 1);
}

void tst_RecordTaskRemoval::deleteIcon_data()
{
    QTest::addColumn<int>("nTask");
    QTest::addColumn<int>("nAnswer");
    QTest::addColumn<bool>("bListed");
    QTest::addColumn<QList<int>>("listRowsAfter");
    QTest::addColumn<QStringList>("listCalls");

    // Rows as addMixedRows builds them; the engine never gives task 1 a slot.
    QTest::newRow("waiting") << 1 << kOk << true << QList<int>({2, 3, 4, 5})
                             << QStringList{"rec.destoryDownloadObj(1)"};
    QTest::newRow("started, listed") << 2 << kOk << true << QList<int>({1, 3, 4, 5})
                                     << QStringList({"rec.stopDownload(2,2,true)",
                                                     "rec.deleteDownloadFile(2)", "rec.destoryDownloadObj(2)",
                                                     "rec.startDownload(1)", "rec.startDownload(5)"});
    QTest::newRow("failed, listed") << 3 << kOk << true << QList<int>({1, 2, 4, 5})
                                    << QStringList({"rec.stopDownload(3,2,true)", "rec.deleteDownloadFile(3)",
                                                    "rec.destoryDownloadObj(3)", "rec.startDownload(1)",
                                                    "rec.startDownload(5)"});
    QTest::newRow("started, not listed") << 2 << kOk << false << QList<int>({1, 2, 3, 4, 5}) << QStringList();
    QTest::newRow("failed, not listed") << 3 << kOk << false << QList<int>({1, 2, 3, 4, 5}) << QStringList();
    QTest::newRow("declined") << 2 << kCancel << true << QList<int>({1, 2, 3, 4, 5}) << QStringList();
}

void tst_RecordTaskRemoval::deleteIcon()
{
    QFETCH(int, nTask);
    QFETCH(int, nAnswer);
    QFETCH(bool, bListed);
    QFETCH(QList<int>, listRowsAfter);
    QFETCH(QStringList, listCalls);

    addMixedRows();
    // Open-OSD plays no part here.
    probe::setOpenOSD(true);
    if (!bListed) {
        ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadIndexs"), QVariantList{1, 4, 5});
    }
    ModalAnswerer::answerNext(nAnswer);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::clickOperateIcon(*m_pWidget, nTask, Role::PixmapRole0);

    QCOMPARE(ModalAnswerer::questions(), QStringList{QLatin1String(kRecordQuestion)});
    QCOMPARE(probe::recordTasks(*m_pWidget), listRowsAfter);
    QCOMPARE(removalCalls(), listCalls);
    QCOMPARE(lastCount(spyCount), nAnswer == kOk ? listRowsAfter.size() : -1);
}

void tst_RecordTaskRemoval::deviceDeletion()
{
    // Tasks 2 and 3 of device-1 run next to each other; task 4 of device-1 fails; task 6 of
    // device-1 waits and the engine never gives it a slot, task 7 of device-2 waits.
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 6, -2);
    addRecordTasks({"device-2", "device-1", "device-1", "device-1", "device-2"});
    emit engine().sgnDownloadStateNotify(4, false, DownloadInfo());
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addRecordTasks({"device-1", "device-2"});
    QCOMPARE(probe::state(*m_pWidget, 6), 0);
    QCOMPARE(probe::state(*m_pWidget, 7), 0);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    // The channel plays no part.
    m_pWidget->onDeviceDeleteNotify(QStringLiteral("device-1"), 9);

    QCOMPARE(removalCalls(),
             QStringList({"rec.stopDownload(2,2,true)", "rec.deleteDownloadFile(2)",
                          "rec.destoryDownloadObj(2)", "rec.startDownload(6)", "rec.startDownload(7)",
                          "rec.stopDownload(3,2,true)", "rec.deleteDownloadFile(3)",
                          "rec.destoryDownloadObj(3)", "rec.startDownload(6)", "rec.stopDownload(4,2,true)",
                          "rec.deleteDownloadFile(4)", "rec.destoryDownloadObj(4)", "rec.startDownload(6)"}));
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 5, 6, 7}));
    QCOMPARE(probe::state(*m_pWidget, 6), 0);
    QCOMPARE(probe::state(*m_pWidget, 7), 1);
    QCOMPARE(lastCount(spyCount), 4);
}

void tst_RecordTaskRemoval::deviceDeletionOfUnknownDevice()
{
    addRecordTasks({"device-1", "device-2"});
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    // Compared exactly: case and blanks count.
    m_pWidget->onDeviceDeleteNotify(QStringLiteral("Device-1"), -1);
    m_pWidget->onDeviceDeleteNotify(QStringLiteral("device-1 "), -1);
    m_pWidget->onDeviceDeleteNotify(QString(), -1);

    QVERIFY(removalCalls().isEmpty());
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 2}));
    // Only the counters are refreshed.
    QCOMPARE(spyCount.count(), 3);
    QCOMPARE(lastCount(spyCount), 2);
}

void tst_RecordTaskRemoval::clearEverything()
{
    // Waiting, started and failed rows alike; open-OSD changes nothing here.
    addMixedRows();
    addPicTasks(3);
    probe::setOpenOSD(true);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    m_pWidget->clearDownloadingList();

    QCOMPARE(removalCalls(),
             QStringList(
                 {"rec.stopDownload(1,2,false)", "rec.destoryDownloadObj(1)", "rec.stopDownload(2,2,false)",
                  "rec.destoryDownloadObj(2)", "rec.stopDownload(3,2,false)", "rec.destoryDownloadObj(3)",
                  "rec.stopDownload(4,2,false)", "rec.destoryDownloadObj(4)", "rec.stopDownload(5,2,false)",
                  "rec.destoryDownloadObj(5)", "pic.removeDownloadPicTask(1,true)",
                  "pic.removeDownloadPicTask(2,true)", "pic.removeDownloadPicTask(3,true)"}));
    QCOMPARE(rowCount(), 0);
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(lastCount(spyCount), 0);
    QVERIFY(ModalAnswerer::questions().isEmpty());

    // The task numbering goes on.
    ScriptedEngine::clearCalls();
    addRecordTasks({"device-1"});
    addPicTasks(1);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{6});
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>{4});
}

void tst_RecordTaskRemoval::clearBoundedByEngineCounts_data()
{
    QTest::addColumn<int>("nRecordCount");
    QTest::addColumn<int>("nPicCount");
    QTest::addColumn<QList<int>>("listRecordsAfter");
    QTest::addColumn<QList<int>>("listPicturesAfter");
    QTest::addColumn<QStringList>("listCalls");

    QTest::newRow("engine counts fewer")
        << 2 << 1 << QList<int>{3} << QList<int>{2}
        << QStringList({"rec.stopDownload(1,2,false)", "rec.destoryDownloadObj(1)",
                        "rec.stopDownload(2,2,false)", "rec.destoryDownloadObj(2)",
                        "pic.removeDownloadPicTask(1,true)"});
    QTest::newRow("engine counts more")
        << 7 << 4 << QList<int>() << QList<int>()
        << QStringList({"rec.stopDownload(1,2,false)", "rec.destoryDownloadObj(1)",
                        "rec.stopDownload(2,2,false)", "rec.destoryDownloadObj(2)",
                        "rec.stopDownload(3,2,false)", "rec.destoryDownloadObj(3)",
                        "pic.removeDownloadPicTask(1,true)", "pic.removeDownloadPicTask(2,true)"});
    QTest::newRow("engine counts none")
        << 0 << 0 << QList<int>({1, 2, 3}) << QList<int>({1, 2}) << QStringList();
}

void tst_RecordTaskRemoval::clearBoundedByEngineCounts()
{
    QFETCH(int, nRecordCount);
    QFETCH(int, nPicCount);
    QFETCH(QList<int>, listRecordsAfter);
    QFETCH(QList<int>, listPicturesAfter);
    QFETCH(QStringList, listCalls);

    addRecordTasks({"device-1", "device-1", "device-1"});
    addPicTasks(2);
    ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadNumber"), nRecordCount);
    ScriptedEngine::pic().setAnswer(QStringLiteral("getPicDownloadSize"), nPicCount);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    m_pWidget->clearDownloadingList();

    QCOMPARE(removalCalls(), listCalls);
    QCOMPARE(probe::recordTasks(*m_pWidget), listRecordsAfter);
    QCOMPARE(probe::picTasks(*m_pWidget), listPicturesAfter);
    QCOMPARE(lastCount(spyCount), rowCount());
}

void tst_RecordTaskRemoval::shutdown_data()
{
    QTest::addColumn<bool>("bOpenOSD");
    QTest::addColumn<QStringList>("listCalls");

    // Rows as addMixedRows builds them; the engine does not list task 4. The file of a started
    // task goes only with open-OSD; waiting and failed tasks are stopped only with open-OSD.
    QTest::newRow("open-OSD off") << false
                                  << QStringList({"rec.destoryDownloadObj(1)", "rec.stopDownload(2,2,true)",
                                                  "rec.destoryDownloadObj(2)", "rec.destoryDownloadObj(3)",
                                                  "rec.destoryDownloadObj(5)",
                                                  "pic.clearAllPicDownloadObj()"});
    QTest::newRow("open-OSD on") << true
                                 << QStringList({"rec.stopDownload(1,2,true)", "rec.deleteDownloadFile(1)",
                                                 "rec.destoryDownloadObj(1)", "rec.stopDownload(2,2,true)",
                                                 "rec.deleteDownloadFile(2)", "rec.destoryDownloadObj(2)",
                                                 "rec.stopDownload(3,2,true)", "rec.deleteDownloadFile(3)",
                                                 "rec.destoryDownloadObj(3)", "rec.stopDownload(5,2,true)",
                                                 "rec.deleteDownloadFile(5)", "rec.destoryDownloadObj(5)",
                                                 "pic.clearAllPicDownloadObj()"});
}

void tst_RecordTaskRemoval::shutdown()
{
    QFETCH(bool, bOpenOSD);
    QFETCH(QStringList, listCalls);

    addMixedRows();
    addPicTasks(2);
    probe::setOpenOSD(bOpenOSD);
    ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadIndexs"), QVariantList{1, 2, 3, 5});
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, QVariant());
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    m_pWidget.reset();

    QCOMPARE(removalCalls(), listCalls);
    // No questions, no counters, no queue steps.
    QVERIFY(ModalAnswerer::questions().isEmpty());
    QCOMPARE(spyCount.count(), 0);
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>{4});
}

void tst_RecordTaskRemoval::notificationsWhileRecordQuestionOpen()
{
    // Five run, 6 and 7 wait; 3 and 6 are checked. While the question is open, 1 finishes (its
    // row goes and 6 starts) and 2 fails (7 starts). The rows that go are still 3 and 6.
    addRecordTasks({"d", "d", "d", "d", "d", "d", "d"});
    probe::setChecked(probe::recordModel(*m_pWidget), 2);
    probe::setChecked(probe::recordModel(*m_pWidget), 5);
    ModalAnswerer::answerNext(kOk, [] {
        emit engine().sgnDownloadStateNotify(1, true, DownloadInfo());
        emit engine().sgnDownloadStateNotify(2, false, DownloadInfo());
    });
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(spyFinished.count(), 1);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({2, 4, 5, 7}));
    QCOMPARE(probe::state(*m_pWidget, 2), 2);
    QCOMPARE(
        removalCalls(),
        QStringList({"rec.stopDownload(1,0,false)", "rec.destoryDownloadObj(1)", "rec.startDownload(6)",
                     "rec.stopDownload(2,1,false)", "rec.startDownload(7)", "rec.stopDownload(3,2,true)",
                     "rec.deleteDownloadFile(3)", "rec.destoryDownloadObj(3)", "rec.stopDownload(6,2,true)",
                     "rec.deleteDownloadFile(6)", "rec.destoryDownloadObj(6)"}));
    QCOMPARE(lastCount(spyCount), 4);
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({4, 5, 7}));
}

void tst_RecordTaskRemoval::notificationsDuringDeleteWait()
{
    // Five run, 6 waits; 2 and 4 are checked. While the widget waits after stopping 2, task 1
    // above finishes (6 starts), task 5 fails and so stands where task 4 stood counting from
    // the top, the user checks task 3 (not chosen at the press) and a task is added.
    addRecordTasks({"d", "d", "d", "d", "d", "d"});
    probe::setChecked(probe::recordModel(*m_pWidget), 1);
    probe::setChecked(probe::recordModel(*m_pWidget), 3);
    bool bDelivered = false;
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"), [&] {
        QTimer::singleShot(10, m_pWidget.get(), [&] {
            emit engine().sgnDownloadStateNotify(1, true, DownloadInfo());
            emit engine().sgnDownloadStateNotify(5, false, DownloadInfo());
            probe::setChecked(probe::recordModel(*m_pWidget), probe::recordRow(*m_pWidget, 3));
            addRecordTasks({"d"});
            bDelivered = true;
        });
    });
    ModalAnswerer::answerNext(kOk);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QVERIFY(bDelivered);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({3, 5, 6, 7}));
    QCOMPARE(probe::state(*m_pWidget, 3), 1);
    QCOMPARE(probe::state(*m_pWidget, 5), 2);
    QCOMPARE(
        removalCalls(),
        QStringList({"rec.stopDownload(2,2,true)", "rec.stopDownload(1,0,false)", "rec.destoryDownloadObj(1)",
                     "rec.startDownload(6)", "rec.stopDownload(5,1,false)", "rec.startDownload(7)",
                     "rec.deleteDownloadFile(2)", "rec.destoryDownloadObj(2)", "rec.stopDownload(4,2,true)",
                     "rec.deleteDownloadFile(4)", "rec.destoryDownloadObj(4)"}));
    QCOMPARE(lastCount(spyCount), 4);
}

void tst_RecordTaskRemoval::iconDeleteFindsClickedTaskAfterQuestion()
{
    // The icon of task 3 is clicked; while asked, tasks 1 and 2 above it finish and its row
    // moves up twice. Task 3 goes, not the task now where its row was.
    addRecordTasks({"d", "d", "d", "d", "d"});
    ModalAnswerer::answerNext(kOk, [] {
        emit engine().sgnDownloadStateNotify(1, true, DownloadInfo());
        emit engine().sgnDownloadStateNotify(2, true, DownloadInfo());
    });
    ScriptedEngine::clearCalls();

    probe::clickOperateIcon(*m_pWidget, 3, Role::PixmapRole0);

    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({4, 5}));
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("stopDownload")}),
             QStringList({"stopDownload(1,0,false)", "stopDownload(2,0,false)", "stopDownload(3,2,true)"}));

    // Asked about a task that finishes meanwhile: nothing else goes.
    ModalAnswerer::answerNext(kOk, [] { emit engine().sgnDownloadStateNotify(4, true, DownloadInfo()); });
    ScriptedEngine::clearCalls();
    probe::clickOperateIcon(*m_pWidget, 4, Role::PixmapRole0);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{5});
    QCOMPARE(removalCalls(), QStringList({"rec.stopDownload(4,0,false)", "rec.destoryDownloadObj(4)"}));
}

void tst_RecordTaskRemoval::notificationsDuringEngineCall()
{
    // The engine may report while it answers which tasks it holds: task 1 above finishes while
    // the widget asks about task 3, then task 2 while it asks about task 4. Tasks 3 and 4 go.
    addRecordTasks({"d", "d", "d", "d", "d"});
    probe::setChecked(probe::recordModel(*m_pWidget), 2);
    probe::setChecked(probe::recordModel(*m_pWidget), 3);
    ScriptedEngine::record().onNextCall(QStringLiteral("getCurDownloadIndexs"), [] {
        emit engine().sgnDownloadStateNotify(1, true, DownloadInfo());
        ScriptedEngine::record().onNextCall(QStringLiteral("getCurDownloadIndexs"), [] {
            emit engine().sgnDownloadStateNotify(2, true, DownloadInfo());
        });
    });
    ModalAnswerer::answerNext(kOk);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{5});
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("stopDownload")}),
             QStringList({"stopDownload(1,0,false)", "stopDownload(3,2,true)", "stopDownload(2,0,false)",
                          "stopDownload(4,2,true)"}));
    QCOMPARE(lastCount(spyCount), 1);
}

void tst_RecordTaskRemoval::pictureFinishesWhileAsked()
{
    // Pictures 1 (downloading) and 2 (waiting) are checked. While asked about 1, it finishes
    // and 2 starts: 2 now downloads, so it gets its own question, which is declined.
    addPicTasks(3);
    probe::setChecked(probe::picModel(*m_pWidget), 0);
    probe::setChecked(probe::picModel(*m_pWidget), 1);
    m_pWidget->findChild<QAbstractButton*>(QStringLiteral("btnPictureDownloading"))->click();
    ModalAnswerer::answerNext(kOk, [] { emit picEngine().sgnPicFinishedDowndload(); });
    ModalAnswerer::answerNext(kCancel);
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnPicDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::pressDelete(*m_pWidget);

    QCOMPARE(ModalAnswerer::questions(),
             QStringList({QLatin1String(kPictureQuestion), QLatin1String(kPictureQuestion)}));
    QCOMPARE(spyFinished.count(), 1);
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({2, 3}));
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    QCOMPARE(removalCalls(), QStringList({"pic.removeDownloadPicTask(1,false)", "pic.startDownload(2)"}));
    QCOMPARE(lastCount(spyCount), 2);
}

void tst_RecordTaskRemoval::deviceDeletionWithNotificationsDuringWait()
{
    // Tasks 2 and 3 of device-1 sit between tasks of device-2. While the widget waits after
    // stopping 2, task 1 above finishes: the walk still reaches 3.
    addRecordTasks({"device-2", "device-1", "device-1", "device-2"});
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"), [&] {
        QTimer::singleShot(10, m_pWidget.get(),
                           [] { emit engine().sgnDownloadStateNotify(1, true, DownloadInfo()); });
    });
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    m_pWidget->onDeviceDeleteNotify(QStringLiteral("device-1"), 0);

    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{4});
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("stopDownload")}),
             QStringList({"stopDownload(2,2,true)", "stopDownload(1,0,false)", "stopDownload(3,2,true)"}));
    QCOMPARE(lastCount(spyCount), 1);
}

void tst_RecordTaskRemoval::shutdownWithNotificationsDuringWait()
{
    // Three run, with open-OSD. While shutdown waits after stopping 1, task 2 finishes: it keeps
    // its file (finished, not removed) and nothing is emitted towards a window going away.
    probe::setOpenOSD(true);
    addRecordTasks({"d", "d", "d"});
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"), [] {
        QTimer::singleShot(10, [] { emit engine().sgnDownloadStateNotify(2, true, DownloadInfo()); });
    });
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    m_pWidget.reset();

    QCOMPARE(removalCalls(),
             QStringList(
                 {"rec.stopDownload(1,2,true)", "rec.stopDownload(2,0,false)", "rec.destoryDownloadObj(2)",
                  "rec.deleteDownloadFile(1)", "rec.destoryDownloadObj(1)", "rec.stopDownload(3,2,true)",
                  "rec.deleteDownloadFile(3)", "rec.destoryDownloadObj(3)", "pic.clearAllPicDownloadObj()"}));
    QCOMPARE(spyFinished.count(), 0);
    QCOMPARE(spyCount.count(), 0);
    QVERIFY(ScriptedEngine::heldRecordTasks().isEmpty());
}

void tst_RecordTaskRemoval::widgetDestroyedDuringDeleteWait()
{
    // The window goes (log-out) while the widget waits after stopping task 1: task 1 is still
    // disposed of with its file, and the rest is left to the shutdown.
    addRecordTasks({"d", "d", "d"});
    probe::setChecked(probe::recordModel(*m_pWidget), 0);
    probe::setChecked(probe::recordModel(*m_pWidget), 1);
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"),
                                        [&] { QTimer::singleShot(10, [&] { m_pWidget.reset(); }); });
    ModalAnswerer::answerNext(kOk);
    ScriptedEngine::clearCalls();

    QDownloadingWidget* pWidget = m_pWidget.get();
    pWidget->onDelete();

    QVERIFY(!m_pWidget);
    QCOMPARE(removalCalls(), QStringList({"rec.stopDownload(1,2,true)", "rec.stopDownload(2,2,true)",
                                          "rec.destoryDownloadObj(2)", "rec.stopDownload(3,2,true)",
                                          "rec.destoryDownloadObj(3)", "pic.clearAllPicDownloadObj()",
                                          "rec.deleteDownloadFile(1)", "rec.destoryDownloadObj(1)"}));
    QVERIFY(ScriptedEngine::heldRecordTasks().isEmpty());
}

QTEST_MAIN(tst_RecordTaskRemoval)
#include "tst_RecordTaskRemoval.moc"
