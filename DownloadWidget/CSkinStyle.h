#pragma once

#include <QString>

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

    // Columns the user can widen, whole-row selection, no editing, reached by Tab.
    static void setUpTableView(ORBGUI::OrbTableView* pView);
    // Once the model is set: the check column and Operate fixed, the file name (column 1)
    // stretching.
    static void setColumnModes(ORBGUI::OrbTableView* pView, int nOperateColumn);
    // The translated "ProductName" title with the name in it; untranslated, the title has no
    // place for the name and stays as it is.
    static QString productTitle(const QString& strTitle, const QString& strName);
};
