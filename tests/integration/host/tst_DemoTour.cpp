#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The demo client's scripted tour, as CI runs it: offscreen, screenshots into a folder of its
// own. The tour checks the downloaded files itself and answers with its exit code; this test
// adds that it leaves its screenshot of the web page behind.
class tst_DemoTour : public QObject
{
    Q_OBJECT

private slots:
    void tourPassesAndLeavesItsScreenshots()
    {
        const int nTourSeconds = 420;
        QTemporaryDir dir;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QCoreApplication::applicationDirPath() + "/dc-demo",
                      {"--tour", "--screenshots", dir.path(), "--timeout", QString::number(nTourSeconds)});
        // Longer than the tour's own bound, which ends it with a message of its own.
        QVERIFY(process.waitForFinished((nTourSeconds + 60) * 1000));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 process.readAll().constData());
        QVERIFY(QImage(dir.filePath("file-download.png")).width() >= 800);
    }
};

QTEST_GUILESS_MAIN(tst_DemoTour)
#include "tst_DemoTour.moc"
