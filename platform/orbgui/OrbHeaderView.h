#pragma once

#include <QHash>
#include <QHeaderView>
#include <QList>
#include <QMetaObject>
#include <QVector>

namespace ORBGUI {

// The kit table's header. Sizes sections from the model's HeaderWidthRole and draws a
// check-all box in sections whose header data has HeaderCheckableRole; the box acts on
// the check state of column 0 of every row under the root.
class OrbHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit OrbHeaderView(Qt::Orientation eOrientation, QWidget* parent = nullptr);
    ~OrbHeaderView() override;

    void setModel(QAbstractItemModel* model) override;

    // Checked when every row with a check box is checked, Unchecked when none is (or there
    // are no such rows), PartiallyChecked otherwise.
    Qt::CheckState checkState() const;
    bool isSectionCheckable(int nLogicalIndex) const;
    // The check-all box of a section in viewport coordinates; empty when it has none.
    QRect checkBoxRect(int nLogicalIndex) const;
    // Sets column 0 of every row with a check box to eState.
    void setAllCheckState(Qt::CheckState eState);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int nLogicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private slots:
    void onHeaderDataChanged(Qt::Orientation eOrientation, int nFirst, int nLast);
    void onColumnsInserted(const QModelIndex& parent, int nFirst, int nLast);
    void onModelReset();
    void onRowsInserted(const QModelIndex& parent, int nFirst, int nLast);
    void onRowsAboutToBeRemoved(const QModelIndex& parent, int nFirst, int nLast);
    void onRowsMoved(const QModelIndex& source, int nStart, int nEnd, const QModelIndex& destination);
    void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles);
    void markCheckStateDirty();

private:
    void applySectionWidths(int nFirst, int nLast);
    QRect checkBoxRectIn(const QRect& sectionRect) const;
    bool pressOnCheckBox(QMouseEvent* event);
    // Adds nSign times the check states of rows nFirst to nLast to the counts.
    void countRows(int nFirst, int nLast, int nSign) const;

    QList<QMetaObject::Connection> m_listModelConnections;
    // Rows that come and go are counted as they do, so that a table of any size adds and removes
    // rows without reading all of them again. A change of check states or of the model's shape
    // makes the counts dirty: they are taken again from every row when the state is next needed.
    mutable bool m_bCheckStateDirty = true;
    // The model's width last applied to each section: a width is applied when the model changes
    // it, not whenever a title changes (the user's width stays).
    QHash<int, int> m_hashAppliedWidths;
    mutable int m_nChecked = 0;    // rows checked, or partly
    mutable int m_nUnchecked = 0;  // rows unchecked, or partly
    int m_nPressedBoxSection = -1;
};

}  // namespace ORBGUI
