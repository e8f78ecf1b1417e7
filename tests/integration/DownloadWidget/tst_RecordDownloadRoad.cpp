#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QtTest>

#include <downloadengine/CRecordDownloadManager.h>
#include <orbgui/ItemPixmapValue.h>

#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "ListsFixture.h"
#include "QDownloadDoneWidget.h"
#include "QDownloadingWidget.h"

using Role = ORBGUI::struTreeViewData;

// The record download tab with the real engine: tasks handed to the window download real data
// from the simulated devices, at most five at a time, and end byte-exact in the "Done" list; a
// failed task continues where it stopped; a deleted device takes its tasks and files along.
class tst_RecordDownloadRoad : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ListsFixture> m_pFixture;
    // Speed texts and percents the list showed, as it wrote them.
    QStringList m_listSpeeds;
    QList<int> m_listPercents;

    ListsFixture& f() { return *m_pFixture; }

private slots:
    void init()
    {
        m_pFixture = std::make_unique<ListsFixture>();
        QVERIFY(f().isValid());
        m_listSpeeds.clear();
        m_listPercents.clear();
        QStandardItemModel* pModel = f().recordModel();
        connect(pModel, &QStandardItemModel::dataChanged, this, [this](const QModelIndex& topLeft) {
            if (topLeft.column() == QDownloadingWidget::RecordColumnSpeed) {
                m_listSpeeds.append(topLeft.data().toString());
            } else if (topLeft.column() == QDownloadingWidget::RecordColumnPercent) {
                m_listPercents.append(topLeft.data(CDownloadCenterTableDelegate::ProgressValueRole).toInt());
            }
        });
    }

    void cleanup() { m_pFixture.reset(); }

    void sixTasksThroughFiveSlotsEndInTheDoneList()
    {
        const quint32 nSeconds = 24;
        for (int i = 1; i <= 6; ++i) {
            f().addRecord(f().recordTask(QStringLiteral("cam%1").arg(i), 1, nSeconds,
                                         QStringLiteral("cam%1.mp4").arg(i)));
        }
        QCOMPARE(f().recordTasks(), (QList<int>{1, 2, 3, 4, 5, 6}));
        QList<int> listStates;
        for (int i = 1; i <= 6; ++i) {
            listStates.append(f().recordState(i));
        }
        QCOMPARE(listStates, (QList<int>{1, 1, 1, 1, 1, 0}));
        // The sixth starts once a slot is free, that is once a first task has left the list.
        QTRY_VERIFY_WITH_TIMEOUT(f().recordState(6) != 0, ListsFixture::kTimeoutMs);
        QVERIFY(f().recordModel()->rowCount() < 6);

        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames().size(), 6, ListsFixture::kTimeoutMs);
        QCOMPARE(f().recordModel()->rowCount(), 0);
        QStringList listNames = f().doneNames();
        listNames.sort();
        QStringList listFiles;
        for (int i = 1; i <= 6; ++i) {
            const QString strName = QStringLiteral("cam%1.mp4").arg(i);
            listFiles.append(strName);
            QCOMPARE(fileSha256(f().downloadPath(strName)),
                     ListsFixture::recordSha256(QStringLiteral("cam%1").arg(i), 1, nSeconds));
        }
        QCOMPARE(listNames, listFiles);
        QCOMPARE(QDir(f().downloadFolder()).entryList(QDir::Files, QDir::Name), listFiles);
        // The "Done" list shows the size of the file on disk.
        const QStandardItemModel* pDone = f().doneModel();
        for (int nRow = 0; nRow < pDone->rowCount(); ++nRow) {
            QCOMPARE(
                pDone->index(nRow, QDownloadDoneWidget::DoneColumnFileSize).data(Qt::UserRole).toLongLong(),
                ListsFixture::recordStreamSize(nSeconds));
        }
        QCOMPARE(CRecordDownloadManager::getInstance().getCurDownloadNumber(), 0);

        // While they ran, the list showed the engine's progress and speed.
        static const QRegularExpression reSpeed(QStringLiteral("^[0-9]+(\\.[0-9])?(B|KB|MB|GB)/s$"));
        QVERIFY2(!m_listSpeeds.filter(reSpeed).isEmpty(), qPrintable(m_listSpeeds.join(QLatin1Char(' '))));
        QVERIFY(std::any_of(m_listPercents.begin(), m_listPercents.end(),
                            [](int n) { return n > 0 && n <= 100; }));
    }

    void aFailedTaskContinuesWhereItStopped()
    {
        f().devices().setKnobs(QStringLiteral("flaky"), QStringLiteral("dropAfter=300000"));
        f().addRecord(f().recordTask(QStringLiteral("flaky"), 1, 16, QStringLiteral("flaky.mp4")));
        QTRY_COMPARE_WITH_TIMEOUT(f().recordState(1), 2, ListsFixture::kTimeoutMs);
        const QModelIndex operate =
            f().recordModel()->index(f().recordRow(1), QDownloadingWidget::RecordColumnOperate);
        QVERIFY(operate.data(Role::PixmapRole1).isValid());
        const qint64 nKept = QFileInfo(f().downloadPath(QStringLiteral("flaky.mp4.part"))).size();
        QVERIFY2(nKept > 0 && nKept <= 300000, QByteArray::number(nKept).constData());
        QVERIFY(!QFileInfo::exists(f().downloadPath(QStringLiteral("flaky.mp4"))));

        f().devices().setKnobs(QStringLiteral("flaky"), QString());
        f().clickRecordIcon(1, Role::PixmapRole1);
        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames(), QStringList{QStringLiteral("flaky.mp4")},
                                  ListsFixture::kTimeoutMs);
        QCOMPARE(f().recordModel()->rowCount(), 0);
        QCOMPARE(fileSha256(f().downloadPath(QStringLiteral("flaky.mp4"))),
                 ListsFixture::recordSha256(QStringLiteral("flaky"), 1, 16));
        const QStringList listRanges = f().recordRanges(QStringLiteral("flaky"));
        QCOMPARE(listRanges.last(), QStringLiteral("bytes=%1-").arg(nKept));
        QCOMPARE(listRanges.filter(QStringLiteral("bytes")).size(), 1);
        QVERIFY(!QFileInfo::exists(f().downloadPath(QStringLiteral("flaky.mp4.part"))));
    }

    void aDeletedDeviceTakesItsTasksAndFiles()
    {
        f().devices().setKnobs(QStringLiteral("gone"), QStringLiteral("rate=50000"));
        f().devices().setKnobs(QStringLiteral("kept"), QStringLiteral("rate=400000"));
        f().addRecord(f().recordTask(QStringLiteral("gone"), 1, 16, QStringLiteral("gone1.mp4")));
        f().addRecord(f().recordTask(QStringLiteral("gone"), 2, 16, QStringLiteral("gone2.mp4")));
        f().addRecord(f().recordTask(QStringLiteral("kept"), 1, 16, QStringLiteral("kept.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(f().downloadPath(QStringLiteral("gone1.mp4.part"))).size() > 0 &&
                                     QFileInfo(f().downloadPath(QStringLiteral("gone2.mp4.part"))).size() > 0,
                                 ListsFixture::kTimeoutMs);

        f().deleteDevice(QStringLiteral("gone"));
        QCOMPARE(f().recordTasks(), QList<int>{3});
        QCOMPARE(CRecordDownloadManager::getInstance().getCurDownloadIndexs(), QList<int>{3});
        for (const char* pName : {"gone1.mp4", "gone1.mp4.part", "gone2.mp4", "gone2.mp4.part"}) {
            QVERIFY2(!QFileInfo::exists(f().downloadPath(QLatin1String(pName))), pName);
        }

        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames(), QStringList{QStringLiteral("kept.mp4")},
                                  ListsFixture::kTimeoutMs);
        QCOMPARE(fileSha256(f().downloadPath(QStringLiteral("kept.mp4"))),
                 ListsFixture::recordSha256(QStringLiteral("kept"), 1, 16));
        QCOMPARE(QDir(f().downloadFolder()).entryList(QDir::Files), QStringList{QStringLiteral("kept.mp4")});
    }
};

QTEST_MAIN(tst_RecordDownloadRoad)
#include "tst_RecordDownloadRoad.moc"
