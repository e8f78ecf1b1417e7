#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QVariant>

namespace ORBGUI {

// Turns an icon image entry (a file path or a QPixmap) into a pixmap ready to draw. Files
// are rendered once per size and device pixel ratio and kept in QPixmapCache. GUI thread only.
class OrbPixmapCache
{
public:
    // The image at size (logical pixels; the image's own size when empty), sharp at dDpr.
    // Null when there is no image or it cannot be loaded.
    static QPixmap pixmap(const QVariant& image, const QSize& size, qreal dDpr);
    // The image's own size in logical pixels; invalid when it cannot be loaded.
    static QSize naturalSize(const QVariant& image);
    static bool isSvgPath(const QString& strPath);
};

}  // namespace ORBGUI
