#include <CGeneratedBody.h>

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The simulator as scripts use it: started with a folder, it prints its address first and
// serves until it is killed.
class tst_SimulatorProgram : public QObject
{
    Q_OBJECT

private:
    static QString program()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/dc-simulator");
    }

    static QByteArray get(QNetworkAccessManager& access, const QUrl& url, int& nStatus)
    {
        QNetworkReply* pReply = access.get(QNetworkRequest(url));
        QSignalSpy finished(pReply, &QNetworkReply::finished);
        if (!pReply->isFinished()) {
            finished.wait(30000);
        }
        nStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray baBody = pReply->readAll();
        pReply->deleteLater();
        return baBody;
    }

private slots:
    void servesUntilKilled()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("hello.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("hello from the folder");
        file.close();

        QProcess process;
        process.start(program(), {QStringLiteral("--public"), dir.path()});
        QVERIFY2(process.waitForStarted(30000), qPrintable(process.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 30000);
        const QString strBase = QString::fromUtf8(process.readLine()).trimmed();
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:(\\d+)$")).match(strBase);
        QVERIFY2(match.hasMatch(), qPrintable(strBase));
        QVERIFY(match.captured(1).toInt() > 0);

        QNetworkAccessManager access;
        int nStatus = 0;
        QCOMPARE(get(access, QUrl(strBase + "/public/hello.txt"), nStatus),
                 QByteArray("hello from the folder"));
        QCOMPARE(nStatus, 200);
        QByteArray baExpected(64, Qt::Uninitialized);
        CGeneratedBody::fill(0, 0, baExpected.data(), 64);
        QCOMPARE(get(access, QUrl(strBase + "/generated/64/x.bin"), nStatus), baExpected);
        get(access, QUrl(strBase + "/public/missing.txt"), nStatus);
        QCOMPARE(nStatus, 404);

        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        QVERIFY(process.waitForFinished(30000));
    }

    void refusesABadPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("text") << "abc";
        QTest::newRow("negative") << "-1";
        QTest::newRow("too large") << "70000";
    }

    void refusesABadPort()
    {
        QFETCH(QString, port);
        QProcess process;
        process.start(program(), {QStringLiteral("--port"), port});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_SimulatorProgram)
#include "tst_SimulatorProgram.moc"
