#include "CTaskIcons.h"

#include <QHash>

#include <orbgui/ItemPixmapValue.h>

namespace {

const QSize kIconSize(CTaskIcons::kIconSide, CTaskIcons::kIconSide);
const QSize kSpeedIconSize(24, 16);

// Rows share their icon values (a QVariant copy shares its value): one per set of images, not
// one per cell, which would be most of a long list's memory.
QHash<QString, QVariant>& iconCache()
{
    static QHash<QString, QVariant> s_hashIcons;
    return s_hashIcons;
}

}  // namespace

QString CTaskIcons::image(const QString& strSkin, const char* szFile)
{
    return QStringLiteral("./Skin/%1/DownloadApp/").arg(strSkin) + QLatin1String(szFile);
}

QVariant CTaskIcons::stateIcon(const QString& strPath)
{
    QVariant& varIcon = iconCache()[strPath];
    if (!varIcon.isValid()) {
        ORBGUI::ItemPixmapValue value;
        value.insert(ORBGUI::ItemPixmapValue::Normal, strPath);
        value.insert(ORBGUI::ItemPixmapValue::IconSize, kIconSize);
        varIcon = QVariant::fromValue(value);
    }
    return varIcon;
}

QVariant CTaskIcons::buttonIcon(const QVariant& varNormal, const QVariant& varHover,
                                const QVariant& varPressed, const QVariant& varDisabled, const QSize& size)
{
    // Images given as paths make a key; pixmaps are not shared.
    const QVariantList listImages = {varNormal, varHover, varPressed, varDisabled};
    QString strKey = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    for (const QVariant& varImage : listImages) {
        strKey = varImage.type() == QVariant::String ? strKey + QLatin1Char('\n') + varImage.toString()
                                                     : QString();
        if (strKey.isEmpty()) {
            break;
        }
    }
    QVariant varShared = strKey.isEmpty() ? QVariant() : iconCache().value(strKey);
    if (varShared.isValid()) {
        return varShared;
    }
    ORBGUI::ItemPixmapValue value;
    value.insert(ORBGUI::ItemPixmapValue::Normal, varNormal);
    value.insert(ORBGUI::ItemPixmapValue::Hover, varHover);
    value.insert(ORBGUI::ItemPixmapValue::Pressed, varPressed);
    value.insert(ORBGUI::ItemPixmapValue::Disabled, varDisabled);
    value.insert(ORBGUI::ItemPixmapValue::IconSize, size);
    varShared = QVariant::fromValue(value);
    if (!strKey.isEmpty()) {
        iconCache().insert(strKey, varShared);
    }
    return varShared;
}

QVariant CTaskIcons::buttonIcon(const QVariant& varNormal, const QVariant& varHover, const QSize& size)
{
    return buttonIcon(varNormal, varHover, varHover, varNormal, size);
}

QVariant CTaskIcons::skinButton(const QString& strSkin, const char* szStem)
{
    const QString strStem = image(strSkin, szStem);
    return buttonIcon(strStem + QStringLiteral("-n.svg"), strStem + QStringLiteral("-h.svg"), kIconSize);
}

QVariant CTaskIcons::speedButton(const QString& strSkin, int nSpeed)
{
    const char* const szImages[3][4] = {
        {"1x_normal.svg", "1x_hover.svg", "1x_press.svg", "1x_disable.svg"},
        {"2x_normal.svg", "2x_hover.svg", "2x_press.svg", "2x_disable.svg"},
        {"4x_normal.svg", "4x_hover.svg", "4x_press.svg", "4x_disable.svg"},
    };
    const auto& images = szImages[nSpeed == 2 ? 1 : nSpeed == 4 ? 2 : 0];
    return buttonIcon(image(strSkin, images[0]), image(strSkin, images[1]), image(strSkin, images[2]),
                      image(strSkin, images[3]), kSpeedIconSize);
}

const QVariant& CTaskIcons::Set::speed(int nSpeed) const
{
    return nSpeed == 2 ? varSpeed2 : nSpeed == 4 ? varSpeed4 : varSpeed1;
}

const CTaskIcons::Set& CTaskIcons::forSkin(const QString& strSkin)
{
    static QHash<QString, Set> s_hashSets;
    auto it = s_hashSets.find(strSkin);
    if (it == s_hashSets.end()) {
        it = s_hashSets.insert(
            strSkin,
            Set{stateIcon(image(strSkin, "down-waiting.svg")),
                stateIcon(image(strSkin, "down-downloading.svg")),
                stateIcon(image(strSkin, "down-failed.svg")), stateIcon(image(strSkin, "down-failed.png")),
                skinButton(strSkin, "delete"), skinButton(strSkin, "down"), speedButton(strSkin, 1),
                speedButton(strSkin, 2), speedButton(strSkin, 4)});
    }
    return *it;
}
