#include <CDownloadByPublicUrl.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The two name rules of public-URL jobs: which names are plain file names, and which free
// name a file gets when its name is taken.
class tst_PublicUrlFileNames : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString& strRelative) const { return m_dir.path() + "/" + strRelative; }

    bool touch(const QString& strRelative) const
    {
        QDir().mkpath(QFileInfo(path(strRelative)).absolutePath());
        QFile file(path(strRelative));
        return file.open(QIODevice::WriteOnly);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cleanup()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void plainFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("simple") << "a.txt" << true;
        QTest::newRow("blank inside") << "my file.pdf" << true;
        QTest::newRow("leading dots") << "..a" << true;
        QTest::newRow("three dots") << "..." << true;
        QTest::newRow("hidden") << ".profile" << true;
        QTest::newRow("non-ASCII") << QStringLiteral("\u00fcber.txt") << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("leading slash") << "/a" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("new line") << "a\nb" << false;
        QTest::newRow("nul") << QString("a") + QChar(0) << false;
        QTest::newRow("unit separator") << "a\x1f" << false;
        QTest::newRow("delete") << "a\x7f" << false;
        QTest::newRow("C1 control") << QString("a") + QChar(0x9b) << false;
    }

    void plainFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(CDownloadByPublicUrl::isPlainFileName(name), plain);
    }

    void freeNames_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << QStringList() << "a.txt"
                              << "a.txt";
        QTest::newRow("taken once") << QStringList{"a.txt"} << "a.txt"
                                    << "a(1).txt";
        QTest::newRow("taken twice") << QStringList{"a.txt", "a(1).txt"} << "a.txt"
                                     << "a(2).txt";
        QTest::newRow("a gap is used") << QStringList{"a.txt", "a(2).txt"} << "a.txt"
                                       << "a(1).txt";
        QTest::newRow("last dot only") << QStringList{"a.tar.gz"} << "a.tar.gz"
                                       << "a.tar(1).gz";
        QTest::newRow("no extension") << QStringList{"README"} << "README"
                                      << "README(1)";
        QTest::newRow("no extension twice") << QStringList{"README", "README(1)"} << "README"
                                            << "README(2)";
        QTest::newRow("hidden name") << QStringList{".profile"} << ".profile"
                                     << ".profile(1)";
        QTest::newRow("name with parentheses") << QStringList{"r(1).pdf"} << "r(1).pdf"
                                               << "r(1)(1).pdf";
        QTest::newRow("taken by a folder") << QStringList{"d.txt/inner"} << "d.txt"
                                           << "d(1).txt";
        QTest::newRow("dots and parentheses in folders") << QStringList{"v1.2(3)/a"} << "v1.2(3)/a"
                                                         << "v1.2(3)/a(1)";
    }

    void freeNames()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, wanted);
        QFETCH(QString, expected);
        for (const QString& strName : existing) {
            QVERIFY(touch(strName));
        }
        QCOMPARE(CDownloadByPublicUrl::getUniqueFilePath(path(wanted), 1), path(expected));
    }

    void aDanglingLinkTakesItsName()
    {
        QVERIFY(QFile::link(path("nowhere"), path("l.txt")));
        QCOMPARE(CDownloadByPublicUrl::getUniqueFilePath(path("l.txt"), 1), path("l(1).txt"));
    }

    void manyDuplicates()
    {
        QVERIFY(touch("m.txt"));
        for (int i = 1; i <= 2000; ++i) {
            QVERIFY(touch(QStringLiteral("m(%1).txt").arg(i)));
        }
        QCOMPARE(CDownloadByPublicUrl::getUniqueFilePath(path("m.txt"), 1), path("m(2001).txt"));
    }

    void noFreeNameLeft()
    {
        QVERIFY(touch("z"));
        for (int i = 1; i <= 9999; ++i) {
            QVERIFY(touch(QStringLiteral("z(%1)").arg(i)));
        }
        QVERIFY(CDownloadByPublicUrl::getUniqueFilePath(path("z"), 1).isEmpty());
    }
};

QTEST_MAIN(tst_PublicUrlFileNames)
#include "tst_PublicUrlFileNames.moc"
