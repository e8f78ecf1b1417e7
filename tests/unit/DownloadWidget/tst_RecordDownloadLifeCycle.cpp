#include <QtTest>

#include <QApplication>
#include <QTimer>

#include <downloadengine/CRecordDownloadManager.h>
#include <orbgui/OrbMessageBox.h>

#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "DownloadingWidgetProbe.h"
#include "LogCapture.h"
#include "ModalAnswerer.h"
#include "ScriptedEngine.h"

namespace {

using Role = ORBGUI::struTreeViewData;
using Column = QDownloadingWidget::RecordColumn;

CRecordDownloadManager& engine()
{
    return CRecordDownloadManager::getInstance();
}

// The engine calls that move a task through its life.
const QSet<QString> kLifeCalls = {QStringLiteral("isLeftDiskFreeSpaceEnough"),
                                  QStringLiteral("addDownloadTask"),
                                  QStringLiteral("prepareDownloadInfo"),
                                  QStringLiteral("canStillDownload"),
                                  QStringLiteral("startDownload"),
                                  QStringLiteral("stopDownload"),
                                  QStringLiteral("deleteDownloadFile"),
                                  QStringLiteral("destoryDownloadObj"),
                                  QStringLiteral("setDownloadSpeed")};

QStringList lifeCalls()
{
    return ScriptedEngine::record().calls(kLifeCalls);
}

QStringList startCalls()
{
    return ScriptedEngine::record().calls({QStringLiteral("startDownload")});
}

}  // namespace

class tst_RecordDownloadLifeCycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Adding
    void addingRegistersThenShowsTheEngineRecord();
    void newRowCells();
    void sizeText_data();
    void sizeText();
    void speedIconOffered_data();
    void speedIconOffered();
    void diskSpaceCheck_data();
    void diskSpaceCheck();
    void refusedTaskConsumesNoIndex();

    // Queue
    void sixTasksThroughFiveSlots();
    void noFreeSlotLeavesRowWaitingAndTriesNext();
    void refusedStartFailsRowAndTriesNext_data();
    void refusedStartFailsRowAndTriesNext();

    // End of a task
    void successHandsOnTheEngineRecord();
    void successForUnknownTaskStillStepsQueue();
    void failureOffersContinue();
    void failureForUnknownTaskStillStopsAndSteps();
    void continueWaitsForFirstFreeSlot();
    void staleContinueClickIgnored();

    // Speed and decoding
    void speedCycle_data();
    void speedCycle();
    void speedRefusedKeepsIcon();
    void decoding();
    void decodingForUnknownTask();

    // Re-entry
    void notificationsDuringStopWait();
    void notificationsDuringStartCall();

private:
    // Adds nCount tasks named "task 1" and so on.
    void addTasks(int nCount);

    std::unique_ptr<QDownloadingWidget> m_pWidget;
};

void tst_RecordDownloadLifeCycle::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    m_pWidget = std::make_unique<QDownloadingWidget>();
    ScriptedEngine::clearCalls();
}

void tst_RecordDownloadLifeCycle::cleanup()
{
    m_pWidget.reset();
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
}

void tst_RecordDownloadLifeCycle::addTasks(int nCount)
{
    const int nFirst = probe::recordModel(*m_pWidget)->rowCount() + 1;
    for (int i = 0; i < nCount; ++i) {
        m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("task %1").arg(nFirst + i)));
    }
}

void tst_RecordDownloadLifeCycle::addingRegistersThenShowsTheEngineRecord()
{
    // The engine completes the record it was given; the row must show the completed one.
    ScriptedEngine::setPrepareTransform([](int nIndex, DownloadInfo& info) {
        info.strFileName = QStringLiteral("prepared-%1.mp4").arg(nIndex);
        info.stRecordFile.nFileSize = 2048;
    });
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);

    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("as handed in"), 0, 0, 0));

    QCOMPARE(
        ScriptedEngine::record().calls(),
        QStringList({"isLeftDiskFreeSpaceEnough()", "addDownloadTask(1)", "prepareDownloadInfo(1)",
                     "getDownloadInfo(1)", "canStillDownload()", "startDownload(1)", "getDownloadInfo(1)"}));
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{1});
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnFileName).toString(),
             QStringLiteral("prepared-1.mp4"));
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnFileSize).toString(),
             QStringLiteral("2.0KB"));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 1);
    // Started at once: a slot was free.
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Downloading"));
}

void tst_RecordDownloadLifeCycle::newRowCells()
{
    // No slot free, so the row stays as built.
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    DownloadInfo task = probe::recordTask(QStringLiteral("front door.mp4"), 0, 0, 1536);
    task.stRecordFile.strBeginTime = u8"2024-03-01 08:00:00 \u00e9t\u00e9";
    m_pWidget->onAddDownloadTask(task);
    QCOMPARE(ScriptedEngine::record().callCount(QStringLiteral("startDownload")), 0);

    const QDownloadingWidget& widget = *m_pWidget;
    const auto cell = [&](int nColumn) { return probe::recordCell(widget, 1, nColumn); };

    QCOMPARE(cell(0).data().toString(), QString(""));
    QCOMPARE(cell(0).data(Qt::UserRole).toInt(), 1);
    QCOMPARE(cell(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(cell(0).flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(cell(1).data().toString(), QStringLiteral("front door.mp4"));
    QCOMPARE(cell(2).data().toString(), QStringLiteral("Channel of front door.mp4"));
    QCOMPARE(cell(3).data().toString(), QStringLiteral("Shop of front door.mp4"));
    QCOMPARE(cell(4).data().toString(), QString::fromUtf8(u8"2024-03-01 08:00:00 \u00e9t\u00e9"));
    QCOMPARE(cell(5).data().toString(), QStringLiteral("2024-03-01 09:00:00"));
    QCOMPARE(cell(6).data().toString(), QStringLiteral("1.5KB"));
    QCOMPARE(cell(6).data(Qt::UserRole).toLongLong(), 1536);
    for (int nColumn = 0; nColumn <= 9; ++nColumn) {
        QCOMPARE(cell(nColumn).data(Qt::TextAlignmentRole).toInt(), 132);
    }

    QCOMPARE(cell(7).data().toString(), QString(""));
    QCOMPARE(cell(7).data(CDownloadCenterTableDelegate::ProgressBarRole).toBool(), true);
    QCOMPARE(cell(7).data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), 0);
    QCOMPARE(cell(7).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(cell(8).data().toString(), QStringLiteral("--"));

    QCOMPARE(cell(9).data().toString(), QStringLiteral("Waiting"));
    QCOMPARE(cell(9).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(cell(9).data(Role::PixmapAlignmentRole).toInt(), 129);
    const ORBGUI::ItemPixmapValue waiting = probe::icon(cell(9), Role::PixmapRole0);
    QCOMPARE(waiting.value(0).toString(), probe::skinImage(QStringLiteral("down-waiting.svg")));
    QCOMPARE(waiting.value(4).toSize(), QSize(20, 20));
    QCOMPARE(waiting.size(), 2);

    QVERIFY(!cell(10).data().isValid());
    QVERIFY(!cell(10).data(Qt::TextAlignmentRole).isValid());
    QCOMPARE(cell(10).data(Role::PixmapToolTipRole0).toString(), QStringLiteral("delete"));
    QCOMPARE(cell(10).data(Role::PixmapAlignmentRole).toInt(), 132);
    const ORBGUI::ItemPixmapValue remove = probe::icon(cell(10), Role::PixmapRole0);
    QCOMPARE(remove.value(0).toString(), probe::skinImage(QStringLiteral("delete-n.svg")));
    QCOMPARE(remove.value(1).toString(), probe::skinImage(QStringLiteral("delete-h.svg")));
    QCOMPARE(remove.value(2).toString(), probe::skinImage(QStringLiteral("delete-h.svg")));
    QCOMPARE(remove.value(3).toString(), probe::skinImage(QStringLiteral("delete-n.svg")));
    QCOMPARE(remove.value(4).toSize(), QSize(20, 20));
    QVERIFY(!cell(10).data(Role::PixmapRole1).isValid());
    // Speed offered from the start, at 1x.
    const ORBGUI::ItemPixmapValue speed = probe::icon(cell(10), Role::PixmapRole2);
    QCOMPARE(speed.value(0).toString(), probe::skinImage(QStringLiteral("1x_normal.svg")));
    QCOMPARE(speed.value(1).toString(), probe::skinImage(QStringLiteral("1x_hover.svg")));
    QCOMPARE(speed.value(2).toString(), probe::skinImage(QStringLiteral("1x_press.svg")));
    QCOMPARE(speed.value(3).toString(), probe::skinImage(QStringLiteral("1x_disable.svg")));
    QCOMPARE(speed.value(4).toSize(), QSize(24, 16));
    QCOMPARE(cell(10).data(Role::PixmapToolTipRole2).toString(), QStringLiteral("Speed-download"));
    QCOMPARE(cell(10).data(Qt::UserRole).toInt(), 1);
}

void tst_RecordDownloadLifeCycle::sizeText_data()
{
    QTest::addColumn<int>("nSourceKind");
    QTest::addColumn<int>("nDownloadMode");
    QTest::addColumn<qint64>("nFileSize");
    QTest::addColumn<QString>("strText");

    QTest::newRow("bytes") << 0 << 0 << qint64(1000) << "1000B";
    QTest::newRow("KB") << 0 << 0 << qint64(1536) << "1.5KB";
    QTest::newRow("MB") << 22 << 0 << qint64(5 * 1048576 + 104858) << "5.1MB";
    QTest::newRow("GB") << 0 << 0 << qint64(1073741824) << "1.000GB";
    QTest::newRow("no size") << 0 << 0 << qint64(0) << "unkown size";
    QTest::newRow("kind 23 mode 2") << 23 << 2 << qint64(1073741824) << "unkown size";
    QTest::newRow("kind 23 mode 0") << 23 << 0 << qint64(1536) << "unkown size";
    QTest::newRow("kind 2 mode 0") << 2 << 0 << qint64(1536) << "unkown size";
    QTest::newRow("kind 2 mode 2") << 2 << 2 << qint64(1536) << "1.5KB";
    QTest::newRow("kind 23 mode 1") << 23 << 1 << qint64(1536) << "1.5KB";
}

void tst_RecordDownloadLifeCycle::sizeText()
{
    QFETCH(int, nSourceKind);
    QFETCH(int, nDownloadMode);
    QFETCH(qint64, nFileSize);
    QFETCH(QString, strText);

    m_pWidget->onAddDownloadTask(
        probe::recordTask(QStringLiteral("a"), nSourceKind, nDownloadMode, nFileSize));
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnFileSize).toString(), strText);
    // The byte count is kept whatever is shown.
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnFileSize, Qt::UserRole).toLongLong(),
             nFileSize);
}

void tst_RecordDownloadLifeCycle::speedIconOffered_data()
{
    QTest::addColumn<int>("nSourceKind");
    QTest::addColumn<int>("nDownloadMode");
    QTest::addColumn<bool>("bOffered");

    QTest::newRow("kind 0 mode 0") << 0 << 0 << true;
    QTest::newRow("kind 22 mode 0") << 22 << 0 << true;
    QTest::newRow("kind 2 mode 0") << 2 << 0 << false;
    QTest::newRow("kind 23 mode 0") << 23 << 0 << false;
    QTest::newRow("kind 0 mode 2") << 0 << 2 << false;
    QTest::newRow("kind 22 mode 1") << 22 << 1 << false;
}

void tst_RecordDownloadLifeCycle::speedIconOffered()
{
    QFETCH(int, nSourceKind);
    QFETCH(int, nDownloadMode);
    QFETCH(bool, bOffered);

    // Waiting first: the icon is there from the row's creation, not only from its start.
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a"), nSourceKind, nDownloadMode));
    QCOMPARE(!probe::speedIcon(*m_pWidget, 1).isEmpty(), bOffered);

    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), QVariant());
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("b"), nSourceKind, nDownloadMode));
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
    QCOMPARE(!probe::speedIcon(*m_pWidget, 1).isEmpty(), bOffered);
}

void tst_RecordDownloadLifeCycle::diskSpaceCheck_data()
{
    QTest::addColumn<int>("nSourceKind");
    QTest::addColumn<bool>("bEnough");
    QTest::addColumn<bool>("bAsked");
    QTest::addColumn<bool>("bAdded");

    QTest::newRow("enough") << 0 << true << true << true;
    QTest::newRow("not enough") << 0 << false << true << false;
    QTest::newRow("kind 22 not enough") << 22 << false << true << false;
    QTest::newRow("kind 2 never asked") << 2 << false << false << true;
    QTest::newRow("kind 23 never asked") << 23 << false << false << true;
}

void tst_RecordDownloadLifeCycle::diskSpaceCheck()
{
    QFETCH(int, nSourceKind);
    QFETCH(bool, bEnough);
    QFETCH(bool, bAsked);
    QFETCH(bool, bAdded);

    ScriptedEngine::record().setAnswer(QStringLiteral("isLeftDiskFreeSpaceEnough"), bEnough);
    QString strTitle;
    const bool bBox = bAsked && !bEnough;
    if (bBox) {
        // Either answer ends the same way; the user confirms here.
        ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [&strTitle] {
            if (QWidget* pBox = QApplication::activeModalWidget()) {
                strTitle = pBox->windowTitle();
            }
        });
    }
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a"), nSourceKind, 0));

    QCOMPARE(ScriptedEngine::record().callCount(QStringLiteral("isLeftDiskFreeSpaceEnough")), bAsked ? 1 : 0);
    QCOMPARE(ScriptedEngine::record().callCount(QStringLiteral("addDownloadTask")), bAdded ? 1 : 0);
    QCOMPARE(probe::recordModel(*m_pWidget)->rowCount(), bAdded ? 1 : 0);
    QCOMPARE(spyCount.count(), bAdded ? 1 : 0);
    if (bBox) {
        QCOMPARE(ModalAnswerer::questions(),
                 QStringList{QStringLiteral("the disk free space is not enough,please cheak for it")});
        QCOMPARE(strTitle, QStringLiteral("Notice"));
        QCOMPARE(ScriptedEngine::record().calls(),
                 QStringList{QStringLiteral("isLeftDiskFreeSpaceEnough()")});
    } else {
        QVERIFY(ModalAnswerer::questions().isEmpty());
    }
}

void tst_RecordDownloadLifeCycle::refusedTaskConsumesNoIndex()
{
    addTasks(1);
    ScriptedEngine::record().queueAnswers(QStringLiteral("isLeftDiskFreeSpaceEnough"), {false});
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Cancel);
    addTasks(1);
    addTasks(2);
    QCOMPARE(ModalAnswerer::pending(), 0);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 2, 3}));
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("addDownloadTask")}),
             QStringList({"addDownloadTask(1)", "addDownloadTask(2)", "addDownloadTask(3)"}));
}

void tst_RecordDownloadLifeCycle::sixTasksThroughFiveSlots()
{
    for (int i = 1; i <= 6; ++i) {
        ScriptedEngine::clearCalls();
        addTasks(1);
        if (i <= 5) {
            // Each of the first five starts as it comes, and only it.
            QCOMPARE(startCalls(), QStringList{QStringLiteral("startDownload(%1)").arg(i)});
            QCOMPARE(probe::state(*m_pWidget, i), 1);
        } else {
            QVERIFY(startCalls().isEmpty());
        }
    }
    QCOMPARE(probe::state(*m_pWidget, 6), 0);
    QCOMPARE(probe::statusText(*m_pWidget, 6), QStringLiteral("Waiting"));
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({1, 2, 3, 4, 5}));

    // One ends: exactly one step of the queue starts the sixth.
    ScriptedEngine::clearCalls();
    emit engine().sgnDownloadStateNotify(3, true, ScriptedEngine::heldRecordInfo(3));
    QCOMPARE(lifeCalls(),
             QStringList({"stopDownload(3,0,false)", "destoryDownloadObj(3)", "startDownload(6)"}));
    QCOMPARE(probe::state(*m_pWidget, 6), 1);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({1, 2, 4, 5, 6}));
}

void tst_RecordDownloadLifeCycle::noFreeSlotLeavesRowWaitingAndTriesNext()
{
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addTasks(3);
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), QVariant());
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, -2);
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 2, -2);
    ScriptedEngine::clearCalls();

    addTasks(1);
    QCOMPARE(startCalls(), QStringList({"startDownload(1)", "startDownload(2)", "startDownload(3)"}));
    QCOMPARE(probe::state(*m_pWidget, 1), 0);
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Waiting"));
    QCOMPARE(probe::statusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-waiting.svg")));
    QCOMPARE(probe::state(*m_pWidget, 2), 0);
    QCOMPARE(probe::state(*m_pWidget, 3), 1);
    QCOMPARE(probe::state(*m_pWidget, 4), 0);
}

void tst_RecordDownloadLifeCycle::refusedStartFailsRowAndTriesNext_data()
{
    QTest::addColumn<int>("nCode");
    QTest::newRow("5") << 5;
    QTest::newRow("-1") << -1;
    QTest::newRow("1") << 1;
    QTest::newRow("-3") << -3;
}

void tst_RecordDownloadLifeCycle::refusedStartFailsRowAndTriesNext()
{
    QFETCH(int, nCode);

    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addTasks(2);
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), QVariant());
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, nCode);
    ScriptedEngine::clearCalls();
    LogCapture log;

    addTasks(1);
    // Failed and passed in the same call; the second row is the one started.
    QCOMPARE(lifeCalls(),
             QStringList({"isLeftDiskFreeSpaceEnough()", "addDownloadTask(3)", "prepareDownloadInfo(3)",
                          "canStillDownload()", "startDownload(1)", "startDownload(2)"}));
    QCOMPARE(probe::state(*m_pWidget, 1), 2);
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Failed"));
    QCOMPARE(probe::statusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-failed.png")));
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("--"));
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnPercent, Qt::UserRole).toInt(), 2);
    // No continue for a refused start, and the engine is not told.
    QVERIFY(!probe::recordData(*m_pWidget, 1, Column::RecordColumnOperate, Role::PixmapRole1).isValid());
    QCOMPARE(ScriptedEngine::record().callCount(QStringLiteral("stopDownload")), 0);
    QCOMPARE(probe::state(*m_pWidget, 2), 1);
    QCOMPARE(probe::state(*m_pWidget, 3), 0);

    const QList<ncl::NLogRecord> listRecords = log.records();
    const auto itRecord =
        std::find_if(listRecords.cbegin(), listRecords.cend(), [&](const ncl::NLogRecord& record) {
            return record.strMessage == QStringLiteral("here get ret [%1]").arg(nCode);
        });
    QVERIFY(itRecord != listRecords.cend());
    QCOMPARE(itRecord->nLevel, 4);
    QCOMPARE(itRecord->strFunction, QStringLiteral("QDownloadingWidget::startDownload"));
    QCOMPARE(itRecord->strFile, QStringLiteral("DownloadWidget\\DownloadingWidget"));

    // Met again on a later walk, the failed row keeps "--" as its speed.
    probe::recordModel(*m_pWidget)
        ->setData(probe::recordCell(*m_pWidget, 1, Column::RecordColumnSpeed), QStringLiteral("stale"));
    ScriptedEngine::clearCalls();
    emit engine().sgnDownloadStateNotify(2, true, DownloadInfo());
    QCOMPARE(startCalls(), QStringList({"startDownload(3)"}));
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("--"));
    QCOMPARE(probe::state(*m_pWidget, 1), 2);
}

void tst_RecordDownloadLifeCycle::successHandsOnTheEngineRecord()
{
    addTasks(2);
    DownloadInfo finished = probe::recordTask(QStringLiteral("finished by the engine.mp4"));
    finished.stRecordFile.strChecksum = "abc123";
    finished.nStartDownloadTime = 1700000000;

    // When the finished list hears of the task, its row is still here.
    QList<int> listTasksAtSignal;
    connect(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished, this,
            [&] { listTasksAtSignal = probe::recordTasks(*m_pWidget); });
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    emit engine().sgnDownloadStateNotify(1, true, finished);

    QCOMPARE(spyFinished.count(), 1);
    const DownloadInfo handed = spyFinished.first().at(0).value<DownloadInfo>();
    QCOMPARE(handed.strFileName, finished.strFileName);
    QCOMPARE(handed.stRecordFile.strChecksum, std::string("abc123"));
    QCOMPARE(handed.nStartDownloadTime, 1700000000);
    QCOMPARE(listTasksAtSignal, QList<int>({1, 2}));
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{2});
    QCOMPARE(lifeCalls(), QStringList({"stopDownload(1,0,false)", "destoryDownloadObj(1)"}));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 1);
}

void tst_RecordDownloadLifeCycle::successForUnknownTaskStillStepsQueue()
{
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addTasks(1);
    ScriptedEngine::clearCalls();
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished);

    emit engine().sgnDownloadStateNotify(42, true, probe::recordTask(QStringLiteral("gone")));
    QCOMPARE(spyFinished.count(), 1);
    // Neither stopped nor disposed of here; the waiting row gets the step.
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("startDownload(1)")});
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
}

void tst_RecordDownloadLifeCycle::failureOffersContinue()
{
    addTasks(1);
    ScriptedEngine::setProgress(1, 0.42f, QStringLiteral("1.0MB/s"));
    m_pWidget->onTimeOut();
    ScriptedEngine::clearCalls();

    emit engine().sgnDownloadStateNotify(1, false, DownloadInfo());

    QCOMPARE(probe::state(*m_pWidget, 1), 2);
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Failed"));
    QCOMPARE(probe::statusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-failed.svg")));
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("--"));
    const QModelIndex percent = probe::recordCell(*m_pWidget, 1, Column::RecordColumnPercent);
    QCOMPARE(percent.data(Qt::UserRole).toInt(), 2);
    // The bar keeps its percent, painted grey.
    QCOMPARE(percent.data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), 42);

    const QModelIndex operate = probe::recordCell(*m_pWidget, 1, Column::RecordColumnOperate);
    QCOMPARE(operate.data(Role::PixmapToolTipRole1).toString(), QStringLiteral("Contiue-download"));
    const ORBGUI::ItemPixmapValue cont = probe::icon(operate, Role::PixmapRole1);
    QCOMPARE(cont.value(0).toString(), probe::skinImage(QStringLiteral("down-n.svg")));
    QCOMPARE(cont.value(1).toString(), probe::skinImage(QStringLiteral("down-h.svg")));
    QCOMPARE(cont.value(2).toString(), probe::skinImage(QStringLiteral("down-h.svg")));
    QCOMPARE(cont.value(3).toString(), probe::skinImage(QStringLiteral("down-n.svg")));
    QCOMPARE(cont.value(4).toSize(), QSize(20, 20));
    QVERIFY(probe::speedIcon(*m_pWidget, 1).isEmpty());
    QCOMPARE(operate.data(Qt::UserRole).toInt(), 1);
    QVERIFY(probe::icon(operate, Role::PixmapRole0).contains(0));

    // Stopped and kept, never disposed of; the queue stepped after the wait.
    QCOMPARE(lifeCalls(), QStringList({"stopDownload(1,1,false)"}));
    QCOMPARE(ScriptedEngine::heldRecordTasks(), QList<int>{1});
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);

    // Continue: waiting again with an empty bar, and started with the same index.
    ScriptedEngine::clearCalls();
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole1);
    QCOMPARE(lifeCalls(), QStringList({"canStillDownload()", "startDownload(1)"}));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
    QCOMPARE(percent.data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), 0);
    QCOMPARE(percent.data(Qt::UserRole).toInt(), 1);
    QVERIFY(!operate.data(Role::PixmapRole1).isValid());
    QVERIFY(!operate.data(Role::PixmapToolTipRole1).isValid());
    QCOMPARE(probe::speedIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("1x_normal.svg")));
}

void tst_RecordDownloadLifeCycle::failureForUnknownTaskStillStopsAndSteps()
{
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addTasks(1);
    ScriptedEngine::clearCalls();

    emit engine().sgnDownloadStateNotify(42, false, DownloadInfo());
    QCOMPARE(lifeCalls(), QStringList({"stopDownload(42,1,false)", "startDownload(1)"}));
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
}

void tst_RecordDownloadLifeCycle::continueWaitsForFirstFreeSlot()
{
    addTasks(7);
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({1, 2, 3, 4, 5}));

    // The freed slot goes to the first waiting row.
    ScriptedEngine::clearCalls();
    emit engine().sgnDownloadStateNotify(2, false, DownloadInfo());
    QCOMPARE(startCalls(), QStringList{QStringLiteral("startDownload(6)")});

    // Continued with no slot free: waiting, not started.
    ScriptedEngine::clearCalls();
    probe::clickOperateIcon(*m_pWidget, 2, Role::PixmapRole1);
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("canStillDownload()")});
    QCOMPARE(probe::state(*m_pWidget, 2), 0);
    QCOMPARE(probe::statusText(*m_pWidget, 2), QStringLiteral("Waiting"));
    QCOMPARE(probe::statusIcon(*m_pWidget, 2), probe::skinImage(QStringLiteral("down-waiting.svg")));
    // The speed stays "--" until the timer measures again.
    QCOMPARE(probe::speedText(*m_pWidget, 2), QStringLiteral("--"));

    // Its row is above the seventh task's: it keeps its place in the queue.
    ScriptedEngine::clearCalls();
    emit engine().sgnDownloadStateNotify(4, true, DownloadInfo());
    QCOMPARE(startCalls(), QStringList{QStringLiteral("startDownload(2)")});
    QCOMPARE(probe::state(*m_pWidget, 2), 1);
    QCOMPARE(probe::state(*m_pWidget, 7), 0);
}

void tst_RecordDownloadLifeCycle::staleContinueClickIgnored()
{
    addTasks(1);
    ScriptedEngine::clearCalls();
    // A downloading row has no continue icon: a click reported for it changes nothing.
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole1);
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
    QVERIFY(lifeCalls().isEmpty());

    // Other cells and the delete slot are not this part's business either.
    emit probe::recordView(*m_pWidget)
        ->SignalPixmapClicked(probe::recordCell(*m_pWidget, 1, Column::RecordColumnStatus),
                              Role::PixmapRole2);
    emit probe::recordView(*m_pWidget)->SignalPixmapClicked(QModelIndex(), Role::PixmapRole2);
    QVERIFY(lifeCalls().isEmpty());
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{1});
}

void tst_RecordDownloadLifeCycle::speedCycle_data()
{
    QTest::addColumn<int>("nAccepted");
    QTest::newRow("accepted as 1") << 1;
    QTest::newRow("accepted as 2") << 2;
}

void tst_RecordDownloadLifeCycle::speedCycle()
{
    QFETCH(int, nAccepted);

    addTasks(1);
    ScriptedEngine::record().setAnswer(QStringLiteral("setDownloadSpeed"), nAccepted);
    ScriptedEngine::clearCalls();
    const QModelIndex operate = probe::recordCell(*m_pWidget, 1, Column::RecordColumnOperate);

    const QList<int> listCycle = {2, 4, 1, 2};
    for (int nSpeed : listCycle) {
        probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
        QCOMPARE(operate.data(Qt::UserRole).toInt(), nSpeed);
        QCOMPARE(probe::speedIcon(*m_pWidget, 1),
                 probe::skinImage(QStringLiteral("%1x_normal.svg").arg(nSpeed)));
        const ORBGUI::ItemPixmapValue speed = probe::icon(operate, Role::PixmapRole2);
        QCOMPARE(speed.value(1).toString(), probe::skinImage(QStringLiteral("%1x_hover.svg").arg(nSpeed)));
        QCOMPARE(speed.value(2).toString(), probe::skinImage(QStringLiteral("%1x_press.svg").arg(nSpeed)));
        QCOMPARE(speed.value(3).toString(), probe::skinImage(QStringLiteral("%1x_disable.svg").arg(nSpeed)));
        QCOMPARE(speed.value(4).toSize(), QSize(24, 16));
    }
    QCOMPARE(lifeCalls(), QStringList({"setDownloadSpeed(1,2)", "setDownloadSpeed(1,4)",
                                       "setDownloadSpeed(1,1)", "setDownloadSpeed(1,2)"}));
}

void tst_RecordDownloadLifeCycle::speedRefusedKeepsIcon()
{
    addTasks(1);
    const QModelIndex operate = probe::recordCell(*m_pWidget, 1, Column::RecordColumnOperate);
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
    QCOMPARE(operate.data(Qt::UserRole).toInt(), 2);

    ScriptedEngine::record().queueAnswers(QStringLiteral("setDownloadSpeed"), {0, -1, 1});
    ScriptedEngine::clearCalls();
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
    QCOMPARE(operate.data(Qt::UserRole).toInt(), 2);
    QCOMPARE(probe::speedIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("2x_normal.svg")));
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
    QCOMPARE(operate.data(Qt::UserRole).toInt(), 2);
    // Refused twice, the same step is asked for again.
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
    QCOMPARE(operate.data(Qt::UserRole).toInt(), 4);
    QCOMPARE(probe::speedIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("4x_normal.svg")));
    QCOMPARE(lifeCalls(),
             QStringList({"setDownloadSpeed(1,4)", "setDownloadSpeed(1,4)", "setDownloadSpeed(1,4)"}));

    // No speed icon, no change: a task that does not offer one.
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("kind 2"), 2, 0));
    ScriptedEngine::clearCalls();
    probe::clickOperateIcon(*m_pWidget, 2, Role::PixmapRole2);
    QVERIFY(lifeCalls().isEmpty());
}

void tst_RecordDownloadLifeCycle::decoding()
{
    addTasks(2);
    probe::clickOperateIcon(*m_pWidget, 1, Role::PixmapRole2);
    LogCapture log;
    ScriptedEngine::clearCalls();

    emit engine().sgnBeginDecodeNotify(1);
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Decoding"));
    QCOMPARE(probe::state(*m_pWidget, 1), 1);
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("--"));
    QVERIFY(probe::speedIcon(*m_pWidget, 1).isEmpty());
    QCOMPARE(probe::recordData(*m_pWidget, 1, Column::RecordColumnOperate, Qt::UserRole).toInt(), 1);
    QVERIFY(lifeCalls().isEmpty());
    QCOMPARE(log.messages(), QStringList({"start to onBeginDecodeNotify1", "start to onBeginDecodeNotify2"}));
    QCOMPARE(log.records().first().nLevel, 4);
    QCOMPARE(log.records().first().strFunction, QStringLiteral("QDownloadingWidget::onBeginDecodeNotify"));
    // The other task is untouched.
    QCOMPARE(probe::statusText(*m_pWidget, 2), QStringLiteral("Downloading"));
    QVERIFY(!probe::speedIcon(*m_pWidget, 2).isEmpty());

    // Still downloading for the timer: the engine's speed text replaces "--".
    ScriptedEngine::setProgress(1, 0.9f, QStringLiteral("decoding 3/4"));
    m_pWidget->onTimeOut();
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("decoding 3/4"));
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Decoding"));
}

void tst_RecordDownloadLifeCycle::decodingForUnknownTask()
{
    addTasks(1);
    LogCapture log;
    emit engine().sgnBeginDecodeNotify(9);
    QCOMPARE(log.messages(), QStringList{QStringLiteral("start to onBeginDecodeNotify1")});
    QCOMPARE(probe::statusText(*m_pWidget, 1), QStringLiteral("Downloading"));
}

void tst_RecordDownloadLifeCycle::notificationsDuringStopWait()
{
    addTasks(7);
    QCOMPARE(ScriptedEngine::runningRecordTasks(), QList<int>({1, 2, 3, 4, 5}));

    // Task 3 fails. While the widget waits after stopping it, the task above it finishes (its
    // row moves up), the task below it starts decoding and another one fails.
    DownloadInfo finished = probe::recordTask(QStringLiteral("one, finished"));
    bool bDelivered = false;
    ScriptedEngine::record().onNextCall(QStringLiteral("stopDownload"), [&] {
        QTimer::singleShot(10, m_pWidget.get(), [&] {
            emit engine().sgnDownloadStateNotify(1, true, finished);
            emit engine().sgnBeginDecodeNotify(4);
            bDelivered = true;
        });
    });
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnDownloadFinished);
    ScriptedEngine::clearCalls();

    emit engine().sgnDownloadStateNotify(3, false, DownloadInfo());

    QVERIFY(bDelivered);
    QCOMPARE(spyFinished.count(), 1);
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({2, 3, 4, 5, 6, 7}));
    QCOMPARE(probe::state(*m_pWidget, 3), 2);
    QCOMPARE(probe::statusText(*m_pWidget, 3), QStringLiteral("Failed"));
    QCOMPARE(probe::statusText(*m_pWidget, 4), QStringLiteral("Decoding"));
    QCOMPARE(probe::state(*m_pWidget, 4), 1);
    QCOMPARE(probe::statusText(*m_pWidget, 2), QStringLiteral("Downloading"));
    // Two slots freed, two waiting rows started in order: one by the success, one after the wait.
    QCOMPARE(lifeCalls(), QStringList({"stopDownload(3,1,false)", "stopDownload(1,0,false)",
                                       "destoryDownloadObj(1)", "startDownload(6)", "startDownload(7)"}));
    QCOMPARE(probe::state(*m_pWidget, 6), 1);
    QCOMPARE(probe::state(*m_pWidget, 7), 1);
}

void tst_RecordDownloadLifeCycle::notificationsDuringStartCall()
{
    // The engine may report while a start is being answered: the row written to afterwards is
    // found again by task index, not by the position the walk had reached.
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    addTasks(4);
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, -2);
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 2, 7);
    // At the second start (task 2's), task 1 above it finishes and its row goes.
    ScriptedEngine::record().onNextCall(QStringLiteral("startDownload"), [] {
        ScriptedEngine::record().onNextCall(QStringLiteral("startDownload"), [] {
            emit engine().sgnDownloadStateNotify(1, true, DownloadInfo());
        });
    });
    ScriptedEngine::clearCalls();

    // A success for a task without a row steps the queue.
    emit engine().sgnDownloadStateNotify(99, true, DownloadInfo());

    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>({2, 3, 4}));
    QCOMPARE(probe::state(*m_pWidget, 2), 2);
    QCOMPARE(probe::statusIcon(*m_pWidget, 2), probe::skinImage(QStringLiteral("down-failed.png")));
    QCOMPARE(probe::state(*m_pWidget, 3), 1);
    QCOMPARE(probe::statusText(*m_pWidget, 3), QStringLiteral("Downloading"));
    QCOMPARE(probe::state(*m_pWidget, 4), 1);
    // The step inside the notification, then the rest of the interrupted walk.
    QCOMPARE(startCalls(), QStringList({"startDownload(1)", "startDownload(2)", "startDownload(2)",
                                        "startDownload(3)", "startDownload(4)"}));
}

QTEST_MAIN(tst_RecordDownloadLifeCycle)
#include "tst_RecordDownloadLifeCycle.moc"
