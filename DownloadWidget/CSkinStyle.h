#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

class QStandardItem;
class QStandardItemModel;
class QWidget;

namespace ORBGUI {
class OrbTableView;
}

// What the module's widgets share of the skin and of their tables' looks.
class CSkinStyle
{
public:
    // Styles pWidget with ./Skin/<skin>/DownloadApp/QssFile/<objectName>.qss. A skin without a
    // sheet for it leaves it unstyled: not an error.
    static void applyStyleSheet(QWidget* pWidget);
    // Lets the style sheet paint a plain QWidget's background; call it from paintEvent.
    static void paintBackground(QWidget* pWidget);

    // An image of the skin strSkin; callers read the skin version once per operation (it comes
    // from the settings file).
    static QString image(const QString& strSkin, const char* szFile);
    // An icon slot that shows one image whatever the mouse does.
    static QVariant stateIcon(const QString& strPath);
    // A clickable icon slot: normal, hover, pressed and disabled images (paths or pixmaps).
    static QVariant buttonIcon(const QVariant& varNormal, const QVariant& varHover,
                               const QVariant& varPressed, const QVariant& varDisabled, const QSize& size);
    // A clickable icon slot of two images: the hover one shows while hovered or pressed.
    static QVariant buttonIcon(const QVariant& varNormal, const QVariant& varHover, const QSize& size);
    static QStandardItem* centeredItem(const QString& strText);

    // Centred titles, widths from section 0, and the check-all box in section 0.
    static void setCheckableHeader(QStandardItemModel* pModel, const QStringList& listTitles,
                                   const QList<int>& listWidths);
    // Columns the user can widen, whole-row selection, no editing, reached by Tab.
    static void setUpTableView(ORBGUI::OrbTableView* pView);
    // Once the model is set: the check column and Operate fixed, the file name (column 1)
    // stretching.
    static void setColumnModes(ORBGUI::OrbTableView* pView, int nOperateColumn);
    // The translated "ProductName" title with the name in it; untranslated, the title has no
    // place for the name and stays as it is.
    static QString productTitle(const QString& strTitle, const QString& strName);

    static constexpr int kAlignCenter = Qt::AlignHCenter | Qt::AlignVCenter;
    static constexpr int kAlignLeft = Qt::AlignLeft | Qt::AlignVCenter;
};
