#include "PublicUrlFixture.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <QtTest>

// Names and open requests come from the page and are not trusted: nothing is ever written or
// opened outside the download folder.
class tst_PublicUrlNames : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the desktop: records what would be opened.
    void onOpenUrl(const QUrl& url) { m_listOpened << url.toLocalFile(); }

private:
    PublicUrlFixture m_f;
    QStringList m_listOpened;

    // Runs a job until it ends with nStatus.
    void runJob(const QString& strTaskId, const QJsonValue& name, int nStatus = 3)
    {
        m_f.add(strTaskId, m_f.url(5000), name);
        QTRY_COMPARE_WITH_TIMEOUT(m_f.status(strTaskId), nStatus, 60000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_f.isValid());
        QDesktopServices::setUrlHandler("file", this, "onOpenUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }

    void init()
    {
        QVERIFY(m_f.reset());
        m_listOpened.clear();
    }

    void cleanup() { m_f.deleteRunner(); }

    void hostileNamesWriteNothing_data()
    {
        QTest::addColumn<QJsonValue>("name");
        QTest::newRow("parent") << QJsonValue("../escape.txt");
        QTest::newRow("sub folder") << QJsonValue("sub/escape.txt");
        QTest::newRow("absolute") << QJsonValue(m_f.root() + "/escape.txt");
        QTest::newRow("absolute in the folder") << QJsonValue(m_f.path("escape.txt"));
        QTest::newRow("backslash parent") << QJsonValue("..\\escape.txt");
        QTest::newRow("drive") << QJsonValue("C:\\escape.txt");
        QTest::newRow("new line") << QJsonValue("escape\n.txt");
        QTest::newRow("nul") << QJsonValue(QString("escape") + QChar(0) + ".txt");
        QTest::newRow("C1 control") << QJsonValue(QString("escape") + QChar(0x85) + ".txt");
        QTest::newRow("empty") << QJsonValue("");
        QTest::newRow("dot") << QJsonValue(".");
        QTest::newRow("dot dot") << QJsonValue("..");
        QTest::newRow("not a string") << QJsonValue(5);
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined);
    }

    // A job with a harmless name runs after the bad one, so that anything the bad one might
    // have fetched has had every chance to land.
    void hostileNamesWriteNothing()
    {
        QFETCH(QJsonValue, name);
        QStringList listExpected = PublicUrlFixture::listing(m_f.root()) << "downloads/sentinel.bin";
        listExpected.sort();
        runJob("bad", name, 2);
        runJob("sentinel", "sentinel.bin");
        QCOMPARE(m_f.status("bad"), 2);
        QCOMPARE(PublicUrlFixture::listing(m_f.root()), listExpected);
        // The report still gives the name as it was asked for.
        QCOMPARE(m_f.statusOf("bad").value("fileName").toString(), name.toString());
    }

    // A dangling link named like the file: opening it for writing would create its target.
    void linksInTheFolderAreNotFollowed()
    {
        QVERIFY(QFile::link(m_f.root() + "/outside.txt", m_f.path("a.txt")));
        runJob("t1", "a.txt");
        QVERIFY(!QFileInfo::exists(m_f.root() + "/outside.txt"));
        QVERIFY(QFileInfo(m_f.path("a(1).txt")).isFile());
    }

    void openRequests_data()
    {
        // Task id and file name asked for ("-": not given), what opens ("<folder>" or a name in it).
        QTest::addColumn<QStringList>("listRequest");
        QTest::newRow("nothing named") << QStringList{"-", "-", "<folder>"};
        QTest::newRow("empty task id") << QStringList{"", "-", "<folder>"};
        QTest::newRow("empty task id and a file") << QStringList{"", "present.txt", "<folder> present.txt"};
        QTest::newRow("empty task id and a missing file")
            << QStringList{"", "missing.txt", "<folder> <folder>"};
        QTest::newRow("unknown task, no file") << QStringList{"none", "-", ""};
        QTest::newRow("unknown task and a file") << QStringList{"none", "present.txt", "present.txt"};
        QTest::newRow("parent") << QStringList{"none", "../secret.txt", "<folder>"};
        QTest::newRow("absolute") << QStringList{"none", m_f.root() + "/secret.txt", "<folder>"};
        QTest::newRow("dot dot") << QStringList{"none", "..", "<folder>"};
        QTest::newRow("control character") << QStringList{"none", "present.txt\n", "<folder>"};
        QTest::newRow("link leading out") << QStringList{"none", "link.txt", "<folder>"};
        // A job's own file comes first, whatever the name; a refused or failed job opens the folder.
        QTest::newRow("done job") << QStringList{"done", "../secret.txt", "done.txt"};
        QTest::newRow("refused job") << QStringList{"bad", "-", "<folder>"};
        QTest::newRow("failed job") << QStringList{"lost", "-", "<folder>"};
    }

    void openRequests()
    {
        QFETCH(QStringList, listRequest);
        QFile present(m_f.path("present.txt")), secret(m_f.root() + "/secret.txt");
        QVERIFY(present.open(QIODevice::WriteOnly) && secret.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(secret.fileName(), m_f.path("link.txt")));
        m_f.add("done", m_f.url(10), "done.txt");
        m_f.add("bad", m_f.url(10), "../done.txt");
        m_f.add("lost", m_f.url(10, 0, "&status=404"), "lost.txt");
        QTRY_VERIFY_WITH_TIMEOUT(m_f.status("done") == 3 && m_f.status("lost") == 2, 60000);
        QJsonObject params;
        for (int n : {0, 1}) {
            if (listRequest.at(n) != "-") {
                params.insert(n ? "fileName" : "taskId", listRequest.at(n));
            }
        }
        m_f.runner()->openDownloadFiledir(params);
        QCOMPARE(m_listOpened.join(' ').replace(m_f.folder() + "/", "").replace(m_f.folder(), "<folder>"),
                 listRequest.at(2));
        secret.remove();
    }
};

QTEST_MAIN(tst_PublicUrlNames)
#include "tst_PublicUrlNames.moc"
