#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>

namespace ORBGUI {

void registerItemPixmapValue()
{
    // A function-local static makes this cheap to call from every view constructor and
    // safe against the library-load call below.
    static const bool s_bRegistered = [] {
        qRegisterMetaType<ItemPixmapValue>("ORBGUI::ItemPixmapValue");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        // Qt 6 finds operator== by itself.
        QMetaType::registerEqualsComparator<ItemPixmapValue>();
#endif
        // Queued connections and signal spies need the role enum by name.
        qRegisterMetaType<struTreeViewData::OrbItemDataRole>("ORBGUI::struTreeViewData::OrbItemDataRole");
        return true;
    }();
    Q_UNUSED(s_bRegistered)
}

// Models may store values before any view exists.
Q_CONSTRUCTOR_FUNCTION(registerItemPixmapValue)

}  // namespace ORBGUI
