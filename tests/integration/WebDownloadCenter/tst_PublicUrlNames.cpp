#include "PublicUrlFixture.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QUrl>
#include <QtTest>

// Names and open requests come from the page and are not trusted: nothing is ever written or
// opened outside the download folder.
class tst_PublicUrlNames : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the desktop: records what would be opened.
    void onOpenUrl(const QUrl& url) { m_listOpened.append(url.toLocalFile()); }

private:
    static constexpr int kWaitMs = 60000;

    PublicUrlFixture m_fixture;
    QStringList m_listOpened;

    QString folder() const { return m_fixture.downloadFolder(); }

    static bool writeFile(const QString& strPath, const QByteArray& baData)
    {
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    // Runs a job with a harmless name after the others, so that anything they might have
    // fetched has had every chance to land.
    void settle()
    {
        m_fixture.add(
            {PublicUrlFixture::job("sentinel", m_fixture.url("/public/source.bin"), "sentinel.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("sentinel"), 3, kWaitMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.isValid());
        QVERIFY(!m_fixture.makeSource(QStringLiteral("source.bin"), 5000, 7).isEmpty());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "onOpenUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void init()
    {
        QVERIFY(PublicUrlFixture::writeSettings(folder()));
        m_fixture.clearDownloads();
        m_fixture.newRunner();
        m_listOpened.clear();
    }

    void cleanup() { m_fixture.deleteRunner(); }

    void hostileNamesWriteNothing_data()
    {
        QTest::addColumn<QJsonValue>("name");
        QTest::newRow("parent") << QJsonValue("../escape.txt");
        QTest::newRow("grandparent") << QJsonValue("../../escape.txt");
        QTest::newRow("sub folder") << QJsonValue("sub/escape.txt");
        QTest::newRow("trailing slash") << QJsonValue("escape/");
        QTest::newRow("slash only") << QJsonValue("/");
        QTest::newRow("absolute") << QJsonValue(m_fixture.rootFolder() + "/escape.txt");
        QTest::newRow("absolute in the folder") << QJsonValue(folder() + "/escape.txt");
        QTest::newRow("backslash parent") << QJsonValue("..\\escape.txt");
        QTest::newRow("backslash") << QJsonValue("sub\\escape.txt");
        QTest::newRow("drive") << QJsonValue("C:\\escape.txt");
        QTest::newRow("new line") << QJsonValue("escape\n.txt");
        QTest::newRow("carriage return") << QJsonValue("escape\r.txt");
        QTest::newRow("tab") << QJsonValue("\tescape.txt");
        QTest::newRow("nul") << QJsonValue(QStringLiteral("escape") + QChar(0) + QStringLiteral(".txt"));
        QTest::newRow("escape character") << QJsonValue("\x1b[31mescape.txt");
        QTest::newRow("delete character") << QJsonValue("escape\x7f.txt");
        QTest::newRow("C1 control") << QJsonValue(QStringLiteral("escape") + QChar(0x85) +
                                                  QStringLiteral(".txt"));
        QTest::newRow("empty") << QJsonValue("");
        QTest::newRow("dot") << QJsonValue(".");
        QTest::newRow("dot dot") << QJsonValue("..");
        QTest::newRow("not a string") << QJsonValue(5);
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined);
    }

    void hostileNamesWriteNothing()
    {
        QFETCH(QJsonValue, name);
        const QStringList listBefore = PublicUrlFixture::listing(m_fixture.rootFolder());

        QJsonObject job{{"taskId", "bad"}, {"url", m_fixture.url("/public/source.bin")}};
        if (!name.isUndefined()) {
            job.insert("fileName", name);
        }
        m_fixture.add({job});
        QCOMPARE(m_fixture.status("bad"), 2);
        settle();
        QCOMPARE(m_fixture.status("bad"), 2);

        QStringList listExpected = listBefore;
        listExpected.append("downloads/sentinel.bin");
        listExpected.sort();
        QCOMPARE(PublicUrlFixture::listing(m_fixture.rootFolder()), listExpected);
        // The report still gives the name as it was asked for.
        QCOMPARE(m_fixture.statusOf("bad").value("fileName").toString(), name.toString());
    }

    void oddButPlainNamesAreKept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blank") << "a b.txt";
        QTest::newRow("accents") << QStringLiteral("r\u00e9sum\u00e9.txt");
        QTest::newRow("other script") << QStringLiteral("\u65e5\u672c.txt");
        QTest::newRow("leading dots") << "..a";
        QTest::newRow("trailing dots") << "a..";
        QTest::newRow("three dots") << "...";
        QTest::newRow("hidden") << ".hidden";
        QTest::newRow("parentheses") << "name (draft).txt";
        QTest::newRow("no extension") << "README";
    }

    void oddButPlainNamesAreKept()
    {
        QFETCH(QString, name);
        m_fixture.add({PublicUrlFixture::job("odd", m_fixture.url("/public/source.bin"), name)});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("odd"), 3, kWaitMs);
        QCOMPARE(PublicUrlFixture::listing(folder()), QStringList{name});
    }

    void linksInTheFolderAreNotFollowed()
    {
        // A dangling link named like the file: opening it for writing would create its target.
        const QString strOutside = m_fixture.rootFolder() + "/outside.txt";
        QVERIFY(QFile::link(strOutside, m_fixture.downloadPath("a.txt")));
        m_fixture.add({PublicUrlFixture::job("t1", m_fixture.url("/public/source.bin"), "a.txt")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("t1"), 3, kWaitMs);
        QVERIFY(!QFileInfo::exists(strOutside));
        QVERIFY(QFileInfo(m_fixture.downloadPath("a(1).txt")).isFile());
        QFile::remove(m_fixture.downloadPath("a.txt"));
    }

    void openRequests_data()
    {
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QStringList>("opened");  // "<folder>" and names inside it
        QTest::newRow("nothing named") << QJsonObject() << QStringList{"<folder>"};
        QTest::newRow("empty task id") << QJsonObject{{"taskId", ""}} << QStringList{"<folder>"};
        QTest::newRow("empty task id and a file") << QJsonObject{{"taskId", ""}, {"fileName", "present.txt"}}
                                                  << QStringList{"<folder>", "present.txt"};
        QTest::newRow("empty task id and a missing file")
            << QJsonObject{{"taskId", ""}, {"fileName", "missing.txt"}}
            << QStringList{"<folder>", "<folder>"};
        QTest::newRow("unknown task, no file") << QJsonObject{{"taskId", "none"}} << QStringList();
        QTest::newRow("unknown task and a file")
            << QJsonObject{{"taskId", "none"}, {"fileName", "present.txt"}} << QStringList{"present.txt"};
        QTest::newRow("parent") << QJsonObject{{"taskId", "none"}, {"fileName", "../secret.txt"}}
                                << QStringList{"<folder>"};
        QTest::newRow("absolute") << QJsonObject{{"taskId", "none"},
                                                 {"fileName", m_fixture.rootFolder() + "/secret.txt"}}
                                  << QStringList{"<folder>"};
        QTest::newRow("backslash") << QJsonObject{{"taskId", "none"}, {"fileName", "..\\secret.txt"}}
                                   << QStringList{"<folder>"};
        QTest::newRow("dot dot") << QJsonObject{{"taskId", "none"}, {"fileName", ".."}}
                                 << QStringList{"<folder>"};
        QTest::newRow("control character")
            << QJsonObject{{"taskId", "none"}, {"fileName", "present.txt\n"}} << QStringList{"<folder>"};
        QTest::newRow("link leading out")
            << QJsonObject{{"taskId", "none"}, {"fileName", "link.txt"}} << QStringList{"<folder>"};
    }

    void openRequests()
    {
        QFETCH(QJsonObject, params);
        QFETCH(QStringList, opened);
        QVERIFY(writeFile(folder() + "/present.txt", "here"));
        QVERIFY(writeFile(m_fixture.rootFolder() + "/secret.txt", "not for the page"));
        QVERIFY(QFile::link(m_fixture.rootFolder() + "/secret.txt", folder() + "/link.txt"));

        m_fixture.runner()->openDownloadFiledir(params);

        QStringList listExpected;
        for (const QString& strName : opened) {
            listExpected.append(strName == "<folder>" ? folder() : folder() + "/" + strName);
        }
        QCOMPARE(m_listOpened, listExpected);
        QFile::remove(m_fixture.rootFolder() + "/secret.txt");
    }

    void openRequestsForJobs()
    {
        m_fixture.add({PublicUrlFixture::job("done", m_fixture.url("/public/source.bin"), "done.txt"),
                       PublicUrlFixture::job("bad", m_fixture.url("/public/source.bin"), "../done.txt"),
                       PublicUrlFixture::job("lost", m_fixture.url("/public/missing.bin"), "lost.txt")});
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("done"), 3, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture.status("lost"), 2, kWaitMs);

        m_fixture.runner()->openDownloadFiledir({{"taskId", "done"}});
        m_fixture.runner()->openDownloadFiledir({{"taskId", "bad"}});
        m_fixture.runner()->openDownloadFiledir({{"taskId", "lost"}});
        // The job's own file comes first; "fileName" only matters without a job.
        m_fixture.runner()->openDownloadFiledir({{"taskId", "done"}, {"fileName", "../secret.txt"}});
        QCOMPARE(m_listOpened,
                 (QStringList{folder() + "/done.txt", folder(), folder(), folder() + "/done.txt"}));
    }
};

QTEST_MAIN(tst_PublicUrlNames)
#include "tst_PublicUrlNames.moc"
