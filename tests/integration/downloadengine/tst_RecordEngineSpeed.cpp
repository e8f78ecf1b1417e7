#include <QRegularExpression>
#include <QtTest>

#include <downloadengine/CRecordDownloadManager.h>

#include "EngineFixture.h"

// The speed factor changes how fast the engine reads. Rates are compared as ratios of the bytes
// that arrived in the same window, never against the clock.
class tst_RecordEngineSpeed : public QObject
{
    Q_OBJECT

private:
    // Slow enough that no recording below ends within the windows, even at 4x.
    static constexpr qint64 kBaseRate = 128 * 1024;
    static constexpr int kWindowMs = 2000;

    EngineFixture m_fixture;
    CRecordDownloadManager& m_engine = CRecordDownloadManager::getInstance();
    int m_nNextIndex = 0;

    int addStarted(const QString& strDeviceId)
    {
        const int nIndex = ++m_nNextIndex;
        m_engine.addDownloadTask(
            nIndex, m_fixture.recordTask(strDeviceId, 1, 120, 512000, strDeviceId + QStringLiteral(".mp4")));
        m_engine.prepareDownloadInfo(nIndex);
        return m_engine.startDownload(nIndex) == 0 ? nIndex : -1;
    }

    // Bytes of the task's download so far.
    qint64 bytes(int nIndex)
    {
        float fFraction = 0;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nIndex, fFraction, strSpeed);
        return qRound64(double(fFraction) * double(EngineFixture::framedSize(120, 512000)));
    }

    // Waits until every task has had data for a while, so that the windows see steady reading.
    bool warmUp(const QList<int>& listIndexes)
    {
        for (const int nIndex : listIndexes) {
            if (!QTest::qWaitFor([&] { return bytes(nIndex) > 0; }, EngineFixture::kTimeoutMs)) {
                return false;
            }
        }
        QTest::qWait(500);
        return true;
    }

private slots:
    void initTestCase() { QVERIFY(m_fixture.isValid()); }

    void init()
    {
        m_fixture.resetEngines();
        QVERIFY(m_fixture.setRecordRate(kBaseRate));
    }

    void factorsScaleTheRateSideBySide()
    {
        const int nOne = addStarted(QStringLiteral("one"));
        const int nTwo = addStarted(QStringLiteral("two"));
        const int nFour = addStarted(QStringLiteral("four"));
        QVERIFY(nOne > 0 && nTwo > 0 && nFour > 0);
        QCOMPARE(m_engine.setDownloadSpeed(nTwo, 2), 1);
        QCOMPARE(m_engine.setDownloadSpeed(nFour, 4), 1);
        QVERIFY(warmUp({nOne, nTwo, nFour}));

        const qint64 nOneBefore = bytes(nOne);
        const qint64 nTwoBefore = bytes(nTwo);
        const qint64 nFourBefore = bytes(nFour);
        QTest::qWait(kWindowMs);
        const double fOne = double(bytes(nOne) - nOneBefore);
        const double fTwo = double(bytes(nTwo) - nTwoBefore);
        const double fFour = double(bytes(nFour) - nFourBefore);
        QVERIFY2(fOne > 0, "the 1x task moved nothing");
        const QByteArray baRatios =
            QStringLiteral("2x/1x %1, 4x/1x %2").arg(fTwo / fOne).arg(fFour / fOne).toLatin1();
        QVERIFY2(fTwo / fOne > 1.5 && fTwo / fOne < 2.6, baRatios.constData());
        QVERIFY2(fFour / fOne > 3.0 && fFour / fOne < 5.2, baRatios.constData());
    }

    void aFactorChangesARunningTask()
    {
        const int nIndex = addStarted(QStringLiteral("change"));
        QVERIFY(nIndex > 0);
        QVERIFY(warmUp({nIndex}));
        const qint64 nStart = bytes(nIndex);
        QTest::qWait(kWindowMs);
        const qint64 nAtOne = bytes(nIndex);
        QCOMPARE(m_engine.setDownloadSpeed(nIndex, 4), 1);
        QTest::qWait(300);
        const qint64 nFourStart = bytes(nIndex);
        QTest::qWait(kWindowMs);
        const double fRatio = double(bytes(nIndex) - nFourStart) / double(nAtOne - nStart);
        QVERIFY2(fRatio > 2.5 && fRatio < 6.0, QByteArray::number(fRatio).constData());

        // Back to 1x: the reading slows down again.
        QCOMPARE(m_engine.setDownloadSpeed(nIndex, 1), 1);
        QTest::qWait(300);
        const qint64 nBackStart = bytes(nIndex);
        QTest::qWait(kWindowMs);
        const double fBack = double(bytes(nIndex) - nBackStart) / double(nAtOne - nStart);
        QVERIFY2(fBack > 0.5 && fBack < 1.6, QByteArray::number(fBack).constData());
    }

    void aContinuedTaskStartsAt1x()
    {
        const int nFirst = addStarted(QStringLiteral("again"));
        const int nOther = addStarted(QStringLiteral("steady"));
        QVERIFY(nFirst > 0 && nOther > 0);
        QCOMPARE(m_engine.setDownloadSpeed(nFirst, 4), 1);
        QVERIFY(warmUp({nFirst, nOther}));
        m_engine.stopDownload(nFirst, StopReason_Failed, false);
        QCOMPARE(m_engine.startDownload(nFirst), 0);
        QVERIFY(warmUp({nFirst}));
        const qint64 nFirstBefore = bytes(nFirst);
        const qint64 nOtherBefore = bytes(nOther);
        QTest::qWait(kWindowMs);
        const double fRatio = double(bytes(nFirst) - nFirstBefore) / double(bytes(nOther) - nOtherBefore);
        QVERIFY2(fRatio > 0.6 && fRatio < 1.6, QByteArray::number(fRatio).constData());
    }

    void speedTextIsReadable()
    {
        const int nIndex = addStarted(QStringLiteral("text"));
        QVERIFY(nIndex > 0);
        QVERIFY(warmUp({nIndex}));
        float fFraction = 0;
        QString strSpeed;
        m_engine.getDownloadSpeedAndPercent(nIndex, fFraction, strSpeed);
        QVERIFY(fFraction > 0.0f && fFraction < 1.0f);
        static const QRegularExpression reSpeed(QStringLiteral("^[0-9]+(\\.[0-9])?(B|KB|MB|GB)/s$"));
        QVERIFY2(reSpeed.match(strSpeed).hasMatch(), qPrintable(strSpeed));
        // At 128 KB/s the text is in kilobytes.
        QVERIFY2(strSpeed.endsWith(QLatin1String("KB/s")), qPrintable(strSpeed));
    }
};

QTEST_GUILESS_MAIN(tst_RecordEngineSpeed)
#include "tst_RecordEngineSpeed.moc"
