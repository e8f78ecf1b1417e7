#pragma once

#include "OrbBaseView.h"

namespace ORBGUI {

class OrbHeaderView;

// The kit's table: a flat tree view with uniform rows. Its header sizes sections from
// HeaderWidthRole and draws a check-all box in a section with HeaderCheckableRole; the
// box acts on the check state of column 0 of every row.
class OrbTableView : public OrbBaseView
{
    Q_OBJECT

public:
    explicit OrbTableView(QWidget* parent = nullptr);
    ~OrbTableView() override;

    void setModel(QAbstractItemModel* model) override;

    // State of the check-all box: Checked when every row is checked, Unchecked when
    // none is (or there are no rows), PartiallyChecked otherwise.
    Qt::CheckState headerCheckState() const;
    // What a click on the check-all box does: every row's check box to eState.
    void setAllRowsChecked(Qt::CheckState eState);

private:
    OrbHeaderView* m_pHeader = nullptr;
};

}  // namespace ORBGUI
