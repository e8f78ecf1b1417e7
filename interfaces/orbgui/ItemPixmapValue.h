#pragma once

#include <QMap>
#include <QMetaType>
#include <QVariant>

namespace ORBGUI {

// The images of one icon slot of a cell. Image entries hold a path (QString: SVG or a
// raster format) or a QPixmap.
class ItemPixmapValue : public QMap<int, QVariant>
{
public:
    enum Key
    {
        Normal = 0,
        Hover = 1,
        Pressed = 2,
        Disabled = 3,
        IconSize = 4,  // QSize
    };

    using QMap<int, QVariant>::QMap;
    ItemPixmapValue() = default;
    ItemPixmapValue(const QMap<int, QVariant>& other) : QMap<int, QVariant>(other) {}
};

// Registers the type (with equality, so QVariants holding it compare by value). Called by
// the kit's views; idempotent.
void registerItemPixmapValue();

}  // namespace ORBGUI

Q_DECLARE_METATYPE(ORBGUI::ItemPixmapValue)
