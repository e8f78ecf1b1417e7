#include <ncl/NPrintLog.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The logger writes records to its file and to observers; texts passed as arguments are kept
// exactly, whatever they contain.
class tst_NPrintLog : public QObject
{
    Q_OBJECT

private:
    QList<ncl::NLogRecord> m_listRecords;
    int m_nObserver = 0;

private slots:
    void init()
    {
        m_listRecords.clear();
        m_nObserver = ncl::NPrintLog::instance()->addObserver(
            [this](const ncl::NLogRecord& record) { m_listRecords.append(record); });
    }

    void cleanup() { ncl::NPrintLog::instance()->removeObserver(m_nObserver); }

    void recordCarriesItsSource()
    {
        const int nLine = __LINE__ + 1;
        ncl::NPrintLog::instance()->Log("DownloadWidget\\DownloadingWidget", nLine,
                                        "QDownloadingWidget::startDownload", "", 4, "here get ret [%d]", -7);
        QCOMPARE(m_listRecords.size(), 1);
        const ncl::NLogRecord& record = m_listRecords.first();
        QCOMPARE(record.strFile, QStringLiteral("DownloadWidget\\DownloadingWidget"));
        QCOMPARE(record.nLine, nLine);
        QCOMPARE(record.strFunction, QStringLiteral("QDownloadingWidget::startDownload"));
        QCOMPARE(record.strModule, QString());
        QCOMPARE(record.nLevel, 4);
        QCOMPARE(record.strMessage, QStringLiteral("here get ret [-7]"));
        QVERIFY(record.time.isValid());
    }

    void formatsLikePrintf_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("nCase");
        QTest::newRow("integer") << QStringLiteral("iCurrLength [1000]") << 0;
        QTest::newRow("percent signs in an argument") << QStringLiteral("Json format error[%s%n%%]") << 1;
        QTest::newRow("bare argument with conversions") << QStringLiteral("%s%n%%") << 2;
        QTest::newRow("utf-8 argument") << QStringLiteral("Json error[unterminated \u00e9]") << 3;
        QTest::newRow("literal percent in the format") << QStringLiteral("50%") << 4;
        QTest::newRow("several arguments") << QStringLiteral("a=1 b=two c=3.5") << 5;
    }

    void formatsLikePrintf()
    {
        QFETCH(QString, expected);
        QFETCH(int, nCase);
        ncl::NPrintLog* pLog = ncl::NPrintLog::instance();
        switch (nCase) {
            case 0:
                pLog->Log("f", 1, "fn", "", 4, "iCurrLength [%d]", 1000);
                break;
            case 1:
                pLog->Log("f", 1, "fn", "", 6, "%s", "Json format error[%s%n%%]");
                break;
            case 2:
                pLog->Log("f", 1, "fn", "", 6, "%s", "%s%n%%");
                break;
            case 3:
                pLog->Log("f", 1, "fn", "", 6, "Json error[%s]", "unterminated \xc3\xa9");
                break;
            case 4:
                pLog->Log("f", 1, "fn", "", 4, "50%%");
                break;
            case 5:
                pLog->Log("f", 1, "fn", "", 4, "a=%d b=%s c=%.1f", 1, "two", 3.5);
                break;
        }
        QCOMPARE(m_listRecords.size(), 1);
        QCOMPARE(m_listRecords.first().strMessage, expected);
    }

    void writesOneLinePerRecordToTheLogFile()
    {
        const QString strPath = ncl::NPrintLog::instance()->logFilePath();
        QVERIFY(strPath.startsWith(qEnvironmentVariable("CLIENT_LOG_DIR")));
        const QByteArray baMarker = "marker-" + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
        ncl::NPrintLog::instance()->Log("WebDownloadCenter\\CDownloadByPublicUrl", 42,
                                        "CDownloadByPublicUrl::x", "", 6, "%s",
                                        (baMarker + " %d%%\nsecond").constData());
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baContent = file.readAll();
        const int nAt = baContent.indexOf(baMarker);
        QVERIFY(nAt > 0);
        const int nStart = baContent.lastIndexOf('\n', nAt) + 1;
        const QByteArray baLine = baContent.mid(nStart, baContent.indexOf('\n', nAt) - nStart);
        QVERIFY2(baLine.contains("[6]"), baLine.constData());
        QVERIFY2(baLine.contains("WebDownloadCenter\\CDownloadByPublicUrl:42"), baLine.constData());
        QVERIFY2(baLine.contains("CDownloadByPublicUrl::x"), baLine.constData());
        QVERIFY2(baLine.endsWith(baMarker + " %d%%"), baLine.constData());
    }

    void removedObserverHearsNothing()
    {
        ncl::NPrintLog::instance()->removeObserver(m_nObserver);
        ncl::NPrintLog::instance()->Log("f", 1, "fn", "", 4, "unheard");
        QVERIFY(m_listRecords.isEmpty());
    }

    void observerMayLogInTurn()
    {
        int nDepth = 0;
        const int nId = ncl::NPrintLog::instance()->addObserver([&nDepth](const ncl::NLogRecord& record) {
            if (record.strMessage == QLatin1String("outer") && nDepth++ == 0) {
                ncl::NPrintLog::instance()->Log("f", 2, "fn", "", 4, "inner");
            }
        });
        ncl::NPrintLog::instance()->Log("f", 1, "fn", "", 4, "outer");
        ncl::NPrintLog::instance()->removeObserver(nId);
        QCOMPARE(m_listRecords.size(), 2);
    }

    void nullTextsDoNotCrash()
    {
        ncl::NPrintLog::instance()->Log(nullptr, 0, nullptr, nullptr, 4, nullptr);
        QCOMPARE(m_listRecords.size(), 1);
        QCOMPARE(m_listRecords.first().strMessage, QString());
    }
};

QTEST_GUILESS_MAIN(tst_NPrintLog)
#include "tst_NPrintLog.moc"
