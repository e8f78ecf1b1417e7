#include "OrbPixmapCache.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>
#include <QtDebug>

namespace ORBGUI {

namespace {

QString cacheKey(const QString& strPath, const QSize& size, qreal dDpr)
{
    return QStringLiteral("orbgui|%1|%2x%3|%4").arg(strPath).arg(size.width()).arg(size.height()).arg(dDpr);
}

// Cells repaint often: say once per path that it is unusable rather than on every paint.
void reportUnloadable(const QString& strPath)
{
    static QSet<QString> s_setReported;
    if (s_setReported.contains(strPath)) {
        return;
    }
    s_setReported.insert(strPath);
    qWarning().noquote() << "orbgui: cannot load image" << strPath;
}

// The path of an image entry; empty for other entries and for files that are not there
// (checked first so that the image readers do not complain on every repaint).
QString pathOf(const QVariant& image)
{
    if (image.userType() != QMetaType::QString) {
        return {};
    }
    const QString strPath = image.toString();
    if (strPath.isEmpty()) {
        return {};
    }
    if (!QFile::exists(strPath)) {
        reportUnloadable(strPath);
        return {};
    }
    return strPath;
}

}  // namespace

bool OrbPixmapCache::isSvgPath(const QString& strPath)
{
    const QString strSuffix = QFileInfo(strPath).suffix();
    return strSuffix.compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0 ||
           strSuffix.compare(QLatin1String("svgz"), Qt::CaseInsensitive) == 0;
}

QSize OrbPixmapCache::naturalSize(const QVariant& image)
{
    if (image.userType() == QMetaType::QPixmap) {
        const QPixmap pix = image.value<QPixmap>();
        return pix.isNull() ? QSize() : (QSizeF(pix.size()) / pix.devicePixelRatio()).toSize();
    }
    const QString strPath = pathOf(image);
    if (strPath.isEmpty()) {
        return {};
    }
    // Layout asks for sizes on every paint and hit test; parsing files each time is too slow.
    static QHash<QString, QSize> s_hashSizes;
    const auto it = s_hashSizes.constFind(strPath);
    if (it != s_hashSizes.constEnd()) {
        return it.value();
    }
    QSize size;
    if (isSvgPath(strPath)) {
        QSvgRenderer renderer(strPath);
        if (renderer.isValid()) {
            size = renderer.defaultSize();
        }
    } else {
        size = QImageReader(strPath).size();
    }
    if (!size.isValid() || size.isEmpty()) {
        reportUnloadable(strPath);
        return {};  // not remembered: the file may appear later
    }
    s_hashSizes.insert(strPath, size);
    return size;
}

QPixmap OrbPixmapCache::pixmap(const QVariant& image, const QSize& size, qreal dDpr)
{
    if (image.userType() == QMetaType::QPixmap) {
        return image.value<QPixmap>();
    }
    const QString strPath = pathOf(image);
    if (strPath.isEmpty()) {
        return {};
    }
    if (!(dDpr > 0.0)) {
        dDpr = 1.0;
    }
    const QSize logicalSize = size.isEmpty() ? naturalSize(image) : size;
    if (logicalSize.isEmpty()) {
        return {};
    }
    const QString strKey = cacheKey(strPath, logicalSize, dDpr);
    QPixmap pix;
    if (QPixmapCache::find(strKey, &pix)) {
        return pix;
    }

    const QSize pixelSize = (QSizeF(logicalSize) * dDpr).toSize();
    QImage img;
    if (isSvgPath(strPath)) {
        QSvgRenderer renderer(strPath);
        if (renderer.isValid()) {
            img = QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            QPainter painter(&img);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
        }
    } else {
        img = QImageReader(strPath).read();
        if (!img.isNull() && img.size() != pixelSize) {
            img = img.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }
    if (img.isNull()) {
        reportUnloadable(strPath);
        return {};
    }
    pix = QPixmap::fromImage(img);
    pix.setDevicePixelRatio(dDpr);
    QPixmapCache::insert(strKey, pix);
    return pix;
}

}  // namespace ORBGUI
