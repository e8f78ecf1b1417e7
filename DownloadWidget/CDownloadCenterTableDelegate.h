#pragma once

#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include "CTaskTypes.h"

// The downloading tables' delegate: paints every cell as the kit does and, in cells marked with
// ProgressBarRole, a progress track with its fill and a percent label on top.
class CDownloadCenterTableDelegate : public ORBGUI::OrbTableViewItemDelegateSvg
{
public:
    // Roles of a progress cell; Qt::UserRole of the same cell holds the task state (2 = failed).
    enum DownloadItemDataRole
    {
        ProgressBarRole = CTaskTypes::ProgressBarRole,      // 757: any valid value marks a progress cell
        ProgressValueRole = CTaskTypes::ProgressValueRole,  // 758: whole percent, 0 to 100
    };

    // Task state under Qt::UserRole that paints the fill grey.
    static constexpr int kFailedState = CTaskTypes::Failed;

    explicit CDownloadCenterTableDelegate(QObject* parent = nullptr);
    ~CDownloadCenterTableDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    // Leaves the text out of a cell whose icon stands for it (CTaskTypes::IconForTextRole) when the
    // text does not fit: the kit's tooltip then shows it whole.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

public:
    // A cut file name shows where its file goes (CTaskTypes::FilePathRole) as its tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    // Set while a cell whose text is left out is painted.
    mutable bool m_bIconOnly = false;
};
