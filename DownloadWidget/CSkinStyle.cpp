#include "CSkinStyle.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <orbgui/ItemPixmapValue.h>
#include <orbgui/OrbItemDataRole.h>
#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CTaskCell.h"

using Role = ORBGUI::struTreeViewData;

void CSkinStyle::applyStyleSheet(QWidget* pWidget)
{
    QFile fileQss(QDir::currentPath() + QStringLiteral("/Skin/") + ORBGUI::GetSkinVersion() +
                  QStringLiteral("/DownloadApp/QssFile/") + pWidget->objectName() + QStringLiteral(".qss"));
    if (fileQss.open(QIODevice::ReadOnly)) {
        pWidget->setStyleSheet(QString::fromUtf8(fileQss.readAll()));
    }
}

void CSkinStyle::paintBackground(QWidget* pWidget)
{
    QStyleOption option;
    option.initFrom(pWidget);
    QPainter painter(pWidget);
    pWidget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, pWidget);
}

QString CSkinStyle::image(const QString& strSkin, const char* szFile)
{
    return QStringLiteral("./Skin/%1/DownloadApp/").arg(strSkin) + QLatin1String(szFile);
}

namespace {

// Rows share their icon values (a QVariant copy shares its value): one per set of images, not
// one per cell, which would be most of a long list's memory.
QHash<QString, QVariant>& iconCache()
{
    static QHash<QString, QVariant> s_hashIcons;
    return s_hashIcons;
}

}  // namespace

QVariant CSkinStyle::stateIcon(const QString& strPath)
{
    QVariant& varIcon = iconCache()[strPath];
    if (!varIcon.isValid()) {
        ORBGUI::ItemPixmapValue value;
        value.insert(ORBGUI::ItemPixmapValue::Normal, strPath);
        value.insert(ORBGUI::ItemPixmapValue::IconSize, QSize(20, 20));
        varIcon = QVariant::fromValue(value);
    }
    return varIcon;
}

QVariant CSkinStyle::buttonIcon(const QVariant& varNormal, const QVariant& varHover,
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

QVariant CSkinStyle::buttonIcon(const QVariant& varNormal, const QVariant& varHover, const QSize& size)
{
    return buttonIcon(varNormal, varHover, varHover, varNormal, size);
}

QStandardItem* CSkinStyle::centeredItem(const QString& strText)
{
    return new CTaskCell(CTaskCell::Text, strText);
}

void CSkinStyle::setCheckableHeader(QStandardItemModel* pModel, const QStringList& listTitles,
                                    const QList<int>& listWidths)
{
    for (int nSection = 0; nSection < listTitles.size(); ++nSection) {
        pModel->setHeaderData(nSection, Qt::Horizontal, listTitles.at(nSection), Qt::EditRole);
        pModel->setHeaderData(nSection, Qt::Horizontal, kAlignCenter, Qt::TextAlignmentRole);
    }
    for (int nSection = 0; nSection < listWidths.size(); ++nSection) {
        pModel->setHeaderData(nSection, Qt::Horizontal, listWidths.at(nSection), Role::HeaderWidthRole);
    }
    pModel->setHeaderData(0, Qt::Horizontal, true, Role::HeaderCheckableRole);
    pModel->setHeaderData(0, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
}

void CSkinStyle::setUpTableView(ORBGUI::OrbTableView* pView)
{
    pView->header()->setSectionResizeMode(QHeaderView::Interactive);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setFocusPolicy(Qt::StrongFocus);
}

void CSkinStyle::setColumnModes(ORBGUI::OrbTableView* pView, int nOperateColumn)
{
    // The user widens text columns; the file name takes what is left; the check box and the
    // icons keep their widths.
    QHeaderView* pHeader = pView->header();
    pHeader->setSectionResizeMode(0, QHeaderView::Fixed);
    pHeader->setSectionResizeMode(1, QHeaderView::Stretch);
    pHeader->setSectionResizeMode(nOperateColumn, QHeaderView::Fixed);
}

QString CSkinStyle::productTitle(const QString& strTitle, const QString& strName)
{
    return strTitle.contains(QLatin1String("%1")) ? strTitle.arg(strName) : strTitle;
}
