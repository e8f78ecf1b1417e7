#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbTableView.h>

#include <QStandardItemModel>
#include <QtTest>

#include "OrbHeaderView.h"

using ORBGUI::struTreeViewData;

using CheckStates = QList<int>;  // Qt::CheckState per row; -1 for a row without a check box

namespace {

constexpr int U = Qt::Unchecked, P = Qt::PartiallyChecked, C = Qt::Checked;

QStandardItem* makeRow(int nState)
{
    auto* pItem = new QStandardItem("file");
    if (nState >= 0) {
        pItem->setCheckable(true);
        pItem->setCheckState(Qt::CheckState(nState));
    }
    return pItem;
}

// A shown table of three columns, the first with the check-all box; counts how often the
// rows' check states are read, to catch recounting on every change.
struct Table : QStandardItemModel
{
    ORBGUI::OrbTableView view;
    mutable int m_nReads = 0;

    explicit Table(const CheckStates& listStates)
    {
        fill(listStates);
        view.setModel(this);
        view.resize(500, 200);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) {
            qWarning("the view was not shown: clicks and pixels below will be wrong");
        }
    }

    void fill(const CheckStates& listStates)
    {
        setColumnCount(3);
        setHeaderData(0, Qt::Horizontal, true, struTreeViewData::HeaderCheckableRole);
        setHeaderData(0, Qt::Horizontal, 80, struTreeViewData::HeaderWidthRole);
        for (int nState : listStates) {
            appendRow(makeRow(nState));
        }
    }

    QVariant data(const QModelIndex& index, int nRole) const override
    {
        m_nReads += nRole == Qt::CheckStateRole;
        return QStandardItemModel::data(index, nRole);
    }

    ORBGUI::OrbHeaderView* header() const { return qobject_cast<ORBGUI::OrbHeaderView*>(view.header()); }
    QRect box() const { return header()->checkBoxRect(0); }
    QImage boxImage() const { return header()->grab(box()).toImage(); }
    int state() const { return view.headerCheckState(); }
    void click(const QPoint& pos) { QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, pos); }

    CheckStates rowStates() const
    {
        CheckStates listStates;
        for (int nRow = 0; nRow < rowCount(); ++nRow) {
            const QVariant state = index(nRow, 0).data(Qt::CheckStateRole);
            listStates << (state.isValid() ? state.toInt() : -1);
        }
        return listStates;
    }
};

}  // namespace

class tst_OrbHeaderView : public QObject
{
    Q_OBJECT

private slots:
    void clickingTheBox_data()
    {
        QTest::addColumn<CheckStates>("listStates");
        QTest::addColumn<int>("nState");
        QTest::addColumn<CheckStates>("listClicked");  // after a click on the box
        QTest::newRow("no rows") << CheckStates{} << U << CheckStates{};
        QTest::newRow("none checked") << CheckStates{U, U, U} << U << CheckStates{C, C, C};
        QTest::newRow("all checked") << CheckStates{C, C, C} << C << CheckStates{U, U, U};
        QTest::newRow("first checked") << CheckStates{C, U, U} << P << CheckStates{C, C, C};
        QTest::newRow("last checked") << CheckStates{U, U, C} << P << CheckStates{C, C, C};
        QTest::newRow("a partially checked row") << CheckStates{C, P} << P << CheckStates{C, C};
        QTest::newRow("rows without a box ignored") << CheckStates{C, -1, C} << C << CheckStates{U, -1, U};
        QTest::newRow("no row has a box") << CheckStates{-1, -1} << U << CheckStates{-1, -1};
    }

    void clickingTheBox()
    {
        QFETCH(CheckStates, listStates);
        QFETCH(int, nState);
        QFETCH(CheckStates, listClicked);
        Table table(listStates);
        QCOMPARE(table.state(), nState);
        QVERIFY(QRect(QPoint(), table.header()->viewport()->size()).contains(table.box()));
        table.click(table.box().center());
        QCOMPARE(table.rowStates(), listClicked);
        if (table.state() == C) {  // a second click undoes a check-all
            table.click(table.box().center());
            std::replace(listClicked.begin(), listClicked.end(), C, U);
            QCOMPARE(table.rowStates(), listClicked);
        }
        QCOMPARE(table.state(), U);
    }

    void clicksOffTheBoxDoNotToggle()
    {
        Table table({U, C});
        table.setHeaderData(0, Qt::Horizontal, 160, struTreeViewData::HeaderWidthRole);
        const QPoint beside(table.box().right() + 40, table.box().center().y());
        QCOMPARE(table.header()->logicalIndexAt(beside), 0);
        table.click(beside);
        table.click(QPoint(table.header()->sectionViewportPosition(1) + 10, beside.y()));
        QTest::mousePress(table.header()->viewport(), Qt::LeftButton, {}, table.box().center());
        QTest::mouseRelease(table.header()->viewport(), Qt::LeftButton, {}, beside);
        QCOMPARE(table.rowStates(), CheckStates({U, C}));
        QVERIFY(table.header()->checkBoxRect(1).isEmpty());  // only section 0 is checkable
    }

    // Tables alike but for their rows' states have boxes that look different; a box whose
    // rows change looks like the box of the new state.
    void boxIsDrawnInItsState()
    {
        Table all({C, C}), none({U, U}), some({C, U});
        QVERIFY(all.boxImage() != none.boxImage() && all.boxImage() != some.boxImage() &&
                none.boxImage() != some.boxImage());
        none.item(0)->setCheckState(Qt::Checked);
        QCOMPARE(none.boxImage(), some.boxImage());
        none.item(1)->setCheckState(Qt::Checked);
        QCOMPARE(none.boxImage(), all.boxImage());
    }

    void stateFollowsRows()
    {
        QStandardItemModel other;
        other.appendRow(makeRow(U));
        Table table({U, U});
        const std::function<void()> steps[] = {
            [&] { table.item(0)->setCheckState(Qt::Checked); },
            [&] { table.item(1)->setCheckState(Qt::Checked); },
            [&] { table.appendRow(makeRow(U)); },
            [&] { table.removeRow(2); },
            [&] {  // some models signal a change without naming roles
                QSignalBlocker blocker(&table);
                table.item(1)->setCheckState(Qt::Unchecked);
                blocker.unblock();
                emit table.dataChanged(table.index(1, 0), table.index(1, 2));
            },
            [&] { table.removeRows(0, 2); },
            [&] { table.fill({C}); },
            [&] { table.clear(); },
            [&] {
                table.fill({U, C});
            },
            [&] { table.view.setModel(&other); },
            [&] { other.item(0)->setCheckState(Qt::Checked); },
        };
        CheckStates listSeen;
        for (const auto& fnStep : steps) {
            fnStep();
            listSeen << table.state();
        }
        QCOMPARE(listSeen, CheckStates({P, C, P, C, P, U, C, U, P, U, C}));
    }

    void longLoopsDoNotRecount()
    {
        Table table(QVector<int>(3000, C).toList());
        QCOMPARE(table.state(), C);
        // As in a real removal loop, no events run between the changes: nothing may count rows.
        table.m_nReads = 0;
        for (int nRow = 0; nRow < 1500; ++nRow) {
            table.removeRow(table.rowCount() - 1);
            table.setData(table.index(nRow % 500, 0), nRow % 2 ? C : U, Qt::CheckStateRole);
        }
        QVERIFY2(table.m_nReads < 3000, qPrintable(QString::number(table.m_nReads)));
        QCOMPARE(table.state(), P);
        const int nReads = table.m_nReads;
        QCOMPARE(table.state(), P);  // asked again without changes: not counted again
        QCOMPARE(table.m_nReads, nReads);
    }

    // HeaderWidthRole sizes the columns, set before the model is shown (80 for column 0) or later,
    // also below the usual minimum.
    void sectionWidths()
    {
        Table table({U});
        table.setHeaderData(1, Qt::Horizontal, 120, struTreeViewData::HeaderWidthRole);
        table.setHeaderData(2, Qt::Horizontal, 12, struTreeViewData::HeaderWidthRole);
        QCOMPARE(
            QList<int>({table.view.columnWidth(0), table.view.columnWidth(1), table.view.columnWidth(2)}),
            QList<int>({80, 120, 12}));
    }
};

QTEST_MAIN(tst_OrbHeaderView)
#include "tst_OrbHeaderView.moc"
