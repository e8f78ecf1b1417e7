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

private:
    static constexpr int kTourSeconds = 420;

    // A blank or single-colour grab has a handful of colours; a window with text has hundreds.
    static int colourCount(const QImage& image)
    {
        QSet<QRgb> setColours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                setColours.insert(image.pixel(x, y));
            }
        }
        return setColours.size();
    }

private slots:
    void tourPassesAndLeavesItsScreenshots()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/dc-demo"),
                      {QStringLiteral("--tour"), QStringLiteral("--screenshots"), dir.path(),
                       QStringLiteral("--timeout"), QString::number(kTourSeconds)});
        QVERIFY2(process.waitForStarted(30000), qPrintable(process.errorString()));
        // Longer than the tour's own bound, which ends it with a message of its own.
        QVERIFY(process.waitForFinished((kTourSeconds + 60) * 1000));
        const QByteArray baOutput = process.readAll();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 baOutput.constData());

        for (const char* pName : {"downloading.png", "done.png", "file-download.png"}) {
            const QImage image(dir.filePath(QLatin1String(pName)));
            QVERIFY2(!image.isNull(), pName);
            QVERIFY2(image.width() >= 800 && image.height() >= 500, pName);
            QVERIFY2(colourCount(image) > 100, pName);
        }
    }
};

QTEST_GUILESS_MAIN(tst_DemoTour)
#include "tst_DemoTour.moc"
