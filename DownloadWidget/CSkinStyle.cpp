#include "CSkinStyle.h"

#include <QDir>
#include <QFile>
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

QVariant CSkinStyle::stateIcon(const QString& strPath)
{
    ORBGUI::ItemPixmapValue value;
    value.insert(ORBGUI::ItemPixmapValue::Normal, strPath);
    value.insert(ORBGUI::ItemPixmapValue::IconSize, QSize(20, 20));
    return QVariant::fromValue(value);
}

QVariant CSkinStyle::buttonIcon(const QVariant& varNormal, const QVariant& varHover,
                                const QVariant& varPressed, const QVariant& varDisabled, const QSize& size)
{
    ORBGUI::ItemPixmapValue value;
    value.insert(ORBGUI::ItemPixmapValue::Normal, varNormal);
    value.insert(ORBGUI::ItemPixmapValue::Hover, varHover);
    value.insert(ORBGUI::ItemPixmapValue::Pressed, varPressed);
    value.insert(ORBGUI::ItemPixmapValue::Disabled, varDisabled);
    value.insert(ORBGUI::ItemPixmapValue::IconSize, size);
    return QVariant::fromValue(value);
}

QVariant CSkinStyle::buttonIcon(const QVariant& varNormal, const QVariant& varHover, const QSize& size)
{
    return buttonIcon(varNormal, varHover, varHover, varNormal, size);
}

QStandardItem* CSkinStyle::centeredItem(const QString& strText)
{
    auto* pItem = new QStandardItem(strText);
    pItem->setData(kAlignCenter, Qt::TextAlignmentRole);
    return pItem;
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
    pView->header()->setSectionResizeMode(QHeaderView::Fixed);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setFocusPolicy(Qt::NoFocus);
}

QString CSkinStyle::productTitle(const QString& strTitle, const QString& strName)
{
    return strTitle.contains(QLatin1String("%1")) ? strTitle.arg(strName) : strTitle;
}
