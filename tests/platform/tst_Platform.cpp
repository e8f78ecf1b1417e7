#include <hostservices/CBaseInfo.h>
#include <hostservices/CConfig.h>
#include <hostservices/CLocalConfig.h>
#include <hostservices/ClientSettings.h>
#include <ncl/NPrintLog.h>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// What of the client's stand-ins nothing else observes: how odd settings files are read, and
// that the logger keeps texts given as arguments exactly (they come from outside).
class tst_Platform : public QObject
{
    Q_OBJECT

private slots:
    void settings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("read");  // web address, product, OSD, record folder
        const QString strBase = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        const QStringList listDefaults{"http://127.0.0.1:18080", "Shop", "false",
                                       strBase + "/VideoClient/Record"};
        QTest::newRow("no file") << QByteArray() << listDefaults;
        QTest::newRow("values, blanks and trailing slashes")
            << QByteArray(
                   "[Local]\nWebUrl=http://h:9000//\n[Base]\nProductName=\"  \"\nOpenOSD=1\n"
                   "[Download]\nDownloadPath=/data/rec/\n")
            << QStringList{"http://h:9000", "Shop", "true", "/data/rec"};
        QTest::newRow("garbage") << QByteArray("\x00\x01garbage[[[\n=== \xff\xfe", 17) << listDefaults;
    }

    void settings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, read);
        QTemporaryDir dir;
        qputenv(ConfigInfo::ClientSettings::kPathVariable, dir.filePath("c.ini").toUtf8());
        QFile file(dir.filePath("c.ini"));
        QVERIFY(ini.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size()));
        file.close();
        using namespace ConfigInfo;
        QCOMPARE(QStringList({CLocalConfig::instance().getWebUrl(), CBaseInfo::instance().getProductName(),
                              QVariant(CBaseInfo::instance().getOpenOSD()).toString(),
                              CConfig::instance().getDownloadConfig().strDownloadPath}),
                 read);
    }

    void logKeepsArgumentsAsGiven()
    {
        QStringList listSeen;
        const int nId = ncl::NPrintLog::instance()->addObserver(
            [&listSeen](const ncl::NLogRecord& record) { listSeen << record.strMessage; });
        ncl::NPrintLog::instance()->Log("f", 1, "fn", "", 6, "[%s] %d%%", "%s%n%%", -7);
        ncl::NPrintLog::instance()->removeObserver(nId);
        QCOMPARE(listSeen, QStringList{"[%s%n%%] -7%"});
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
