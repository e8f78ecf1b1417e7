#include <hostservices/CBaseInfo.h>
#include <hostservices/CConfig.h>
#include <hostservices/CLocalConfig.h>
#include <hostservices/ClientSettings.h>
#include <ncl/NPrintLog.h>
#include <orbgui/OrbTableView.h>

#include "DataRows.h"
#include "OrbHeaderView.h"

#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using datarows::row;

// What of the client's stand-ins nothing else observes: how odd settings files are read, and
// that the logger keeps texts given as arguments exactly (they come from outside).
class tst_Platform : public QObject
{
    Q_OBJECT

private slots:
    void settings_data()
    {
        // read: web address, product, OSD, record folder
        datarows::columns<QByteArray, QStringList>("ini", "read");
        const QString strBase = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        const QStringList listDefaults{"http://127.0.0.1:18080", "Shop", "false",
                                       strBase + "/VideoClient/Record"};
        row("no file", QByteArray(), listDefaults);
        row("values, blanks and trailing slashes",
            QByteArray("[Local]\nWebUrl=http://h:9000//\n[Base]\nProductName=\"  \"\nOpenOSD=1\n"
                       "[Download]\nDownloadPath=/data/rec/\n"),
            QStringList{"http://h:9000", "Shop", "true", "/data/rec"});
        row("garbage", QByteArray("\x00\x01garbage[[[\n=== \xff\xfe", 17), listDefaults);
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

    void initTestCase()
    {
        // Small enough for the rotation test to pass it a few times; no files of earlier runs.
        qputenv("CLIENT_LOG_MAX_BYTES", "20000");
        QVERIFY(QDir(QFileInfo(ncl::NPrintLog::instance()->logFilePath()).path()).removeRecursively());
    }

    // Texts from outside are kept as given but cannot break or forge a line, nor be endless.
    void logLines_data()
    {
        datarows::columns<QString, QString>("strArgument", "strLogged");
        row("format signs", "%s%n%%", "[%s%n%%] -7%");
        row("forged line", "x\r\n2026-01-01 [7] y", "[x\\x0d\\x0a2026-01-01 [7] y] -7%");
        row("backslash, bidi, emoji", "a\\b\u202E\U0001F600", "[a\\x5cb\\xe2\\x80\\xae\U0001F600] -7%");
        row("endless", QString(5000, 'z'), "[" + QString(4095, 'z') + " [910 more bytes cut]");
    }
    void logLines()
    {
        QFETCH(QString, strArgument);
        QFETCH(QString, strLogged);
        QStringList listSeen;
        const int nId = ncl::NPrintLog::instance()->addObserver(
            [&listSeen](const ncl::NLogRecord& record) { listSeen << record.strMessage; });
        ncl::NPrintLog::instance()->Log("f", 1, "fn", "", 6, "[%s] %d%%", qUtf8Printable(strArgument), -7);
        ncl::NPrintLog::instance()->removeObserver(nId);
        QCOMPARE(listSeen, QStringList{strLogged});
    }

    // A full log starts anew; the newest lines are never lost, three old files are kept.
    void logRotates()
    {
        const QString strPath = ncl::NPrintLog::instance()->logFilePath();
        for (int i = 0; i < 1000; ++i) {
            ncl::NPrintLog::instance()->Log("f", 1, "fn", "", 5, "line %04d %s", i,
                                            QByteArray(100, 'r').constData());
        }
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.size() <= 20000 &&
                file.readAll().contains("line 0999"));
        const qint64 nOldest = QFileInfo(strPath + ".3").size();
        QVERIFY(nOldest > 10000 && nOldest <= 20000 && !QFile::exists(strPath + ".4"));
    }

    // The kit's check-all box follows the rows' boxes as rows come, go and change, without
    // reading every row for each row that comes or goes.
    void headerCheckState()
    {
        QStandardItemModel model(0, 2);
        ORBGUI::OrbTableView view;
        view.setModel(&model);
        auto* pHeader = qobject_cast<ORBGUI::OrbHeaderView*>(view.header());
        QString strSeen;
        const auto add = [&model](Qt::CheckState eState) {
            auto* pCheck = new QStandardItem;
            pCheck->setCheckable(true);
            pCheck->setCheckState(eState);
            model.appendRow({pCheck, new QStandardItem});
        };
        // The box after each step.
        const std::function<void()> steps[] = {[] {},
                                               [&] { add(Qt::Unchecked); },
                                               [&] { add(Qt::Checked); },
                                               [&] { model.removeRow(0); },
                                               [&] { model.item(0)->setCheckState(Qt::Unchecked); },
                                               [&] { pHeader->setAllCheckState(Qt::Checked); },
                                               [&] { add(Qt::Unchecked); },
                                               [&] { model.removeRows(0, 2); }};
        for (const auto& fnStep : steps) {
            fnStep();
            strSeen += QString::number(pHeader->checkState());
        }
        QCOMPARE(strSeen, QString("00120210"));
    }
};

QTEST_MAIN(tst_Platform)
#include "tst_Platform.moc"
