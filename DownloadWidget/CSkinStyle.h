#pragma once

#include <QHash>
#include <QString>

#include "CColumnState.h"

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
    // What the lists' time and size columns show at their widest: a begin time to the second, an
    // end time on its begin's day, sizes up to "1023.9MB" and strUnknown.
    static QHash<int, CColumnState::Fit> timeAndSizeFits(int nBeginTime, int nEndTime, int nSize,
                                                         const QString& strUnknown);
    // The widest speed a list shows in practice, "1023.9KB/s" in the user's locale.
    static QString widestSpeed();
    // The translated "ProductName" title with the name in it; untranslated, the title has no
    // place for the name and stays as it is.
    static QString productTitle(const QString& strTitle, const QString& strName);
};
