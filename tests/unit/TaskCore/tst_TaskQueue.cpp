#include <QtTest>

#include <QAbstractItemModelTester>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>

#include <memory>

#include "CDownloadHistory.h"
#include "CPicTableModel.h"
#include "CPicTaskList.h"
#include "CRecordTableModel.h"
#include "CRecordTaskList.h"
#include "DataRows.h"
#include "EventScript.h"
#include "LogCapture.h"
#include "ScriptedEngine.h"
#include "TableRows.h"

using datarows::row;

// The queues of the task core on their own, against the scripted engine: tables of events (see
// EventScript; here "+3" adds three record tasks, "*2" two picture packages, "cont2", "speed2",
// "pagain2" and "pdel2" act on a task as its icon would once confirmed) and what follows: the
// rows ("1D 2W / 1F": task and state, records then pictures) and the engine calls of the events
// after "|".
class tst_TaskQueue : public QObject
{
    Q_OBJECT

private slots:
    void records() { check(); }
    void pictures() { check(); }
    void restart() { check(); }

    void init()
    {
        ScriptedEngine::reset();
        // A history of its own for each row.
        // Writes refused by another client's lock count as refused after 50 ms.
        m_strHistory = m_dir.filePath(QString("h%1.sqlite").arg(++m_nRun));
        m_pHistory = std::make_unique<CDownloadHistory>(m_strHistory, nullptr, 50);
        open();
        m_pScript = std::make_unique<EventScript>();
        m_listFinished.clear();
        m_nPictures = 0;
        const QList<QPair<QString, EventScript::Handler>> listEvents = {
            {"+", [this](auto) { m_pRecords->add(m_pScript->nextRecord); }},
            {"*",
             [this](auto) {
                 DownloadPicInfo info;
                 info.strFileName = QString("p%1.zip").arg(++m_nPictures);
                 m_pPictures->add(info);
             }},
            {"cont", [this](const EventScript::Event& e) { m_pRecords->continueTask(e.n); }},
            {"speed", [this](const EventScript::Event& e) { m_pRecords->changeSpeed(e.n); }},
            {"pagain", [this](const EventScript::Event& e) { m_pPictures->redownload(e.n); }},
            {"pdel",
             [this](const EventScript::Event& e) { m_pPictures->deleteTask(e.n, [] { return true; }); }},
            {"tick",
             [this](auto) {
                 m_pRecords->refresh(1000);
                 m_pPictures->refresh(1000);
             }},
            {"clear",
             [this](auto) {
                 m_pRecords->clear();
                 m_pPictures->clear();
             }},
            // Another client holds the file's write lock: every write is refused until "unlock".
            {"lock",
             [this](auto) {
                 m_pHistory->flush();
                 QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
                 db.setDatabaseName(m_strHistory);
                 QVERIFY(db.open() && QSqlQuery(db).exec("BEGIN IMMEDIATE"));
                 m_pLog = std::make_unique<LogCapture>();
             }},
            {"unlock",
             [this](auto) {
                 QTRY_VERIFY(!m_pLog->messages().filter("refuses writes").isEmpty());
                 QVERIFY(QSqlQuery(QSqlDatabase::database("other")).exec("COMMIT"));
                 QSqlDatabase::database("other").close();
                 QSqlDatabase::removeDatabase("other");
                 // One warning, however many rows were refused.
                 const QList<ncl::NLogRecord> listRecords = m_pLog->records();
                 QCOMPARE(std::count_if(listRecords.begin(), listRecords.end(),
                                        [](const ncl::NLogRecord& record) { return record.nLevel >= 6; }),
                          1);
             }},
            // The client closed and started again: new lists on the stored tasks.
            {"restart",
             [this](auto) {
                 // What finishes during the stop waits is handed on as finished.
                 const auto finished = connect(m_pRecords.get(), &CRecordTaskList::sgnEnded, this,
                                               [this](const QString& strName, bool bOk) {
                                                   m_listFinished << QString(bOk ? strName : "");
                                               });
                 m_pRecords->shutdown();
                 disconnect(finished);
                 m_pPictures->shutdown();
                 ScriptedEngine::clearCalls();
                 open();
             }},
        };
        for (const auto& event : listEvents) {
            m_pScript->on(event.first, event.second);
        }
        ScriptedEngine::clearCalls();
    }

    void cleanup()
    {
        m_pRecords.reset();
        m_pPictures.reset();
        m_pHistory.reset();
    }

    void records_data()
    {
        datarows::eventColumns();
        row("five slots", "| +6", "1D 2D 3D 4D 5D 6W", "start(1) start(2) start(3) start(4) start(5)");
        row("a slot freed", "+6 | done3", "1D 2D 4D 5D 6D", "done(3) start(6)");
        row("no free slot", "slot=0 +3 slot= s1=-2 s2=-2 | +1", "1W 2W 3D 4W", "start(1) start(2) start(3)");
        row("start refused", "slot=0 +2 slot= s1=5 | +1", "1F 2D 3W", "start(1) start(2)");
        row("start failed", "slot=0 +2 slot= s1=-1 | +1", "1F 2D 3W", "start(1) start(2)");
        row("unknown task done", "slot=0 +1 slot= | done42", "1D", "start(1)");
        row("failed", "+2 | fail1", "1F 2D", "stop(1,1,false)");
        row("unknown task failed", "slot=0 +1 slot= | fail42", "1D", "stop(42,1,false) start(1)");
        row("continue", "+1 fail1 | cont1", "1D", "start(1)");
        row("continue, no slot", "+7 fail2 | cont2", "1D 2W 3D 4D 5D 6D 7W", "");
        row("continued keeps its place", "+7 fail2 cont2 | done4", "1D 2D 3D 5D 6D 7W", "done(4) start(2)");
        row("continue without icon", "+1 | cont1", "1D", "");
        row("speed cycle", "+1 | speed1 speed1 speed1 speed1", "1D",
            "speed(1,2) speed(1,4) speed(1,1) speed(1,2)");
        row("speed refused", "+1 speed1 v=0 | speed1 speed1", "1D", "speed(1,4) speed(1,4)");
        row("no speed icon", "kind=2 +1 | speed1", "1D", "");
        row("tick, engine runs 3", "s1=-1 +7 n=3 | tick", "1F 2D 3D 4D 5D 6D 7W", "poll(2) poll(3) poll(4)");
        row("tick, engine holds 7", "s1=-1 +7 n=7 | tick", "1F 2D 3D 4D 5D 6D 7W",
            "poll(2) poll(3) poll(4) poll(5) poll(6)");
        row("notices in the stop wait", "+7 | stop{done1,decode4} fail3", "2D 3F 4D 5D 6D 7D",
            "stop(3,1,false) done(1) start(6) start(7)");
        // The engine lets go of a stopped task's file within the wait: its notices come first.
        row("notice late in the stop wait", "+6 | stop90{done2} fail1", "1F 3D 4D 5D 6D",
            "stop(1,1,false) done(2) start(6)");
    }

    void pictures_data()
    {
        datarows::eventColumns();
        row("one at a time", "| *3", "/ 1D 2W 3W", "pic.start(1)");
        row("done", "*3 pzip=1536 | pdone", "/ 2D 3W", "pic.remove(1,false) pic.start(2) => p1.zip:1536");
        row("package size", "*2 | pzip=1536 pzip=3221225472", "/ 1D 2W",
            "pic.size(1,1536) pic.size(1,3221225472)");
        row("failed", "*2 | perr", "/ 1F 2D", "pic.start(2)");
        row("again, one running", "*3 perr | pagain1", "/ 1W 2D 3W", "");
        row("again, first in line", "*3 perr pagain1 | pdone", "/ 1D 3W",
            "pic.remove(2,false) pic.start(1) => p2.zip:0");
        row("again, none running", "*2 perr perr | pagain2", "/ 1F 2D", "pic.start(2)");
        row("again without icon", "*2 | pagain1 pagain2", "/ 1D 2W", "");
        row("start refused", "pbusy=1 *3 pbusy= ps1=0 | perr", "/ 1F 2W 3W", "pic.start(1)");
        row("refused, a new task steps", "pbusy=1 *3 pbusy= ps1=0 perr | *1", "/ 1F 2D 3W 4W",
            "pic.start(2)");
        row("notices, none running", "pbusy=1 *2 pbusy= | pp=50 pzip=4096 pdone", "/ 1D 2W", "pic.start(1)");
        row("numbering", "*2 pdone | *1 +1", "1D / 2D 3W", "start(1)");
        row("icon, waiting", "*3 perr | pdel3", "/ 1F 2D", "pic.remove(3,false)");
        row("icon, failed", "*3 perr | pdel1", "/ 2D 3W", "pic.remove(1,false)");
    }

    void restart_data()
    {
        datarows::eventColumns();
        // The order stays; what ran or waited queues again, five at a time; failed ones wait.
        row("running and waiting", "+7 fail3 | restart", "1D 2D 3F 4D 5D 6D 7W",
            "start(1) start(2) start(4) start(5) start(6)");
        row("twice, continued later", "+2 fail2 restart | restart cont2", "1D 2D", "start(1) start(2)");
        row("cleared", "+2 *1 | clear restart", "", "");
        row("pictures", "*3 perr | restart", "/ 1F 2D 3W", "pic.start(2)");
        row("speed kept", "+1 speed1 speed1 | restart", "1D", "start(1) speed(1,4)");
        row("added in the stop wait", "+5 | stop{+1} restart", "1D 2D 3D 4D 5D",
            "start(1) start(2) start(3) start(4) start(5)");
        // It ends as finished: taken out of the history, it is not fetched again.
        row("finished in the stop wait", "+2 | stop{done1} restart", "1D", "start(1) => r.mp4");
        // Nothing refused is lost: it is written once the file takes writes again.
        row("written after a refusal", "+3 lock | +2 fail1 unlock restart", "1F 2D 3D 4D 5D",
            "start(2) start(3) start(4) start(5)");
    }

private:
    // Both lists on the engine and the history, as the downloading page has them, each model
    // under Qt's own checks.
    void open()
    {
        CRecordDownloadManager* pRecordManager = &CRecordDownloadManager::getInstance();
        CPicDownloadManager* pPicManager = &CPicDownloadManager::getInstance();
        m_pRecords = std::make_unique<CRecordTaskList>(pRecordManager, nullptr);
        m_pPictures = std::make_unique<CPicTaskList>(pPicManager, nullptr);
        connect(pRecordManager, &CRecordDownloadManager::sgnDownloadStateNotify, m_pRecords.get(),
                &CRecordTaskList::onStateNotify);
        connect(pRecordManager, &CRecordDownloadManager::sgnBeginDecodeNotify, m_pRecords.get(),
                &CRecordTaskList::onBeginDecode);
        connect(pPicManager, &CPicDownloadManager::sgnPicFinishedDowndload, m_pPictures.get(),
                &CPicTaskList::onFinished);
        connect(pPicManager, &CPicDownloadManager::sgnPicDownloadError, m_pPictures.get(),
                &CPicTaskList::onError);
        connect(pPicManager, &CPicDownloadManager::sgnPicDownloadProgress, m_pPictures.get(),
                &CPicTaskList::onProgress);
        connect(pPicManager, &CPicDownloadManager::sgnPicGetDownloadZipInfo, m_pPictures.get(),
                &CPicTaskList::onZipInfo);
        connect(m_pPictures.get(), &CPicTaskList::sgnFinished, this, [this](const DownloadPicInfo& info) {
            m_listFinished << QString("%1:%2").arg(info.strFileName).arg(info.nFileSize);
        });
        for (QAbstractItemModel* pModel : {static_cast<QAbstractItemModel*>(m_pRecords->model()),
                                           static_cast<QAbstractItemModel*>(m_pPictures->model())}) {
            new QAbstractItemModelTester(pModel, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                         pModel);
        }
        QSignalSpy records(m_pRecords.get(), &CRecordTaskList::sgnRestored);
        QSignalSpy pictures(m_pPictures.get(), &CPicTaskList::sgnRestored);
        m_pRecords->attachHistory(m_pHistory.get());
        m_pPictures->attachHistory(m_pHistory.get());
        // Nothing starts before the events pending (the window's first paint) are handled.
        QVERIFY(!EventScript::calls().contains("start("));
        QTRY_VERIFY(records.count() == 1 && pictures.count() == 1);
    }

    void check()
    {
        QFETCH(QString, strEvents);
        QFETCH(QString, strRows);
        QFETCH(QString, strCalls);

        m_pScript->run(strEvents.section('|', 0, 0));
        ScriptedEngine::clearCalls();
        m_listFinished.clear();
        m_pScript->run(strEvents.section('|', 1));
        QCOMPARE(tablerows::both(m_pRecords->model(), m_pPictures->model()), strRows);
        // Then "=>" and the packages handed on as finished.
        QCOMPARE(EventScript::callsThen(m_listFinished), strCalls);
    }

    QTemporaryDir m_dir;
    int m_nRun = 0;
    int m_nPictures = 0;
    QString m_strHistory;
    std::unique_ptr<LogCapture> m_pLog;
    std::unique_ptr<CDownloadHistory> m_pHistory;
    std::unique_ptr<CRecordTaskList> m_pRecords;
    std::unique_ptr<CPicTaskList> m_pPictures;
    std::unique_ptr<EventScript> m_pScript;
    QStringList m_listFinished;
};

QTEST_GUILESS_MAIN(tst_TaskQueue)
#include "tst_TaskQueue.moc"
