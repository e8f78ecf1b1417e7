#include <CDownloadByPublicUrl.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// The two name rules of public-URL jobs: which names are plain file names, and which free
// name a file gets when its name is taken.
class tst_PublicUrlFileNames : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString& strRelative) const { return m_dir.filePath(strRelative); }

    bool touch(const QString& strRelative) const
    {
        QFile file(path(strRelative));
        return QDir().mkpath(QFileInfo(file).absolutePath()) && file.open(QIODevice::WriteOnly);
    }

private slots:
    void cleanup() { QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(m_dir.path())); }

    void plainFileNames()
    {
        const QStringList listPlain = QString("a.txt|my file.pdf|..a|...|.profile|\u00fcber.txt").split('|');
        QStringList listNot = QString("|.|..|a/b|/a|a\\b|a\nb|a\x1f|a\x7f|a\u009b").split('|');
        listNot << QString("a") + QChar(0);
        for (const QString& strName : listPlain + listNot) {
            QVERIFY2(CDownloadByPublicUrl::isPlainFileName(strName) == listPlain.contains(strName),
                     qPrintable(strName));
        }
    }

    void freeNames_data()
    {
        QTest::addColumn<QString>("strWanted");
        QTest::addColumn<QStringList>("listTaken");
        QTest::addColumn<QString>("strExpected");
        QTest::newRow("free") << "a.txt" << QStringList() << "a.txt";
        QTest::newRow("taken once") << "a.txt" << QStringList{"a.txt"} << "a(1).txt";
        QTest::newRow("taken twice") << "a.txt" << QStringList{"a.txt", "a(1).txt"} << "a(2).txt";
        QTest::newRow("a gap is used") << "a.txt" << QStringList{"a.txt", "a(2).txt"} << "a(1).txt";
        QTest::newRow("last dot only") << "a.tar.gz" << QStringList{"a.tar.gz"} << "a.tar(1).gz";
        QTest::newRow("no extension, twice") << "README" << QStringList{"README", "README(1)"} << "README(2)";
        QTest::newRow("hidden name") << ".profile" << QStringList{".profile"} << ".profile(1)";
        QTest::newRow("name with parentheses") << "r(1).pdf" << QStringList{"r(1).pdf"} << "r(1)(1).pdf";
        QTest::newRow("taken by a folder") << "d.txt" << QStringList{"d.txt/inner"} << "d(1).txt";
        QTest::newRow("taken by a dangling link") << "l.txt" << QStringList{"@l.txt"} << "l(1).txt";
        QTest::newRow("dots and parentheses in folders")
            << "v1.2(3)/a" << QStringList{"v1.2(3)/a"} << "v1.2(3)/a(1)";
    }

    void freeNames()
    {
        QFETCH(QString, strWanted);
        QFETCH(QStringList, listTaken);
        QFETCH(QString, strExpected);
        for (const QString& strName : listTaken) {  // "@name": a link to nowhere
            QVERIFY(strName.startsWith('@') ? QFile::link(path("nowhere"), path(strName.mid(1)))
                                            : touch(strName));
        }
        QCOMPARE(CDownloadByPublicUrl::getUniqueFilePath(path(strWanted), 1), path(strExpected));
    }

    // Numbers go up to 9999, then there is no free name.
    void noFreeNameLeft()
    {
        QVERIFY(touch("z"));
        for (int i = 1; i <= 9998; ++i) {
            QVERIFY(touch(QString("z(%1)").arg(i)));
        }
        QCOMPARE(CDownloadByPublicUrl::getUniqueFilePath(path("z"), 1), path("z(9999)"));
        QVERIFY(touch("z(9999)"));
        QVERIFY(CDownloadByPublicUrl::getUniqueFilePath(path("z"), 1).isEmpty());
    }
};

QTEST_MAIN(tst_PublicUrlFileNames)
#include "tst_PublicUrlFileNames.moc"
