#include <CSafeFileName.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Names from outside become file names only after they are made safe and free.
class tst_CSafeFileName : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    bool touch(const QString& strName)
    {
        QFile file(m_dir.filePath(strName));
        return file.open(QIODevice::WriteOnly);
    }

private slots:
    void sanitize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "cam1_20240101.mp4"
                               << "cam1_20240101.mp4";
        QTest::newRow("blanks and unicode kept") << "Front door 前门.mp4"
                                                 << "Front door 前门.mp4";
        QTest::newRow("slash") << "a/b.mp4"
                               << "a_b.mp4";
        QTest::newRow("backslash") << "a\\b.mp4"
                                   << "a_b.mp4";
        QTest::newRow("climbing out") << "../../etc/passwd"
                                      << "_._etc_passwd";
        QTest::newRow("only dots") << ".."
                                   << "fallback";
        QTest::newRow("dots inside") << "a..b...mp4"
                                     << "a.b.mp4";
        QTest::newRow("leading dot") << ".hidden.mp4"
                                     << "hidden.mp4";
        QTest::newRow("trailing dots and blanks") << "name. . "
                                                  << "name";
        QTest::newRow("control characters") << QStringLiteral(
                                                   "a\tb\nc\x01"
                                                   "d\x7f.mp4")
                                            << "abcd.mp4";
        QTest::newRow("refused characters") << "a:b*c?d\"e<f>g|h.mp4"
                                            << "a_b_c_d_e_f_g_h.mp4";
        QTest::newRow("empty") << ""
                               << "fallback";
        QTest::newRow("blank") << "   "
                               << "fallback";
        QTest::newRow("nul") << QString(QChar(0)) << "fallback";
    }

    void sanitize()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(CSafeFileName::sanitize(name, QStringLiteral("fallback")), safe);
    }

    void sanitizeCutsLongNamesKeepingTheExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::newRow("ascii") << QString(300, QLatin1Char('a')) + ".mp4"
                               << ".mp4";
        QTest::newRow("three bytes a character") << QString(150, QChar(0x524D)) + ".mp4"
                                                 << ".mp4";
        QTest::newRow("surrogate pairs")
            << QString::fromUcs4(std::u32string(100, U'\U0001F600').c_str()) + ".zip"
            << ".zip";
        QTest::newRow("long extension is not kept apart") << QString(300, QLatin1Char('b')) << "bbbb";
    }

    void sanitizeCutsLongNamesKeepingTheExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        const QString strSafe = CSafeFileName::sanitize(name, QStringLiteral("x"));
        QVERIFY(strSafe.toUtf8().size() <= CSafeFileName::kMaxNameBytes);
        QVERIFY(strSafe.toUtf8().size() > CSafeFileName::kMaxNameBytes - 4);
        QVERIFY(strSafe.endsWith(extension));
        // No half characters.
        QCOMPARE(QString::fromUtf8(strSafe.toUtf8()), strSafe);
        QVERIFY(!strSafe.at(strSafe.size() - 1).isHighSurrogate());
    }

    void freeName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("free");
        QTest::newRow("free") << QStringList() << QStringList() << "a.mp4"
                              << "a.mp4";
        QTest::newRow("file there") << QStringList{"a.mp4"} << QStringList() << "a.mp4"
                                    << "a(1).mp4";
        QTest::newRow("partial file there") << QStringList{"a.mp4.part"} << QStringList() << "a.mp4"
                                            << "a(1).mp4";
        QTest::newRow("taken by another task") << QStringList() << QStringList{"a.mp4"} << "a.mp4"
                                               << "a(1).mp4";
        QTest::newRow("several") << QStringList{"a.mp4", "a(1).mp4"} << QStringList{"a(2).mp4"} << "a.mp4"
                                 << "a(3).mp4";
        QTest::newRow("no extension") << QStringList{"rec"} << QStringList() << "rec"
                                      << "rec(1)";
        QTest::newRow("only the last dot") << QStringList{"a.tar.gz"} << QStringList() << "a.tar.gz"
                                           << "a.tar(1).gz";
    }

    void freeName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QStringList, taken);
        QFETCH(QString, name);
        QFETCH(QString, free);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString& strName : existing) {
            QFile file(dir.filePath(strName));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QSet<QString> setTaken;
        for (const QString& strName : taken) {
            setTaken.insert(QDir::cleanPath(dir.filePath(strName)));
        }
        QCOMPARE(CSafeFileName::freeName(dir.path(), name, setTaken, {QStringLiteral(".part")}), free);
    }

    void freeNameNeverLeavesTheFolder()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(CSafeFileName::freeName(m_dir.path(), QStringLiteral("../x"), {}, {}).isEmpty());
        QVERIFY(CSafeFileName::freeName(m_dir.path(), QStringLiteral(".."), {}, {}).isEmpty());
        QVERIFY(CSafeFileName::freeName(m_dir.path(), QStringLiteral("/etc/passwd"), {}, {}).isEmpty());
        QVERIFY(CSafeFileName::freeName(m_dir.path(), QStringLiteral("a\\b"), {}, {}).isEmpty());
        QVERIFY(CSafeFileName::freeName(m_dir.path(), QString(), {}, {}).isEmpty());
    }

    void isInside_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("inside");
        QTest::newRow("file") << "/data/dl"
                              << "/data/dl/a.mp4" << true;
        QTest::newRow("relative name") << "/data/dl"
                                       << "a.mp4" << true;
        QTest::newRow("the folder itself") << "/data/dl"
                                           << "/data/dl" << false;
        QTest::newRow("sibling with the same start") << "/data/dl"
                                                     << "/data/dl2/a.mp4" << false;
        QTest::newRow("climbing out") << "/data/dl"
                                      << "/data/dl/../a.mp4" << false;
        QTest::newRow("root folder") << "/"
                                     << "/a.mp4" << true;
    }

    void isInside()
    {
        QFETCH(QString, folder);
        QFETCH(QString, path);
        QFETCH(bool, inside);
        QCOMPARE(CSafeFileName::isInside(folder, path), inside);
    }
};

QTEST_GUILESS_MAIN(tst_CSafeFileName)
#include "tst_CSafeFileName.moc"
