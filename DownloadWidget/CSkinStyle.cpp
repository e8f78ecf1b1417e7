#include "CSkinStyle.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <orbgui/OrbSkin.h>
#include <orbgui/OrbTableView.h>

#include "CDownloadTextFormat.h"
#include "CTaskTableModel.h"

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

void CSkinStyle::setUpTableView(ORBGUI::OrbTableView* pView)
{
    pView->header()->setSectionResizeMode(QHeaderView::Interactive);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setFocusPolicy(Qt::StrongFocus);
    // Names keep their start and their extension when cut.
    pView->setTextElideMode(Qt::ElideMiddle);
}

void CSkinStyle::setColumnModes(ORBGUI::OrbTableView* pView, int nOperateColumn)
{
    // The user widens text columns; the file name takes what is left; the check box and the
    // icons keep their widths.
    QHeaderView* pHeader = pView->header();
    pHeader->setSectionResizeMode(CTaskTableModel::ColumnCheck, QHeaderView::Fixed);
    pHeader->setSectionResizeMode(CTaskTableModel::ColumnFileName, QHeaderView::Stretch);
    pHeader->setSectionResizeMode(nOperateColumn, QHeaderView::Fixed);
}

QHash<int, CColumnState::Fit> CSkinStyle::timeAndSizeFits(int nBeginTime, int nEndTime, int nSize,
                                                          const QString& strUnknown)
{
    const qint64 nWidest = 1023.9 * 1024 * 1024;
    return {{nBeginTime, {{QStringLiteral("2026-12-31 23:59:59")}}},
            {nEndTime, {{QStringLiteral("23:59:59")}}},
            {nSize, {{CDownloadTextFormat::sizeText(nWidest), strUnknown}}}};
}

QString CSkinStyle::widestSpeed()
{
    return CDownloadTextFormat::pictureSpeedText(qint64(1023.9 * 1024));
}

QString CSkinStyle::productTitle(const QString& strTitle, const QString& strName)
{
    return strTitle.contains(QLatin1String("%1")) ? strTitle.arg(strName) : strTitle;
}
