#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

// The demo client's scripted tour, as CI runs it: offscreen, screenshots into a folder of its
// own. The tour checks the downloaded files itself and answers with its exit code; this test
// adds that the pictures it leaves behind are real screenshots.
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
        for (const char* pszName : {"downloading.png", "done.png", "file-download.png"}) {
            // A blank or single-colour grab has a handful of colours; a window with text has hundreds.
            const QImage image(dir.filePath(pszName));
            QSet<QRgb> setColours;
            for (int y = 0; y < image.height(); y += 2) {
                for (int x = 0; x < image.width(); x += 2) {
                    setColours.insert(image.pixel(x, y));
                }
            }
            QVERIFY2(image.width() >= 800 && image.height() >= 500 && setColours.size() > 100, pszName);
        }
    }
};

QTEST_GUILESS_MAIN(tst_DemoTour)
#include "tst_DemoTour.moc"
