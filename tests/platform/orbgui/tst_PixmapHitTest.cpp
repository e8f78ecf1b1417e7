#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <QHelpEvent>
#include <QImage>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

using ORBGUI::ItemPixmapValue;
using ORBGUI::OrbTableView;
using ORBGUI::OrbTableViewItemDelegateSvg;
using ORBGUI::struTreeViewData;

using Sizes = QList<QSize>;  // icon size per slot 0..2; an invalid size leaves the slot empty

namespace {

constexpr int kIconColumn = 1;
constexpr int kSpacing = 4;

struct Fixture
{
    QTemporaryDir dir;
    QString strPng;
    QStandardItemModel model;
    OrbTableView view;
    QSignalSpy spy{&view, &ORBGUI::OrbBaseView::SignalPixmapClicked};

    Fixture()
    {
        strPng = dir.filePath(QStringLiteral("icon.png"));
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(strPng);

        model.setColumnCount(3);
        model.setHeaderData(0, Qt::Horizontal, 150, struTreeViewData::HeaderWidthRole);
        model.setHeaderData(1, Qt::Horizontal, 220, struTreeViewData::HeaderWidthRole);
        model.setHeaderData(2, Qt::Horizontal, 100, struTreeViewData::HeaderWidthRole);
        for (int nRow = 0; nRow < 4; ++nRow) {
            QList<QStandardItem*> listItems;
            for (int nColumn = 0; nColumn < 3; ++nColumn) {
                listItems << new QStandardItem(QStringLiteral("cell %1/%2").arg(nRow).arg(nColumn));
            }
            model.appendRow(listItems);
        }
        view.setModel(&model);
        view.resize(600, 300);
        // The style marks the focused current row with a tint; keep pixels plain.
        view.setFocusPolicy(Qt::NoFocus);
    }

    bool show()
    {
        view.show();
        return QTest::qWaitForWindowExposed(&view);
    }

    void setIcons(int nRow, int nColumn, const Sizes& listSizes, int nAlignment = -1)
    {
        QStandardItem* pItem = model.item(nRow, nColumn);
        for (int nSlot = 0; nSlot < listSizes.size(); ++nSlot) {
            if (listSizes.at(nSlot).isValid()) {
                pItem->setData(
                    QVariant::fromValue(ItemPixmapValue{{ItemPixmapValue::Normal, strPng},
                                                        {ItemPixmapValue::IconSize, listSizes.at(nSlot)}}),
                    struTreeViewData::PixmapRole0 + nSlot);
            }
        }
        if (nAlignment >= 0) {
            pItem->setData(nAlignment, struTreeViewData::PixmapAlignmentRole);
        }
    }

    QRect iconRect(const QModelIndex& index, int nRole) const
    {
        auto* pDelegate = qobject_cast<OrbTableViewItemDelegateSvg*>(view.itemDelegate(index));
        return pDelegate ? pDelegate->pixmapRect(view.viewItemOption(index), index, nRole) : QRect();
    }

    void click(const QPoint& pos)
    {
        QTest::mouseMove(view.viewport(), pos);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }
};

}  // namespace

class tst_PixmapHitTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndClicks_data();
    void layoutAndClicks();
    void pressAndReleaseOnDifferentIcons();
    void iconsKeepClearOfTheCheckBox();
    void textMakesRoomForIcons();
    void doubleClickIsTwoClicks();
    void otherDelegatesHaveNoIcons();
    void tooltipsComeFromTheSlot();
};

void tst_PixmapHitTest::layoutAndClicks_data()
{
    QTest::addColumn<Sizes>("listSizes");
    QTest::addColumn<int>("nAlignment");  // -1: none set

    const QSize s16(16, 16);
    const QSize wide(24, 12);
    const QSize tall(12, 20);
    QTest::newRow("one, default centred") << Sizes{s16} << -1;
    QTest::newRow("three left") << Sizes{s16, s16, s16} << int(Qt::AlignLeft | Qt::AlignVCenter);
    QTest::newRow("three right") << Sizes{s16, s16, s16} << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("three centre") << Sizes{s16, s16, s16} << int(Qt::AlignCenter);
    QTest::newRow("mixed sizes left") << Sizes{wide, tall, s16} << int(Qt::AlignLeft);
    QTest::newRow("gap in slots right") << Sizes{s16, QSize(), tall} << int(Qt::AlignRight);
    QTest::newRow("only slot 2 centred") << Sizes{QSize(), QSize(), wide} << int(Qt::AlignHCenter);
}

void tst_PixmapHitTest::layoutAndClicks()
{
    QFETCH(Sizes, listSizes);
    QFETCH(int, nAlignment);

    Fixture f;
    f.setIcons(1, kIconColumn, listSizes, nAlignment);
    QVERIFY(f.show());
    const QModelIndex index = f.model.index(1, kIconColumn);
    const QRect cell = f.view.visualRect(index);

    // Where each present slot is: in slot order, 4 px apart, same vertical centre, in the cell.
    QList<int> listRoles;
    QList<QRect> listRects;
    for (int nSlot = 0; nSlot < listSizes.size(); ++nSlot) {
        const int nRole = struTreeViewData::PixmapRole0 + nSlot;
        const QRect rect = f.iconRect(index, nRole);
        if (!listSizes.at(nSlot).isValid()) {
            QVERIFY(rect.isEmpty());
            continue;
        }
        QCOMPARE(rect.size(), listSizes.at(nSlot));
        QVERIFY(cell.contains(rect));
        QVERIFY(qAbs(rect.center().y() - cell.center().y()) <= 1);
        if (!listRects.isEmpty()) {
            QCOMPARE(rect.left(), listRects.last().right() + 1 + kSpacing);
        }
        listRoles << nRole;
        listRects << rect;
    }
    const QRect group = listRects.first().united(listRects.last());
    const int nHorizontal = nAlignment < 0 ? int(Qt::AlignHCenter) : (nAlignment & Qt::AlignHorizontal_Mask);
    if (nHorizontal & Qt::AlignLeft) {
        QVERIFY(group.left() - cell.left() <= 8);
    } else if (nHorizontal & Qt::AlignRight) {
        QVERIFY(cell.right() - group.right() <= 8);
    } else {
        QVERIFY(qAbs(group.center().x() - cell.center().x()) <= 1);
    }

    // A click at each icon's centre reports that slot and cell.
    for (int i = 0; i < listRects.size(); ++i) {
        f.spy.clear();
        QCOMPARE(f.view.pixmapRoleAt(listRects.at(i).center()), listRoles.at(i));
        f.click(listRects.at(i).center());
        QCOMPARE(f.spy.count(), 1);
        QCOMPARE(f.spy.at(0).at(0).value<QModelIndex>(), index);
        QCOMPARE(int(f.spy.at(0).at(1).value<struTreeViewData::OrbItemDataRole>()), listRoles.at(i));
    }

    // Nothing between icons, beside them, or on the same place in another cell.
    f.spy.clear();
    QList<QPoint> listMisses;
    for (int i = 1; i < listRects.size(); ++i) {
        listMisses << QPoint(listRects.at(i).left() - kSpacing / 2, listRects.at(i).center().y());
    }
    listMisses << QPoint(group.left() - 2, group.center().y())
               << QPoint(group.right() + 2, group.center().y());
    for (const QRect& rect : qAsConst(listRects)) {
        if (rect.top() > cell.top()) {
            listMisses << QPoint(rect.center().x(), rect.top() - 1);
        }
    }
    const int nRowHeight = cell.height();
    listMisses << listRects.first().center() + QPoint(0, nRowHeight)        // row below
               << listRects.first().center() - QPoint(0, nRowHeight);       // row above
    listMisses << QPoint(f.view.visualRect(f.model.index(1, 0)).center());  // the row's first cell
    for (const QPoint& miss : qAsConst(listMisses)) {
        QCOMPARE(f.view.pixmapRoleAt(miss), 0);
        f.click(miss);
    }
    QCOMPARE(f.spy.count(), 0);
}

void tst_PixmapHitTest::pressAndReleaseOnDifferentIcons()
{
    Fixture f;
    f.setIcons(0, kIconColumn, {QSize(16, 16), QSize(16, 16)}, Qt::AlignLeft);
    f.setIcons(1, kIconColumn, {QSize(16, 16), QSize(16, 16)}, Qt::AlignLeft);
    QVERIFY(f.show());
    const QModelIndex first = f.model.index(0, kIconColumn);
    const QModelIndex second = f.model.index(1, kIconColumn);
    const QPoint a = f.iconRect(first, struTreeViewData::PixmapRole0).center();
    const QPoint b = f.iconRect(first, struTreeViewData::PixmapRole1).center();
    const QPoint other = f.iconRect(second, struTreeViewData::PixmapRole0).center();
    QVERIFY(a != b);

    QTest::mousePress(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, b);
    // Same slot, another cell.
    QTest::mousePress(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, other);
    // Off the icon.
    QTest::mousePress(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, a + QPoint(0, 12));
    // Not the left button.
    QTest::mouseClick(f.view.viewport(), Qt::RightButton, Qt::NoModifier, a);
    QCOMPARE(f.spy.count(), 0);

    // And still a plain click works afterwards.
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, b);
    QCOMPARE(f.spy.count(), 1);
    QCOMPARE(int(f.spy.at(0).at(1).value<struTreeViewData::OrbItemDataRole>()),
             int(struTreeViewData::PixmapRole1));
}

void tst_PixmapHitTest::iconsKeepClearOfTheCheckBox()
{
    Fixture f;
    QStandardItem* pItem = f.model.item(2, 0);
    pItem->setCheckable(true);
    pItem->setCheckState(Qt::Unchecked);
    f.setIcons(2, 0, {QSize(16, 16)}, Qt::AlignLeft);
    QVERIFY(f.show());

    const QModelIndex index = f.model.index(2, 0);
    QStyleOptionViewItem option = f.view.viewItemOption(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect check =
        f.view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &f.view);
    const QRect icon = f.iconRect(index, struTreeViewData::PixmapRole0);
    QVERIFY(!check.isEmpty());
    QVERIFY2(icon.left() > check.right(), "the icon covers the check box");

    f.click(check.center());
    QCOMPARE(pItem->checkState(), Qt::Checked);
    QCOMPARE(f.spy.count(), 0);
    f.click(icon.center());
    QCOMPARE(pItem->checkState(), Qt::Checked);
    QCOMPARE(f.spy.count(), 1);
}

void tst_PixmapHitTest::textMakesRoomForIcons()
{
    // The text is drawn beside left/right aligned icons, not under them: with a long text,
    // pixels of the text colour appear in the cell, but only on the far side of the icon.
    Fixture f;
    f.model.item(1, kIconColumn)->setText(QString(60, QLatin1Char('W')));
    f.model.item(1, kIconColumn)->setForeground(QColor(0, 0, 255));
    f.setIcons(1, kIconColumn, {QSize(16, 16)}, Qt::AlignLeft);
    f.model.item(2, kIconColumn)->setText(QString(60, QLatin1Char('W')));
    f.model.item(2, kIconColumn)->setForeground(QColor(0, 0, 255));
    f.setIcons(2, kIconColumn, {QSize(16, 16)}, Qt::AlignRight);
    QVERIFY(f.show());

    const QImage image = f.view.viewport()->grab().toImage();
    for (int nRow : {1, 2}) {
        const QModelIndex index = f.model.index(nRow, kIconColumn);
        const QRect cell = f.view.visualRect(index);
        const QRect icon = f.iconRect(index, struTreeViewData::PixmapRole0);
        int nTextPixels = 0;
        for (int x = cell.left(); x <= cell.right(); ++x) {
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                const QColor color = image.pixelColor(x, y);
                if (color.blue() > 150 && color.red() < 100 && color.green() < 100) {
                    // Row 1 has its icon on the left, row 2 on the right.
                    const bool bClear = nRow == 1 ? x > icon.right() + 1 : x < icon.left() - 1;
                    QVERIFY2(bClear, qPrintable(QStringLiteral("text at x=%1 in row %2").arg(x).arg(nRow)));
                    ++nTextPixels;
                }
            }
        }
        QVERIFY(nTextPixels > 0);
    }
}

void tst_PixmapHitTest::doubleClickIsTwoClicks()
{
    Fixture f;
    f.setIcons(0, kIconColumn, {QSize(16, 16)});
    QVERIFY(f.show());
    const QModelIndex index = f.model.index(0, kIconColumn);
    const QPoint pos = f.iconRect(index, struTreeViewData::PixmapRole0).center();
    QSignalSpy doubleClicked(&f.view, &QAbstractItemView::doubleClicked);

    QTest::mousePress(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    QCOMPARE(f.spy.count(), 2);
    QCOMPARE(doubleClicked.count(), 0);
}

void tst_PixmapHitTest::otherDelegatesHaveNoIcons()
{
    Fixture f;
    f.setIcons(0, kIconColumn, {QSize(16, 16)});
    QVERIFY(f.show());
    const QModelIndex index = f.model.index(0, kIconColumn);
    const QPoint pos = f.iconRect(index, struTreeViewData::PixmapRole0).center();
    QCOMPARE(f.view.pixmapRoleAt(pos), int(struTreeViewData::PixmapRole0));

    f.view.setItemDelegateForColumn(kIconColumn, new QStyledItemDelegate(&f.view));
    QCOMPARE(f.view.pixmapRoleAt(pos), 0);
    f.click(pos);
    QCOMPARE(f.spy.count(), 0);
}

void tst_PixmapHitTest::tooltipsComeFromTheSlot()
{
    Fixture f;
    f.setIcons(0, kIconColumn, {QSize(16, 16), QSize(16, 16)}, Qt::AlignLeft);
    QStandardItem* pItem = f.model.item(0, kIconColumn);
    pItem->setData(QStringLiteral("Open folder"), struTreeViewData::PixmapToolTipRole0);
    pItem->setData(QStringLiteral("Delete"), struTreeViewData::PixmapToolTipRole1);
    pItem->setToolTip(QStringLiteral("The cell"));
    QVERIFY(f.show());
    const QModelIndex index = f.model.index(0, kIconColumn);

    const auto tipAt = [&](const QPoint& pos) {
        QToolTip::hideText();
        QTest::mouseMove(f.view.viewport(), pos);
        QHelpEvent event(QEvent::ToolTip, pos, f.view.viewport()->mapToGlobal(pos));
        QCoreApplication::sendEvent(f.view.viewport(), &event);
        return QToolTip::text();
    };
    QCOMPARE(tipAt(f.iconRect(index, struTreeViewData::PixmapRole0).center()), QStringLiteral("Open folder"));
    QCOMPARE(tipAt(f.iconRect(index, struTreeViewData::PixmapRole1).center()), QStringLiteral("Delete"));
    const QRect cell = f.view.visualRect(index);
    QCOMPARE(tipAt(QPoint(cell.right() - 5, cell.center().y())), QStringLiteral("The cell"));
    QToolTip::hideText();
}

QTEST_MAIN(tst_PixmapHitTest)
#include "tst_PixmapHitTest.moc"
