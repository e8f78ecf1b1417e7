#include "PublicUrlFixture.h"

#include <ncl/NPrintLog.h>

#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QtTest>

#include <cmath>

// The jobs' bookkeeping as the page sees it: the status report, progress, and what the
// listener callbacks do to a job. Jobs here point at a body that never comes (the server
// stalls before it), and the test plays the HTTP client's part by calling the callbacks.
class tst_PublicUrlStatus : public QObject
{
    Q_OBJECT

private:
    PublicUrlFixture m_fixture;
    QString m_strIdleUrl;
    QMutex m_mutex;
    QStringList m_listProgressLog;
    int m_nObserver = 0;

    void addIdle(const QString& strTaskId, const QString& strFileName = QStringLiteral("a.txt"))
    {
        m_fixture.add({PublicUrlFixture::job(strTaskId, m_strIdleUrl, strFileName)});
    }

    static NetworkReplyData data(const QByteArray& baData)
    {
        NetworkReplyData reply;
        reply.baData = baData;
        reply.nHttpStatus = 200;
        return reply;
    }

    static QByteArray readAll(const QString& strPath)
    {
        QFile file(strPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList taskIds(const QJsonArray& arrStatus)
    {
        QStringList listIds;
        for (const QJsonValue& entry : arrStatus) {
            listIds.append(entry.toObject().value("taskId").toString());
        }
        return listIds;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.isValid());
        m_strIdleUrl = m_fixture.url("/generated/100000/idle.bin?stallAfter=0");
        m_nObserver = ncl::NPrintLog::instance()->addObserver([this](const ncl::NLogRecord& record) {
            if (record.strFunction == QLatin1String("CDownloadByPublicUrl::onNetworkProgress")) {
                QMutexLocker locker(&m_mutex);
                m_listProgressLog.append(QString::number(record.nLevel) + " " + record.strFile + " " +
                                         record.strMessage);
            }
        });
    }

    void cleanupTestCase() { ncl::NPrintLog::instance()->removeObserver(m_nObserver); }

    void init()
    {
        QVERIFY(PublicUrlFixture::writeSettings(m_fixture.downloadFolder()));
        m_fixture.clearDownloads();
        m_fixture.newRunner();
        QMutexLocker locker(&m_mutex);
        m_listProgressLog.clear();
    }

    void cleanup() { m_fixture.deleteRunner(); }

    void compactTextOfOneJob()
    {
        addIdle("t1");
        m_fixture.runner()->onNetworkProgress(1000, 1000, "t1");
        const QString strText = m_fixture.statusText();
        const int nId = QJsonDocument::fromJson(strText.toUtf8()).object().value("id").toInt();
        QVERIFY(nId > 0);
        QCOMPARE(
            strText,
            QStringLiteral("{\"async\":false,\"id\":%1,\"method\":\"responseDownloadTasksByPublicUrlStatus\","
                           "\"params\":{\"downloadTasksStatus\":[{\"downloadProgress\":1,\"fileName\":"
                           "\"a.txt\",\"status\":0,\"taskId\":\"t1\",\"url\":\"%2\"}]},\"result\":true}")
                .arg(nId)
                .arg(m_strIdleUrl));
        // Each report is a new message of the runner's own numbering.
        const int nNext =
            QJsonDocument::fromJson(m_fixture.statusText().toUtf8()).object().value("id").toInt();
        QCOMPARE(nNext, nId + 1);
    }

    void reportWithoutAListHasEveryJobInKeyOrder()
    {
        addIdle("b");
        addIdle("a");
        addIdle("c");
        QCOMPARE(taskIds(m_fixture.statuses()), (QStringList{"a", "b", "c"}));
        // A request whose list is not a list asks for nothing.
        QCOMPARE(m_fixture.statuses({{"downloadTasks", "a"}}).size(), 0);
    }

    void reportWithAListFollowsIt()
    {
        addIdle("a");
        addIdle("c");
        const QJsonArray arrStatus =
            m_fixture.statuses({{"downloadTasks", QJsonArray{"c", "ghost", "a", 5}}});
        QCOMPARE(taskIds(arrStatus), (QStringList{"c", "", "a", ""}));
        // Unknown ids give a job with the initial values.
        const QJsonObject ghost = arrStatus.at(1).toObject();
        QCOMPARE(ghost,
                 (QJsonObject{
                     {"taskId", ""}, {"url", ""}, {"fileName", ""}, {"status", 0}, {"downloadProgress", 0}}));
    }

    void reportWithAnEmptyList()
    {
        addIdle("a");
        QVERIFY(m_fixture.statuses({{"downloadTasks", QJsonArray()}}).isEmpty());
        QVERIFY(m_fixture.statuses().size() == 1);
    }

    void progressAddsUpAndIsLogged()
    {
        addIdle("p");
        m_fixture.runner()->onNetworkProgress(1000, 300, "p");
        QVERIFY(std::fabs(m_fixture.progress("p") - 0.3) < 1e-6);
        m_fixture.runner()->onNetworkProgress(1000, 700, "p");
        QCOMPARE(m_fixture.progress("p"), 1.0);
        QMutexLocker locker(&m_mutex);
        QCOMPARE(m_listProgressLog,
                 (QStringList{"4 WebDownloadCenter\\CDownloadByPublicUrl iCurrLength [300]",
                              "4 WebDownloadCenter\\CDownloadByPublicUrl iCurrLength [1000]"}));
    }

    void progressIsAlwaysAFraction_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("chunk");
        QTest::addColumn<double>("expected");
        QTest::newRow("unknown total") << qint64(0) << qint64(500) << 0.0;
        QTest::newRow("negative total") << qint64(-1) << qint64(500) << 0.0;
        QTest::newRow("more than the total") << qint64(100) << qint64(150) << 1.0;
        QTest::newRow("negative chunk") << qint64(100) << qint64(-50) << 0.0;
        QTest::newRow("beyond 32 bits")
            << qint64(8) * 1024 * 1024 * 1024 << qint64(2) * 1024 * 1024 * 1024 << 0.25;
    }

    void progressIsAlwaysAFraction()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, chunk);
        QFETCH(double, expected);
        addIdle("p");
        m_fixture.runner()->onNetworkProgress(total, chunk, "p");
        const QJsonValue progress = m_fixture.statusOf("p").value("downloadProgress");
        QVERIFY(progress.isDouble());
        QCOMPARE(progress.toDouble(), expected);
    }

    void callbacksForUnknownTasksAreIgnored()
    {
        addIdle("known");
        m_fixture.runner()->onNetworkReadyRead(data("x"), "ghost");
        m_fixture.runner()->onNetworkProgress(10, 5, "ghost");
        m_fixture.runner()->onNetworkError(1, "boom", "ghost");
        m_fixture.runner()->onNetworkFinished(data("y"), "ghost");
        QCOMPARE(taskIds(m_fixture.statuses()), QStringList{"known"});
        QCOMPARE(m_fixture.status("known"), 0);
        QVERIFY(PublicUrlFixture::listing(m_fixture.downloadFolder()).isEmpty());
    }

    void dataMakesTheFileAndTheEndClosesIt()
    {
        addIdle("f", "f.txt");
        QVERIFY(PublicUrlFixture::listing(m_fixture.downloadFolder()).isEmpty());
        m_fixture.runner()->onNetworkReadyRead(data("first "), "f");
        const QString strPath = m_fixture.downloadPath("f.txt");
        QCOMPARE(readAll(strPath), QByteArray("first "));
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strPath), 1);
        m_fixture.runner()->onNetworkFinished(data("last"), "f");
        QCOMPARE(readAll(strPath), QByteArray("first last"));
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strPath), 0);
        QCOMPARE(m_fixture.status("f"), 3);
    }

    void anEndWithoutDataStillMakesTheFile()
    {
        addIdle("e", "e.txt");
        m_fixture.runner()->onNetworkFinished(data(QByteArray()), "e");
        QCOMPARE(m_fixture.status("e"), 3);
        QVERIFY(QFileInfo(m_fixture.downloadPath("e.txt")).isFile());
        QCOMPARE(QFileInfo(m_fixture.downloadPath("e.txt")).size(), 0);
    }

    void anErrorFailsTheJobAndKeepsWhatCame()
    {
        addIdle("e", "e.txt");
        m_fixture.runner()->onNetworkReadyRead(data("part"), "e");
        m_fixture.runner()->onNetworkError(99, "lost", "e");
        QCOMPARE(m_fixture.status("e"), 2);
        const QString strPath = m_fixture.downloadPath("e.txt");
        QCOMPARE(readAll(strPath), QByteArray("part"));
        QCOMPARE(PublicUrlFixture::descriptorsOpenOn(strPath), 0);
        // Whatever comes later for it goes nowhere.
        m_fixture.runner()->onNetworkReadyRead(data("more"), "e");
        m_fixture.runner()->onNetworkFinished(data("end"), "e");
        QCOMPARE(readAll(strPath), QByteArray("part"));
        QCOMPARE(m_fixture.status("e"), 2);
    }

    void refusedJobsTakeNoData()
    {
        addIdle("bad", "../bad.txt");
        m_fixture.runner()->onNetworkReadyRead(data("x"), "bad");
        m_fixture.runner()->onNetworkFinished(data("y"), "bad");
        QCOMPARE(m_fixture.status("bad"), 2);
        QVERIFY(PublicUrlFixture::listing(m_fixture.downloadFolder()).isEmpty());
        QVERIFY(!QFileInfo::exists(m_fixture.rootFolder() + "/bad.txt"));
    }

    void acceptingATaskAgainResetsIt()
    {
        addIdle("r");
        m_fixture.runner()->onNetworkProgress(1000, 500, "r");
        m_fixture.runner()->onNetworkError(1, "lost", "r");
        QCOMPARE(m_fixture.status("r"), 2);
        addIdle("r");
        QCOMPARE(m_fixture.status("r"), 0);
        QCOMPARE(m_fixture.progress("r"), 0.0);
        m_fixture.runner()->onNetworkProgress(2000, 500, "r");
        QCOMPARE(m_fixture.progress("r"), 0.25);
    }

    void emptyJobListMakesTheFolder()
    {
        const QString strFolder = m_fixture.rootFolder() + "/new/deeper";
        QVERIFY(PublicUrlFixture::writeSettings(strFolder));
        m_fixture.add(QJsonArray());
        QVERIFY(QFileInfo(strFolder).isDir());
        QVERIFY(m_fixture.statuses().isEmpty());
        QDir(m_fixture.rootFolder() + "/new").removeRecursively();
    }

    void requestWithoutJobsIsIgnored()
    {
        const QString strFolder = m_fixture.rootFolder() + "/never";
        QVERIFY(PublicUrlFixture::writeSettings(strFolder));
        m_fixture.runner()->addDownloadTasksByPublicUrl(
            {{"tasks", QJsonArray{PublicUrlFixture::job("a", m_strIdleUrl, "a")}}});
        QVERIFY(!QFileInfo::exists(strFolder));
        QVERIFY(m_fixture.statuses().isEmpty());
    }

    void folderThatCannotBeMadeDropsTheRequest()
    {
        const QString strBlocker = m_fixture.rootFolder() + "/blocker";
        QFile file(strBlocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(PublicUrlFixture::writeSettings(strBlocker + "/sub"));
        addIdle("a");
        QVERIFY(m_fixture.statuses().isEmpty());
        QFile::remove(strBlocker);
    }
};

QTEST_MAIN(tst_PublicUrlStatus)
#include "tst_PublicUrlStatus.moc"
