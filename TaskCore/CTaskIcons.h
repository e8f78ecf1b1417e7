#pragma once

#include <QSize>
#include <QString>
#include <QVariant>

// The icon values of the task tables (the GUI kit's ItemPixmapValue in a QVariant), built from
// the skin's images. Values are shared: every row showing the same images holds one copy.
class CTaskIcons
{
public:
    // The side of a state or Operate icon, in pixels.
    static constexpr int kIconSide = 20;

    // Every icon the downloading tables show, of one skin.
    struct Set
    {
        QVariant varWaiting;
        QVariant varDownloading;
        QVariant varFailed;
        QVariant varRefused;  // a start the engine refused
        QVariant varDelete;
        QVariant varRetry;
        QVariant varSpeed1;
        QVariant varSpeed2;
        QVariant varSpeed4;

        const QVariant& speed(int nSpeed) const;
    };
    // Built once per skin.
    static const Set& forSkin(const QString& strSkin);

    // An image of the skin strSkin: "./Skin/<skin>/DownloadApp/<file>".
    static QString image(const QString& strSkin, const char* szFile);
    // An icon slot that shows one image whatever the mouse does, 20 x 20.
    static QVariant stateIcon(const QString& strPath);
    // A clickable icon slot: normal, hover, pressed and disabled images (paths or pixmaps).
    static QVariant buttonIcon(const QVariant& varNormal, const QVariant& varHover,
                               const QVariant& varPressed, const QVariant& varDisabled, const QSize& size);
    // A clickable icon slot of two images: the hover one shows while hovered or pressed.
    static QVariant buttonIcon(const QVariant& varNormal, const QVariant& varHover, const QSize& size);
    // A clickable 20 x 20 icon of the skin from "<stem>-n.svg" and "<stem>-h.svg".
    static QVariant skinButton(const QString& strSkin, const char* szStem);
    // The record speed icon of a factor (1, 2 or 4; any other shows 1x), 24 x 16.
    static QVariant speedButton(const QString& strSkin, int nSpeed);
};
