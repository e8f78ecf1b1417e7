#include "LogCapture.h"
#include "PublicUrlFixture.h"

#include <QJsonDocument>
#include <QtTest>

// The jobs' bookkeeping as the page sees it: the status report and progress. Jobs here point
// at a body that never comes (the server stalls before it), and the test plays the HTTP
// client's part by calling the progress callback.
class tst_PublicUrlStatus : public QObject
{
    Q_OBJECT

private:
    PublicUrlFixture m_f;

    void addIdle(const QString& strTaskId) { m_f.add(strTaskId, m_f.url(1000, 0, "&stallAfter=0"), "a.txt"); }

private slots:
    void initTestCase() { QVERIFY(m_f.isValid()); }

    void init() { QVERIFY(m_f.reset()); }

    void cleanup() { m_f.deleteRunner(); }

    // Keys sorted; each report is a new message of the runner's own numbering.
    void compactTextOfOneJob()
    {
        addIdle("t1");
        m_f.runner()->onNetworkProgress(1000, 1000, "t1");
        const QString strText = m_f.statusText();
        const int nId = QJsonDocument::fromJson(strText.toUtf8()).object().value("id").toInt();
        QCOMPARE(strText,
                 QString("{\"async\":false,\"id\":%1,\"method\":\"responseDownloadTasksByPublicUrlStatus\","
                         "\"params\":{\"downloadTasksStatus\":[{\"downloadProgress\":1,\"fileName\":"
                         "\"a.txt\",\"status\":0,\"taskId\":\"t1\",\"url\":\"%2\"}]},\"result\":true}")
                     .arg(nId)
                     .arg(m_f.url(1000, 0, "&stallAfter=0")));
        QCOMPARE(QJsonDocument::fromJson(m_f.statusText().toUtf8()).object().value("id").toInt(), nId + 1);
    }

    void reportFollowsTheList_data()
    {
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QString>("strIds");  // of the entries reported; "?" for a job with initial values
        QTest::newRow("no list: every job, by id") << QJsonObject() << "a b c";
        QTest::newRow("list order, unknown ids")
            << QJsonObject{{"downloadTasks", QJsonArray{"c", "x", "a", 5}}} << "c ? a ?";
        QTest::newRow("empty list") << QJsonObject{{"downloadTasks", QJsonArray()}} << "";
        QTest::newRow("not a list") << QJsonObject{{"downloadTasks", "a"}} << "";
    }

    void reportFollowsTheList()
    {
        QFETCH(QJsonObject, params);
        QFETCH(QString, strIds);
        for (const char* pszId : {"b", "a", "c"}) {
            addIdle(pszId);
        }
        const QJsonObject initial{
            {"taskId", ""}, {"url", ""}, {"fileName", ""}, {"status", 0}, {"downloadProgress", 0}};
        QStringList listIds;
        for (const QJsonValue& entry : m_f.statuses(params)) {
            listIds << (entry == initial ? "?" : entry.toObject().value("taskId").toString());
        }
        QCOMPARE(listIds.join(' '), strIds);
    }

    // Always a fraction, also for odd totals and chunks; logged as it adds up; back to 0 when
    // the job is accepted again.
    void progress()
    {
        LogCapture capture;
        const QList<QList<qint64>> listCalls{
            {1000, 300}, {1000, 700}, {0, 500}, {-1, 500}, {100, 150}, {100, -50}, {8LL << 30, 2LL << 30}};
        QList<double> listProgress;
        for (int i = 0; i < listCalls.size(); ++i) {
            const QString strTaskId = QString::number(qMax(i, 1));  // the first two calls add up
            if (i != 1) {
                addIdle(strTaskId);
            }
            m_f.runner()->onNetworkProgress(listCalls.at(i).at(0), listCalls.at(i).at(1), strTaskId);
            listProgress << m_f.statusOf(strTaskId).value("downloadProgress").toDouble(-1);
        }
        QCOMPARE(listProgress, QList<double>({0.3f, 1.0, 0.0, 0.0, 1.0, 0.0, 0.25}));  // kept as a float
        QCOMPARE(capture.messages().mid(0, 2), QStringList({"iCurrLength [300]", "iCurrLength [1000]"}));
        QCOMPARE(
            capture.records().value(0).strFile + " " + QString::number(capture.records().value(0).nLevel),
            QString("WebDownloadCenter\\CDownloadByPublicUrl 4"));
        addIdle("1");
        QCOMPARE(m_f.statusOf("1").value("downloadProgress").toDouble(-1), 0.0);
    }
};

QTEST_MAIN(tst_PublicUrlStatus)
#include "tst_PublicUrlStatus.moc"
