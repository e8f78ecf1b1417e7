#include "CCentreDriver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

#include <orbgui/OrbBaseView.h>
#include <orbgui/OrbTableViewItemDelegateSvg.h>

namespace {

constexpr int kPollMs = 50;

}  // namespace

CCentreDriver::CCentreDriver(QWidget* pContentArea) : m_pContentArea(pContentArea) {}

QWidget* CCentreDriver::centre() const
{
    const QList<QWidget*> listChildren =
        m_pContentArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* pChild : listChildren) {
        if (pChild->inherits("QDownloadCenter")) {
            return pChild;
        }
    }
    return nullptr;
}

bool CCentreDriver::isShown() const
{
    QWidget* pCentre = centre();
    return pCentre && pCentre->isVisible();
}

QAbstractItemView* CCentreDriver::recordTable() const
{
    QWidget* pList = child("QDownloadingWidget");
    return pList ? pList->findChild<QAbstractItemView*>(QStringLiteral("tableDownloadingList")) : nullptr;
}

QAbstractItemView* CCentreDriver::pictureTable() const
{
    QWidget* pList = child("QDownloadingWidget");
    return pList ? pList->findChild<QAbstractItemView*>(QStringLiteral("tablePicDownloadingList")) : nullptr;
}

QAbstractItemView* CCentreDriver::doneTable() const
{
    QWidget* pList = child("QDownloadDoneWidget");
    return pList ? pList->findChild<QAbstractItemView*>(QStringLiteral("tableDownloadingList")) : nullptr;
}

int CCentreDriver::rowCount(const QAbstractItemView* pView)
{
    return pView && pView->model() ? pView->model()->rowCount() : 0;
}

QVariant CCentreDriver::cell(const QAbstractItemView* pView, int nRow, int nColumn, int nRole)
{
    if (!pView || !pView->model()) {
        return {};
    }
    return pView->model()->index(nRow, nColumn).data(nRole);
}

int CCentreDriver::recordRowsIn(int nState) const
{
    const QAbstractItemView* pView = recordTable();
    int nCount = 0;
    for (int nRow = 0; nRow < rowCount(pView); ++nRow) {
        const QVariant state = cell(pView, nRow, kRecordStatusColumn, Qt::UserRole);
        if (state.isValid() && state.toInt() == nState) {
            ++nCount;
        }
    }
    return nCount;
}

int CCentreDriver::recordRow(const QString& strFileName) const
{
    const QAbstractItemView* pView = recordTable();
    for (int nRow = 0; nRow < rowCount(pView); ++nRow) {
        if (cell(pView, nRow, 1).toString() == strFileName) {
            return nRow;
        }
    }
    return -1;
}

bool CCentreDriver::clickButton(const QString& strName) const
{
    QWidget* pCentre = centre();
    auto* pButton = pCentre ? pCentre->findChild<QAbstractButton*>(strName) : nullptr;
    if (!pButton || !pButton->isEnabled()) {
        return false;
    }
    pButton->click();
    return true;
}

bool CCentreDriver::clickIcon(QAbstractItemView* pView, int nRow, int nColumn, int nRole)
{
    auto* pOrbView = qobject_cast<ORBGUI::OrbBaseView*>(pView);
    if (!pOrbView || !pView->model()) {
        return false;
    }
    const QModelIndex index = pView->model()->index(nRow, nColumn);
    auto* pDelegate = qobject_cast<ORBGUI::OrbTableViewItemDelegateSvg*>(pView->itemDelegate(index));
    if (!index.isValid() || !pDelegate) {
        return false;
    }
    // Scrolled to the icon and back, as a user does in a table wider than its window.
    const int nScrolledTo = pView->horizontalScrollBar()->value();
    pView->scrollTo(index);
    const QRect rectIcon = pDelegate->pixmapRect(pOrbView->viewItemOption(index), index, nRole);
    const bool bOnScreen = !rectIcon.isEmpty() && pView->viewport()->rect().contains(rectIcon.center());
    if (bOnScreen) {
        click(pView->viewport(), rectIcon.center());
    }
    pView->horizontalScrollBar()->setValue(nScrolledTo);
    return bOnScreen;
}

QMenu* CCentreDriver::openRowMenu(QAbstractItemView* pView, int nRow)
{
    const QModelIndex index = pView && pView->model()
                                  ? pView->model()->index(nRow, CTaskTableModel::ColumnFileName)
                                  : QModelIndex();
    if (!index.isValid()) {
        return nullptr;
    }
    pView->scrollTo(index);
    const QPoint pos = pView->visualRect(index).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, pView->viewport()->mapToGlobal(pos));
    QCoreApplication::sendEvent(pView->viewport(), &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QWebEngineView* CCentreDriver::webView() const
{
    QWidget* pCentre = centre();
    return pCentre ? pCentre->findChild<QWebEngineView*>() : nullptr;
}

QVariant CCentreDriver::evaluate(const QString& strScript, int nTimeoutMs) const
{
    QWebEngineView* pView = webView();
    if (!pView) {
        return {};
    }
    // Shared with the callback, which may come after a timeout has given up on it.
    struct Answer
    {
        bool bDone = false;
        QVariant value;
    };
    auto pAnswer = std::make_shared<Answer>();
    pView->page()->runJavaScript(strScript, [pAnswer](const QVariant& value) {
        pAnswer->value = value;
        pAnswer->bDone = true;
    });
    if (!waitUntil([pAnswer] { return pAnswer->bDone; }, nTimeoutMs)) {
        return {};
    }
    return pAnswer->value;
}

bool CCentreDriver::clickInPage(const QString& strSelector, int nTimeoutMs) const
{
    QWebEngineView* pView = webView();
    if (!pView) {
        return false;
    }
    // The selector goes in as a JSON string, so no quote in it can change the script.
    const QString strQuoted =
        QString::fromUtf8(QJsonDocument(QJsonArray{strSelector}).toJson(QJsonDocument::Compact));
    const QVariant center =
        evaluate(QStringLiteral("(function () {"
                                "  var element = document.querySelector(%1[0]);"
                                "  if (!element) { return null; }"
                                "  element.scrollIntoView({block: 'center'});"
                                "  var rect = element.getBoundingClientRect();"
                                "  return [rect.left + rect.width / 2, rect.top + rect.height / 2];"
                                "})()")
                     .arg(strQuoted),
                 nTimeoutMs);
    const QVariantList listCenter = center.toList();
    if (listCenter.size() != 2) {
        return false;
    }
    const qreal dZoom = pView->zoomFactor();
    const QPoint pos(qRound(listCenter.at(0).toDouble() * dZoom),
                     qRound(listCenter.at(1).toDouble() * dZoom));
    // The page takes input through the view's render widget.
    QWidget* pTarget = pView->focusProxy() ? pView->focusProxy() : pView;
    if (!pTarget->rect().contains(pos)) {
        return false;
    }
    click(pTarget, pos);
    return true;
}

bool CCentreDriver::waitUntil(const std::function<bool()>& fnDone, int nTimeoutMs)
{
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!fnDone()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
        // -1: the application is quitting, and no loop runs any more.
        if (loop.exec() == -1) {
            return false;
        }
    }
    return true;
}

QWidget* CCentreDriver::child(const char* pClassName) const
{
    QWidget* pCentre = centre();
    if (!pCentre) {
        return nullptr;
    }
    const QList<QWidget*> listWidgets = pCentre->findChildren<QWidget*>();
    for (QWidget* pWidget : listWidgets) {
        if (pWidget->inherits(pClassName)) {
            return pWidget;
        }
    }
    return nullptr;
}

void CCentreDriver::click(QWidget* pTarget, const QPoint& pos)
{
    const QPoint posGlobal = pTarget->mapToGlobal(pos);
    QMouseEvent move(QEvent::MouseMove, pos, posGlobal, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &move);
    QMouseEvent press(QEvent::MouseButtonPress, pos, posGlobal, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, posGlobal, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &release);
}
