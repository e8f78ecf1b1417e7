#include <QtTest>

#include <QApplication>
#include <QTimer>

#include <downloadengine/CPicDownloadManager.h>
#include <orbgui/OrbMessageBox.h>

#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "DownloadingWidgetProbe.h"
#include "ModalAnswerer.h"
#include "NotificationCapture.h"
#include "ScriptedEngine.h"

namespace {

using Role = ORBGUI::struTreeViewData;
using Column = QDownloadingWidget::PicColumn;

CPicDownloadManager& engine()
{
    return CPicDownloadManager::getInstance();
}

// The picture engine calls that move a task through its life.
const QSet<QString> kLifeCalls = {QStringLiteral("appendPicDownloadInfo"), QStringLiteral("startDownload"),
                                  QStringLiteral("removeDownloadPicTask"), QStringLiteral("adjustFileSize")};

QStringList lifeCalls()
{
    return ScriptedEngine::pic().calls(kLifeCalls);
}

const char* const kDefaultNotice = "you have new picture download task,please check for it!";
const char* const kRunningQuestion = "This file being downloading, are you sure to delete?";

}  // namespace

class tst_PictureDownloads : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Adding
    void addingRegistersShowsAndStarts();
    void newRowCells();
    void notificationText_data();
    void notificationText();
    void indexesNeverReused();
    void addedWhileDownloadingWaits();

    // The queue and the engine's notices
    void roadOfThreeTasks();
    void packageSize_data();
    void packageSize();
    void errorFailsRunningRowAndStartsNext();
    void redownloadWaitsForRunningTask();
    void refusedStartLeavesQueueWaiting();
    void noticesWithoutRunningRow();

    // Delete icon
    void deleteIcon_data();
    void deleteIcon();
    void otherClicksIgnored();

    // Re-entry
    void runningTaskFinishesWhileAsked();
    void runningTaskFailsWhileAsked();

private:
    // Adds nCount picture tasks named "pictures 1" and so on.
    void addTasks(int nCount);

    std::unique_ptr<QDownloadingWidget> m_pWidget;
};

void tst_PictureDownloads::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    m_pWidget = std::make_unique<QDownloadingWidget>();
    ScriptedEngine::clearCalls();
}

void tst_PictureDownloads::cleanup()
{
    m_pWidget.reset();
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
    QCOMPARE(ModalAnswerer::pending(), 0);
}

void tst_PictureDownloads::addTasks(int nCount)
{
    const int nFirst = probe::picModel(*m_pWidget)->rowCount() + 1;
    for (int i = 0; i < nCount; ++i) {
        m_pWidget->onAddPicDownloadTask(probe::picTask(QStringLiteral("pictures %1").arg(nFirst + i)));
    }
}

void tst_PictureDownloads::addingRegistersShowsAndStarts()
{
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    NotificationCapture notices;
    auto* pTimer = m_pWidget->findChild<QTimer*>();
    QVERIFY(!pTimer->isActive());

    addTasks(1);

    QCOMPARE(ScriptedEngine::pic().calls(),
             QStringList({"appendPicDownloadInfo(1)", "isPicDownloadingNow()", "startDownload(1)"}));
    QVERIFY(ScriptedEngine::record().calls({QStringLiteral("startDownload")}).isEmpty());
    QCOMPARE(ScriptedEngine::heldPicInfo(1).strFileName, QStringLiteral("pictures 1"));
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>{1});
    QCOMPARE(probe::picState(*m_pWidget, 1), 1);
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnPercent, Qt::UserRole).toInt(), 1);
    QCOMPARE(probe::picStatusText(*m_pWidget, 1), QStringLiteral("Downloading"));
    QCOMPARE(probe::picStatusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-downloading.svg")));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 1);
    QCOMPARE(notices.texts(), QStringList{QLatin1String(kDefaultNotice)});
    QVERIFY(pTimer->isActive());
    QCOMPARE(pTimer->interval(), 1000);
}

void tst_PictureDownloads::newRowCells()
{
    // Something runs already: the new row stays as built.
    ScriptedEngine::pic().setAnswer(QStringLiteral("isPicDownloadingNow"), true);
    DownloadPicInfo task = probe::picTask(QStringLiteral("gate.zip"));
    task.strBeginTime = QStringLiteral("2024-03-01 08:00:00 \u00e9t\u00e9");
    m_pWidget->onAddPicDownloadTask(task);
    QCOMPARE(ScriptedEngine::pic().callCount(QStringLiteral("startDownload")), 0);

    const QDownloadingWidget& widget = *m_pWidget;
    const auto cell = [&](int nColumn) { return probe::picCell(widget, 1, nColumn); };

    QCOMPARE(cell(0).data().toString(), QString(""));
    QCOMPARE(cell(0).data(Qt::UserRole).toInt(), 1);
    QCOMPARE(cell(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(cell(0).flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(cell(1).data().toString(), QStringLiteral("gate.zip"));
    QCOMPARE(cell(2).data().toString(), QStringLiteral("2024-03-01 08:00:00 \u00e9t\u00e9"));
    QCOMPARE(cell(3).data().toString(), QStringLiteral("2024-03-01 09:00:00"));
    QCOMPARE(cell(4).data().toString(), QStringLiteral("--"));
    for (int nColumn = 0; nColumn <= 7; ++nColumn) {
        QCOMPARE(cell(nColumn).data(Qt::TextAlignmentRole).toInt(), 132);
    }
    QCOMPARE(cell(5).data().toString(), QString(""));
    QCOMPARE(cell(5).data(CDownloadCenterTableDelegate::ProgressBarRole).toBool(), true);
    QCOMPARE(cell(5).data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), 0);
    QCOMPARE(cell(5).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(cell(6).data().toString(), QStringLiteral("--"));

    QCOMPARE(cell(7).data().toString(), QStringLiteral("Waiting"));
    QCOMPARE(cell(7).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(cell(7).data(Role::PixmapAlignmentRole).toInt(), 129);
    const ORBGUI::ItemPixmapValue waiting = probe::icon(cell(7), Role::PixmapRole0);
    QCOMPARE(waiting.value(0).toString(), probe::skinImage(QStringLiteral("down-waiting.svg")));
    QCOMPARE(waiting.value(4).toSize(), QSize(20, 20));
    QCOMPARE(waiting.size(), 2);

    QVERIFY(!cell(8).data().isValid());
    QVERIFY(!cell(8).data(Qt::TextAlignmentRole).isValid());
    QCOMPARE(cell(8).data(Role::PixmapToolTipRole0).toString(), QStringLiteral("delete"));
    QCOMPARE(cell(8).data(Role::PixmapAlignmentRole).toInt(), 132);
    const ORBGUI::ItemPixmapValue remove = probe::icon(cell(8), Role::PixmapRole0);
    QCOMPARE(remove.value(0).toString(), probe::skinImage(QStringLiteral("delete-n.svg")));
    QCOMPARE(remove.value(1).toString(), probe::skinImage(QStringLiteral("delete-h.svg")));
    QCOMPARE(remove.value(2).toString(), probe::skinImage(QStringLiteral("delete-h.svg")));
    QCOMPARE(remove.value(3).toString(), probe::skinImage(QStringLiteral("delete-n.svg")));
    QCOMPARE(remove.value(4).toSize(), QSize(20, 20));
    QVERIFY(!cell(8).data(Role::PixmapRole1).isValid());
    QVERIFY(!cell(8).data(Role::PixmapRole2).isValid());
}

void tst_PictureDownloads::notificationText_data()
{
    QTest::addColumn<QString>("strNotifyText");
    QTest::addColumn<QString>("strShown");

    QTest::newRow("empty: default") << QString() << QString::fromLatin1(kDefaultNotice);
    QTest::newRow("own text") << QStringLiteral("12 pictures of the gate are coming")
                              << QStringLiteral("12 pictures of the gate are coming");
    QTest::newRow("format characters")
        << QStringLiteral("50% done %1 %s") << QStringLiteral("50% done %1 %s");
}

void tst_PictureDownloads::notificationText()
{
    QFETCH(QString, strNotifyText);
    QFETCH(QString, strShown);

    NotificationCapture notices;
    m_pWidget->onAddPicDownloadTask(probe::picTask(QStringLiteral("a"), strNotifyText));
    QCOMPARE(notices.texts(), QStringList{strShown});
}

void tst_PictureDownloads::indexesNeverReused()
{
    addTasks(2);
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({1, 2}));
    emit engine().sgnPicFinishedDowndload();
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>{2});
    addTasks(1);
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({2, 3}));
    // Record tasks count on their own.
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("r")));
    QCOMPARE(probe::recordTasks(*m_pWidget), QList<int>{1});
    QCOMPARE(
        ScriptedEngine::pic().calls({QStringLiteral("appendPicDownloadInfo")}),
        QStringList({"appendPicDownloadInfo(1)", "appendPicDownloadInfo(2)", "appendPicDownloadInfo(3)"}));
}

void tst_PictureDownloads::addedWhileDownloadingWaits()
{
    addTasks(1);
    ScriptedEngine::clearCalls();
    addTasks(1);
    // The engine is busy: asked, and nothing started.
    QCOMPARE(ScriptedEngine::pic().calls(),
             QStringList({"appendPicDownloadInfo(2)", "isPicDownloadingNow()"}));
    QCOMPARE(probe::picState(*m_pWidget, 2), 0);
}

void tst_PictureDownloads::roadOfThreeTasks()
{
    addTasks(3);
    QCOMPARE(probe::picState(*m_pWidget, 1), 1);
    QCOMPARE(probe::picState(*m_pWidget, 2), 0);
    QCOMPARE(probe::picState(*m_pWidget, 3), 0);
    QCOMPARE(ScriptedEngine::runningPicTask(), 1);

    // Progress as it comes, not clamped; only the running row moves.
    emit engine().sgnPicDownloadProgress(42);
    QCOMPARE(probe::picPercent(*m_pWidget, 1), 42);
    QCOMPARE(probe::picPercent(*m_pWidget, 2), 0);
    emit engine().sgnPicDownloadProgress(150);
    QCOMPARE(probe::picPercent(*m_pWidget, 1), 150);

    ScriptedEngine::clearCalls();
    emit engine().sgnPicGetDownloadZipInfo(1536);
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnFileSize).toString(), QStringLiteral("1.5KB"));
    QCOMPARE(probe::picData(*m_pWidget, 2, Column::PicColumnFileSize).toString(), QStringLiteral("--"));
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("adjustFileSize(1,1536)")});

    // The finished list hears first, with the engine's own copy (it has the size since).
    QList<int> listTasksAtSignal;
    connect(m_pWidget.get(), &QDownloadingWidget::sgnPicDownloadFinished, this,
            [&] { listTasksAtSignal = probe::picTasks(*m_pWidget); });
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnPicDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    emit engine().sgnPicFinishedDowndload();

    QCOMPARE(spyFinished.count(), 1);
    const DownloadPicInfo handed = spyFinished.first().at(0).value<DownloadPicInfo>();
    QCOMPARE(handed.strFileName, QStringLiteral("pictures 1"));
    QCOMPARE(handed.nFileSize, qint64(1536));
    QCOMPARE(listTasksAtSignal, QList<int>({1, 2, 3}));
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({2, 3}));
    QCOMPARE(ScriptedEngine::pic().calls(),
             QStringList({"getDownloadPicInfo(1)", "removeDownloadPicTask(1,false)", "startDownload(2)"}));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 2);
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    QCOMPARE(probe::picState(*m_pWidget, 3), 0);

    // The timer writes the running row's speed.
    ScriptedEngine::setSecondDownloadSize(2048);
    m_pWidget->onTimeOut();
    QCOMPARE(probe::picData(*m_pWidget, 2, Column::PicColumnSpeed).toString(), QStringLiteral("2.0KB/s"));

    emit engine().sgnPicFinishedDowndload();
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>{3});
    QCOMPARE(probe::picState(*m_pWidget, 3), 1);
    emit engine().sgnPicFinishedDowndload();
    QVERIFY(probe::picTasks(*m_pWidget).isEmpty());
    QCOMPARE(spyFinished.count(), 3);
    QCOMPARE(spyFinished.at(2).at(0).value<DownloadPicInfo>().strFileName, QStringLiteral("pictures 3"));
    QCOMPARE(spyCount.last().at(0).toInt(), 0);
    QVERIFY(ScriptedEngine::heldPicTasks().isEmpty());
}

void tst_PictureDownloads::packageSize_data()
{
    QTest::addColumn<int>("nSize");
    QTest::addColumn<QString>("strText");

    QTest::newRow("0") << 0 << "0B";
    QTest::newRow("1023") << 1023 << "1023B";
    QTest::newRow("1024") << 1024 << "1.0KB";
    QTest::newRow("1536") << 1536 << "1.5KB";
    QTest::newRow("1048575") << 1048575 << "1024.0KB";
    QTest::newRow("1048576") << 1048576 << "1.0MB";
    QTest::newRow("1073741823") << 1073741823 << "1024.0MB";
    QTest::newRow("1073741824") << 1073741824 << "1.000GB";
    QTest::newRow("int max") << 2147483647 << "2.000GB";
}

void tst_PictureDownloads::packageSize()
{
    QFETCH(int, nSize);
    QFETCH(QString, strText);

    addTasks(1);
    ScriptedEngine::clearCalls();
    emit engine().sgnPicGetDownloadZipInfo(nSize);
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnFileSize).toString(), strText);
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("adjustFileSize(1,%1)").arg(nSize)});
}

void tst_PictureDownloads::errorFailsRunningRowAndStartsNext()
{
    addTasks(2);
    emit engine().sgnPicDownloadProgress(37);
    ScriptedEngine::setSecondDownloadSize(500);
    m_pWidget->onTimeOut();
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnSpeed).toString(), QStringLiteral("500B/s"));
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    emit engine().sgnPicDownloadError(QStringLiteral("package corrupt"));

    QCOMPARE(probe::picState(*m_pWidget, 1), 2);
    QCOMPARE(probe::picStatusText(*m_pWidget, 1), QStringLiteral("Failed"));
    QCOMPARE(probe::picStatusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-failed.svg")));
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnSpeed).toString(), QStringLiteral("--"));
    // Grey bar at the last percent.
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnPercent, Qt::UserRole).toInt(), 2);
    QCOMPARE(probe::picPercent(*m_pWidget, 1), 37);
    const QModelIndex operate = probe::picCell(*m_pWidget, 1, Column::PicColumnOperate);
    QCOMPARE(operate.data(Role::PixmapToolTipRole1).toString(), QStringLiteral("Re-download"));
    const ORBGUI::ItemPixmapValue again = probe::icon(operate, Role::PixmapRole1);
    QCOMPARE(again.value(0).toString(), probe::skinImage(QStringLiteral("down-n.svg")));
    QCOMPARE(again.value(1).toString(), probe::skinImage(QStringLiteral("down-h.svg")));
    QCOMPARE(again.value(2).toString(), probe::skinImage(QStringLiteral("down-h.svg")));
    QCOMPARE(again.value(3).toString(), probe::skinImage(QStringLiteral("down-n.svg")));
    QCOMPARE(again.value(4).toSize(), QSize(20, 20));
    // The error text is not shown anywhere in the row.
    for (int nColumn = 0; nColumn < Column::PicColumnCount; ++nColumn) {
        QVERIFY(!probe::picData(*m_pWidget, 1, nColumn).toString().contains(QLatin1String("corrupt")));
    }

    // Kept by the engine for a re-download; the next one starts; the count did not change.
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("startDownload(2)")});
    QCOMPARE(ScriptedEngine::heldPicTasks(), QList<int>({1, 2}));
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    QCOMPARE(spyCount.count(), 0);
}

void tst_PictureDownloads::redownloadWaitsForRunningTask()
{
    addTasks(3);
    emit engine().sgnPicDownloadProgress(60);
    emit engine().sgnPicDownloadError(QString());
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    // Task 1, near the top, again; task 2 runs below it.
    probe::clickPicOperateIcon(*m_pWidget, 1, Role::PixmapRole1);

    QCOMPARE(probe::picState(*m_pWidget, 1), 0);
    QCOMPARE(probe::picStatusText(*m_pWidget, 1), QStringLiteral("Waiting"));
    QCOMPARE(probe::picStatusIcon(*m_pWidget, 1), probe::skinImage(QStringLiteral("down-waiting.svg")));
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnPercent, Qt::UserRole).toInt(), 0);
    QCOMPARE(probe::picPercent(*m_pWidget, 1), 0);
    const QModelIndex operate = probe::picCell(*m_pWidget, 1, Column::PicColumnOperate);
    QVERIFY(!operate.data(Role::PixmapRole1).isValid());
    QVERIFY(!operate.data(Role::PixmapToolTipRole1).isValid());
    QVERIFY(operate.data(Role::PixmapRole0).isValid());
    QCOMPARE(ScriptedEngine::pic().calls(), QStringList{QStringLiteral("isPicDownloadingNow()")});
    QCOMPARE(spyCount.count(), 1);

    // A second click finds no icon: nothing happens.
    ScriptedEngine::clearCalls();
    probe::clickPicOperateIcon(*m_pWidget, 1, Role::PixmapRole1);
    QVERIFY(ScriptedEngine::pic().calls().isEmpty());

    // When task 2 ends, the first waiting row from the top is task 1, not task 3.
    emit engine().sgnPicFinishedDowndload();
    QCOMPARE(lifeCalls(), QStringList({"removeDownloadPicTask(2,false)", "startDownload(1)"}));
    QCOMPARE(probe::picState(*m_pWidget, 1), 1);
    QCOMPARE(probe::picState(*m_pWidget, 3), 0);

    // Both fail; with nothing running, a re-download starts at once, the failed row above it
    // staying as it is.
    emit engine().sgnPicDownloadError(QString());
    QCOMPARE(probe::picState(*m_pWidget, 3), 1);
    emit engine().sgnPicDownloadError(QString());
    ScriptedEngine::clearCalls();
    probe::clickPicOperateIcon(*m_pWidget, 3, Role::PixmapRole1);
    QCOMPARE(ScriptedEngine::pic().calls(), QStringList({"isPicDownloadingNow()", "startDownload(3)"}));
    QCOMPARE(probe::picState(*m_pWidget, 3), 1);
    QCOMPARE(probe::picState(*m_pWidget, 1), 2);
}

void tst_PictureDownloads::refusedStartLeavesQueueWaiting()
{
    ScriptedEngine::pic().setAnswer(QStringLiteral("isPicDownloadingNow"), true);
    addTasks(3);
    ScriptedEngine::pic().setAnswer(QStringLiteral("isPicDownloadingNow"), QVariant());
    ScriptedEngine::pic().setAnswer(QStringLiteral("startDownload"), 1, false);
    ScriptedEngine::clearCalls();

    // An error notice with nothing running only steps the queue: one start attempt, refused.
    emit engine().sgnPicDownloadError(QString());
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("startDownload(1)")});
    QCOMPARE(probe::picState(*m_pWidget, 1), 2);
    QCOMPARE(probe::picStatusText(*m_pWidget, 1), QStringLiteral("Failed"));
    QVERIFY(
        probe::icon(probe::picCell(*m_pWidget, 1, Column::PicColumnOperate), Role::PixmapRole1).contains(0));
    QCOMPARE(probe::picState(*m_pWidget, 2), 0);
    QCOMPARE(probe::picState(*m_pWidget, 3), 0);

    // Deleting a row that is not running does not step the queue either.
    ScriptedEngine::clearCalls();
    probe::clickPicOperateIcon(*m_pWidget, 3, Role::PixmapRole0);
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("removeDownloadPicTask(3,false)")});
    QCOMPARE(probe::picState(*m_pWidget, 2), 0);

    // A new task does: the older waiting row goes first.
    ScriptedEngine::clearCalls();
    addTasks(1);
    QCOMPARE(lifeCalls(), QStringList({"appendPicDownloadInfo(4)", "startDownload(2)"}));
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    QCOMPARE(probe::picState(*m_pWidget, 4), 0);
}

void tst_PictureDownloads::noticesWithoutRunningRow()
{
    ScriptedEngine::pic().setAnswer(QStringLiteral("isPicDownloadingNow"), true);
    addTasks(2);
    ScriptedEngine::pic().setAnswer(QStringLiteral("isPicDownloadingNow"), QVariant());
    ScriptedEngine::clearCalls();
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnPicDownloadFinished);

    // Progress and size have no row to go to: dropped.
    emit engine().sgnPicDownloadProgress(50);
    emit engine().sgnPicGetDownloadZipInfo(4096);
    QVERIFY(ScriptedEngine::pic().calls().isEmpty());
    QCOMPARE(probe::picPercent(*m_pWidget, 1), 0);
    QCOMPARE(probe::picData(*m_pWidget, 1, Column::PicColumnFileSize).toString(), QStringLiteral("--"));

    // A finished notice refreshes the counters and steps the queue; nothing is handed on.
    emit engine().sgnPicFinishedDowndload();
    QCOMPARE(spyFinished.count(), 0);
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(lifeCalls(), QStringList{QStringLiteral("startDownload(1)")});
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({1, 2}));
}

void tst_PictureDownloads::deleteIcon_data()
{
    QTest::addColumn<QString>("strRow");  // which row is clicked: "waiting", "failed", "running"
    QTest::addColumn<int>("nAnswer");     // the answer to the question, when there is one
    QTest::addColumn<bool>("bEngineAgrees");
    QTest::addColumn<QList<int>>("listRowsAfter");
    QTest::addColumn<QStringList>("listCalls");
    QTest::addColumn<int>("nCountSignals");

    // Rows: task 1 failed, task 2 running, task 3 waiting.
    const int nOk = ORBGUI::OrbMessageBox::Ok;
    const int nCancel = ORBGUI::OrbMessageBox::Cancel;
    QTest::newRow("waiting: no question")
        << "waiting" << 0 << true << QList<int>({1, 2}) << QStringList{"removeDownloadPicTask(3,false)"} << 1;
    QTest::newRow("failed: no question")
        << "failed" << 0 << true << QList<int>({2, 3}) << QStringList{"removeDownloadPicTask(1,false)"} << 1;
    QTest::newRow("running, confirmed")
        << "running" << nOk << true << QList<int>({1, 3})
        << QStringList({"removeDownloadPicTask(2,true)", "startDownload(3)"}) << 1;
    QTest::newRow("running, engine refuses") << "running" << nOk << false << QList<int>({1, 2, 3})
                                             << QStringList{"removeDownloadPicTask(2,true)"} << 1;
    QTest::newRow("running, declined")
        << "running" << nCancel << true << QList<int>({1, 2, 3}) << QStringList() << 0;
    QTest::newRow("running, box closed")
        << "running" << 0 << true << QList<int>({1, 2, 3}) << QStringList() << 0;
}

void tst_PictureDownloads::deleteIcon()
{
    QFETCH(QString, strRow);
    QFETCH(int, nAnswer);
    QFETCH(bool, bEngineAgrees);
    QFETCH(QList<int>, listRowsAfter);
    QFETCH(QStringList, listCalls);
    QFETCH(int, nCountSignals);

    addTasks(3);
    emit engine().sgnPicDownloadError(QString());
    QCOMPARE(probe::picState(*m_pWidget, 2), 1);
    if (!bEngineAgrees) {
        ScriptedEngine::pic().setAnswer(QStringLiteral("removeDownloadPicTask"), 2, false);
    }
    const int nTask = strRow == QLatin1String("failed") ? 1 : strRow == QLatin1String("running") ? 2 : 3;
    const bool bAsked = strRow == QLatin1String("running");
    QString strTitle;
    if (bAsked) {
        ModalAnswerer::answerNext(nAnswer, [&strTitle] {
            if (QWidget* pBox = QApplication::activeModalWidget()) {
                strTitle = pBox->windowTitle();
            }
        });
    }
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::clickPicOperateIcon(*m_pWidget, nTask, Role::PixmapRole0);

    QCOMPARE(ModalAnswerer::questions(),
             bAsked ? QStringList{QLatin1String(kRunningQuestion)} : QStringList());
    if (bAsked) {
        QCOMPARE(strTitle, QStringLiteral("Notice"));
    }
    QCOMPARE(probe::picTasks(*m_pWidget), listRowsAfter);
    QCOMPARE(lifeCalls(), listCalls);
    QCOMPARE(spyCount.count(), nCountSignals);
    if (nCountSignals > 0) {
        QCOMPARE(spyCount.last().at(0).toInt(), listRowsAfter.size());
    }
}

void tst_PictureDownloads::otherClicksIgnored()
{
    addTasks(2);
    ScriptedEngine::clearCalls();
    // The re-download icon of a row that has none, another cell's icon, an invalid index.
    probe::clickPicOperateIcon(*m_pWidget, 1, Role::PixmapRole1);
    probe::clickPicOperateIcon(*m_pWidget, 2, Role::PixmapRole2);
    emit probe::picView(*m_pWidget)
        ->SignalPixmapClicked(probe::picCell(*m_pWidget, 2, Column::PicColumnStatus), Role::PixmapRole0);
    emit probe::picView(*m_pWidget)->SignalPixmapClicked(QModelIndex(), Role::PixmapRole0);
    // A picture cell reported by the record view.
    emit probe::recordView(*m_pWidget)
        ->SignalPixmapClicked(probe::picCell(*m_pWidget, 2, Column::PicColumnOperate), Role::PixmapRole0);
    QVERIFY(ScriptedEngine::pic().calls().isEmpty());
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({1, 2}));
    QCOMPARE(probe::picState(*m_pWidget, 1), 1);
}

void tst_PictureDownloads::runningTaskFinishesWhileAsked()
{
    // Task 1 failed above; task 2 runs; task 3 waits. While the question about task 2 is open,
    // task 2 finishes and task 3 starts in its place: the confirmed delete must not take task 3.
    addTasks(3);
    emit engine().sgnPicDownloadError(QString());
    QSignalSpy spyFinished(m_pWidget.get(), &QDownloadingWidget::sgnPicDownloadFinished);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [] { emit engine().sgnPicFinishedDowndload(); });
    ScriptedEngine::clearCalls();

    probe::clickPicOperateIcon(*m_pWidget, 2, Role::PixmapRole0);

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(spyFinished.count(), 1);
    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({1, 3}));
    QCOMPARE(probe::picState(*m_pWidget, 3), 1);
    QCOMPARE(lifeCalls(), QStringList({"removeDownloadPicTask(2,false)", "startDownload(3)"}));
    QCOMPARE(ScriptedEngine::runningPicTask(), 3);
    QCOMPARE(spyCount.last().at(0).toInt(), 2);
}

void tst_PictureDownloads::runningTaskFailsWhileAsked()
{
    // Task 2 runs below failed task 1. While the question is open it fails and task 3 starts;
    // a new task also arrives. Confirmed, task 2's row goes, as a row that no longer runs.
    addTasks(3);
    emit engine().sgnPicDownloadError(QString());
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [this] {
        emit engine().sgnPicDownloadError(QString());
        addTasks(1);
    });
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    ScriptedEngine::clearCalls();

    probe::clickPicOperateIcon(*m_pWidget, 2, Role::PixmapRole0);

    QCOMPARE(probe::picTasks(*m_pWidget), QList<int>({1, 3, 4}));
    QCOMPARE(probe::picState(*m_pWidget, 3), 1);
    QCOMPARE(probe::picState(*m_pWidget, 4), 0);
    QCOMPARE(lifeCalls(),
             QStringList({"startDownload(3)", "appendPicDownloadInfo(4)", "removeDownloadPicTask(2,false)"}));
    QCOMPARE(ScriptedEngine::runningPicTask(), 3);
    QCOMPARE(spyCount.last().at(0).toInt(), 3);
}

QTEST_MAIN(tst_PictureDownloads)
#include "tst_PictureDownloads.moc"
