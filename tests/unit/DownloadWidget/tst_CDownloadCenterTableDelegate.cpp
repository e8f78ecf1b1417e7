#include <QtTest>

#include <QApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTextItem>

#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include "CDownloadCenterTableDelegate.h"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kTrack(226, 229, 232);
const QColor kBlue(96, 175, 249);
const QColor kGrey(191, 194, 197);
const QColor kLabel(46, 44, 44);

// Keeps the rectangles and texts a painter sends, with the brush and pen in force, so geometry
// below one pixel (which the track-coloured outline hides in an image) can be checked exactly.
class RecordingPaintEngine : public QPaintEngine
{
public:
    struct Rect
    {
        QRectF rect;
        QColor brush;
        QColor pen;
    };
    struct Text
    {
        QPointF baseline;
        QString strText;
        QColor pen;
    };

    RecordingPaintEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & QPaintEngine::DirtyBrush) {
            m_brush = state.brush();
        }
        if (state.state() & QPaintEngine::DirtyPen) {
            m_pen = state.pen();
        }
    }
    void drawRects(const QRect* rects, int nCount) override
    {
        for (int i = 0; i < nCount; ++i) {
            m_listRects.append({QRectF(rects[i]), m_brush.color(), m_pen.color()});
        }
    }
    void drawRects(const QRectF* rects, int nCount) override
    {
        for (int i = 0; i < nCount; ++i) {
            m_listRects.append({rects[i], m_brush.color(), m_pen.color()});
        }
    }
    void drawTextItem(const QPointF& point, const QTextItem& textItem) override
    {
        m_listTexts.append({point, textItem.text(), m_pen.color()});
    }
    // What the kit's delegate draws besides: not of interest here.
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawLines(const QLineF*, int) override {}
    void drawPoints(const QPointF*, int) override {}

    QList<Rect> m_listRects;
    QList<Text> m_listTexts;

private:
    QBrush m_brush;
    QPen m_pen;
};

class RecordingPaintDevice : public QPaintDevice
{
public:
    explicit RecordingPaintDevice(const QSize& size) : m_size(size) {}
    ~RecordingPaintDevice() override = default;

    QPaintEngine* paintEngine() const override { return &m_engine; }
    RecordingPaintEngine& engine() { return m_engine; }

protected:
    int metric(PaintDeviceMetric eMetric) const override
    {
        switch (eMetric) {
            case PdmWidth:
                return m_size.width();
            case PdmHeight:
                return m_size.height();
            case PdmWidthMM:
                return m_size.width() * 254 / 960;
            case PdmHeightMM:
                return m_size.height() * 254 / 960;
            case PdmNumColors:
                return 0x7fffffff;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize m_size;
    mutable RecordingPaintEngine m_engine;
};

QStyleOptionViewItem plainOption(const QRect& rect)
{
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = QStyle::State_Enabled;
    option.font = QApplication::font();
    option.fontMetrics = QFontMetrics(option.font);
    option.palette = QApplication::palette();
    return option;
}

QImage render(const QStyledItemDelegate& delegate, const QModelIndex& index, const QRect& rect,
              const QSize& imageSize)
{
    QImage image(imageSize, QImage::Format_ARGB32);
    image.fill(kWhite);
    QPainter painter(&image);
    delegate.paint(&painter, plainOption(rect), index);
    painter.end();
    return image;
}

// Columns of row y that hold exactly the colour, from the left.
QList<int> columnsOf(const QImage& image, int nY, const QColor& color)
{
    QList<int> listColumns;
    for (int nX = 0; nX < image.width(); ++nX) {
        if (image.pixelColor(nX, nY) == color) {
            listColumns.append(nX);
        }
    }
    return listColumns;
}

bool isDark(const QColor& color)
{
    return color.red() < 160 && color.green() < 160 && color.blue() < 160;
}

}  // namespace

class tst_CDownloadCenterTableDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void trackAndFillPixels();
    void fillColourFollowsState_data();
    void fillColourFollowsState();
    void labelPixels();
    void fillGeometry_data();
    void fillGeometry();
    void trackAndLabelGeometry_data();
    void trackAndLabelGeometry();
    void progressCellWithoutValueShowsZero();
    void ordinaryCellPaintsAsTheKit_data();
    void ordinaryCellPaintsAsTheKit();

private:
    QStandardItem* progressItem(int nPercent, const QVariant& varState = QVariant());

    QStandardItemModel m_model;
    CDownloadCenterTableDelegate m_delegate;
};

void tst_CDownloadCenterTableDelegate::init()
{
    m_model.clear();
}

QStandardItem* tst_CDownloadCenterTableDelegate::progressItem(int nPercent, const QVariant& varState)
{
    auto* pItem = new QStandardItem(QString());
    pItem->setData(true, CDownloadCenterTableDelegate::ProgressBarRole);
    pItem->setData(nPercent, CDownloadCenterTableDelegate::ProgressValueRole);
    pItem->setData(varState, Qt::UserRole);
    m_model.appendRow(pItem);
    return pItem;
}

void tst_CDownloadCenterTableDelegate::trackAndFillPixels()
{
    const QStandardItem* pItem = progressItem(50, 1);
    const QImage image = render(m_delegate, pItem->index(), QRect(0, 0, 200, 36), QSize(200, 36));

    // Middle of the 8-pixel track: 36 / 2 - 4 = 14 is its top edge.
    const int nMiddle = 18;
    const QList<int> listBlue = columnsOf(image, nMiddle, kBlue);
    QVERIFY(!listBlue.isEmpty());
    // The fill is 77 of 154 pixels, its outline drawn in the track colour at both ends.
    QCOMPARE(listBlue.first(), 8 + 1);
    QCOMPARE(listBlue.last(), 8 + 77 - 1);
    QCOMPARE(listBlue.size(), 77 - 1);
    QCOMPARE(image.pixelColor(8, nMiddle), kTrack);
    QCOMPARE(image.pixelColor(8 + 77, nMiddle), kTrack);
    // The track carries on to its right edge, 154 pixels from its left.
    const QList<int> listTrack = columnsOf(image, nMiddle, kTrack);
    QCOMPARE(listTrack.last(), 8 + 154);
    QCOMPARE(image.pixelColor(8 + 154 + 1, nMiddle), kWhite);
    QCOMPARE(image.pixelColor(7, nMiddle), kWhite);
    // Eight pixels high: the outline spans rows 14 to 22, nothing above or below.
    QCOMPARE(image.pixelColor(40, 14), kTrack);
    QCOMPARE(image.pixelColor(40, 22), kTrack);
    QCOMPARE(image.pixelColor(40, 13), kWhite);
    QCOMPARE(image.pixelColor(40, 23), kWhite);
    QCOMPARE(image.pixelColor(40, 15), kBlue);
    QCOMPARE(image.pixelColor(40, 21), kBlue);
}

void tst_CDownloadCenterTableDelegate::fillColourFollowsState_data()
{
    QTest::addColumn<QVariant>("varState");
    QTest::addColumn<QColor>("colorFill");

    QTest::newRow("no state") << QVariant() << kBlue;
    QTest::newRow("waiting") << QVariant(0) << kBlue;
    QTest::newRow("downloading") << QVariant(1) << kBlue;
    QTest::newRow("failed") << QVariant(2) << kGrey;
    QTest::newRow("unknown state") << QVariant(3) << kBlue;
}

void tst_CDownloadCenterTableDelegate::fillColourFollowsState()
{
    QFETCH(QVariant, varState);
    QFETCH(QColor, colorFill);

    QStandardItem* pItem = progressItem(50, varState);
    const QImage image = render(m_delegate, pItem->index(), QRect(0, 0, 200, 36), QSize(200, 36));
    QCOMPARE(image.pixelColor(40, 18), colorFill);
    QCOMPARE(columnsOf(image, 18, colorFill).size(), 77 - 1);

    // A failed task that is continued turns blue again, keeping its percent.
    pItem->setData(0, Qt::UserRole);
    const QImage imageAgain = render(m_delegate, pItem->index(), QRect(0, 0, 200, 36), QSize(200, 36));
    QCOMPARE(imageAgain.pixelColor(40, 18), kBlue);
}

void tst_CDownloadCenterTableDelegate::labelPixels()
{
    const QRect rcCell(0, 0, 200, 36);
    const QStandardItem* pItem = progressItem(50, 1);
    const QImage image = render(m_delegate, pItem->index(), rcCell, QSize(200, 36));

    // The label box starts 32 pixels before the cell's last column and is 30 wide.
    const QRect rcLabel(rcCell.right() - 32, 0, 30, 36);
    QImage imageExpected(QSize(200, 36), QImage::Format_ARGB32);
    imageExpected.fill(kWhite);
    {
        QPainter painter(&imageExpected);
        painter.setPen(kLabel);
        painter.drawText(rcLabel, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("50%"));
    }
    bool bAnyInk = false;
    for (int nY = 0; nY < 36; ++nY) {
        for (int nX = rcLabel.left() - 3; nX < 200; ++nX) {
            QCOMPARE(image.pixelColor(nX, nY), imageExpected.pixelColor(nX, nY));
            bAnyInk = bAnyInk || isDark(image.pixelColor(nX, nY));
        }
    }
    QVERIFY(bAnyInk);

    // Another percent gives another label in the same place.
    const QStandardItem* pOther = progressItem(7, 1);
    const QImage imageOther = render(m_delegate, pOther->index(), rcCell, QSize(200, 36));
    QVERIFY(imageOther.copy(rcLabel) != image.copy(rcLabel));
}

void tst_CDownloadCenterTableDelegate::fillGeometry_data()
{
    QTest::addColumn<int>("nCellWidth");
    QTest::addColumn<int>("nPercent");
    QTest::addColumn<int>("nFillWidth");

    QTest::newRow("half of 154") << 200 << 50 << 77;
    QTest::newRow("full") << 200 << 100 << 154;
    QTest::newRow("empty") << 200 << 0 << 0;
    QTest::newRow("truncated 50.82") << 200 << 33 << 50;
    QTest::newRow("1.54 truncated") << 200 << 1 << 1;
    // Track 54: 0.54 pixel passes half a pixel and shows as one.
    QTest::newRow("0.54 shows one pixel") << 100 << 1 << 1;
    QTest::newRow("0.51 shows one pixel") << 97 << 1 << 1;
    QTest::newRow("0.99 shows one pixel") << 145 << 1 << 1;
    QTest::newRow("exactly 1.0") << 146 << 1 << 1;
    // Track 50: exactly half a pixel is not enough.
    QTest::newRow("0.5 shows nothing") << 96 << 1 << 0;
    QTest::newRow("0.42 shows nothing") << 60 << 3 << 0;
    QTest::newRow("one-pixel track at 60%") << 47 << 60 << 1;
    QTest::newRow("not clamped above 100") << 200 << 150 << 231;
}

void tst_CDownloadCenterTableDelegate::fillGeometry()
{
    QFETCH(int, nCellWidth);
    QFETCH(int, nPercent);
    QFETCH(int, nFillWidth);

    const QStandardItem* pItem = progressItem(nPercent, 2);
    RecordingPaintDevice device(QSize(nCellWidth + 20, 36));
    {
        QPainter painter(&device);
        m_delegate.paint(&painter, plainOption(QRect(0, 0, nCellWidth, 36)), pItem->index());
    }
    const QList<RecordingPaintEngine::Rect> listRects = device.engine().m_listRects;
    // Track first, fill second, both at the same place.
    QVERIFY2(listRects.size() >= 2, qPrintable(QString::number(listRects.size())));
    const RecordingPaintEngine::Rect& track = listRects.at(listRects.size() - 2);
    const RecordingPaintEngine::Rect& fill = listRects.last();
    QCOMPARE(track.brush, kTrack);
    QCOMPARE(fill.brush, kGrey);
    QCOMPARE(fill.pen, kTrack);
    QCOMPARE(fill.rect.width(), qreal(nFillWidth));
    QCOMPARE(fill.rect.topLeft(), track.rect.topLeft());
    QCOMPARE(fill.rect.height(), qreal(8));
}

void tst_CDownloadCenterTableDelegate::trackAndLabelGeometry_data()
{
    QTest::addColumn<QRect>("rcCell");
    QTest::addColumn<QRect>("rcTrack");
    QTest::addColumn<int>("nLabelLeft");

    QTest::newRow("at origin") << QRect(0, 0, 200, 36) << QRect(8, 14, 154, 8) << 167;
    QTest::newRow("offset cell") << QRect(300, 72, 140, 36) << QRect(308, 86, 94, 8) << 407;
    // Integer halving: 35 / 2 - 4 = 13.
    QTest::newRow("odd height") << QRect(0, 10, 200, 35) << QRect(8, 23, 154, 8) << 167;
    // No minimum width: the track goes negative, the label stays at the right edge.
    QTest::newRow("narrower than the reserve") << QRect(0, 0, 40, 36) << QRect(8, 14, -6, 8) << 7;
}

void tst_CDownloadCenterTableDelegate::trackAndLabelGeometry()
{
    QFETCH(QRect, rcCell);
    QFETCH(QRect, rcTrack);
    QFETCH(int, nLabelLeft);

    const QStandardItem* pItem = progressItem(42);
    RecordingPaintDevice device(QSize(rcCell.right() + 20, rcCell.bottom() + 20));
    {
        QPainter painter(&device);
        m_delegate.paint(&painter, plainOption(rcCell), pItem->index());
    }
    const QList<RecordingPaintEngine::Rect> listRects = device.engine().m_listRects;
    QVERIFY(listRects.size() >= 2);
    const RecordingPaintEngine::Rect& track = listRects.at(listRects.size() - 2);
    QCOMPARE(track.rect, QRectF(rcTrack));
    QCOMPARE(track.pen, kTrack);
    QCOMPARE(listRects.last().brush, kBlue);

    const QList<RecordingPaintEngine::Text> listTexts = device.engine().m_listTexts;
    QVERIFY(!listTexts.isEmpty());
    const RecordingPaintEngine::Text& label = listTexts.last();
    QCOMPARE(label.strText, QStringLiteral("42%"));
    QCOMPARE(label.pen, kLabel);
    QCOMPARE(qRound(label.baseline.x()), nLabelLeft);
    // Vertically centred in the cell.
    QVERIFY(label.baseline.y() > rcCell.top() + rcCell.height() / 2);
    QVERIFY(label.baseline.y() < rcCell.bottom());
}

void tst_CDownloadCenterTableDelegate::progressCellWithoutValueShowsZero()
{
    auto* pItem = new QStandardItem(QString());
    pItem->setData(true, CDownloadCenterTableDelegate::ProgressBarRole);
    m_model.appendRow(pItem);

    RecordingPaintDevice device(QSize(220, 36));
    {
        QPainter painter(&device);
        m_delegate.paint(&painter, plainOption(QRect(0, 0, 200, 36)), pItem->index());
    }
    QVERIFY(!device.engine().m_listRects.isEmpty());
    QVERIFY(!device.engine().m_listTexts.isEmpty());
    QCOMPARE(device.engine().m_listRects.last().rect.width(), qreal(0));
    QCOMPARE(device.engine().m_listTexts.last().strText, QStringLiteral("0%"));

    const QImage image = render(m_delegate, pItem->index(), QRect(0, 0, 200, 36), QSize(200, 36));
    QVERIFY(columnsOf(image, 18, kBlue).isEmpty());
    QCOMPARE(columnsOf(image, 18, kTrack).size(), 154 + 1);
}

void tst_CDownloadCenterTableDelegate::ordinaryCellPaintsAsTheKit_data()
{
    QTest::addColumn<bool>("bSelected");
    QTest::newRow("plain") << false;
    QTest::newRow("selected") << true;
}

void tst_CDownloadCenterTableDelegate::ordinaryCellPaintsAsTheKit()
{
    QFETCH(bool, bSelected);

    // Everything a progress cell has except the marker role: it must not matter.
    auto* pItem = new QStandardItem(QStringLiteral("1.5KB"));
    pItem->setData(132, Qt::TextAlignmentRole);
    pItem->setData(2, Qt::UserRole);
    pItem->setData(50, CDownloadCenterTableDelegate::ProgressValueRole);
    ORBGUI::ItemPixmapValue icon;
    icon.insert(ORBGUI::ItemPixmapValue::Normal,
                QStringLiteral("./Skin/%1/DownloadApp/delete-n.svg").arg(ORBGUI::GetSkinVersion()));
    icon.insert(ORBGUI::ItemPixmapValue::IconSize, QSize(20, 20));
    pItem->setData(QVariant::fromValue(icon), ORBGUI::struTreeViewData::PixmapRole0);
    pItem->setData(129, ORBGUI::struTreeViewData::PixmapAlignmentRole);
    m_model.appendRow(pItem);

    ORBGUI::OrbTableViewItemDelegateSvg kitDelegate;
    QStyleOptionViewItem option = plainOption(QRect(0, 0, 200, 36));
    if (bSelected) {
        option.state |= QStyle::State_Selected;
    }
    QImage imageOurs(QSize(200, 36), QImage::Format_ARGB32);
    QImage imageKit(QSize(200, 36), QImage::Format_ARGB32);
    imageOurs.fill(kWhite);
    imageKit.fill(kWhite);
    {
        QPainter painter(&imageOurs);
        m_delegate.paint(&painter, option, pItem->index());
    }
    {
        QPainter painter(&imageKit);
        kitDelegate.paint(&painter, option, pItem->index());
    }
    QCOMPARE(imageOurs, imageKit);
    // The comparison means something only if the kit painted the cell at all.
    bool bPainted = false;
    for (int nX = 0; nX < 200 && !bPainted; ++nX) {
        for (int nY = 0; nY < 36 && !bPainted; ++nY) {
            bPainted = imageKit.pixelColor(nX, nY) != kWhite;
        }
    }
    QVERIFY(bPainted);
}

QTEST_MAIN(tst_CDownloadCenterTableDelegate)
#include "tst_CDownloadCenterTableDelegate.moc"
