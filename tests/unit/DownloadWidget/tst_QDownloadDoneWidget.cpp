#include <QtTest>

#include <QAbstractItemView>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPixmap>
#include <QSettings>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTranslator>
#include <QVBoxLayout>

#include <hostservices/ClientSettings.h>
#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbPushButton.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include <memory>

#include "ModalAnswerer.h"
#include "NotificationCapture.h"
#include "QDownloadDoneWidget.h"

namespace {

using Role = ORBGUI::struTreeViewData;
using Column = QDownloadDoneWidget::DoneColumn;

void setClientSetting(const QString& strKey, const QVariant& varValue)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    if (varValue.isValid()) {
        settings.setValue(strKey, varValue);
    } else {
        settings.remove(strKey);
    }
    settings.sync();
}

qint32 now()
{
    return static_cast<qint32>(QDateTime::currentSecsSinceEpoch());
}

DownloadInfo recordTask(const QString& strFileName, qint64 nFileSize = 1536, int nSourceKind = 0,
                        int nDownloadMode = 0)
{
    DownloadInfo info;
    info.strFileName = strFileName;
    info.strChannelName = QStringLiteral("Channel of ") + strFileName;
    info.strShopName = QStringLiteral("Shop of ") + strFileName;
    info.strDeviceId = QStringLiteral("device-1");
    info.nSourceKind = nSourceKind;
    info.nDownloadMode = nDownloadMode;
    info.nStartDownloadTime = now() - 10;
    info.stRecordFile.strBeginTime = u8"2024-03-01 08:00:00 \u00e9t\u00e9";
    info.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    info.stRecordFile.nFileSize = nFileSize;
    return info;
}

DownloadPicInfo pictureTask(const QString& strFileName, qint64 nFileSize = 2048)
{
    DownloadPicInfo info;
    info.strDeviceId = QStringLiteral("device-1");
    info.strFileName = strFileName;
    info.strBeginTime = QStringLiteral("2024-03-02 10:00:00");
    info.strEndTime = QStringLiteral("2024-03-02 10:30:00");
    info.nFileSize = nFileSize;
    info.nStartDownloadTime = now() - 10;
    return info;
}

}  // namespace

class tst_QDownloadDoneWidget : public QObject
{
    Q_OBJECT

public slots:
    // The desktop's handler for file URLs while a test runs.
    void openFileUrl(const QUrl& url) { m_listOpenedUrls.append(url); }

private slots:
    void init();
    void cleanup();

    void formObjectsAndTexts();
    void tableViewSettings();
    void header_data();
    void header();

    void recordRowCells();
    void pictureRowCells();
    void recordSize_data();
    void recordSize();
    void pictureSize_data();
    void pictureSize();
    void durationText_data();
    void durationText();
    void doneTimeOfRows_data();
    void doneTimeOfRows();
    void newestAtTopAndCounted();

    void deleteCheckedRows();
    void deleteCheckedDeclined();
    void deleteWithNothingChecked();
    void finishedTaskArrivesWhileDeleteQuestionOpen();
    void checkedRowGoneWhileDeleteQuestionOpen();
    void deleteIcon();
    void deleteIconDeclined();
    void deleteIconIgnoresOtherClicks_data();
    void deleteIconIgnoresOtherClicks();
    void finishedTaskArrivesWhileIconQuestionOpen();
    void clearDoneList();

    void openFolder();
    void productName();
    void styleSheetFromSkin();
    void missingSkin();

private:
    QStandardItemModel* model() const;
    ORBGUI::OrbTableView* view() const;
    ORBGUI::OrbPushButton* button(const char* szName) const;
    // File names of the rows, top to bottom.
    QStringList rowNames() const;
    // Adds record rows named strPrefix + 0..nCount-1; the last added is at the top.
    void addRows(int nCount, const QString& strPrefix = QStringLiteral("row "));
    void check(const QString& strName);
    int rowOf(const QString& strName) const;
    void clickIcon(const QModelIndex& index, Role::OrbItemDataRole eRole);

    std::unique_ptr<QDownloadDoneWidget> m_pWidget;
    QList<QUrl> m_listOpenedUrls;
};

void tst_QDownloadDoneWidget::init()
{
    ModalAnswerer::reset();
    m_listOpenedUrls.clear();
    m_pWidget = std::make_unique<QDownloadDoneWidget>();
}

void tst_QDownloadDoneWidget::cleanup()
{
    m_pWidget.reset();
    setClientSetting(QStringLiteral("Base/ProductName"), QVariant());
    setClientSetting(QStringLiteral("Local/SkinVersion"), QVariant());
    setClientSetting(QStringLiteral("Download/DownloadPath"), QVariant());
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
    QCOMPARE(ModalAnswerer::pending(), 0);
}

QStandardItemModel* tst_QDownloadDoneWidget::model() const
{
    return qobject_cast<QStandardItemModel*>(view()->model());
}

ORBGUI::OrbTableView* tst_QDownloadDoneWidget::view() const
{
    return m_pWidget->findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"));
}

ORBGUI::OrbPushButton* tst_QDownloadDoneWidget::button(const char* szName) const
{
    return m_pWidget->findChild<ORBGUI::OrbPushButton*>(QLatin1String(szName));
}

QStringList tst_QDownloadDoneWidget::rowNames() const
{
    QStringList listNames;
    for (int nRow = 0; nRow < model()->rowCount(); ++nRow) {
        listNames.append(model()->index(nRow, Column::DoneColumnFileName).data().toString());
    }
    return listNames;
}

void tst_QDownloadDoneWidget::addRows(int nCount, const QString& strPrefix)
{
    for (int i = 0; i < nCount; ++i) {
        m_pWidget->onDownloadFinished(recordTask(strPrefix + QString::number(i)));
    }
}

void tst_QDownloadDoneWidget::check(const QString& strName)
{
    // As the view does when the user ticks the box.
    QVERIFY(model()->setData(model()->index(rowOf(strName), Column::DoneColumnCheck), Qt::Checked,
                             Qt::CheckStateRole));
}

int tst_QDownloadDoneWidget::rowOf(const QString& strName) const
{
    return rowNames().indexOf(strName);
}

void tst_QDownloadDoneWidget::clickIcon(const QModelIndex& index, Role::OrbItemDataRole eRole)
{
    emit view()->SignalPixmapClicked(index, eRole);
}

void tst_QDownloadDoneWidget::formObjectsAndTexts()
{
    QCOMPARE(m_pWidget->objectName(), QStringLiteral("QDownloadDoneWidget"));
    QCOMPARE(m_pWidget->windowTitle(), QStringLiteral("DownloadDoneWidget"));
    QCOMPARE(m_pWidget->size(), QSize(627, 644));
    QCOMPARE(button("btnDelete")->text(), QStringLiteral("Delete"));
    QCOMPARE(button("btnFolder")->text(), QStringLiteral("Open folder"));

    auto* pTop = m_pWidget->findChild<QVBoxLayout*>(QStringLiteral("verticalLayout"));
    auto* pButtons = m_pWidget->findChild<QHBoxLayout*>(QStringLiteral("horizontalLayout"));
    QVERIFY(pTop && pButtons);
    QCOMPARE(m_pWidget->layout(), pTop);
    QCOMPARE(pTop->count(), 2);
    QCOMPARE(pTop->itemAt(0)->layout(), pButtons);
    QCOMPARE(pTop->itemAt(1)->widget(), view());
    QCOMPARE(pButtons->count(), 3);
    QCOMPARE(pButtons->itemAt(0)->widget(), button("btnDelete"));
    QCOMPARE(pButtons->itemAt(1)->widget(), button("btnFolder"));
    QSpacerItem* pSpacer = pButtons->itemAt(2)->spacerItem();
    QVERIFY(pSpacer);
    QCOMPARE(pSpacer->sizeHint(), QSize(40, 20));
    QCOMPARE(pSpacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(pSpacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

void tst_QDownloadDoneWidget::tableViewSettings()
{
    ORBGUI::OrbTableView* pView = view();
    QCOMPARE(model()->columnCount(), 9);
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(pView->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(pView->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(pView->focusPolicy(), Qt::NoFocus);
    for (int nSection = 0; nSection < pView->header()->count(); ++nSection) {
        QCOMPARE(pView->header()->sectionResizeMode(nSection), QHeaderView::Fixed);
    }
}

void tst_QDownloadDoneWidget::header_data()
{
    QTest::addColumn<int>("nSection");
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<int>("nWidth");

    const QStringList listTitles = {"",         "File name", "Channel",   "Shop",   "Begin time",
                                    "End time", "File Size", "Done time", "Operate"};
    const QList<int> listWidths = {32, 180, 180, 180, 180, 180, 100, 150, 70};
    for (int i = 0; i < listTitles.size(); ++i) {
        QTest::addRow("section %d", i) << i << listTitles.at(i) << listWidths.at(i);
    }
}

void tst_QDownloadDoneWidget::header()
{
    QFETCH(int, nSection);
    QFETCH(QString, strTitle);
    QFETCH(int, nWidth);

    const QStandardItemModel* pModel = model();
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal).toString(), strTitle);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 132);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderWidthRole).toInt(), nWidth);
    const bool bCheckAll = nSection == 0;
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderCheckableRole).toBool(), bCheckAll);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::CheckStateRole).isValid(), bCheckAll);
    if (bCheckAll) {
        QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
    }
}

void tst_QDownloadDoneWidget::recordRowCells()
{
    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("front door.mp4"), 1536));
    QCOMPARE(model()->rowCount(), 1);
    const auto cell = [&](int nColumn) { return model()->index(0, nColumn); };

    QCOMPARE(cell(0).data().toString(), QString(""));
    QVERIFY(cell(0).flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(cell(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(cell(1).data().toString(), QStringLiteral("front door.mp4"));
    QCOMPARE(cell(2).data().toString(), QStringLiteral("Channel of front door.mp4"));
    QCOMPARE(cell(3).data().toString(), QStringLiteral("Shop of front door.mp4"));
    // The engine's begin and end times are UTF-8.
    QCOMPARE(cell(4).data().toString(), QString::fromUtf8(u8"2024-03-01 08:00:00 \u00e9t\u00e9"));
    QCOMPARE(cell(5).data().toString(), QStringLiteral("2024-03-01 09:00:00"));
    QCOMPARE(cell(6).data().toString(), QStringLiteral("1.5KB"));
    QCOMPARE(cell(6).data(Qt::UserRole).toLongLong(), 1536);
    for (int nColumn = 0; nColumn <= 7; ++nColumn) {
        QCOMPARE(cell(nColumn).data(Qt::TextAlignmentRole).toInt(), 132);
    }

    // The delete icon: the skin's images, loaded, with the hover image for hover and press.
    QVERIFY(!cell(8).data().isValid());
    QVERIFY(!cell(8).data(Qt::TextAlignmentRole).isValid());
    QCOMPARE(cell(8).data(Role::PixmapToolTipRole0).toString(), QStringLiteral("delete"));
    QCOMPARE(cell(8).data(Role::PixmapAlignmentRole).toInt(), 132);
    const auto icon = cell(8).data(Role::PixmapRole0).value<ORBGUI::ItemPixmapValue>();
    QCOMPARE(icon.size(), 5);
    const QString strFolder = QStringLiteral("./Skin/%1/DownloadApp/").arg(ORBGUI::GetSkinVersion());
    const QImage imageNormal = QPixmap(strFolder + QStringLiteral("delete-n.svg")).toImage();
    const QImage imageHover = QPixmap(strFolder + QStringLiteral("delete-h.svg")).toImage();
    QVERIFY(!imageNormal.isNull());
    QVERIFY(imageNormal != imageHover);
    for (int nKey : {0, 1, 2, 3}) {
        QCOMPARE(icon.value(nKey).userType(), int(QMetaType::QPixmap));
    }
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::Normal).value<QPixmap>().toImage(), imageNormal);
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::Disabled).value<QPixmap>().toImage(), imageNormal);
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::Hover).value<QPixmap>().toImage(), imageHover);
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::Pressed).value<QPixmap>().toImage(), imageHover);
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::IconSize).toSize(), QSize(20, 20));
}

void tst_QDownloadDoneWidget::pictureRowCells()
{
    m_pWidget->onPicDownloadFinished(pictureTask(QStringLiteral("pictures.zip"), 2048));
    QCOMPARE(model()->rowCount(), 1);
    const auto cell = [&](int nColumn) { return model()->index(0, nColumn); };

    QVERIFY(cell(0).flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(cell(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(cell(1).data().toString(), QStringLiteral("pictures.zip"));
    QCOMPARE(cell(2).data().toString(), QStringLiteral("--"));
    QCOMPARE(cell(3).data().toString(), QStringLiteral("--"));
    QCOMPARE(cell(4).data().toString(), QStringLiteral("2024-03-02 10:00:00"));
    QCOMPARE(cell(5).data().toString(), QStringLiteral("2024-03-02 10:30:00"));
    QCOMPARE(cell(6).data().toString(), QStringLiteral("2.0KB"));
    QCOMPARE(cell(6).data(Qt::UserRole).toLongLong(), 2048);
    for (int nColumn = 0; nColumn <= 7; ++nColumn) {
        QCOMPARE(cell(nColumn).data(Qt::TextAlignmentRole).toInt(), 132);
    }
    QCOMPARE(cell(8).data(Role::PixmapToolTipRole0).toString(), QStringLiteral("delete"));
    QVERIFY(cell(8).data(Role::PixmapRole0).canConvert<ORBGUI::ItemPixmapValue>());
}

void tst_QDownloadDoneWidget::recordSize_data()
{
    QTest::addColumn<qint64>("nFileSize");
    QTest::addColumn<int>("nSourceKind");
    QTest::addColumn<int>("nDownloadMode");
    QTest::addColumn<QString>("strText");

    QTest::newRow("1023 bytes") << qint64(1023) << 0 << 0 << "1023B";
    QTest::newRow("1 byte") << qint64(1) << 0 << 0 << "1B";
    QTest::newRow("1024 bytes") << qint64(1024) << 0 << 0 << "1.0KB";
    QTest::newRow("1536 bytes") << qint64(1536) << 0 << 0 << "1.5KB";
    QTest::newRow("just below a MB") << qint64(1048575) << 0 << 0 << "1024.0KB";
    QTest::newRow("1 MB") << qint64(1048576) << 0 << 0 << "1.0MB";
    QTest::newRow("just below a GB") << qint64(1073741823) << 0 << 0 << "1024.0MB";
    QTest::newRow("1 GB") << qint64(1073741824) << 0 << 0 << "1.000GB";
    QTest::newRow("5.5 GB") << qint64(5905580032) << 0 << 0 << "5.500GB";
    QTest::newRow("size 0") << qint64(0) << 0 << 0 << "unkown size";
    QTest::newRow("kind 2, mode 0") << qint64(5000) << 2 << 0 << "unkown size";
    QTest::newRow("kind 2, mode 2") << qint64(5000) << 2 << 2 << "4.9KB";
    QTest::newRow("kind 23, mode 0") << qint64(5000) << 23 << 0 << "unkown size";
    QTest::newRow("kind 23, mode 2") << qint64(5000) << 23 << 2 << "unkown size";
    QTest::newRow("kind 23, mode 1") << qint64(5000) << 23 << 1 << "4.9KB";
    QTest::newRow("kind 22, mode 0") << qint64(5000) << 22 << 0 << "4.9KB";
    QTest::newRow("kind 0, mode 2") << qint64(5000) << 0 << 2 << "4.9KB";
}

void tst_QDownloadDoneWidget::recordSize()
{
    QFETCH(qint64, nFileSize);
    QFETCH(int, nSourceKind);
    QFETCH(int, nDownloadMode);
    QFETCH(QString, strText);

    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("a"), nFileSize, nSourceKind, nDownloadMode));
    const QModelIndex size = model()->index(0, Column::DoneColumnFileSize);
    QCOMPARE(size.data().toString(), strText);
    // The byte count is kept whatever the text says.
    QCOMPARE(size.data(Qt::UserRole).toLongLong(), nFileSize);
}

void tst_QDownloadDoneWidget::pictureSize_data()
{
    QTest::addColumn<qint64>("nFileSize");
    QTest::addColumn<QString>("strText");

    // A picture package is never of unknown size.
    QTest::newRow("0 bytes") << qint64(0) << "0B";
    QTest::newRow("1023 bytes") << qint64(1023) << "1023B";
    QTest::newRow("1536 bytes") << qint64(1536) << "1.5KB";
    QTest::newRow("1 MB") << qint64(1048576) << "1.0MB";
    QTest::newRow("1 GB") << qint64(1073741824) << "1.000GB";
}

void tst_QDownloadDoneWidget::pictureSize()
{
    QFETCH(qint64, nFileSize);
    QFETCH(QString, strText);

    m_pWidget->onPicDownloadFinished(pictureTask(QStringLiteral("p"), nFileSize));
    const QModelIndex size = model()->index(0, Column::DoneColumnFileSize);
    QCOMPARE(size.data().toString(), strText);
    QCOMPARE(size.data(Qt::UserRole).toLongLong(), nFileSize);
}

void tst_QDownloadDoneWidget::durationText_data()
{
    QTest::addColumn<int>("nSeconds");
    QTest::addColumn<QString>("strText");

    QTest::newRow("0 s") << 0 << "0Seconds";
    QTest::newRow("59 s") << 59 << "59Seconds";
    QTest::newRow("60 s") << 60 << "1Minute0Seconds";
    QTest::newRow("61 s") << 61 << "1Minute1Seconds";
    QTest::newRow("3599 s") << 3599 << "59Minute59Seconds";
    QTest::newRow("3600 s") << 3600 << "1Hour0Minute0Seconds";
    QTest::newRow("3661 s") << 3661 << "1Hour1Minute1Seconds";
    QTest::newRow("25 hours") << 90061 << "25Hour1Minute1Seconds";
    QTest::newRow("5 s in the future") << -5 << "-5Seconds";
    QTest::newRow("an hour in the future") << -3700 << "-3700Seconds";
}

void tst_QDownloadDoneWidget::durationText()
{
    QFETCH(int, nSeconds);
    QFETCH(QString, strText);
    QCOMPARE(QDownloadDoneWidget::durationText(nSeconds), strText);
}

void tst_QDownloadDoneWidget::doneTimeOfRows_data()
{
    QTest::addColumn<bool>("bPicture");
    QTest::addColumn<int>("nSecondsAgo");

    QTest::newRow("record, 59 s") << false << 59;
    QTest::newRow("record, 3661 s") << false << 3661;
    QTest::newRow("record, starts in 5 s") << false << -5;
    QTest::newRow("picture, 60 s") << true << 60;
    QTest::newRow("picture, starts in 5 s") << true << -5;
}

void tst_QDownloadDoneWidget::doneTimeOfRows()
{
    QFETCH(bool, bPicture);
    QFETCH(int, nSecondsAgo);

    const qint32 nStart = now() - nSecondsAgo;
    if (bPicture) {
        DownloadPicInfo info = pictureTask(QStringLiteral("p"));
        info.nStartDownloadTime = nStart;
        m_pWidget->onPicDownloadFinished(info);
    } else {
        DownloadInfo info = recordTask(QStringLiteral("r"));
        info.nStartDownloadTime = nStart;
        m_pWidget->onDownloadFinished(info);
    }
    // The clock may pass a second boundary between our reading and the widget's.
    const QString strShown = model()->index(0, Column::DoneColumnDoneTime).data().toString();
    const QStringList listAccepted = {QDownloadDoneWidget::durationText(nSecondsAgo),
                                      QDownloadDoneWidget::durationText(nSecondsAgo + 1)};
    QVERIFY2(listAccepted.contains(strShown), qPrintable(strShown));
}

void tst_QDownloadDoneWidget::newestAtTopAndCounted()
{
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);
    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("first")));
    m_pWidget->onPicDownloadFinished(pictureTask(QStringLiteral("second")));
    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("third")));

    QCOMPARE(rowNames(), QStringList({"third", "second", "first"}));
    QCOMPARE(spyCount.count(), 3);
    QCOMPARE(spyCount.at(0).at(0).toInt(), 1);
    QCOMPARE(spyCount.at(1).at(0).toInt(), 2);
    QCOMPARE(spyCount.at(2).at(0).toInt(), 3);
}

void tst_QDownloadDoneWidget::deleteCheckedRows()
{
    // Files of the same names in the download folder: deleting rows never touches them.
    QTemporaryDir dirDownloads;
    QVERIFY(dirDownloads.isValid());
    setClientSetting(QStringLiteral("Download/DownloadPath"), dirDownloads.path());
    for (int i = 0; i < 6; ++i) {
        QFile file(dirDownloads.filePath(QStringLiteral("row %1").arg(i)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("recording");
    }

    addRows(6);
    const QStringList listBefore = rowNames();
    check(listBefore.at(1));
    check(listBefore.at(3));
    check(listBefore.at(4));
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok);
    QTest::mouseClick(button("btnDelete"), Qt::LeftButton);

    QCOMPARE(ModalAnswerer::questions(),
             QStringList{QStringLiteral("are you sure to delete selected files?")});
    QCOMPARE(rowNames(), QStringList({listBefore.at(0), listBefore.at(2), listBefore.at(5)}));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 3);
    QCOMPARE(QDir(dirDownloads.path()).entryList(QDir::Files).size(), 6);
}

void tst_QDownloadDoneWidget::deleteCheckedDeclined()
{
    addRows(4);
    const QStringList listBefore = rowNames();
    check(listBefore.at(0));
    check(listBefore.at(2));
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Cancel);
    m_pWidget->onDelete();

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(rowNames(), listBefore);
    // The unchanged count is still reported.
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 4);
}

void tst_QDownloadDoneWidget::deleteWithNothingChecked()
{
    addRows(2);
    NotificationCapture notifications;
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    m_pWidget->onDelete();

    QCOMPARE(notifications.texts(), QStringList{QStringLiteral("no record selected!")});
    QVERIFY(ModalAnswerer::questions().isEmpty());
    QCOMPARE(model()->rowCount(), 2);
    QCOMPARE(spyCount.count(), 0);
}

void tst_QDownloadDoneWidget::finishedTaskArrivesWhileDeleteQuestionOpen()
{
    addRows(6);
    const QStringList listBefore = rowNames();
    check(listBefore.at(1));
    check(listBefore.at(3));
    check(listBefore.at(4));
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    // While the user reads the question, a download finishes and moves every row down one.
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [this] {
        m_pWidget->onDownloadFinished(recordTask(QStringLiteral("arrived meanwhile")));
    });
    m_pWidget->onDelete();

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(rowNames(), QStringList({QStringLiteral("arrived meanwhile"), listBefore.at(0), listBefore.at(2),
                                      listBefore.at(5)}));
    QCOMPARE(spyCount.count(), 2);
    QCOMPARE(spyCount.at(0).at(0).toInt(), 7);
    QCOMPARE(spyCount.at(1).at(0).toInt(), 4);
}

void tst_QDownloadDoneWidget::checkedRowGoneWhileDeleteQuestionOpen()
{
    addRows(4);
    const QStringList listBefore = rowNames();
    check(listBefore.at(1));
    check(listBefore.at(2));

    // The user removes one of the checked rows through its icon while the first question is open.
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [this, listBefore] {
        ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok);
        clickIcon(model()->index(rowOf(listBefore.at(1)), Column::DoneColumnOperate), Role::PixmapRole0);
    });
    m_pWidget->onDelete();

    QCOMPARE(ModalAnswerer::questions().size(), 2);
    QCOMPARE(rowNames(), QStringList({listBefore.at(0), listBefore.at(3)}));
}

void tst_QDownloadDoneWidget::deleteIcon()
{
    addRows(4);
    const QStringList listBefore = rowNames();
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok);
    clickIcon(model()->index(2, Column::DoneColumnOperate), Role::PixmapRole0);

    QCOMPARE(ModalAnswerer::questions(),
             QStringList{QStringLiteral("are you sure to delete selected file?")});
    QCOMPARE(rowNames(), QStringList({listBefore.at(0), listBefore.at(1), listBefore.at(3)}));
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 3);
}

void tst_QDownloadDoneWidget::deleteIconDeclined()
{
    addRows(3);
    const QStringList listBefore = rowNames();
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Cancel);
    clickIcon(model()->index(1, Column::DoneColumnOperate), Role::PixmapRole0);

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(rowNames(), listBefore);
    QCOMPARE(spyCount.count(), 0);
}

void tst_QDownloadDoneWidget::deleteIconIgnoresOtherClicks_data()
{
    QTest::addColumn<int>("nRow");
    QTest::addColumn<int>("nColumn");
    QTest::addColumn<int>("nRole");

    QTest::newRow("second icon slot") << 1 << int(Column::DoneColumnOperate) << int(Role::PixmapRole1);
    QTest::newRow("third icon slot") << 1 << int(Column::DoneColumnOperate) << int(Role::PixmapRole2);
    QTest::newRow("another column") << 1 << int(Column::DoneColumnFileName) << int(Role::PixmapRole0);
    QTest::newRow("no cell") << -1 << -1 << int(Role::PixmapRole0);
}

void tst_QDownloadDoneWidget::deleteIconIgnoresOtherClicks()
{
    QFETCH(int, nRow);
    QFETCH(int, nColumn);
    QFETCH(int, nRole);

    addRows(3);
    const QStringList listBefore = rowNames();
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);

    // The question comes first, whatever was clicked; a yes then changes nothing.
    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok);
    clickIcon(model()->index(nRow, nColumn), static_cast<Role::OrbItemDataRole>(nRole));

    QCOMPARE(ModalAnswerer::questions().size(), 1);
    QCOMPARE(rowNames(), listBefore);
    QCOMPARE(spyCount.count(), 0);
}

void tst_QDownloadDoneWidget::finishedTaskArrivesWhileIconQuestionOpen()
{
    addRows(4);
    const QStringList listBefore = rowNames();

    ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok, [this] {
        m_pWidget->onPicDownloadFinished(pictureTask(QStringLiteral("arrived meanwhile")));
    });
    clickIcon(model()->index(2, Column::DoneColumnOperate), Role::PixmapRole0);

    QCOMPARE(rowNames(), QStringList({QStringLiteral("arrived meanwhile"), listBefore.at(0), listBefore.at(1),
                                      listBefore.at(3)}));
}

void tst_QDownloadDoneWidget::clearDoneList()
{
    addRows(3);
    QSignalSpy spyCount(m_pWidget.get(), &QDownloadDoneWidget::sgnDoneItemNumChanged);
    m_pWidget->clearDoneList();
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(spyCount.count(), 1);
    QCOMPARE(spyCount.first().at(0).toInt(), 0);
    // Rows arrive as before afterwards.
    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("after")));
    QCOMPARE(rowNames(), QStringList{QStringLiteral("after")});
}

void tst_QDownloadDoneWidget::openFolder()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFileUrl");
    setClientSetting(QStringLiteral("Download/DownloadPath"), QStringLiteral("/srv/records/my folder"));

    QTest::mouseClick(button("btnFolder"), Qt::LeftButton);
    QCOMPARE(m_listOpenedUrls.size(), 1);
    QCOMPARE(m_listOpenedUrls.first(),
             QUrl(QStringLiteral("file:////srv/records/my folder"), QUrl::TolerantMode));

    // Read afresh at every use.
    setClientSetting(QStringLiteral("Download/DownloadPath"), QStringLiteral("/srv/other"));
    m_pWidget->onOpenFolder();
    QCOMPARE(m_listOpenedUrls.size(), 2);
    QCOMPARE(m_listOpenedUrls.last(), QUrl(QStringLiteral("file:////srv/other"), QUrl::TolerantMode));
}

void tst_QDownloadDoneWidget::productName()
{
    const QStandardItemModel* pModel = model();
    const auto title = [pModel] { return pModel->headerData(3, Qt::Horizontal).toString(); };
    // Untranslated, the title has no place for a name and reads as written.
    m_pWidget->setProductName(QStringLiteral("Quay"));
    QCOMPARE(title(), QStringLiteral("ProductName"));

    // The module's own English translation gives the name the whole title.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/DownloadApp/translations/DownloadApp_en.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    m_pWidget->setProductName(QStringLiteral("Quay"));
    QCOMPARE(title(), QStringLiteral("Quay"));

    // Shown with a product name that differs from the one applied: retitled.
    setClientSetting(QStringLiteral("Base/ProductName"), QStringLiteral("Harbour"));
    m_pWidget->show();
    QCOMPARE(title(), QStringLiteral("Harbour"));

    // Shown again with the same name: left alone.
    m_pWidget->hide();
    model()->setHeaderData(3, Qt::Horizontal, QStringLiteral("untouched"), Qt::EditRole);
    m_pWidget->show();
    QCOMPARE(title(), QStringLiteral("untouched"));
    QCoreApplication::removeTranslator(&translator);
}

void tst_QDownloadDoneWidget::styleSheetFromSkin()
{
    QFile file(QDir::currentPath() + QStringLiteral("/Skin/") + ORBGUI::GetSkinVersion() +
               QStringLiteral("/DownloadApp/QssFile/QDownloadDoneWidget.qss"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QString strSheet = QString::fromUtf8(file.readAll());
    QVERIFY(!strSheet.isEmpty());
    QCOMPARE(m_pWidget->styleSheet(), strSheet);
}

void tst_QDownloadDoneWidget::missingSkin()
{
    m_pWidget.reset();
    setClientSetting(QStringLiteral("Local/SkinVersion"), QStringLiteral("NoSuchSkin"));
    m_pWidget = std::make_unique<QDownloadDoneWidget>();
    QVERIFY(m_pWidget->styleSheet().isEmpty());
    QCOMPARE(m_pWidget->objectName(), QStringLiteral("QDownloadDoneWidget"));

    // No images: the row still comes, with empty icons.
    m_pWidget->onDownloadFinished(recordTask(QStringLiteral("a")));
    QCOMPARE(rowNames(), QStringList{QStringLiteral("a")});
    const auto icon =
        model()->index(0, Column::DoneColumnOperate).data(Role::PixmapRole0).value<ORBGUI::ItemPixmapValue>();
    QVERIFY(icon.value(ORBGUI::ItemPixmapValue::Normal).value<QPixmap>().isNull());
    QCOMPARE(icon.value(ORBGUI::ItemPixmapValue::IconSize).toSize(), QSize(20, 20));
}

QTEST_MAIN(tst_QDownloadDoneWidget)
#include "tst_QDownloadDoneWidget.moc"
