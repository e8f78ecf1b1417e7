#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>

#include <QPixmap>
#include <QSignalSpy>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QtTest>

using ORBGUI::ItemPixmapValue;
using ORBGUI::struTreeViewData;

class tst_ItemPixmapValue : public QObject
{
    Q_OBJECT

private slots:
    void metaTypeIsRegisteredByName();
    void registrationIsIdempotent();
    void roundTrip_data();
    void roundTrip();
    void variantsCompareByValue_data();
    void variantsCompareByValue();
    void roleEnumCanBeSpiedOn();
};

void tst_ItemPixmapValue::metaTypeIsRegisteredByName()
{
    // No view yet: the library registers the type when it loads.
    const int nId = QMetaType::type("ORBGUI::ItemPixmapValue");
    QVERIFY(nId != QMetaType::UnknownType);
    QCOMPARE(nId, qMetaTypeId<ItemPixmapValue>());
    QCOMPARE(QByteArray(QMetaType::typeName(nId)), QByteArray("ORBGUI::ItemPixmapValue"));
}

void tst_ItemPixmapValue::registrationIsIdempotent()
{
    const int nId = qMetaTypeId<ItemPixmapValue>();
    ORBGUI::registerItemPixmapValue();
    ORBGUI::registerItemPixmapValue();
    QCOMPARE(QMetaType::type("ORBGUI::ItemPixmapValue"), nId);
    ItemPixmapValue value{{ItemPixmapValue::Normal, QStringLiteral("a.svg")}};
    QCOMPARE(QVariant::fromValue(value), QVariant::fromValue(ItemPixmapValue(value)));
}

void tst_ItemPixmapValue::roundTrip_data()
{
    QPixmap pixRed(8, 8);
    pixRed.fill(Qt::red);
    QTest::addColumn<ItemPixmapValue>("value");

    QTest::newRow("empty") << ItemPixmapValue();
    QTest::newRow("normal path") << ItemPixmapValue{
        {ItemPixmapValue::Normal, QStringLiteral("./Skin/a.svg")}};
    QTest::newRow("all paths and size")
        << ItemPixmapValue{{ItemPixmapValue::Normal, QStringLiteral("n.svg")},
                           {ItemPixmapValue::Hover, QStringLiteral("h.svg")},
                           {ItemPixmapValue::Pressed, QStringLiteral("p.png")},
                           {ItemPixmapValue::Disabled, QStringLiteral("d.png")},
                           {ItemPixmapValue::IconSize, QSize(16, 20)}};
    QTest::newRow("pixmap") << ItemPixmapValue{{ItemPixmapValue::Normal, pixRed},
                                               {ItemPixmapValue::IconSize, QSize(8, 8)}};
}

void tst_ItemPixmapValue::roundTrip()
{
    QFETCH(ItemPixmapValue, value);

    const QVariant variant = QVariant::fromValue(value);
    QCOMPARE(variant.userType(), qMetaTypeId<ItemPixmapValue>());
    QVERIFY(variant.canConvert<ItemPixmapValue>());
    const ItemPixmapValue fromVariant = variant.value<ItemPixmapValue>();
    QCOMPARE(fromVariant.keys(), value.keys());
    QVERIFY(fromVariant == value);

    QStandardItemModel model;
    auto* pItem = new QStandardItem();
    model.appendRow(pItem);
    pItem->setData(variant, struTreeViewData::PixmapRole1);
    const QVariant stored = model.index(0, 0).data(struTreeViewData::PixmapRole1);
    QCOMPARE(stored.userType(), qMetaTypeId<ItemPixmapValue>());
    QVERIFY(stored.value<ItemPixmapValue>() == value);
    QCOMPARE(stored, variant);
    // Other slots stay empty.
    QVERIFY(!model.index(0, 0).data(struTreeViewData::PixmapRole0).isValid());
}

void tst_ItemPixmapValue::variantsCompareByValue_data()
{
    QTest::addColumn<ItemPixmapValue>("first");
    QTest::addColumn<ItemPixmapValue>("second");
    QTest::addColumn<bool>("bEqual");

    const ItemPixmapValue a{{ItemPixmapValue::Normal, QStringLiteral("a.svg")},
                            {ItemPixmapValue::IconSize, QSize(16, 16)}};
    ItemPixmapValue sameAsA;
    sameAsA.insert(ItemPixmapValue::IconSize, QSize(16, 16));
    sameAsA.insert(ItemPixmapValue::Normal, QStringLiteral("a.svg"));
    ItemPixmapValue otherSize = a;
    otherSize.insert(ItemPixmapValue::IconSize, QSize(16, 17));
    ItemPixmapValue withHover = a;
    withHover.insert(ItemPixmapValue::Hover, QStringLiteral("a.svg"));

    QTest::newRow("built separately") << a << sameAsA << true;
    QTest::newRow("both empty") << ItemPixmapValue() << ItemPixmapValue() << true;
    QTest::newRow("other size") << a << otherSize << false;
    QTest::newRow("extra entry") << a << withHover << false;
    QTest::newRow("other path") << a
                                << ItemPixmapValue{{ItemPixmapValue::Normal, QStringLiteral("b.svg")},
                                                   {ItemPixmapValue::IconSize, QSize(16, 16)}}
                                << false;
}

void tst_ItemPixmapValue::variantsCompareByValue()
{
    QFETCH(ItemPixmapValue, first);
    QFETCH(ItemPixmapValue, second);
    QFETCH(bool, bEqual);

    // Separate QVariants, so equality cannot come from sharing the same data.
    const QVariant firstVariant = QVariant::fromValue(first);
    const QVariant secondVariant = QVariant::fromValue(second);
    QCOMPARE(firstVariant == secondVariant, bEqual);
    QCOMPARE(firstVariant != secondVariant, !bEqual);
}

void tst_ItemPixmapValue::roleEnumCanBeSpiedOn()
{
    ORBGUI::OrbTableView view;
    QVERIFY(QMetaType::type("ORBGUI::struTreeViewData::OrbItemDataRole") != QMetaType::UnknownType);
    QSignalSpy spy(&view, &ORBGUI::OrbBaseView::SignalPixmapClicked);
    QVERIFY(spy.isValid());

    // Queued delivery needs the argument types registered; it must arrive intact.
    struTreeViewData::OrbItemDataRole eReceived = struTreeViewData::PixmapRole0;
    connect(
        &view, &ORBGUI::OrbBaseView::SignalPixmapClicked, this,
        [&eReceived](const QModelIndex&, struTreeViewData::OrbItemDataRole eRole) { eReceived = eRole; },
        Qt::QueuedConnection);
    emit view.SignalPixmapClicked(QModelIndex(), struTreeViewData::PixmapRole2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).value<struTreeViewData::OrbItemDataRole>(), struTreeViewData::PixmapRole2);
    QTRY_COMPARE(eReceived, struTreeViewData::PixmapRole2);
}

QTEST_MAIN(tst_ItemPixmapValue)
#include "tst_ItemPixmapValue.moc"
