#include <hostservices/CBaseInfo.h>
#include <hostservices/CConfig.h>
#include <hostservices/CLocalConfig.h>
#include <hostservices/ClientSettings.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Settings come from the client's INI file, named by CLIENT_SETTINGS_FILE; every value has
// a default, and a change of the file applies on the next read.
class tst_ClientSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_strFile;

    void write(const QMap<QString, QVariant>& mapValues)
    {
        QSettings settings(m_strFile, QSettings::IniFormat);
        settings.clear();
        for (auto it = mapValues.cbegin(); it != mapValues.cend(); ++it) {
            settings.setValue(it.key(), it.value());
        }
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }

    static QString read(const QString& strWhat)
    {
        if (strWhat == QLatin1String("web")) {
            return ConfigInfo::CLocalConfig::instance().getWebUrl();
        }
        if (strWhat == QLatin1String("skin")) {
            return ConfigInfo::CLocalConfig::instance().getSkinVersion();
        }
        if (strWhat == QLatin1String("product")) {
            return ConfigInfo::CBaseInfo::instance().getProductName();
        }
        if (strWhat == QLatin1String("osd")) {
            return ConfigInfo::CBaseInfo::instance().getOpenOSD() ? QStringLiteral("on")
                                                                  : QStringLiteral("off");
        }
        if (strWhat == QLatin1String("download")) {
            return ConfigInfo::CConfig::instance().getDownloadConfig().strDownloadPath;
        }
        return ConfigInfo::CConfig::instance().getDownloadConfig().strFileDownloadPath;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_strFile = m_dir.filePath(QStringLiteral("client.ini"));
        qputenv(ConfigInfo::ClientSettings::kPathVariable, m_strFile.toUtf8());
    }

    void cleanup() { QFile::remove(m_strFile); }

    void pathFromTheEnvironment() { QCOMPARE(ConfigInfo::ClientSettings::filePath(), m_strFile); }

    void defaultsWithoutAFile_data()
    {
        const QString strDownloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("web") << "web"
                             << "http://127.0.0.1:18080";
        QTest::newRow("skin") << "skin"
                              << "Default";
        QTest::newRow("product") << "product"
                                 << "Shop";
        QTest::newRow("osd") << "osd"
                             << "off";
        QTest::newRow("record folder") << "download" << strDownloads + "/VideoClient/Record";
        QTest::newRow("file folder") << "file" << strDownloads + "/VideoClient/File";
    }

    void defaultsWithoutAFile()
    {
        QFETCH(QString, what);
        QFETCH(QString, expected);
        QVERIFY(!QFile::exists(m_strFile));
        QCOMPARE(read(what), expected);
    }

    void valuesFromTheFile_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("web") << "Local/WebUrl" << QVariant("http://127.0.0.1:9000") << "web"
                             << "http://127.0.0.1:9000";
        QTest::newRow("web, trailing slashes dropped")
            << "Local/WebUrl" << QVariant("http://127.0.0.1:9000//") << "web"
            << "http://127.0.0.1:9000";
        QTest::newRow("skin") << "Local/SkinVersion" << QVariant("Dark") << "skin"
                              << "Dark";
        QTest::newRow("product") << "Base/ProductName" << QVariant("Store") << "product"
                                 << "Store";
        QTest::newRow("osd true") << "Base/OpenOSD" << QVariant("true") << "osd"
                                  << "on";
        QTest::newRow("osd 1") << "Base/OpenOSD" << QVariant(1) << "osd"
                               << "on";
        QTest::newRow("osd false") << "Base/OpenOSD" << QVariant("false") << "osd"
                                   << "off";
        QTest::newRow("record folder") << "Download/DownloadPath" << QVariant("/data/rec/") << "download"
                                       << "/data/rec";
        QTest::newRow("file folder") << "Download/FileDownloadPath" << QVariant("/data/files") << "file"
                                     << "/data/files";
        QTest::newRow("empty value keeps the default") << "Base/ProductName" << QVariant("  ") << "product"
                                                       << "Shop";
    }

    void valuesFromTheFile()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, what);
        QFETCH(QString, expected);
        write({{key, value}});
        QCOMPARE(read(what), expected);
    }

    void changesApplyOnTheNextRead()
    {
        write({{"Download/FileDownloadPath", "/first"}});
        QCOMPARE(read("file"), QStringLiteral("/first"));
        write({{"Download/FileDownloadPath", "/second"}});
        QCOMPARE(read("file"), QStringLiteral("/second"));
    }

    void unreadableFileGivesDefaults()
    {
        QFile file(m_strFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x00\x01garbage[[[\n=== \xff\xfe", 17);
        file.close();
        QCOMPARE(read("product"), QStringLiteral("Shop"));
        QCOMPARE(read("osd"), QStringLiteral("off"));
    }
};

QTEST_GUILESS_MAIN(tst_ClientSettings)
#include "tst_ClientSettings.moc"
