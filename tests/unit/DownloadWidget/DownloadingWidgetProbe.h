#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QHeaderView>
#include <QImage>
#include <QList>
#include <QRegularExpression>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>

#include <downloadengine/DownloadInfo.h>
#include <hostservices/ClientSettings.h>
#include <orbgui/OrbTableView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

#include <cmath>

#include "CDownloadCenterTableDelegate.h"
#include "CPicTableModel.h"
#include "CRecordTableModel.h"
#include "QDownloadDoneWidget.h"
#include "QDownloadingWidget.h"
#include "TableRows.h"

// Reads a QDownloadingWidget the way a user or the window sees it: through its tables' models.
// Rows are addressed by task index, as the widget itself does.
namespace probe {

inline ORBGUI::OrbTableView* recordView(const QDownloadingWidget& widget)
{
    return widget.findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"));
}

inline ORBGUI::OrbTableView* picView(const QDownloadingWidget& widget)
{
    return widget.findChild<ORBGUI::OrbTableView*>(QStringLiteral("tablePicDownloadingList"));
}

// The shown buttons of a window whose label does not fit them, by name; empty when all are whole.
// Measured as drawn: the text's width against the room the style leaves inside border and padding.
inline QString cutLabels(const QWidget& window)
{
    QStringList listCut;
    for (const QAbstractButton* pButton : window.findChildren<QAbstractButton*>()) {
        QStyleOptionButton option;
        option.initFrom(pButton);
        option.text = pButton->text();
        const int nRoom =
            pButton->style()->subElementRect(QStyle::SE_PushButtonContents, &option, pButton).width();
        const int nText = pButton->fontMetrics().horizontalAdvance(QString(pButton->text()).remove('&'));
        if (pButton->isVisible() && !pButton->text().isEmpty() && nText > nRoom) {
            listCut << pButton->objectName();
        }
    }
    return listCut.join(' ');
}

// What a list cuts that it must show whole: the texts and titles of the given columns, as the
// delegate and the header lay them out, but where the icon may stand for the text (listIcon);
// any column out of sight (the list scrolls sideways).
inline QStringList cutCells(const ORBGUI::OrbTableView& view, const QList<int>& listWhole,
                            const QList<int>& listIcon)
{
    QStringList listCut;
    const auto* pDelegate = qobject_cast<const ORBGUI::OrbTableViewItemDelegateSvg*>(view.itemDelegate());
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.widget = &view;
    const QAbstractItemModel* pModel = view.model();
    const QHeaderView* pHeader = view.header();
    for (int nColumn : listWhole) {
        // A title as drawn: in the skin's font (the cells'), within its section's padding and border.
        QStyleOptionHeader title;
        title.initFrom(pHeader);
        title.fontMetrics = view.fontMetrics();
        title.text = pModel->headerData(nColumn, Qt::Horizontal).toString();
        const QString& strTitle = title.text;
        if (pHeader->style()->sizeFromContents(QStyle::CT_HeaderSection, &title, QSize(), pHeader).width() >
            pHeader->sectionSize(nColumn)) {
            listCut << QStringLiteral("title %1 (%2 px)").arg(strTitle).arg(pHeader->sectionSize(nColumn));
        }
        for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
            const QModelIndex index = pModel->index(nRow, nColumn);
            option.rect = view.visualRect(index);
            // Where an icon stands for the text, the icon alone is drawn: it must be whole.
            const bool bIconOnly =
                listIcon.contains(nColumn) && index.data(CTaskTypes::IconForTextRole).toBool();
            const QRect icon = pDelegate->pixmapRect(option, index, ORBGUI::struTreeViewData::PixmapRole0);
            if (bIconOnly ? !option.rect.contains(icon) || icon.isEmpty()
                          : pDelegate->isTextElided(option, index)) {
                listCut << QStringLiteral("%1 \"%2\" (%3 px)")
                               .arg(strTitle, index.data().toString())
                               .arg(option.rect.width());
            }
        }
    }
    if (pHeader->length() > view.viewport()->width()) {
        listCut << QStringLiteral("%1 px of %2").arg(pHeader->length()).arg(view.viewport()->width());
    }
    return listCut;
}

// The shown buttons' accelerator letters, upper case, in the window's order; "-" for a button
// without one.
inline QString accelerators(const QWidget& window)
{
    QString strLetters;
    for (const QAbstractButton* pButton : window.findChildren<QAbstractButton*>()) {
        const int nAmp = pButton->text().indexOf('&');
        if (pButton->isVisible() && !pButton->text().isEmpty()) {
            strLetters += nAmp < 0 ? QChar('-') : pButton->text().at(nAmp + 1).toUpper();
        }
    }
    return strLetters;
}

// Text colours of a style sheet that read at less than 4.5:1 (WCAG AA) on their background: the
// rule's own, else the sheet's first (the widget's), else strBase (what the widget sits on; the
// first sheet's background is kept there for the next). Disabled texts are exempt.
inline qreal contrast(const QColor& first, const QColor& second)
{
    const auto luminance = [](const QColor& color) {
        const auto linear = [](qreal v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF()) + 0.05;
    };
    const qreal dRatio = luminance(first) / luminance(second);
    return qMax(dRatio, 1 / dRatio);
}

// The strongest contrast against back of any pixel of rect in image: what shows of a part drawn
// there (a check box, an icon, a frame).
inline qreal strongest(const QImage& image, const QRect& rect, const QColor& back)
{
    qreal dMost = 1;
    for (int nY = rect.top(); nY <= rect.bottom(); ++nY) {
        for (int nX = rect.left(); nX <= rect.right(); ++nX) {
            dMost = qMax(dMost, contrast(image.pixelColor(nX, nY), back));
        }
    }
    return dMost;
}

inline QStringList lowContrast(QString strSheet, QString& strBase)
{
    const auto colour = [](const QString& strBody, const char* szProperty) {
        return QRegularExpression(QStringLiteral("(?:^|[;\\s])%1:\\s*(#\\w{6})").arg(szProperty))
            .match(strBody)
            .captured(1);
    };
    strSheet.remove(
        QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    QStringList listLow;
    bool bFirst = true;
    for (auto it = QRegularExpression(QStringLiteral("([^{}]+)\\{([^}]*)\\}")).globalMatch(strSheet);
         it.hasNext();) {
        const QRegularExpressionMatch rule = it.next();
        const QString strBack = colour(rule.captured(2), "background");
        strBase = bFirst && !strBack.isEmpty() ? strBack : strBase;
        bFirst = false;
        const QList<QPair<QString, QString>> listPairs = {
            {colour(rule.captured(2), "color"), strBack.isEmpty() ? strBase : strBack},
            {colour(rule.captured(2), "selection-color"),
             colour(rule.captured(2), "selection-background-color")}};
        for (const auto& pair : listPairs) {
            if (!pair.first.isEmpty() && !rule.captured(1).contains(":disabled") &&
                contrast(QColor(pair.first), QColor(pair.second)) < 4.5) {
                listLow << rule.captured(1).simplified() + ": " + pair.first + " on " + pair.second;
            }
        }
    }
    return listLow;
}

inline QAbstractItemModel* recordModel(const QDownloadingWidget& widget)
{
    return recordView(widget)->model();
}

inline QAbstractItemModel* picModel(const QDownloadingWidget& widget)
{
    return picView(widget)->model();
}

inline QList<int> recordTasks(const QDownloadingWidget& widget)
{
    return tablerows::tasks(recordModel(widget));
}

// A cell of the task's record row; an invalid index without a row.
inline QModelIndex recordCell(const QDownloadingWidget& widget, int nTask, int nColumn)
{
    return recordModel(widget)->index(recordTasks(widget).indexOf(nTask), nColumn);
}

// State of the task's record row (QDownloadingWidget::RecordTaskState); 0 without a row.
inline int state(const QDownloadingWidget& widget, int nTask)
{
    return recordCell(widget, nTask, CRecordTableModel::ColumnStatus).data(Qt::UserRole).toInt();
}

inline QString statusText(const QDownloadingWidget& widget, int nTask)
{
    return recordCell(widget, nTask, CRecordTableModel::ColumnStatus).data().toString();
}

// The "Done" list's table in a window.
inline QAbstractItemModel* doneModel(const QWidget& window)
{
    return window.findChild<QDownloadDoneWidget*>()->findChild<ORBGUI::OrbTableView*>()->model();
}

// The "Done" rows, top to bottom, each the texts of the columns given joined by blanks.
inline QStringList doneRows(const QWidget& window, const QList<int>& listColumns)
{
    const QAbstractItemModel* pModel = doneModel(window);
    QStringList listRows;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        QStringList listCells;
        for (int nColumn : listColumns) {
            listCells << pModel->index(nRow, nColumn).data().toString();
        }
        listRows << listCells.join(' ');
    }
    return listRows;
}

inline DownloadInfo recordTask(const QString& strFileName, int nSourceKind = 0, int nDownloadMode = 0,
                               qint64 nFileSize = 1536)
{
    DownloadInfo info;
    info.strFileName = strFileName;
    info.strChannelName = QStringLiteral("Channel of ") + strFileName;
    info.strShopName = QStringLiteral("Shop of ") + strFileName;
    info.strDeviceId = QStringLiteral("device-1");
    info.nSourceKind = nSourceKind;
    info.nDownloadMode = nDownloadMode;
    info.stRecordFile.strBeginTime = "2024-03-01 08:00:00";
    info.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    info.stRecordFile.nFileSize = nFileSize;
    return info;
}

inline DownloadPicInfo picTask(const QString& strFileName, const QString& strNotifyText = QString())
{
    DownloadPicInfo info;
    info.strDeviceId = QStringLiteral("device-1");
    info.strFileName = strFileName;
    info.strBeginTime = QStringLiteral("2024-03-01 08:00:00");
    info.strEndTime = QStringLiteral("2024-03-01 09:00:00");
    info.strNotifyText = strNotifyText;
    return info;
}

// Writes a key of the client's settings file; an invalid value removes it.
inline void setClientSetting(const QString& strKey, const QVariant& varValue)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    if (varValue.isValid()) {
        settings.setValue(strKey, varValue);
    } else {
        settings.remove(strKey);
    }
    settings.sync();
}

}  // namespace probe
