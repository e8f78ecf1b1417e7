#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <QFile>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

using ORBGUI::ItemPixmapValue;
using ORBGUI::struTreeViewData;

using Sizes = QList<QSize>;  // icon size per slot 0..2; an invalid size leaves the slot empty
using Colors = QList<QColor>;

namespace {

constexpr int kRole0 = struTreeViewData::PixmapRole0;
const QSize k16(16, 16);
const QColor kRed(Qt::red), kGreen(Qt::green), kBlue(Qt::blue), kGray(Qt::gray), kCyan(Qt::cyan);
const QColor kYellow(Qt::yellow), kMagenta(Qt::magenta);

// A shown view of four rows and three columns of 180 px; clicks on icons are spied on.
struct Fixture
{
    QTemporaryDir dir;
    QStandardItemModel model{4, 3};
    ORBGUI::OrbTableView view;
    QSignalSpy spy{&view, &ORBGUI::OrbBaseView::SignalPixmapClicked};

    Fixture()
    {
        for (int nCell = 0; nCell < 12; ++nCell) {
            model.setItem(nCell / 3, nCell % 3, new QStandardItem());
        }
        view.header()->setDefaultSectionSize(180);
        view.setModel(&model);
        view.resize(600, 300);
        view.setFocusPolicy(Qt::NoFocus);  // the style tints the focused row
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) {
            qWarning("the view was not shown: clicks and pixels below will be wrong");
        }
    }

    // A square of a colour as a "pixmap", a "png" file or an "svg" file.
    QVariant image(const QString& strKind, const QColor& color) const
    {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(color);
        const QString strPath = dir.filePath(color.name().mid(1) + "." + strKind);
        if (strKind == "pixmap") {
            return QPixmap::fromImage(image);
        }
        if (strKind == "png") {
            return image.save(strPath) ? strPath : QString();
        }
        return svg(strPath, "<rect width=\"16\" height=\"16\" fill=\"" + color.name().toLatin1() + "\"/>");
    }

    static QString svg(const QString& strPath, const QByteArray& baBody)
    {
        QFile file(strPath);
        const QByteArray baHead = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">";
        return file.open(QIODevice::WriteOnly) && file.write(baHead + baBody + "</svg>") > 0 ? strPath
                                                                                             : QString();
    }

    // The normal, hover, pressed and disabled images of a slot (invalid: none).
    void setSlot(int nRow, int nColumn, int nSlot, const QVariantList& listImages, const QSize& size = k16)
    {
        ItemPixmapValue value;
        for (int nKey = 0; nKey < listImages.size(); ++nKey) {
            if (listImages.at(nKey).isValid()) {
                value.insert(nKey, listImages.at(nKey));
            }
        }
        if (size.isValid()) {
            value.insert(ItemPixmapValue::IconSize, size);
        }
        model.setData(model.index(nRow, nColumn), QVariant::fromValue(value), kRole0 + nSlot);
    }

    // Icons of the given sizes, aligned as asked (-1: not set).
    void setIcons(int nRow, int nColumn, const Sizes& listSizes, int nAlignment = Qt::AlignLeft)
    {
        for (int nSlot = 0; nSlot < listSizes.size(); ++nSlot) {
            if (listSizes.at(nSlot).isValid()) {
                setSlot(nRow, nColumn, nSlot, {image("pixmap", kRed)}, listSizes.at(nSlot));
            }
        }
        if (nAlignment >= 0) {
            model.setData(model.index(nRow, nColumn), nAlignment, struTreeViewData::PixmapAlignmentRole);
        }
    }

    QRect icon(int nRow, int nColumn, int nSlot) const
    {
        const QModelIndex index = model.index(nRow, nColumn);
        auto* pDelegate = qobject_cast<ORBGUI::OrbTableViewItemDelegateSvg*>(view.itemDelegate(index));
        return pDelegate->pixmapRect(view.viewItemOption(index), index, kRole0 + nSlot);
    }

    QColor colorAt(const QPoint& pos) const { return view.viewport()->grab().toImage().pixelColor(pos); }

    void mouse(QTest::MouseAction eAction, const QPoint& pos, Qt::MouseButton eButton = Qt::LeftButton)
    {
        QTest::mouseMove(view.viewport(), pos);
        QTest::mouseEvent(eAction, view.viewport(), eButton, {}, pos);
    }

    // A move with the button held. (QTest's mouseMove after its own mousePress never reaches
    // the widget: the press bypasses the window, which then has no mouse grabber.)
    void dragTo(const QPoint& pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, view.viewport()->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(view.viewport(), &move);
    }

    // The clicks reported so far, as "row,column,slot".
    QStringList clicks()
    {
        QStringList listClicks;
        for (const QList<QVariant>& args : qAsConst(spy)) {
            const QModelIndex index = args.at(0).value<QModelIndex>();
            const int nSlot = args.at(1).value<struTreeViewData::OrbItemDataRole>() - kRole0;
            listClicks << QString("%1,%2,%3").arg(index.row()).arg(index.column()).arg(nSlot);
        }
        spy.clear();
        return listClicks;
    }
};

}  // namespace

// Icons in table cells: where they sit, what a click on them reports, and how they are drawn.
class tst_PixmapIcons : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndClicks_data()
    {
        QTest::addColumn<Sizes>("listSizes");
        QTest::addColumn<int>("nAlignment");  // -1: none set
        const QSize wide(24, 12);
        const QSize tall(12, 20);
        QTest::newRow("one, default centred") << Sizes{k16} << -1;
        QTest::newRow("three left") << Sizes{k16, k16, k16} << int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("three right") << Sizes{k16, k16, k16} << int(Qt::AlignRight | Qt::AlignVCenter);
        QTest::newRow("mixed sizes centred") << Sizes{wide, tall, k16} << int(Qt::AlignCenter);
        QTest::newRow("gap in slots right") << Sizes{k16, QSize(), tall} << int(Qt::AlignRight);
        QTest::newRow("only slot 2 centred") << Sizes{QSize(), QSize(), wide} << int(Qt::AlignHCenter);
    }

    // Present slots sit in slot order, 4 px apart, on the cell's vertical centre, the group
    // placed as asked; a click on an icon reports its cell and slot, and nothing else does.
    void layoutAndClicks()
    {
        QFETCH(Sizes, listSizes);
        QFETCH(int, nAlignment);
        Fixture f;
        f.setIcons(1, 1, listSizes, nAlignment);
        const QRect cell = f.view.visualRect(f.model.index(1, 1));
        QStringList listExpected;
        QRect group;
        QList<QPoint> listMisses;
        for (int nSlot = 0; nSlot < listSizes.size(); ++nSlot) {
            const QRect rect = f.icon(1, 1, nSlot);
            QCOMPARE(rect.size(), listSizes.at(nSlot).isValid() ? listSizes.at(nSlot) : QSize(0, 0));
            if (rect.isEmpty()) {
                continue;
            }
            QVERIFY(cell.contains(rect) && qAbs(rect.center().y() - cell.center().y()) <= 1);
            QCOMPARE(rect.left(), group.isNull() ? rect.left() : group.right() + 1 + 4);
            group |= rect;
            listExpected << QString("1,1,%1").arg(nSlot);
            f.mouse(QTest::MouseClick, rect.center());
            // Just beside it, above it, and at the same place in the rows around.
            listMisses << QPoint(rect.left() - 2, rect.center().y())
                       << QPoint(rect.center().x(), rect.top() - 1)
                       << rect.center() + QPoint(0, cell.height())
                       << rect.center() - QPoint(0, cell.height());
        }
        QCOMPARE(f.clicks(), listExpected);
        const int nHorizontal =
            nAlignment < 0 ? int(Qt::AlignHCenter) : nAlignment & Qt::AlignHorizontal_Mask;
        const int nOffset = QMap<int, int>{{Qt::AlignLeft, group.left() - cell.left() - 4},
                                           {Qt::AlignRight, cell.right() - 4 - group.right()},
                                           {Qt::AlignHCenter, group.center().x() - cell.center().x()}}
                                .value(nHorizontal);
        QVERIFY2(qAbs(nOffset) <= 1, qPrintable(QString::number(nOffset)));
        listMisses << QPoint(group.right() + 2, group.center().y());
        for (const QPoint& miss : qAsConst(listMisses)) {
            QCOMPARE(f.view.pixmapRoleAt(miss), 0);
            f.mouse(QTest::MouseClick, miss);
        }
        QCOMPARE(f.clicks(), QStringList());
    }

    // A click is a press and a release on the same icon of the same cell, with the left
    // button; the second click of a double click is another click, not an edit request.
    void pressAndReleaseMustMatch()
    {
        Fixture f;
        f.setIcons(0, 1, {k16, k16});
        f.setIcons(1, 1, {k16});
        const QPoint a = f.icon(0, 1, 0).center();
        for (const QPoint& release :
             {f.icon(0, 1, 1).center(), f.icon(1, 1, 0).center(), a + QPoint(0, 12)}) {
            f.mouse(QTest::MousePress, a);
            f.mouse(QTest::MouseRelease, release);
        }
        f.mouse(QTest::MouseClick, a, Qt::RightButton);
        f.mouse(QTest::MouseClick, f.icon(0, 1, 1).center());
        QSignalSpy doubleClicked(&f.view, &QAbstractItemView::doubleClicked);
        f.mouse(QTest::MouseClick, a);
        f.mouse(QTest::MouseDClick, a);
        f.mouse(QTest::MouseRelease, a);
        QCOMPARE(f.clicks(), QStringList({"0,1,1", "0,1,0", "0,1,0"}));
        QCOMPARE(doubleClicked.count(), 0);
    }

    void iconsKeepClearOfTheCheckBox()
    {
        Fixture f;
        f.setIcons(2, 0, {k16});
        QStandardItem* pItem = f.model.item(2, 0);
        pItem->setCheckable(true);
        QStyleOptionViewItem option = f.view.viewItemOption(pItem->index());
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect check =
            f.view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &f.view);
        QVERIFY2(f.icon(2, 0, 0).left() > check.right(), "the icon covers the check box");
        f.mouse(QTest::MouseClick, check.center());
        QCOMPARE(f.clicks(), QStringList());
        f.mouse(QTest::MouseClick, f.icon(2, 0, 0).center());
        QCOMPARE(f.clicks(), QStringList{"2,0,0"});
        QCOMPARE(pItem->checkState(), Qt::Checked);
    }

    void mouseStates_data()
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
        QTest::newRow("disabled") << 1 << -1 << false << Colors{kGray, kCyan, kYellow};
        QTest::newRow("disabled pressed") << 1 << 0 << true << Colors{kGray, kCyan, kYellow};
    }

    // Rows 0 and 1 alike but row 1 disabled: slot 0 has every image (SVG), slot 1 only a
    // normal one (PNG), slot 2 pixmaps with a hover image. Disabled icons do nothing.
    void mouseStates()
    {
        QFETCH(int, nRow);
        QFETCH(int, nMouseSlot);
        QFETCH(bool, bPressed);
        QFETCH(Colors, listExpected);
        Fixture f;
        for (int nSetRow : {0, 1}) {
            f.setSlot(
                nSetRow, 1, 0,
                {f.image("svg", kRed), f.image("svg", kGreen), f.image("svg", kBlue), f.image("svg", kGray)});
            f.setSlot(nSetRow, 1, 1, {f.image("png", kCyan)});
            f.setSlot(nSetRow, 1, 2, {f.image("pixmap", kYellow), f.image("pixmap", kMagenta)});
        }
        f.model.item(1, 1)->setEnabled(false);
        const QPoint mouse = nMouseSlot < 0 ? QPoint(590, 290) : f.icon(nRow, 1, nMouseSlot).center();
        f.mouse(bPressed ? QTest::MousePress : QTest::MouseMove, mouse);
        Colors listSeen;
        for (int nSlot = 0; nSlot < 3; ++nSlot) {
            listSeen << f.colorAt(f.icon(nRow, 1, nSlot).center());
        }
        QCOMPARE(listSeen, listExpected);
        f.mouse(QTest::MouseRelease, mouse);
        QCOMPARE(f.clicks().size(), int(bPressed && nRow == 0));
    }

    // Pressed shows only while the mouse stays on the icon; hover ends when the mouse leaves.
    void stateEndsWhenTheMouseLeaves()
    {
        Fixture f;
        f.setSlot(0, 1, 0, {f.image("svg", kRed), f.image("svg", kGreen), f.image("svg", kBlue)});
        const QPoint icon = f.icon(0, 1, 0).center();
        const QPoint beside = icon + QPoint(30, 0);
        QEvent leave(QEvent::Leave);
        const std::function<void()> steps[] = {
            [&] { f.mouse(QTest::MouseMove, icon); },
            [&] { f.mouse(QTest::MouseMove, beside); },
            [&] { f.mouse(QTest::MousePress, icon); },
            [&] { f.dragTo(beside); },
            [&] { f.dragTo(icon); },
            [&] {
                f.dragTo(beside);
                QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, beside);
            },
            [&] {
                f.mouse(QTest::MouseMove, beside);  // the cursor itself was still on the icon
                f.mouse(QTest::MouseMove, icon);
            },
            [&] { QCoreApplication::sendEvent(f.view.viewport(), &leave); },
        };
        Colors listSeen;
        for (const auto& fnStep : steps) {
            fnStep();
            listSeen << f.colorAt(icon);
        }
        QCOMPARE(listSeen, Colors({kGreen, kRed, kBlue, kRed, kBlue, kRed, kGreen, kRed}));
    }

    // Icons come from SVG and PNG files and pixmaps; where none can be drawn (a missing file,
    // an empty path, a broken file) the slot keeps its place and shows bare background.
    void imageSources()
    {
        Fixture f;
        QVariantList listSources{f.image("svg", kBlue), f.image("png", kBlue), f.image("pixmap", kBlue)};
        listSources << "/nonexistent/icon.svg"
                    << "" << Fixture::svg(f.dir.filePath("broken.svg"), "<rect");
        for (int n = 0; n < 6; ++n) {
            f.setSlot(n / 3, n % 3, 0, {listSources.at(n)});
        }
        const QImage shot = f.view.viewport()->grab().toImage();
        const QPoint below(0, 2 * f.view.visualRect(f.model.index(0, 0)).height());  // same parity, no icon
        for (int n = 0; n < 6; ++n) {
            const QRect rect = f.icon(n / 3, n % 3, 0);
            QCOMPARE(rect.size(), k16);
            for (const QPoint& pos : {rect.center(), rect.topLeft() + QPoint(1, 1)}) {
                QCOMPARE(shot.pixelColor(pos), n < 3 ? kBlue : shot.pixelColor(pos + below));
            }
        }
    }
};

QTEST_MAIN(tst_PixmapIcons)
#include "tst_PixmapIcons.moc"
