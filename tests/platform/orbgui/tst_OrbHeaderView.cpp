#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>

#include <QStandardItemModel>
#include <QStyle>
#include <QtTest>

#include "OrbHeaderView.h"

using ORBGUI::OrbHeaderView;
using ORBGUI::OrbTableView;
using ORBGUI::struTreeViewData;

using CheckStates = QList<int>;  // Qt::CheckState per row; -1 for a row without a check box

namespace {

// Counts how often the check state of column 0 is read, to catch recounting on every change.
class CountingModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;

    QVariant data(const QModelIndex& index, int nRole) const override
    {
        if (nRole == Qt::CheckStateRole && index.column() == 0) {
            ++m_nCheckStateReads;
        }
        return QStandardItemModel::data(index, nRole);
    }

    mutable int m_nCheckStateReads = 0;
};

QList<QStandardItem*> makeRow(int nState)
{
    auto* pFirst = new QStandardItem(QStringLiteral("file"));
    if (nState >= 0) {
        pFirst->setCheckable(true);
        pFirst->setCheckState(static_cast<Qt::CheckState>(nState));
    }
    return {pFirst, new QStandardItem(QStringLiteral("10 MB")), new QStandardItem(QStringLiteral("done"))};
}

void fillModel(QStandardItemModel* pModel, const CheckStates& listStates)
{
    pModel->setColumnCount(3);
    pModel->setHeaderData(0, Qt::Horizontal, true, struTreeViewData::HeaderCheckableRole);
    pModel->setHeaderData(0, Qt::Horizontal, 80, struTreeViewData::HeaderWidthRole);
    pModel->setHeaderData(1, Qt::Horizontal, QStringLiteral("Size"), Qt::DisplayRole);
    for (int nState : listStates) {
        pModel->appendRow(makeRow(nState));
    }
}

CheckStates rowStates(const QStandardItemModel& model)
{
    CheckStates listStates;
    for (int nRow = 0; nRow < model.rowCount(); ++nRow) {
        const QVariant state = model.index(nRow, 0).data(Qt::CheckStateRole);
        listStates << (state.isValid() ? state.toInt() : -1);
    }
    return listStates;
}

OrbHeaderView* headerOf(const OrbTableView& view)
{
    return qobject_cast<OrbHeaderView*>(view.header());
}

QImage boxImage(const OrbTableView& view)
{
    OrbHeaderView* pHeader = headerOf(view);
    return pHeader->grab(pHeader->checkBoxRect(0)).toImage();
}

}  // namespace

class tst_OrbHeaderView : public QObject
{
    Q_OBJECT

private slots:
    void tableIsFlat();
    void checkState_data();
    void checkState();
    void boxIsDrawnInItsState();
    void clickingTheBox_data();
    void clickingTheBox();
    void clicksOutsideTheBoxDoNotToggle();
    void stateFollowsRows();
    void rowCheckBoxStillToggles();
    void longLoopsDoNotRecount();
    void sectionWidths_data();
    void sectionWidths();
};

void tst_OrbHeaderView::tableIsFlat()
{
    OrbTableView view;
    QVERIFY(!view.rootIsDecorated());
    QVERIFY(view.uniformRowHeights());
    QVERIFY(!view.itemsExpandable());
    QVERIFY(view.allColumnsShowFocus());
    QVERIFY(headerOf(view));
}

void tst_OrbHeaderView::checkState_data()
{
    QTest::addColumn<CheckStates>("listStates");
    QTest::addColumn<int>("nExpected");

    const int U = Qt::Unchecked;
    const int C = Qt::Checked;
    const int P = Qt::PartiallyChecked;
    QTest::newRow("no rows") << CheckStates{} << U;
    QTest::newRow("one unchecked") << CheckStates{U} << U;
    QTest::newRow("one checked") << CheckStates{C} << C;
    QTest::newRow("none checked") << CheckStates{U, U, U} << U;
    QTest::newRow("all checked") << CheckStates{C, C, C, C} << C;
    QTest::newRow("first checked") << CheckStates{C, U, U} << P;
    QTest::newRow("last checked") << CheckStates{U, U, C} << P;
    QTest::newRow("last unchecked") << CheckStates{C, C, U} << P;
    QTest::newRow("a partially checked row") << CheckStates{C, P, C} << P;
    QTest::newRow("rows without a box ignored") << CheckStates{C, -1, C} << C;
    QTest::newRow("no row has a box") << CheckStates{-1, -1} << U;
}

void tst_OrbHeaderView::checkState()
{
    QFETCH(CheckStates, listStates);
    QFETCH(int, nExpected);

    QStandardItemModel model;
    fillModel(&model, listStates);
    OrbTableView view;
    view.setModel(&model);
    QCOMPARE(static_cast<int>(view.headerCheckState()), nExpected);
    QCOMPARE(static_cast<int>(headerOf(view)->checkState()), nExpected);
}

void tst_OrbHeaderView::boxIsDrawnInItsState()
{
    // Three tables alike but for their rows' states: their boxes must look different.
    QStandardItemModel modelAll;
    QStandardItemModel modelNone;
    QStandardItemModel modelSome;
    fillModel(&modelAll, {Qt::Checked, Qt::Checked});
    fillModel(&modelNone, {Qt::Unchecked, Qt::Unchecked});
    fillModel(&modelSome, {Qt::Checked, Qt::Unchecked});
    OrbTableView viewAll;
    OrbTableView viewNone;
    OrbTableView viewSome;
    viewAll.setModel(&modelAll);
    viewNone.setModel(&modelNone);
    viewSome.setModel(&modelSome);
    for (OrbTableView* pView : {&viewAll, &viewNone, &viewSome}) {
        pView->resize(400, 200);
        pView->show();
        QVERIFY(QTest::qWaitForWindowExposed(pView));
        QVERIFY(!headerOf(*pView)->checkBoxRect(0).isEmpty());
    }
    const QImage all = boxImage(viewAll);
    const QImage none = boxImage(viewNone);
    const QImage some = boxImage(viewSome);
    QVERIFY(all != none);
    QVERIFY(all != some);
    QVERIFY(none != some);

    // Once its rows change, a box looks like the box of that state.
    modelNone.item(0)->setCheckState(Qt::Checked);
    QCOMPARE(boxImage(viewNone), some);
    modelNone.item(1)->setCheckState(Qt::Checked);
    QCOMPARE(boxImage(viewNone), all);
}

void tst_OrbHeaderView::clickingTheBox_data()
{
    QTest::addColumn<CheckStates>("listStates");
    QTest::addColumn<CheckStates>("listExpected");

    const int U = Qt::Unchecked;
    const int C = Qt::Checked;
    const int P = Qt::PartiallyChecked;
    QTest::newRow("none checks all") << CheckStates{U, U, U} << CheckStates{C, C, C};
    QTest::newRow("some checks all") << CheckStates{U, C, U} << CheckStates{C, C, C};
    QTest::newRow("partial row checks all") << CheckStates{C, P} << CheckStates{C, C};
    QTest::newRow("all unchecks all") << CheckStates{C, C, C} << CheckStates{U, U, U};
    QTest::newRow("rows without a box untouched") << CheckStates{U, -1, U} << CheckStates{C, -1, C};
    QTest::newRow("no rows") << CheckStates{} << CheckStates{};
}

void tst_OrbHeaderView::clickingTheBox()
{
    QFETCH(CheckStates, listStates);
    QFETCH(CheckStates, listExpected);

    QStandardItemModel model;
    fillModel(&model, listStates);
    OrbTableView view;
    view.setModel(&model);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    OrbHeaderView* pHeader = headerOf(view);
    const QRect box = pHeader->checkBoxRect(0);
    QVERIFY(!box.isEmpty());
    QVERIFY(QRect(QPoint(), pHeader->viewport()->size()).contains(box));
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    QCOMPARE(rowStates(model), listExpected);

    // A second click undoes a check-all.
    if (!listExpected.isEmpty() && listExpected.first() == Qt::Checked) {
        QCOMPARE(view.headerCheckState(), Qt::Checked);
        QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
        for (int nState : rowStates(model)) {
            QVERIFY(nState == Qt::Unchecked || nState == -1);
        }
        QCOMPARE(view.headerCheckState(), Qt::Unchecked);
    } else {
        QCOMPARE(view.headerCheckState(), Qt::Unchecked);
    }
}

void tst_OrbHeaderView::clicksOutsideTheBoxDoNotToggle()
{
    QStandardItemModel model;
    fillModel(&model, {Qt::Unchecked, Qt::Checked});
    model.setHeaderData(0, Qt::Horizontal, 160, struTreeViewData::HeaderWidthRole);
    OrbTableView view;
    view.setModel(&model);
    view.resize(500, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    OrbHeaderView* pHeader = headerOf(view);

    // Same section, right of the box; then another section.
    const QRect box = pHeader->checkBoxRect(0);
    const QPoint inSection(box.right() + 40, box.center().y());
    QCOMPARE(pHeader->logicalIndexAt(inSection), 0);
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, inSection);
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(pHeader->sectionViewportPosition(1) + 10, box.center().y()));
    // Press on the box, release elsewhere.
    QTest::mousePress(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    QTest::mouseRelease(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, inSection);
    QCOMPARE(rowStates(model), (CheckStates{Qt::Unchecked, Qt::Checked}));
    // Only section 0 is checkable.
    QVERIFY(pHeader->checkBoxRect(1).isEmpty());
}

void tst_OrbHeaderView::stateFollowsRows()
{
    QStandardItemModel model;
    fillModel(&model, {Qt::Unchecked, Qt::Unchecked, Qt::Unchecked});
    OrbTableView view;
    view.setModel(&model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.headerCheckState(), Qt::Unchecked);

    model.item(0)->setCheckState(Qt::Checked);
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
    model.item(1)->setCheckState(Qt::Checked);
    model.item(2)->setCheckState(Qt::Checked);
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    model.appendRow(makeRow(Qt::Unchecked));
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
    model.removeRow(3);
    QCOMPARE(view.headerCheckState(), Qt::Checked);
    model.insertRow(0, makeRow(Qt::Checked));
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    // Some models signal a change without naming roles.
    model.blockSignals(true);
    model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    model.blockSignals(false);
    emit model.dataChanged(model.index(1, 0), model.index(1, 2));
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
    model.removeRow(1);
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    while (model.rowCount() > 0) {
        model.removeRow(0);
    }
    QCOMPARE(view.headerCheckState(), Qt::Unchecked);

    model.appendRow(makeRow(Qt::Checked));
    QCOMPARE(view.headerCheckState(), Qt::Checked);
    model.clear();  // a reset
    QCOMPARE(view.headerCheckState(), Qt::Unchecked);
    fillModel(&model, {Qt::Checked});
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    // Another model replaces the first.
    QStandardItemModel other;
    fillModel(&other, {Qt::Unchecked, Qt::Checked});
    view.setModel(&other);
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
    model.item(0)->setCheckState(Qt::Unchecked);  // the old model no longer matters
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
}

void tst_OrbHeaderView::rowCheckBoxStillToggles()
{
    QStandardItemModel model;
    fillModel(&model, {Qt::Checked, Qt::Unchecked});
    OrbTableView view;
    view.setModel(&model);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);

    const QModelIndex index = model.index(1, 0);
    QStyleOptionViewItem option = view.viewItemOption(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect check = view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    QVERIFY(!check.isEmpty());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, check.center());
    QCOMPARE(model.item(1)->checkState(), Qt::Checked);
    QCOMPARE(view.headerCheckState(), Qt::Checked);
}

void tst_OrbHeaderView::longLoopsDoNotRecount()
{
    const int nRows = 3000;
    CountingModel model;
    fillModel(&model, {});
    for (int nRow = 0; nRow < nRows; ++nRow) {
        model.appendRow(makeRow(Qt::Checked));
    }
    OrbTableView view;
    view.setModel(&model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    // No event processing in the loops, as in a real removal loop: nothing may count rows.
    model.m_nCheckStateReads = 0;
    for (int nRow = 0; nRow < nRows / 2; ++nRow) {
        model.removeRow(model.rowCount() - 1);
    }
    for (int nRow = 0; nRow < 500; ++nRow) {
        model.setData(model.index(nRow, 1), QStringLiteral("busy"), Qt::DisplayRole);
        model.setData(model.index(nRow, 0), Qt::Checked, Qt::CheckStateRole);
    }
    // Recounting on each change would read about a million states.
    QVERIFY2(model.m_nCheckStateReads < nRows, qPrintable(QString::number(model.m_nCheckStateReads)));

    model.setData(model.index(7, 0), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(view.headerCheckState(), Qt::PartiallyChecked);
    model.setData(model.index(7, 0), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(view.headerCheckState(), Qt::Checked);

    // Asking again without changes does not count again.
    const int nReads = model.m_nCheckStateReads;
    QCOMPARE(view.headerCheckState(), Qt::Checked);
    QCOMPARE(model.m_nCheckStateReads, nReads);
}

void tst_OrbHeaderView::sectionWidths_data()
{
    QTest::addColumn<QList<int>>("listBefore");  // HeaderWidthRole set before the model is shown; 0: none
    QTest::addColumn<QList<int>>("listAfter");   // set afterwards; 0: unchanged

    QTest::newRow("all set") << QList<int>{40, 120, 200} << QList<int>{0, 0, 0};
    QTest::newRow("some set") << QList<int>{0, 90, 0} << QList<int>{0, 0, 0};
    QTest::newRow("changed later") << QList<int>{40, 120, 200} << QList<int>{60, 0, 33};
    QTest::newRow("set later only") << QList<int>{0, 0, 0} << QList<int>{0, 77, 0};
}

void tst_OrbHeaderView::sectionWidths()
{
    QFETCH(QList<int>, listBefore);
    QFETCH(QList<int>, listAfter);

    QStandardItemModel model(2, 3);
    for (int nSection = 0; nSection < 3; ++nSection) {
        if (listBefore.at(nSection) > 0) {
            model.setHeaderData(nSection, Qt::Horizontal, listBefore.at(nSection),
                                struTreeViewData::HeaderWidthRole);
        }
    }
    OrbTableView view;
    view.header()->setSectionResizeMode(QHeaderView::Fixed);
    const int nDefault = view.header()->defaultSectionSize();
    view.setModel(&model);
    view.resize(600, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QList<int> listExpected;
    for (int nSection = 0; nSection < 3; ++nSection) {
        listExpected << (listBefore.at(nSection) > 0 ? listBefore.at(nSection) : nDefault);
        QCOMPARE(view.header()->sectionSize(nSection), listExpected.at(nSection));
    }

    for (int nSection = 0; nSection < 3; ++nSection) {
        if (listAfter.at(nSection) > 0) {
            model.setHeaderData(nSection, Qt::Horizontal, listAfter.at(nSection),
                                struTreeViewData::HeaderWidthRole);
            listExpected[nSection] = listAfter.at(nSection);
        }
    }
    for (int nSection = 0; nSection < 3; ++nSection) {
        QCOMPARE(view.header()->sectionSize(nSection), listExpected.at(nSection));
        QCOMPARE(view.columnWidth(nSection), listExpected.at(nSection));
    }
}

QTEST_MAIN(tst_OrbHeaderView)
#include "tst_OrbHeaderView.moc"
