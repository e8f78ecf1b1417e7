#pragma once

#include <QObject>
#include <Qt>

namespace ORBGUI {

struct struTreeViewData
{
    Q_GADGET

public:
    // Item data roles understood by the kit's views and delegates. The numbers are part
    // of the kit's contract with its users: never renumber them.
    enum OrbItemDataRole
    {
        HeaderWidthRole = Qt::UserRole + 110,      // 366: section width in pixels
        HeaderCheckableRole = Qt::UserRole + 111,  // 367: section shows a check-all box
        PixmapAlignmentRole = Qt::UserRole + 170,  // 426: Qt::Alignment of a cell's icons
        PixmapRole0 = Qt::UserRole + 180,          // 436: icon slot 0 (ItemPixmapValue)
        PixmapRole1 = Qt::UserRole + 181,          // 437
        PixmapRole2 = Qt::UserRole + 182,          // 438
        PixmapToolTipRole0 = Qt::UserRole + 210,   // 466: tooltip of icon slot 0
        PixmapToolTipRole1 = Qt::UserRole + 211,   // 467
        PixmapToolTipRole2 = Qt::UserRole + 212,   // 468
    };
    Q_ENUM(OrbItemDataRole)

    static constexpr int kPixmapSlotCount = 3;
};

}  // namespace ORBGUI
