#include <QtTest>

#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QToolTip>

#include <orbgui/OrbTableView.h>

#include "CDoneTaskList.h"
#include "CDownloadCenterTableDelegate.h"
#include "CDownloadTextFormat.h"
#include "DataRows.h"
#include "QDownloadDoneWidget.h"

using datarows::row;

// What the lists' cells show: the texts of sizes, speeds and durations, the progress bars the
// delegate paints, and the tooltips of hovered cells. (Counts are read off the window's buttons.)
class tst_DownloadCells : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void endTimes();
    void progress_data();
    void progress();
    void tooltips();
};

void tst_DownloadCells::texts_data()
{
    datarows::columns<QList<qint64>, QString>("listValues", "strTexts");

    // The row's name says which rule; the texts of the values, in order.
    row("size",
        QList<qint64>{0, 1023, 1024, 1536, 1048575, 1048576, 123456789, 1073741823, 1073741824, 1610612736,
                      5368709120},
        "0B 1023B 1.0KB 1.5KB 1024.0KB 1.0MB 117.7MB 1024.0MB 1.000GB 1.500GB 5.000GB");
    // In German (the rows above are English): the decimal comma.
    row("size, de", QList<qint64>{1023, 1536, 7654321, 1610612736}, "1023B 1,5KB 7,3MB 1,500GB");
    row("speed", QList<qint64>{0, 1023, 1024, 1587, 1048576, 3670016, 1073741824},
        "0B/s 1023B/s 1.0KB/s 1.5KB/s 1.0MB/s 3.5MB/s 1.0GB/s");
    row("duration", QList<qint64>{0, 59, 60, 3599, 3600, 3661, 90061, -5, 3000000000},
        "0Seconds 59Seconds 1Minute0Seconds 59Minute59Seconds 1Hour0Minute0Seconds "
        "1Hour1Minute1Seconds 25Hour1Minute1Seconds -5Seconds 833,333Hour20Minute0Seconds");
}

void tst_DownloadCells::texts()
{
    QFETCH(QList<qint64>, listValues);
    QFETCH(QString, strTexts);

    const QByteArray strRule = QTest::currentDataTag();
    QLocale::setDefault(QLocale(strRule.endsWith(", de") ? QLocale::German : QLocale::English));
    QStringList listShown;
    for (qint64 nValue : listValues) {
        listShown << (strRule.startsWith("size") ? CDownloadTextFormat::sizeText(nValue)
                      : strRule == "speed"       ? CDownloadTextFormat::pictureSpeedText(nValue)
                                                 : QDownloadDoneWidget::durationText(nValue));
    }
    QCOMPARE(listShown.join(' '), strTexts);
}

// An end time drops only the date it shares with its begin.
void tst_DownloadCells::endTimes()
{
    const QStringList listShown{
        CDownloadTextFormat::endTimeText("2026-12-05 08:00:00", "2026-12-05 23:59:59"),
        CDownloadTextFormat::endTimeText("2026-12-05 23:30:00", "2026-12-06 00:30:00"),
        CDownloadTextFormat::endTimeText("2026-12-05", "2026-12-05"),
        CDownloadTextFormat::endTimeText(QString(), "2026-12-05 00:30:00")};
    QCOMPARE(listShown.join('|'), QString("23:59:59|2026-12-06 00:30:00|2026-12-05|2026-12-05 00:30:00"));
}

void tst_DownloadCells::progress_data()
{
    datarows::columns<bool, int, int, QString, int, int>("bProgressCell", "nPercent", "nState", "strPainted",
                                                         "nWidth", "nFontPixels");

    // A 200 x 36 cell: the track runs from x 8 to 162 (154 wide and its outline), the fill's
    // outline hides one column of it, the percent label sits right of the track.
    row("half", true, 50, 1, "track 8-162, blue 76, grey 0, label", 200, 10);
    row("failed half", true, 50, 2, "track 8-162, blue 0, grey 76, label", 200, 10);
    row("full", true, 100, 0, "track 8-162, blue 153, grey 0, label", 200, 10);
    row("a third, truncated", true, 33, 1, "track 8-162, blue 49, grey 0, label", 200, 10);
    row("none", true, 0, 1, "track 8-162, blue 0, grey 0, label", 200, 10);
    row("not a progress cell", false, 50, 1, "track -, blue 0, grey 0, no label", 200, 10);
    // Narrow cells: progress past half a pixel shows one pixel, half a pixel none.
    row("half a pixel", true, 1, 1, "track 8-58, blue 0, grey 0, label", 96, 10);
    row("past half a pixel", true, 1, 1, "track 8-63, blue 1, grey 0, label", 101, 10);
    // A font in which "100%" is wider than the label's least width: the label makes room.
    row("full, large font", true, 100, 0, "track 8-123, blue 114, grey 0, label", 200, 24);
}

void tst_DownloadCells::progress()
{
    QFETCH(bool, bProgressCell);
    QFETCH(int, nPercent);
    QFETCH(int, nState);
    QFETCH(QString, strPainted);
    QFETCH(int, nWidth);
    QFETCH(int, nFontPixels);

    QStandardItemModel model;
    auto* pItem = new QStandardItem();
    if (bProgressCell) {
        pItem->setData(true, CDownloadCenterTableDelegate::ProgressBarRole);
    }
    pItem->setData(nPercent, CDownloadCenterTableDelegate::ProgressValueRole);
    pItem->setData(nState, Qt::UserRole);
    model.appendRow(pItem);

    QImage image(nWidth, 36, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.font.setPixelSize(nFontPixels);
    // The label takes the list's text colour (the skin's).
    option.palette.setColor(QPalette::Text, QColor(200, 30, 30));
    {
        QPainter painter(&image);
        CDownloadCenterTableDelegate().paint(&painter, option, pItem->index());
    }
    // Along the middle of the track: where its colour runs and how many pixels the fill has of
    // each colour; then whether the label's ink shows right of the track.
    QString strTrack = QStringLiteral("-");
    int nTrackStart = -1;
    QMap<QRgb, int> mapCount;
    int nInkLeft = image.width();
    int nInkRight = -1;
    for (int nX = 0; nX < image.width(); ++nX) {
        const QRgb rgb = image.pixel(nX, 18);
        ++mapCount[rgb];
        if (rgb == qRgb(226, 229, 232)) {
            nTrackStart = nTrackStart < 0 ? nX : nTrackStart;
            strTrack = QStringLiteral("%1-%2").arg(nTrackStart).arg(nX);
        }
        for (int nY = 0; nY < image.height(); ++nY) {
            const QRgb ink = image.pixel(nX, nY);  // the label's colour, smoothed into the white
            if (qRed(ink) - qGreen(ink) > 40) {
                nInkLeft = qMin(nInkLeft, nX);
                nInkRight = nX;
            }
        }
    }
    const QString strFill = QStringLiteral("blue %1, grey %2")
                                .arg(mapCount.value(qRgb(96, 175, 249)))
                                .arg(mapCount.value(qRgb(191, 194, 197)));
    // The label right of the track, and whole: its ink as wide as its text.
    const int nText = QFontMetrics(option.font).horizontalAdvance(QString::number(nPercent) + '%');
    const QString strLabel = nInkRight < 0                          ? QStringLiteral("no label")
                             : nInkLeft <= nTrackStart + 8          ? QStringLiteral("label on the track")
                             : nInkRight - nInkLeft + 1 < nText - 4 ? QStringLiteral("cut label")
                                                                    : QStringLiteral("label");
    QCOMPARE(QStringList({"track " + strTrack, strFill, strLabel}).join(", "), strPainted);
}

// Hovering cells 120 pixels wide: a text cut short shows the cell's tooltip or else the whole
// text, a size its bytes; a whole text shows nothing.
void tst_DownloadCells::tooltips()
{
    const QString strLong = QString(40, 'n') + ".mp4";
    DownloadInfo record;
    record.strFileName = strLong;
    record.strFilePath = "/srv/" + strLong;
    record.strChannelName = strLong;
    record.strShopName = "r.mp4";
    record.stRecordFile.nFileSize = 999;
    CDoneTaskList list;
    list.addRecord(record);
    ORBGUI::OrbTableView view;
    view.setItemDelegate(new CDownloadCenterTableDelegate(&view));
    view.setModel(list.model());
    view.resize(900, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QStringList listShown;
    for (int nColumn : {CDoneTableModel::ColumnFileName, CDoneTableModel::ColumnChannel,
                        CDoneTableModel::ColumnShop, CDoneTableModel::ColumnFileSize}) {
        view.header()->resizeSection(nColumn, 120);
        const QPoint point = view.visualRect(list.model()->index(0, nColumn)).center();
        QHelpEvent event(QEvent::ToolTip, point, view.viewport()->mapToGlobal(point));
        QApplication::sendEvent(view.viewport(), &event);
        listShown << (QToolTip::isVisible() ? QToolTip::text() : QString());
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
    }
    QCOMPARE(listShown, QStringList({"/srv/" + strLong, strLong, "", "999 bytes"}));
}

QTEST_MAIN(tst_DownloadCells)
#include "tst_DownloadCells.moc"
