#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

using ORBGUI::ItemPixmapValue;
using ORBGUI::OrbTableView;
using ORBGUI::OrbTableViewItemDelegateSvg;
using ORBGUI::struTreeViewData;

using Colors = QList<QColor>;

namespace {

constexpr int kColumn = 1;
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kGray(128, 128, 128);
const QColor kCyan(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kMagenta(255, 0, 255);

QString writeSvg(const QTemporaryDir& dir, const QString& strName, const QByteArray& body)
{
    const QString strPath = dir.filePath(strName);
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\">");
    file.write(body);
    file.write("</svg>");
    return strPath;
}

QString solidSvg(const QTemporaryDir& dir, const QColor& color)
{
    return writeSvg(
        dir, QStringLiteral("solid-%1.svg").arg(color.name().mid(1)),
        QStringLiteral("<rect width=\"16\" height=\"16\" fill=\"%1\"/>").arg(color.name()).toUtf8());
}

QString solidPng(const QTemporaryDir& dir, const QColor& color)
{
    const QString strPath = dir.filePath(QStringLiteral("solid-%1.png").arg(color.name().mid(1)));
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    return image.save(strPath) ? strPath : QString();
}

QPixmap solidPixmap(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return pixmap;
}

// A move with the button held. (QTest's mouseMove after its own mousePress never reaches
// the widget: the press bypasses the window, which then has no mouse grabber.)
void dragTo(QWidget* pWidget, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, pWidget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &move);
}

struct Fixture
{
    QTemporaryDir dir;
    QStandardItemModel model;
    OrbTableView view;

    Fixture()
    {
        model.setColumnCount(2);
        model.setHeaderData(0, Qt::Horizontal, 120, struTreeViewData::HeaderWidthRole);
        model.setHeaderData(1, Qt::Horizontal, 240, struTreeViewData::HeaderWidthRole);
        for (int nRow = 0; nRow < 4; ++nRow) {
            model.appendRow({new QStandardItem(QStringLiteral("name")), new QStandardItem()});
        }
        view.setModel(&model);
        view.resize(500, 300);
        // The style marks the focused current row with a tint; keep pixels plain.
        view.setFocusPolicy(Qt::NoFocus);
    }

    bool show()
    {
        view.show();
        return QTest::qWaitForWindowExposed(&view);
    }

    void setSlot(int nRow, int nSlot, const ItemPixmapValue& value)
    {
        model.item(nRow, kColumn)->setData(QVariant::fromValue(value), struTreeViewData::PixmapRole0 + nSlot);
    }

    QModelIndex index(int nRow) const { return model.index(nRow, kColumn); }

    QRect iconRect(int nRow, int nSlot) const
    {
        auto* pDelegate = qobject_cast<OrbTableViewItemDelegateSvg*>(view.itemDelegate(index(nRow)));
        return pDelegate->pixmapRect(view.viewItemOption(index(nRow)), index(nRow),
                                     struTreeViewData::PixmapRole0 + nSlot);
    }

    QColor colorAt(const QPoint& pos) const { return view.viewport()->grab().toImage().pixelColor(pos); }
};

// Row 0 enabled, row 1 disabled; slot 0 has every image, slot 1 only a normal one, slot 2
// comes as pixmaps with a hover image.
void fillStates(Fixture* pF)
{
    const ItemPixmapValue full{{ItemPixmapValue::Normal, solidSvg(pF->dir, kRed)},
                               {ItemPixmapValue::Hover, solidSvg(pF->dir, kGreen)},
                               {ItemPixmapValue::Pressed, solidSvg(pF->dir, kBlue)},
                               {ItemPixmapValue::Disabled, solidSvg(pF->dir, kGray)},
                               {ItemPixmapValue::IconSize, QSize(16, 16)}};
    const ItemPixmapValue normalOnly{{ItemPixmapValue::Normal, solidPng(pF->dir, kCyan)},
                                     {ItemPixmapValue::IconSize, QSize(16, 16)}};
    const ItemPixmapValue pixmaps{{ItemPixmapValue::Normal, solidPixmap(kYellow)},
                                  {ItemPixmapValue::Hover, solidPixmap(kMagenta)},
                                  {ItemPixmapValue::IconSize, QSize(16, 16)}};
    for (int nRow : {0, 1}) {
        pF->setSlot(nRow, 0, full);
        pF->setSlot(nRow, 1, normalOnly);
        pF->setSlot(nRow, 2, pixmaps);
    }
    pF->model.item(1, kColumn)->setEnabled(false);
}

}  // namespace

class tst_PixmapPainting : public QObject
{
    Q_OBJECT

private slots:
    void mouseStates_data();
    void mouseStates();
    void stateEndsWhenTheMouseLeaves();
    void disabledIconsAreInert();
    void imageSources_data();
    void imageSources();
    void missingImageTakesNoSpaceWithoutSize();
    void svgIsSharpAtDevicePixelRatio();
    void paintLeavesPainterAsFound();
};

void tst_PixmapPainting::mouseStates_data()
{
    QTest::addColumn<int>("nRow");
    QTest::addColumn<int>("nMouseSlot");  // slot under the mouse; -1: none
    QTest::addColumn<bool>("bPressed");
    QTest::addColumn<Colors>("listExpected");

    QTest::newRow("no mouse") << 0 << -1 << false << Colors{kRed, kCyan, kYellow};
    QTest::newRow("hover slot 0") << 0 << 0 << false << Colors{kGreen, kCyan, kYellow};
    QTest::newRow("hover without hover image") << 0 << 1 << false << Colors{kRed, kCyan, kYellow};
    QTest::newRow("hover pixmap") << 0 << 2 << false << Colors{kRed, kCyan, kMagenta};
    QTest::newRow("pressed slot 0") << 0 << 0 << true << Colors{kBlue, kCyan, kYellow};
    QTest::newRow("pressed without pressed image") << 0 << 2 << true << Colors{kRed, kCyan, kYellow};
    QTest::newRow("pressed without any extra image") << 0 << 1 << true << Colors{kRed, kCyan, kYellow};
    QTest::newRow("disabled") << 1 << -1 << false << Colors{kGray, kCyan, kYellow};
    QTest::newRow("disabled under the mouse") << 1 << 0 << false << Colors{kGray, kCyan, kYellow};
    QTest::newRow("disabled pressed") << 1 << 0 << true << Colors{kGray, kCyan, kYellow};
}

void tst_PixmapPainting::mouseStates()
{
    QFETCH(int, nRow);
    QFETCH(int, nMouseSlot);
    QFETCH(bool, bPressed);
    QFETCH(Colors, listExpected);

    Fixture f;
    fillStates(&f);
    QVERIFY(f.show());

    QWidget* pViewport = f.view.viewport();
    const QPoint away(pViewport->width() - 3, pViewport->height() - 3);  // no row there
    const QPoint mouse = nMouseSlot < 0 ? away : f.iconRect(nRow, nMouseSlot).center();
    QTest::mouseMove(pViewport, mouse);
    if (bPressed) {
        QTest::mousePress(pViewport, Qt::LeftButton, Qt::NoModifier, mouse);
    }
    for (int nSlot = 0; nSlot < 3; ++nSlot) {
        const QRect rect = f.iconRect(nRow, nSlot);
        QVERIFY(!rect.isEmpty());
        QCOMPARE(f.colorAt(rect.center()), listExpected.at(nSlot));
        QCOMPARE(f.colorAt(rect.topLeft() + QPoint(2, 2)), listExpected.at(nSlot));
    }
    if (bPressed) {
        QTest::mouseRelease(pViewport, Qt::LeftButton, Qt::NoModifier, mouse);
    }
}

void tst_PixmapPainting::stateEndsWhenTheMouseLeaves()
{
    Fixture f;
    fillStates(&f);
    QVERIFY(f.show());
    QWidget* pViewport = f.view.viewport();
    const QPoint icon = f.iconRect(0, 0).center();
    const QPoint beside = f.iconRect(0, 2).bottomRight() + QPoint(20, 0);

    QTest::mouseMove(pViewport, icon);
    QCOMPARE(f.colorAt(icon), kGreen);
    QTest::mouseMove(pViewport, beside);
    QCOMPARE(f.colorAt(icon), kRed);

    // Pressed shows while the mouse stays on the icon, and not once it moved off.
    QTest::mouseMove(pViewport, icon);
    QTest::mousePress(pViewport, Qt::LeftButton, Qt::NoModifier, icon);
    QCOMPARE(f.colorAt(icon), kBlue);
    dragTo(pViewport, beside);
    QCOMPARE(f.colorAt(icon), kRed);
    dragTo(pViewport, icon);
    QCOMPARE(f.colorAt(icon), kBlue);
    dragTo(pViewport, beside);
    QTest::mouseRelease(pViewport, Qt::LeftButton, Qt::NoModifier, beside);
    QCOMPARE(f.colorAt(icon), kRed);

    // Leaving the view clears the hover image too.
    QTest::mouseMove(pViewport, beside);  // the cursor itself was still on the icon
    QTest::mouseMove(pViewport, icon);
    QCOMPARE(f.colorAt(icon), kGreen);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(pViewport, &leave);
    QCOMPARE(f.colorAt(icon), kRed);
}

void tst_PixmapPainting::disabledIconsAreInert()
{
    Fixture f;
    fillStates(&f);
    QVERIFY(f.show());
    QSignalSpy spy(&f.view, &ORBGUI::OrbBaseView::SignalPixmapClicked);
    const QPoint icon = f.iconRect(1, 0).center();
    QCOMPARE(f.view.pixmapRoleAt(icon), 0);
    QTest::mouseMove(f.view.viewport(), icon);
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, icon);
    QCOMPARE(spy.count(), 0);
}

void tst_PixmapPainting::imageSources_data()
{
    QTest::addColumn<QString>("strSource");  // "svg", "png", "pixmap", or a path that does not exist
    QTest::addColumn<bool>("bDrawn");

    QTest::newRow("svg path") << QStringLiteral("svg") << true;
    QTest::newRow("png path") << QStringLiteral("png") << true;
    QTest::newRow("pixmap") << QStringLiteral("pixmap") << true;
    QTest::newRow("missing svg") << QStringLiteral("/nonexistent/dir/icon.svg") << false;
    QTest::newRow("missing png") << QStringLiteral("/nonexistent/dir/icon.png") << false;
    QTest::newRow("empty path") << QString() << false;
    QTest::newRow("not an image") << QStringLiteral("text") << false;
}

void tst_PixmapPainting::imageSources()
{
    QFETCH(QString, strSource);
    QFETCH(bool, bDrawn);

    Fixture f;
    QVariant image;
    if (strSource == QLatin1String("svg")) {
        image = solidSvg(f.dir, kBlue);
    } else if (strSource == QLatin1String("png")) {
        image = solidPng(f.dir, kBlue);
    } else if (strSource == QLatin1String("pixmap")) {
        image = solidPixmap(kBlue);
    } else if (strSource == QLatin1String("text")) {
        const QString strPath = f.dir.filePath(QStringLiteral("broken.svg"));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not an image");
        image = strPath;
    } else {
        image = strSource;
    }
    // An icon on the right of row 0; two rows down, the same place shows bare background.
    f.setSlot(0, 0,
              ItemPixmapValue{{ItemPixmapValue::Normal, image}, {ItemPixmapValue::IconSize, QSize(16, 16)}});
    f.model.item(0, kColumn)
        ->setData(int(Qt::AlignRight | Qt::AlignVCenter), struTreeViewData::PixmapAlignmentRole);
    QVERIFY(f.show());

    const QRect rect = f.iconRect(0, 0);
    QCOMPARE(rect.size(), QSize(16, 16));  // the slot keeps its place even when the image is missing
    const QImage shot = f.view.viewport()->grab().toImage();
    const int nRowHeight = f.view.visualRect(f.index(0)).height();
    for (const QPoint& pos :
         {rect.center(), rect.topLeft() + QPoint(1, 1), rect.bottomRight() - QPoint(1, 1)}) {
        const QColor drawn = shot.pixelColor(pos);
        const QColor background = shot.pixelColor(pos + QPoint(0, 2 * nRowHeight));
        if (bDrawn) {
            QCOMPARE(drawn, kBlue);
        } else {
            QCOMPARE(drawn, background);
        }
    }
}

void tst_PixmapPainting::missingImageTakesNoSpaceWithoutSize()
{
    // Without an IconSize, a slot's size is its image's: no image, no room taken.
    Fixture f;
    f.setSlot(0, 0, ItemPixmapValue{{ItemPixmapValue::Normal, QStringLiteral("/nonexistent/a.svg")}});
    f.setSlot(0, 1, ItemPixmapValue{{ItemPixmapValue::Normal, solidSvg(f.dir, kGreen)}});
    f.setSlot(1, 1, ItemPixmapValue{{ItemPixmapValue::Normal, solidSvg(f.dir, kGreen)}});
    QVERIFY(f.show());

    QVERIFY(f.iconRect(0, 0).isEmpty());
    const QRect rect = f.iconRect(0, 1);
    QCOMPARE(rect.size(), QSize(16, 16));  // the SVG's own size
    QCOMPARE(rect.left(), f.iconRect(1, 1).left());
    QCOMPARE(f.colorAt(rect.center()), kGreen);
}

void tst_PixmapPainting::svgIsSharpAtDevicePixelRatio()
{
    // Half a logical pixel of red, then blue: only a rendering at twice the resolution has
    // a pure red device pixel column; a scaled-up 1x rendering blends it.
    Fixture f;
    const QString strPath =
        writeSvg(f.dir, QStringLiteral("edge.svg"),
                 "<rect x=\"0\" y=\"0\" width=\"0.5\" height=\"16\" fill=\"#ff0000\"/>"
                 "<rect x=\"0.5\" y=\"0\" width=\"15.5\" height=\"16\" fill=\"#0000ff\"/>");
    f.setSlot(
        0, 0,
        ItemPixmapValue{{ItemPixmapValue::Normal, strPath}, {ItemPixmapValue::IconSize, QSize(16, 16)}});
    QVERIFY(f.show());
    QWidget* pViewport = f.view.viewport();
    const QRect rect = f.iconRect(0, 0);

    // First at 1x, so that a cache keyed without the ratio would hand back this rendering.
    QImage single(pViewport->size(), QImage::Format_ARGB32_Premultiplied);
    single.fill(Qt::white);
    pViewport->render(&single);
    const QColor blended = single.pixelColor(rect.left(), rect.center().y());
    QVERIFY2(blended != kRed && blended != kBlue, qPrintable(blended.name()));

    QImage doubled(pViewport->size() * 2, QImage::Format_ARGB32_Premultiplied);
    doubled.setDevicePixelRatio(2.0);
    doubled.fill(Qt::white);
    pViewport->render(&doubled);
    QCOMPARE(doubled.pixelColor(rect.left() * 2, rect.center().y() * 2), kRed);
    QCOMPARE(doubled.pixelColor(rect.left() * 2 + 1, rect.center().y() * 2), kBlue);
    QCOMPARE(doubled.pixelColor(rect.right() * 2 + 1, rect.center().y() * 2), kBlue);
}

void tst_PixmapPainting::paintLeavesPainterAsFound()
{
    Fixture f;
    fillStates(&f);
    f.model.item(0, kColumn)->setText(QStringLiteral("some text"));
    f.model.item(0, kColumn)->setCheckable(true);
    QVERIFY(f.show());
    auto* pDelegate = qobject_cast<OrbTableViewItemDelegateSvg*>(f.view.itemDelegate(f.index(0)));
    QVERIFY(pDelegate);

    QImage image(f.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    const QPen pen(Qt::darkMagenta, 3, Qt::DashLine);
    const QBrush brush(Qt::darkCyan, Qt::Dense4Pattern);
    QFont font(QStringLiteral("Monospace"), 17);
    font.setItalic(true);
    painter.setPen(pen);
    painter.setBrush(brush);
    painter.setFont(font);
    painter.setOpacity(0.5);
    painter.translate(3, 4);
    painter.setClipRect(QRect(0, 0, 300, 200));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QFont fontSet = painter.font();  // resolved against the device
    const QTransform transform = painter.worldTransform();
    const QRegion clip = painter.clipRegion();
    const QPainter::RenderHints hints = painter.renderHints();

    for (int nRow : {0, 1}) {
        pDelegate->paint(&painter, f.view.viewItemOption(f.index(nRow)), f.index(nRow));
        QCOMPARE(painter.pen(), pen);
        QCOMPARE(painter.brush(), brush);
        QCOMPARE(painter.font(), fontSet);
        QCOMPARE(painter.opacity(), 0.5);
        QCOMPARE(painter.worldTransform(), transform);
        QCOMPARE(painter.clipRegion(), clip);
        QCOMPARE(painter.renderHints(), hints);
        QCOMPARE(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
    }
}

QTEST_MAIN(tst_PixmapPainting)
#include "tst_PixmapPainting.moc"
