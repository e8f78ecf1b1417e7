#include <QtTest>

#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QToolTip>

#include <hostservices/CConfig.h>
#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbMessageBox.h>

#include <functional>
#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "CDownloadHistory.h"
#include "CFinishNotices.h"
#include "CPicTaskList.h"
#include "CRecordTaskList.h"
#include "DataRows.h"
#include "DownloadingWidgetProbe.h"
#include "EventScript.h"
#include "ModalAnswerer.h"
#include "NotificationCapture.h"
#include "ScriptedEngine.h"

using Role = ORBGUI::struTreeViewData;
using W = QDownloadingWidget;
using Ev = EventScript::Event;

namespace {

// The normal image of an icon slot: "waiting" for ".../down-waiting.svg".
QString image(const QModelIndex& index, int nRole)
{
    const auto value = index.data(nRole).value<ORBGUI::ItemPixmapValue>();
    return value.value(ORBGUI::ItemPixmapValue::Normal)
        .toString()
        .section('/', -1)
        .remove("down-")
        .remove(".svg");
}

}  // namespace

using datarows::row;

// The "Downloading" page against the scripted engine. Most tests are tables of events as the
// user, the engine and the window cause them ("+3": three record tasks come; "fail2": the engine
// reports task 2 failed; "x2 ok press": the user checks task 2, presses Delete and confirms), and
// of what can be seen afterwards: the rows ("1D 2W 3F", see probe::rows) and the engine calls.
class tst_QDownloadingWidget : public QObject
{
    Q_OBJECT

public slots:
    // The desktop's handler for file URLs while a test runs.
    void openFileUrl(const QUrl& url) { m_listOpened << url.toLocalFile(); }

private slots:
    void recordRoad() { check(); }
    void removal() { check(); }
    void rowsMoveWhileAsked() { check(); }
    void pictures() { check(); }
    void restart() { check(); }

    void init()
    {
        ScriptedEngine::reset();
        ModalAnswerer::reset();
        probe::setClientSetting("Base/OpenOSD", false);
        // Every table runs with the lists kept, as the window keeps them.
        m_pHistory = std::make_unique<CDownloadHistory>(
            ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile);
        m_pWidget = std::make_unique<QDownloadingWidget>();
        attach();
        // The engine completes the record it is given: rows show the completed one.
        ScriptedEngine::setPrepareTransform([](int nIndex, DownloadInfo& info) {
            info.strFileName += QString(" %1").arg(nIndex);
            info.strFilePath = "/srv/" + info.strFileName;
        });
        m_pScript = std::make_unique<EventScript>();
        m_pScript->setAnswerer([](int nButton, const std::function<void()>& fnWhileOpen) {
            ModalAnswerer::answerNext(
                QList<int>{0, ORBGUI::OrbMessageBox::Ok, ORBGUI::OrbMessageBox::Cancel}.at(nButton),
                fnWhileOpen);
        });
        m_nPictures = 0;
        // What the "Done" list is handed, by name and size.
        connect(m_pWidget.get(), &W::sgnPicDownloadFinished, this, [this](const DownloadPicInfo& info) {
            m_listFinished << QString("%1:%2").arg(info.strFileName).arg(info.nFileSize);
        });
        const auto checkRow = [](QAbstractItemModel* pModel, int nTask) {
            pModel->setData(pModel->index(tablerows::tasks(pModel).indexOf(nTask), 0), Qt::Checked,
                            Qt::CheckStateRole);
        };
        const QList<QPair<QString, EventScript::Handler>> listEvents = {
            // Tasks come: "+3" adds three records (of "size=", "kind=", "mode=", "dev="), "*2" two pictures.
            {"+", [this](auto) { m_pWidget->onAddDownloadTask(m_pScript->nextRecord); }},
            {"*",
             [this](const Ev& e) {
                 m_pWidget->onAddPicDownloadTask(probe::picTask(QString("p%1.zip").arg(++m_nPictures), e.s));
             }},
            // Rows 1 waiting (never given a slot), 2 downloading, 3 failed, 4 downloading, 5 waiting.
            {"mixed", [this](auto) { m_pScript->run("s1=-2 +4 fail3 slot=0 +1 slot="); }},
            // The user: Operate icons (delete, continue or again, speed), check boxes, buttons.
            {"del", [this](const Ev& e) { click(e.n, Role::PixmapRole0); }},
            {"cont", [this](const Ev& e) { click(e.n, Role::PixmapRole1); }},
            {"speed", [this](const Ev& e) { click(e.n, Role::PixmapRole2); }},
            {"pdel", [this](const Ev& e) { click(-e.n, Role::PixmapRole0); }},
            {"pagain", [this](const Ev& e) { click(-e.n, Role::PixmapRole1); }},
            // The row's context menu: "menu2=Select_all" (blanks written as _).
            {"menu", [this](const Ev& e) { chooseFromMenu(e.n, QString(e.s).replace('_', ' ')); }},
            {"pmenu", [this](const Ev& e) { chooseFromMenu(-e.n, QString(e.s).replace('_', ' ')); }},
            // Keys on the task's row: "key2=space", "pkey1=enter".
            {"key", [this](const Ev& e) { pressKey(e.n, e.s); }},
            {"pkey", [this](const Ev& e) { pressKey(-e.n, e.s); }},
            {"x", [this, checkRow](const Ev& e) { checkRow(probe::recordModel(*m_pWidget), e.n); }},
            {"px", [this, checkRow](const Ev& e) { checkRow(probe::picModel(*m_pWidget), e.n); }},
            {"pview",
             [this](auto) { m_pWidget->findChild<QAbstractButton*>("btnPictureDownloading")->click(); }},
            {"press", [this](auto) { m_pWidget->findChild<QAbstractButton*>("btnDelete")->click(); }},
            {"delete", [this](auto) { m_pWidget->onDelete(); }},
            // The window: a device deleted, the lists cleared, the widget destroyed, the timer.
            {"gone", [this](const Ev& e) { m_pWidget->onDeviceDeleteNotify("device-" + e.s, 7); }},
            {"clear", [this](auto) { m_pWidget->clearDownloadingList(); }},
            {"quit",
             [this](auto) {
                 m_pWidget->shutdown();
                 m_pWidget.reset();
             }},
            // The client closed and started again: a new list on the stored tasks.
            {"restart",
             [this](auto) {
                 m_pWidget->shutdown();
                 m_pWidget.reset();
                 ScriptedEngine::clearCalls();
                 m_pWidget = std::make_unique<QDownloadingWidget>();
                 attach();
             }},
            // Time for the notices of ended downloads to gather.
            {"later", [](auto) { QTest::qWait(CFinishNotices::kGatherMs + 200); }},
            {"tick", [this](auto) { m_pWidget->onTimeOut(); }},
            {"osd", [](const Ev& e) { probe::setClientSetting("Base/OpenOSD", e.s == "1"); }},
        };
        for (const auto& event : listEvents) {
            m_pScript->on(event.first, event.second);
        }
        ScriptedEngine::clearCalls();
    }

    void cleanup()
    {
        m_pWidget.reset();
        m_pHistory.reset();
        probe::setClientSetting("DownloadCenter/RecordColumns", QVariant());
        QCOMPARE(ModalAnswerer::problems(), QStringList());
    }

    void recordRoad_data()
    {
        datarows::eventColumns();
        row("disk full", "disk=0 | ok +1", "", "");
        row("disk full, kind 2", "disk=0 kind=2 | +1", "1D", "start(1)");
        row("disk full, kind 23", "disk=0 kind=23 | +1", "1D", "start(1)");
        row("refused task takes no index", "disk=0 cancel +1 disk= | +2", "1D 2D", "start(1) start(2)");
    }

    void removal_data()
    {
        datarows::eventColumns();
        // Checked: 1 waiting, 2 started and listed, 3 failed, 4 started and not listed.
        row("checked rows", "mixed listed=1,2,3,5 | x1 x2 x3 x4 ok press", "4D 5D",
            "destroy(1) gone(2) destroy(3) start(5)");
        row("checked rows, open-OSD", "mixed listed=1,2,3,5 osd=1 | x1 x2 x3 x4 ok press", "4D 5D",
            "gone(1) gone(2) gone(3) start(5)");
        row("each freed slot steps", "+7 | x2 x4 ok press", "1D 3D 5D 6D 7D",
            "gone(2) gone(4) start(6) start(7)");
        row("checked with gaps", "slot=0 +10 | x1 x3 x4 x7 x8 x9 ok press", "2W 5W 6W 10W",
            "destroy(1) destroy(3) destroy(4) destroy(7) destroy(8) destroy(9)");
        row("checked with gaps, open-OSD", "slot=0 +5 osd=1 | x1 x3 x4 ok press", "2W 5W",
            "gone(1) gone(3) gone(4)");
        row("declined", "mixed osd=1 | x1 x2 x3 x4 x5 cancel press", "1W 2D 3F 4D 5W", "");
        row("box closed", "mixed | x2 close press", "1W 2D 3F 4D 5W", "");
        row("icon, waiting", "mixed osd=1 | ok del1", "2D 3F 4D 5W", "destroy(1)");
        row("icon, started", "mixed | ok del2", "1W 3F 4D 5D", "gone(2) start(1) start(5)");
        row("icon, failed", "mixed | ok del3", "1W 2D 4D 5D", "gone(3) start(1) start(5)");
        row("icon, started, not listed", "mixed listed=1,4,5 | ok del2", "1W 2D 3F 4D 5W", "");
        row("icon, failed, not listed", "mixed listed=1,4,5 | ok del3", "1W 2D 3F 4D 5W", "");
        row("icon, declined", "mixed | cancel del2", "1W 2D 3F 4D 5W", "");
        row("device", "s6=-2 dev=b +1 dev=a +3 dev=b +1 fail4 slot=0 dev=a +1 dev=b +1 | gone=a",
            "1D 5D 6W 7D", "gone(2) gone(3) gone(4) start(6) start(7) start(6) start(6)");
        row("unknown device", "+2 | gone=A gone=", "1D 2D", "");
        row("clear", "mixed *3 osd=1 | clear", "",
            "cleared(1) cleared(2) cleared(3) cleared(4) cleared(5) pic.remove(1,true) pic.remove(2,true) "
            "pic.remove(3,true)");
        row("clear, engine counts fewer", "+3 *2 n=2 pn=1 | clear", "3D / 2W",
            "cleared(1) cleared(2) pic.remove(1,true)");
        row("clear, engine counts more", "+1 *1 n=7 pn=4 | clear", "", "cleared(1) pic.remove(1,true)");
        row("cleared, numbering goes on", "+1 *1 clear | +1 *1", "2D / 2D", "start(2) pic.start(2)");
        row("shutdown", "mixed *2 listed=1,2,3,5 s1= | quit", "",
            "destroy(1) kept(2) destroy(3) destroy(5) pic.clear()");
        // Files are kept for the next start, whatever the client's setting for partial files.
        row("shutdown, open-OSD", "mixed listed=1,2,3,5 osd=1 | quit", "",
            "destroy(1) kept(2) destroy(3) destroy(5) pic.clear()");
        // Task 1 runs but is not the engine's; it finishes while the engine is asked about task 2.
        row("shutdown, done while asked", "+3 listed=2,3 | idx{idx{done1}} quit", "",
            "done(1) kept(2) kept(3) pic.clear()");
        // Task 1 finishes while the engine is asked about it, and is still listed.
        row("shutdown, done while asked about it", "+2 listed=1,2 | idx{done1} quit", "",
            "done(1) kept(2) pic.clear()");
        row("shutdown, done in the wait", "osd=1 +3 | stop{done2} quit", "",
            "stop(1,2,true) done(2) destroy(1) kept(3) pic.clear()");
        row("destroyed in the wait", "+3 | x1 x2 ok stop{quit} delete", "",
            "stop(1,2,true) kept(2) kept(3) pic.clear() erased(1)");
        row("destroyed in the icon's wait", "+3 | ok stop{quit} del2", "",
            "stop(2,2,true) kept(1) kept(3) pic.clear() erased(2)");
        row("destroyed in the device's wait", "dev=a +2 dev=b +1 | stop{quit} gone=a", "",
            "stop(1,2,true) kept(2) kept(3) pic.clear() erased(1)");
    }

    void rowsMoveWhileAsked_data()
    {
        datarows::eventColumns();
        // A row is clicked or checked; while the question is open the engine reports on rows above
        // it, or a click queued before the box opened arrives. Exactly the tasks chosen go.
        row("last row, one above done", "+5 | ok{done4} del5", "1D 2D 3D", "done(4) gone(5)");
        row("last row waiting, one above done", "+7 | ok{done5} del7", "1D 2D 3D 4D 6D",
            "done(5) start(6) destroy(7)");
        row("last row, one above failed", "+5 | ok{fail4} del5", "1D 2D 3D 4F", "stop(4,1,false) gone(5)");
        row("last row, one above removed", "dev=b +1 dev=a +2 | ok{gone=b} del3", "2D", "gone(1) gone(3)");
        row("two above done", "+5 | ok{done1,done2} del3", "4D 5D", "done(1) done(2) gone(3)");
        row("clicked task done", "+5 | ok{done4} del4", "1D 2D 3D 5D", "done(4)");
        row("checked last row", "+5 | x5 ok{done4} press", "1D 2D 3D", "done(4) gone(5)");
        row("checked rows, others done and failed", "+7 | x3 x6 ok{done1,fail2} press", "2F 4D 5D 7D",
            "done(1) start(6) stop(2,1,false) start(7) gone(3) gone(6)");
        row("in the stop wait", "+6 | x2 x4 ok stop{done1,fail5,x3,+1} press", "3D 5F 6D 7D",
            "stop(2,2,true) done(1) start(6) stop(5,1,false) start(7) erased(2) gone(4)");
        row("while the engine answers", "+5 | x3 x4 ok idx{done1,idx{done2}} press", "5D",
            "done(1) gone(3) done(2) gone(4)");
        row("device, done in the wait", "dev=b +1 dev=a +2 dev=b +1 | stop{done1} gone=a", "4D",
            "stop(2,2,true) done(1) erased(2) gone(3)");
        // The host logs out while a question is open: the shutdown takes every task once, and the
        // answer changes nothing more.
        row("logged out, checked rows", "+2 | x2 ok{quit} delete", "", "kept(1) kept(2) pic.clear()");
        row("logged out, icon", "+2 | ok{quit} del2", "", "kept(1) kept(2) pic.clear()");
        row("logged out, picture icon", "*2 | ok{quit} pdel1", "", "pic.clear()");
        row("picture, last row, one above removed", "*3 perr perr | ok{pdel2} pdel3", "/ 1F",
            "pic.remove(2,false) pic.remove(3,true)");
        row("picture, clicked one done", "*3 perr | ok{pdone} pdel2", "/ 1F 3D",
            "pic.remove(2,false) pic.start(3) => p2.zip:0");
        row("picture, clicked one failed", "*3 perr | ok{perr,*1} pdel2", "/ 1F 3D 4W",
            "pic.start(3) pic.remove(2,false)");
        row("pictures checked, last row", "*3 | px1 px3 pview ok{pdone} press", "/ 2D",
            "pic.remove(1,false) pic.start(2) pic.remove(3,false) => p1.zip:0");
        row("pictures checked, next one asks", "*3 | px1 px2 pview ok{pdone} cancel press", "/ 2D 3W",
            "pic.remove(1,false) pic.start(2) => p1.zip:0");
    }

    void pictures_data()
    {
        datarows::eventColumns();
        row("icon, running", "*3 perr | ok pdel2", "/ 1F 3D", "pic.remove(2,true) pic.start(3)");
        row("icon, engine keeps it", "*3 perr pr2=0 | ok pdel2", "/ 1F 2D 3W", "pic.remove(2,true)");
        row("icon, declined", "*3 perr | cancel pdel2", "/ 1F 2D 3W", "");
        row("icon, box closed", "*3 perr | close pdel2", "/ 1F 2D 3W", "");
        row("checked", "+1 x1 *3 | px1 px2 pview ok press", "1D / 3D",
            "pic.remove(1,true) pic.remove(2,false) pic.start(3)");
        row("checked, engine keeps it", "+1 x1 *3 pr1=0 | px1 px2 pview ok press", "1D / 1D 3W",
            "pic.remove(1,true) pic.remove(2,false)");
        row("checked, declined", "+1 x1 *3 | px1 px2 pview cancel press", "1D / 1D 3W",
            "pic.remove(2,false)");
    }

    void restart_data()
    {
        datarows::eventColumns();
        // The order stays; what ran or waited queues again, five at a time; failed ones wait.
        row("removed, finished, cleared", "+4 x2 ok press done3 *2 pdel2 | restart", "1D 2D / 1D",
            "start(1) start(2) pic.start(1)");
    }

    // The file changes on a state change, never on the progress tick.
    void storedOnStateChanges()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile);
        QVERIFY(db.open());
        const auto version = [this, &db] {
            m_pHistory->flush();
            QSqlQuery query("PRAGMA data_version", db);
            return query.next() ? query.value(0).toInt() : -1;
        };
        run("+2 *1 p1=0.5 p2=0.25");
        const int nVersion = version();
        run("tick pp=50 tick tick");
        QCOMPARE(version(), nVersion);
        run("fail1");
        QVERIFY(version() != nVersion);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("reader");
    }

    void rowLooks_data()
    {
        // nTask: a record task; a picture task negated
        datarows::columns<QString, int>("strEvents", "nTask");
        // Size, status text and icon, speed, percent, continue (again) and speed icons.
        QTest::addColumn<QString>("strLook");

        row("waiting", "slot=0 +1", 1, "1.5KB|Waiting|waiting|--|0||1x_normal");
        row("ticked", "+1 p1=0.5 tick", 1, "1.5KB|Downloading|downloading|7KB/s|50||1x_normal");
        row("truncated", "+1 p1=0.999 tick", 1, "1.5KB|Downloading|downloading|7KB/s|99||1x_normal");
        row("negative", "+1 p1=-0.5 tick", 1, "1.5KB|Downloading|downloading|7KB/s|0||1x_normal");
        row("bytes, kind 22", "size=1000 kind=22 +1", 1, "1000B|Downloading|downloading|--|0||1x_normal");
        row("GB, mode 1", "size=1073741824 mode=1 +1", 1, "1.000GB|Downloading|downloading|--|0||");
        row("no size", "size=0 +1", 1, "unkown size|Downloading|downloading|--|0||1x_normal");
        row("kind 2", "kind=2 +1", 1, "unkown size|Downloading|downloading|--|0||");
        row("kind 2, mode 2", "kind=2 mode=2 +1", 1, "1.5KB|Downloading|downloading|--|0||");
        row("failed", "+1 p1=0.42 tick fail1", 1, "1.5KB|Failed|failed|--|42|n|");
        row("failed, restarted", "+1 p1=0.42 tick fail1 restart", 1, "1.5KB|Failed|failed|--|42|n|");
        row("running, restarted", "+1 p1=0.5 tick restart", 1,
            "1.5KB|Downloading|downloading|--|50||1x_normal");
        row("continued", "+1 p1=0.42 tick fail1 cont1", 1, "1.5KB|Downloading|downloading|--|0||1x_normal");
        row("continued, waiting", "+7 fail2 cont2", 2, "1.5KB|Waiting|waiting|--|0||");
        row("start refused", "slot=0 +1 s1=-1 slot= +1", 1, "1.5KB|Failed|failed.png|--|0||1x_normal");
        row("speed 4x", "+1 speed1 speed1", 1, "1.5KB|Downloading|downloading|--|0||4x_normal");
        row("speed 4x from the menu", "+1 menu1=4x", 1, "1.5KB|Downloading|downloading|--|0||4x_normal");
        row("speed refused", "+1 speed1 v=-1 speed1", 1, "1.5KB|Downloading|downloading|--|0||2x_normal");
        row("decoding", "+2 speed1 decode1", 1, "1.5KB|Decoding|downloading|--|0||");
        row("decoding, ticked", "+1 decode1 p1=0.9 tick", 1, "1.5KB|Decoding|downloading|7KB/s|90||");
        row("decoding another", "+2 decode1", 2, "1.5KB|Downloading|downloading|--|0||1x_normal");
        row("picture waiting", "*2", -2, "--|Waiting|waiting|--|0||");
        row("picture ticked", "*1 pp=150 pzip=1536 bytes=2048 tick", -1,
            "1.5KB|Downloading|downloading|2.0KB/s|150||");
        row("picture failed", "*2 pp=37 bytes=500 tick perr", -1, "--|Failed|failed|--|37|n|");
        row("picture again", "*2 pp=60 perr pagain1", -1, "--|Waiting|waiting|--|0||");
        row("picture refused", "pbusy=1 *1 pbusy= ps1=0 perr", -1, "--|Failed|failed|--|0|n|");
    }

    void rowLooks()
    {
        QFETCH(QString, strEvents);
        QFETCH(int, nTask);
        QFETCH(QString, strLook);

        run(strEvents);
        const auto at = [&](int nRecordColumn, int nPicColumn) {
            return cell(nTask, nRecordColumn, nPicColumn);
        };
        const QModelIndex status = at(CRecordTableModel::ColumnStatus, CPicTableModel::ColumnStatus);
        const QModelIndex operate = at(CRecordTableModel::ColumnOperate, CPicTableModel::ColumnOperate);
        const QModelIndex percent = at(CRecordTableModel::ColumnPercent, CPicTableModel::ColumnPercent);
        const QStringList listLook = {
            at(CRecordTableModel::ColumnFileSize, CPicTableModel::ColumnFileSize).data().toString(),
            status.data().toString(),
            image(status, Role::PixmapRole0),
            at(CRecordTableModel::ColumnSpeed, CPicTableModel::ColumnSpeed).data().toString(),
            percent.data(CDownloadCenterTableDelegate::ProgressValueRole).toString(),
            image(operate, Role::PixmapRole1),
            image(operate, Role::PixmapRole2)};
        QCOMPARE(listLook.join('|'), strLook);
        // The bar is painted in the colour of the row's state.
        QCOMPARE(percent.data(Qt::UserRole), status.data(Qt::UserRole));
        // Every row: a check box the user can tick, a bar, centred icons, and the speed factor of
        // the speed icon shown.
        const QModelIndex check = at(0, 0);
        QVERIFY(check.data(Qt::CheckStateRole) == Qt::Unchecked && check.flags() & Qt::ItemIsUserCheckable);
        QVERIFY(percent.data(CDownloadCenterTableDelegate::ProgressBarRole).toBool());
        QCOMPARE(operate.data(Role::PixmapAlignmentRole).toInt(), Qt::AlignCenter);
        QVERIFY(listLook.last().isEmpty() ||
                operate.data(Qt::UserRole) == listLook.last().section('x', 0, 0));
        // Operate is wide enough for all its icons.
        const ORBGUI::OrbTableView* pView =
            nTask < 0 ? probe::picView(*m_pWidget) : probe::recordView(*m_pWidget);
        QVERIFY(pView->sizeHintForIndex(operate).width() <= pView->header()->sectionSize(operate.column()));
    }

    void timeLeft_data()
    {
        // strTip: of task 1's Speed cell, from the speed of the last ticks
        datarows::columns<QString, QString>("strEvents", "strTip");
        row("one tick", "+1 p1=0.25 tick", "--");
        row("seconds", "+1 p1=0.25 tick p1=0.5 tick", "less than a minute left");
        row("minutes", "+1 p1=0.001 tick p1=0.002 tick", "about 17 min left");
        row("hours, smoothed", "+1 p1=0.0001 tick p1=0.0002 tick p1=0.00025 tick", "about 3 h left");
        row("stalled", "+1 p1=0.5 tick tick", "--");
        row("failed", "+1 p1=0.25 tick p1=0.5 tick fail1", "");
        // A picture package's from its bar.
        row("pictures", "*1 pp=10 tick pp=20 tick pp=30 tick", "less than a minute left");
        row("pictures, slow", "*1 pp=1 tick pp=1 tick pp=2 tick", "about 5 min left");
        row("pictures, again", "*1 pp=10 tick pp=20 tick perr tick pagain1 tick", "--");
    }

    void timeLeft()
    {
        QFETCH(QString, strEvents);
        QFETCH(QString, strTip);
        run(strEvents);
        const int nTask = strEvents.startsWith('*') ? -1 : 1;
        QCOMPARE(cell(nTask, CRecordTableModel::ColumnSpeed, CPicTableModel::ColumnSpeed)
                     .data(Qt::ToolTipRole)
                     .toString(),
                 strTip);
    }

    // The columns as the user leaves them: hidden from the header's menu, moved, fitted by a
    // double-click on an edge; kept for the next start, and for this list only.
    void columns()
    {
        using Record = CRecordTableModel;
        run("+1");
        m_pWidget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWidget.get()));
        QHeaderView* pHeader = probe::recordView(*m_pWidget)->header();
        const auto layout = [](const QHeaderView* pOf) {
            QStringList list;
            for (int nVisual = 0; nVisual < pOf->count(); ++nVisual) {
                const int nColumn = pOf->logicalIndex(nVisual);
                list << QString::number(nColumn) + (pOf->isSectionHidden(nColumn) ? "h" : "") + ":" +
                            QString::number(pOf->sectionSize(nColumn));
            }
            return list.join(' ');
        };
        const QString strPictures = layout(probe::picView(*m_pWidget)->header());
        emit pHeader->customContextMenuRequested(QPoint(10, 10));
        auto* pMenu = pHeader->findChild<QMenu*>();
        QVERIFY(pMenu);
        QStringList listOffered;
        for (const QAction* pAction : pMenu->actions()) {
            listOffered << pAction->text() + (pAction->isChecked() ? "" : " (hidden)");
        }
        QCOMPARE(listOffered.join(", "),
                 QString("Channel, ProductName, Begin time, End time, File Size, Percent, Speed, Status"));
        pMenu->actions().at(0)->trigger();
        pMenu->hide();
        pHeader->moveSection(pHeader->visualIndex(Record::ColumnSpeed),
                             pHeader->visualIndex(Record::ColumnShop));
        pHeader->resizeSection(Record::ColumnShop, 60);
        pHeader->resizeSection(Record::ColumnEndTime, 30);
        const QPoint edge(pHeader->sectionViewportPosition(Record::ColumnEndTime) + 29,
                          pHeader->height() / 2);
        // As a mouse does it: the double-click's second press ends with a release.
        QTest::mouseDClick(pHeader->viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseRelease(pHeader->viewport(), Qt::LeftButton, {}, edge);
        const QModelIndex end = probe::recordModel(*m_pWidget)->index(0, Record::ColumnEndTime);
        QVERIFY(pHeader->sectionSize(Record::ColumnEndTime) >
                probe::recordView(*m_pWidget)->fontMetrics().horizontalAdvance(end.data().toString()));
        const QString strRecords = layout(pHeader);
        QVERIFY(strRecords.contains(QString("%1h:").arg(Record::ColumnChannel)));
        run("restart");
        // A new title keeps the user's width.
        m_pWidget->setProductName("Acme");
        QCOMPARE(layout(probe::recordView(*m_pWidget)->header()), strRecords);
        QCOMPARE(layout(probe::picView(*m_pWidget)->header()), strPictures);
    }

    // A name cut short shows, when hovered, where the file goes.
    void namePath()
    {
        run("+1");
        m_pWidget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWidget.get()));
        ORBGUI::OrbTableView* pView = probe::recordView(*m_pWidget);
        pView->header()->resizeSection(CRecordTableModel::ColumnFileName, 30);
        const QPoint point = pView->visualRect(cell(1, CRecordTableModel::ColumnFileName, 0)).center();
        QHelpEvent event(QEvent::ToolTip, point, pView->viewport()->mapToGlobal(point));
        QApplication::sendEvent(pView->viewport(), &event);
        QCOMPARE(QToolTip::text(), QString("/srv/r.mp4 1"));
        QToolTip::hideText();
    }

    void spoken_data()
    {
        // strSpoken: task 1's row: its check box (the whole row), its icons
        datarows::columns<QString, QString>("strEvents", "strSpoken");
        const QString strRecord =
            "r.mp4 1, Channel of r.mp4, Shop of r.mp4, 2024-03-01 08:00:00, 2024-03-01 09:00:00, 1.5KB, ";
        row("downloading", "+1 p1=0.52 tick",
            strRecord + "52 percent, 7KB/s, Downloading|delete, Speed-download 1x");
        row("failed", "+2 fail1", strRecord + "0 percent, --, Failed|delete, Contiue-download");
        row("picture", "*1",
            "p1.zip, 2024-03-01 08:00:00, 2024-03-01 09:00:00, --, 0 percent, --, Downloading|delete");
    }

    // As a screen reader reads a row: through the table's accessible interface.
    void spoken()
    {
        QFETCH(QString, strEvents);
        QFETCH(QString, strSpoken);
        run(strEvents);
        const bool bPicture = strEvents.startsWith('*');
        ORBGUI::OrbTableView* pView = bPicture ? probe::picView(*m_pWidget) : probe::recordView(*m_pWidget);
        m_pWidget->show();
        m_pWidget->findChild<QAbstractButton*>(bPicture ? "btnPictureDownloading" : "btnRecordDownloading")
            ->click();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWidget.get()));
        QAccessibleTableInterface* pTable = QAccessible::queryAccessibleInterface(pView)->tableInterface();
        const int nRow = cell(bPicture ? -1 : 1, 0, 0).row();
        QCOMPARE(pTable->cellAt(nRow, 0)->text(QAccessible::Name) + '|' +
                     pTable->cellAt(nRow, pTable->columnCount() - 1)->text(QAccessible::Name),
                 strSpoken);
    }

    void rowMenu_data()
    {
        // strByIcon: with the icons and check boxes; strByMenu: the same through the row's menu or keys
        datarows::columns<QString, QString, QString>("strBefore", "strByIcon", "strByMenu");
        row("delete", "+2", "ok del1", "ok menu1=delete");
        row("continue", "+2 fail1", "cont1", "menu1=Contiue-download");
        row("speed", "+1", "speed1", "menu1=2x");
        row("speed back", "+1 speed1 speed1", "speed1", "menu1=1x");
        row("picture delete", "*2", "ok pdel1", "ok pmenu1=delete");
        row("picture again", "*2 perr", "pagain1", "pmenu1=Re-download");
        row("select all", "+3 *1", "x1 x2 x3", "menu2=Select_all");
        row("space ticks", "+2", "x1", "key1=space");
        row("delete presses Delete", "+2 x1", "ok press", "ok key2=delete");
        row("enter continues", "+2 fail1", "cont1", "key1=enter");
        row("enter downloads again", "*2 perr", "pagain1", "pkey1=enter");
    }

    void rowMenu()
    {
        QFETCH(QString, strBefore);
        QFETCH(QString, strByIcon);
        QFETCH(QString, strByMenu);
        // Rows, engine calls, check boxes and speed icons.
        const auto seen = [this] {
            QStringList list{tables(), EventScript::calls()};
            for (QAbstractItemModel* pModel : {probe::recordModel(*m_pWidget), probe::picModel(*m_pWidget)}) {
                for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
                    list << pModel->index(nRow, 0).data(Qt::CheckStateRole).toString() +
                                image(pModel->index(nRow, pModel->columnCount() - 1), Role::PixmapRole2);
                }
            }
            return list.join('|');
        };
        run(strBefore + " " + strByIcon);
        const QString strSeen = seen();
        cleanup();
        init();
        run(strBefore + " " + strByMenu);
        QCOMPARE(seen(), strSeen);
    }

    void notices_data()
    {
        datarows::columns<QString, QString, QString>("strEvents", "strNotices", "strQuestions");

        const QString strRecord = "are you sure to delete this downEvent?";
        const QString strPicture = "This file being downloading, are you sure to delete?";
        row("new pictures", "| *1 *1=12%1pictures",
            "you have new picture download task,please check for it!|12%1pictures", "");
        row("nothing checked", "+2 *2 | press", "no record selected!", "");
        row("no picture checked", "+2 x1 *2 | pview press", "no file selected!", "");
        row("record questions", "+2 | x1 ok press ok del2", "", strRecord + "|" + strRecord);
        row("picture questions", "*2 | px1 pview ok press ok pdel2", "", strPicture + "|" + strPicture);
        row("disk full", "disk=0 | ok +1", "", "the disk free space is not enough,please cheak for it");
        row("one by one", "+4 | done1 later done2 later", "r.mp4 1 downloaded|r.mp4 2 downloaded", "");
        row("two within a second", "+4 | done1 done2 later", "2 downloads finished", "");
        row("failed", "+2 | fail1 later", "r.mp4 1 failed to download", "");
        row("picture finished and failed", "*2 | pdone perr later",
            "p1.zip downloaded|p2.zip failed to download", "");
    }

    void notices()
    {
        QFETCH(QString, strEvents);
        QFETCH(QString, strNotices);
        QFETCH(QString, strQuestions);

        run(strEvents.section('|', 0, 0));
        NotificationCapture notices;
        run(strEvents.section('|', 1));
        QCOMPARE(notices.texts().join('|'), strNotices);
        QCOMPARE(ModalAnswerer::questions().join('|'), strQuestions);
    }

    void frame()
    {
        const auto texts = [](QAbstractItemModel* pModel) {
            QStringList listTexts;
            for (int nColumn = 0; nColumn < pModel->columnCount(); ++nColumn) {
                listTexts << pModel->headerData(nColumn, Qt::Horizontal).toString();
            }
            return listTexts.join('|');
        };
        QCOMPARE(texts(probe::recordModel(*m_pWidget)),
                 QStringLiteral(
                     "|File name|Channel|Shop|Begin time|End time|File Size|Percent|Speed|Status|Operate"));
        QCOMPARE(texts(probe::picModel(*m_pWidget)),
                 QStringLiteral("|File name|Begin time|End time|File Size|Percent|Speed|Status|Operate"));
        m_pWidget->onAddDownloadTask(probe::recordTask("front door.mp4"));

        // One table at a time, records first; the counters on the switch buttons.
        m_pWidget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWidget.get()));
        const auto shown = [this] {
            return QString("%1 %2, %3 %4")
                .arg(m_pWidget->findChild<QAbstractButton*>("btnRecordDownloading")->text())
                .arg(probe::recordView(*m_pWidget)->isVisible())
                .arg(m_pWidget->findChild<QAbstractButton*>("btnPictureDownloading")->text())
                .arg(probe::picView(*m_pWidget)->isVisible());
        };
        QCOMPARE(shown(), QStringLiteral("record 1 1, picture 0 0"));
        run("slot=0 +98 *3 pview");
        QCOMPARE(shown(), QStringLiteral("record 99 0, picture 3 1"));
        m_pWidget->findChild<QAbstractButton*>("btnRecordDownloading")->click();
        run("+1");
        QCOMPARE(shown(), QStringLiteral("record 99+ 1, picture 3 0"));

        // "Open folder" opens the engine's download folder.
        QDesktopServices::setUrlHandler("file", this, "openFileUrl");
        const QString strFolder = "/srv/records/my #1 ?%41 folder";
        ScriptedEngine::setDownloadDir(strFolder);
        m_pWidget->findChild<QAbstractButton*>("btnFolder")->click();
        // The same from the notice of a finished download.
        run("done3 later");
        const QList<QWidget*> listNotices =
            ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().visibleNotifications();
        auto* pNotice = qobject_cast<QLabel*>(listNotices.value(listNotices.size() - 1));
        QVERIFY(pNotice);
        emit pNotice->linkActivated("action");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(m_listOpened, QStringList({strFolder, strFolder}));

        // The progress timer runs on its own from the first task on.
        run("p1=0.25");
        QTRY_COMPARE_WITH_TIMEOUT(cell(1, CRecordTableModel::ColumnSpeed, -1).data().toString(),
                                  QStringLiteral("7KB/s"), 10000);
    }

private:
    void run(const QString& strEvents) { m_pScript->run(strEvents); }
    // Runs the row's events, those after "|" as the action, then compares the tables with the
    // rows expected and the engine calls of the action with the calls expected.
    void check()
    {
        QFETCH(QString, strEvents);
        QFETCH(QString, strRows);
        QFETCH(QString, strCalls);

        run(strEvents.section('|', 0, 0));
        QSignalSpy spyCount(m_pWidget.get(), &W::sgnDownloadingItemNumChanaged);
        ScriptedEngine::clearCalls();
        m_listFinished.clear();
        run(strEvents.section('|', 1));
        QCOMPARE(tables(), strRows);
        // Then "=>" and the pictures handed to the "Done" list.
        QCOMPARE(EventScript::callsThen(m_listFinished), strCalls);
        // The window's counter, when told, counts the rows of both tables.
        if (m_pWidget && !spyCount.isEmpty()) {
            QCOMPARE(spyCount.last().at(0).toInt(), probe::recordTasks(*m_pWidget).size() +
                                                        tablerows::tasks(probe::picModel(*m_pWidget)).size());
        }
    }
    // Record rows, then " / " and picture rows.
    QString tables() const
    {
        return m_pWidget ? tablerows::both(probe::recordModel(*m_pWidget), probe::picModel(*m_pWidget))
                         : QString();
    }
    // The models under Qt's own checks, then the stored tasks back and started.
    void attach()
    {
        for (QAbstractItemModel* pModel : {probe::recordModel(*m_pWidget), probe::picModel(*m_pWidget)}) {
            new QAbstractItemModelTester(pModel, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                         m_pWidget.get());
        }
        QSignalSpy records(m_pWidget->findChild<CRecordTaskList*>(), &CRecordTaskList::sgnRestored);
        QSignalSpy pictures(m_pWidget->findChild<CPicTaskList*>(), &CPicTaskList::sgnRestored);
        m_pWidget->attachHistory(m_pHistory.get());
        QTRY_VERIFY(records.count() == 1 && pictures.count() == 1);
    }

    QModelIndex cell(int nTask, int nRecordColumn, int nPicColumn) const
    {
        QAbstractItemModel* pModel = nTask > 0 ? probe::recordModel(*m_pWidget) : probe::picModel(*m_pWidget);
        return pModel->index(tablerows::tasks(pModel).indexOf(qAbs(nTask)),
                             nTask > 0 ? nRecordColumn : nPicColumn);
    }
    void click(int nTask, Role::OrbItemDataRole eRole)
    {
        ORBGUI::OrbTableView* pView = nTask > 0 ? probe::recordView(*m_pWidget) : probe::picView(*m_pWidget);
        emit pView->SignalPixmapClicked(
            cell(nTask, CRecordTableModel::ColumnOperate, CPicTableModel::ColumnOperate), eRole);
    }
    // Chooses the entry named strEntry of the task's context menu (submenus included).
    void chooseFromMenu(int nTask, const QString& strEntry)
    {
        m_pWidget->show();
        m_pWidget->findChild<QAbstractButton*>(nTask > 0 ? "btnRecordDownloading" : "btnPictureDownloading")
            ->click();
        ORBGUI::OrbTableView* pView = nTask > 0 ? probe::recordView(*m_pWidget) : probe::picView(*m_pWidget);
        emit pView->customContextMenuRequested(pView->visualRect(cell(nTask, 1, 1)).center());
        QMenu* pMenu = m_pWidget->findChild<QMenu*>();
        pMenu->hide();  // as choosing does, before the entry acts
        for (QAction* pAction : pMenu->findChildren<QAction*>()) {
            pAction->text() == strEntry ? pAction->trigger() : void();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Makes the task's row current and presses the key ("space", "delete" or "enter").
    void pressKey(int nTask, const QString& strKey)
    {
        ORBGUI::OrbTableView* pView = nTask > 0 ? probe::recordView(*m_pWidget) : probe::picView(*m_pWidget);
        pView->setCurrentIndex(cell(nTask, 2, 2));
        const QHash<QString, Qt::Key> hashKeys{
            {"space", Qt::Key_Space}, {"delete", Qt::Key_Delete}, {"enter", Qt::Key_Return}};
        QTest::keyClick(pView, hashKeys.value(strKey));
    }

    std::unique_ptr<CDownloadHistory> m_pHistory;
    std::unique_ptr<QDownloadingWidget> m_pWidget;
    std::unique_ptr<EventScript> m_pScript;
    int m_nPictures = 0;
    QStringList m_listFinished;
    QStringList m_listOpened;
};

QTEST_MAIN(tst_QDownloadingWidget)
#include "tst_QDownloadingWidget.moc"
