#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QtTest>

#include <downloadengine/CPicDownloadManager.h>

#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "ListsFixture.h"
#include "QDownloadDoneWidget.h"
#include "QDownloadingWidget.h"

using Role = ORBGUI::struTreeViewData;

// The picture side of the record download tab with the real engine: a package downloads with
// its size, percent and speed on its row, ends byte-exact in the "Done" list, and a failed one
// is downloaded again from its row.
class tst_PictureDownloadRoad : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ListsFixture> m_pFixture;
    QStringList m_listSpeeds;
    QList<qint64> m_listPercents;

    ListsFixture& f() { return *m_pFixture; }

private slots:
    void init()
    {
        m_pFixture = std::make_unique<ListsFixture>();
        QVERIFY(f().isValid());
        m_listSpeeds.clear();
        m_listPercents.clear();
        connect(f().picModel(), &QStandardItemModel::dataChanged, this, [this](const QModelIndex& topLeft) {
            if (topLeft.column() == QDownloadingWidget::PicColumnSpeed) {
                m_listSpeeds.append(topLeft.data().toString());
            } else if (topLeft.column() == QDownloadingWidget::PicColumnPercent) {
                m_listPercents.append(
                    topLeft.data(CDownloadCenterTableDelegate::ProgressValueRole).toLongLong());
            }
        });
    }

    void cleanup() { m_pFixture.reset(); }

    void aPackageDownloadsIntoTheDoneList()
    {
        // 263030 bytes at 100000 a second: the list's one-second timer sees it running.
        f().devices().setKnobs(QStringLiteral("pics"), QStringLiteral("rate=100000"));
        f().addPicture(f().pictureTask(QStringLiteral("pics"), 1, QStringLiteral("pics.zip")));
        QCOMPARE(f().picModel()->rowCount(), 1);
        QCOMPARE(f().picState(0), 1);
        QTRY_COMPARE_WITH_TIMEOUT(
            f().picModel()->index(0, QDownloadingWidget::PicColumnFileSize).data().toString(),
            QStringLiteral("256.9KB"), ListsFixture::kTimeoutMs);

        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames(), QStringList{QStringLiteral("pics.zip")},
                                  ListsFixture::kTimeoutMs);
        QCOMPARE(f().picModel()->rowCount(), 0);
        QCOMPARE(fileSha256(f().downloadPath(QStringLiteral("pics.zip"))),
                 ListsFixture::pictureSha256(QStringLiteral("pics"), 1));
        QCOMPARE(f().doneModel()->index(0, QDownloadDoneWidget::DoneColumnFileSize).data().toString(),
                 QStringLiteral("256.9KB"));
        QCOMPARE(CPicDownloadManager::getInstance().getPicDownloadSize(), 0);

        static const QRegularExpression reSpeed(QStringLiteral("^[0-9]+(\\.[0-9])?(B|KB|MB|GB)/s$"));
        QVERIFY2(!m_listSpeeds.filter(reSpeed).isEmpty(), qPrintable(m_listSpeeds.join(QLatin1Char(' '))));
        QVERIFY(!m_listPercents.isEmpty());
        QCOMPARE(m_listPercents.last(), qint64(100));
        QVERIFY(std::is_sorted(m_listPercents.begin(), m_listPercents.end()));
    }

    void aFailedPackageIsDownloadedAgain()
    {
        f().devices().setKnobs(QStringLiteral("broken"), QStringLiteral("status=500"));
        f().addPicture(f().pictureTask(QStringLiteral("broken"), 2, QStringLiteral("broken.zip")));
        QTRY_COMPARE_WITH_TIMEOUT(f().picState(0), 2, ListsFixture::kTimeoutMs);
        QVERIFY(
            f().picModel()->index(0, QDownloadingWidget::PicColumnOperate).data(Role::PixmapRole1).isValid());

        // A second package waits while none runs, and goes first: the failed one waits its turn.
        f().addPicture(f().pictureTask(QStringLiteral("other"), 1, QStringLiteral("other.zip")));
        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames(), QStringList{QStringLiteral("other.zip")},
                                  ListsFixture::kTimeoutMs);

        f().devices().setKnobs(QStringLiteral("broken"), QString());
        f().clickPicIcon(0, Role::PixmapRole1);
        QTRY_COMPARE_WITH_TIMEOUT(f().doneNames(),
                                  (QStringList{QStringLiteral("broken.zip"), QStringLiteral("other.zip")}),
                                  ListsFixture::kTimeoutMs);
        QCOMPARE(f().picModel()->rowCount(), 0);
        QCOMPARE(fileSha256(f().downloadPath(QStringLiteral("broken.zip"))),
                 ListsFixture::pictureSha256(QStringLiteral("broken"), 2));
        QCOMPARE(fileSha256(f().downloadPath(QStringLiteral("other.zip"))),
                 ListsFixture::pictureSha256(QStringLiteral("other"), 1));
    }
};

QTEST_MAIN(tst_PictureDownloadRoad)
#include "tst_PictureDownloadRoad.moc"
