#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace ORBGUI {

namespace {
constexpr int kBottomMargin = 48;  // above the window's bottom edge (status bars live there)
constexpr int kSpacing = 8;        // between stacked notifications
constexpr int kMaximumWidth = 480;

QRect anchorRect()
{
    if (const QWidget* pWindow = QApplication::activeWindow()) {
        return pWindow->frameGeometry();
    }
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        return pScreen->availableGeometry();
    }
    return {};
}
}  // namespace

OrbMessageNotify::OrbMessageNotify()
{
    if (QCoreApplication* pApp = QCoreApplication::instance()) {
        // Toasts are widgets; they live on the GUI thread whoever asked first.
        moveToThread(pApp->thread());
        // We are never destroyed, so our widgets must go before the application does.
        connect(pApp, &QCoreApplication::aboutToQuit, this, [this] {
            const QList<QPointer<QWidget>> listToasts = m_listToasts;
            m_listToasts.clear();
            for (const QPointer<QWidget>& pToast : listToasts) {
                delete pToast.data();
            }
        });
    }
}

OrbMessageNotify::~OrbMessageNotify() = default;

void OrbMessageNotify::AddTextNotification(const QString& strText)
{
    addToast(strText, QString(), {});
}

void OrbMessageNotify::AddActionNotification(const QString& strText, const QString& strAction,
                                             std::function<void()> fnAction)
{
    addToast(strText, strAction, fnAction);
}

void OrbMessageNotify::addToast(const QString& strText, const QString& strAction,
                                const std::function<void()>& fnAction)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("orbgui: text notification without a QApplication dropped");
        return;
    }
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, strText, strAction, fnAction] { addToast(strText, strAction, fnAction); },
            Qt::QueuedConnection);
        return;
    }
    if (strText.trimmed().isEmpty()) {
        return;
    }

    // A tooltip-type window: some platforms activate tool windows on show whatever the
    // flags and attributes ask; none activates a tooltip.
    auto* pToast = new QLabel(
        strText, nullptr,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    if (fnAction) {
        // The text stays plain; the action is a link after it.
        pToast->setTextFormat(Qt::RichText);
        pToast->setText(strText.toHtmlEscaped() +
                        QStringLiteral(" &nbsp;<a href=\"action\" style=\"color: #8cc4ff;\">") +
                        strAction.toHtmlEscaped() + QStringLiteral("</a>"));
        pToast->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(pToast, &QLabel::linkActivated, this, [fnAction] { fnAction(); });
    } else {
        // Texts may come from outside (a page's notice): never read as markup.
        pToast->setTextFormat(Qt::PlainText);
    }
    pToast->setObjectName(QStringLiteral("orbTextNotification"));
    pToast->setAttribute(Qt::WA_ShowWithoutActivating);
    pToast->setAttribute(Qt::WA_TranslucentBackground);
    pToast->setFocusPolicy(Qt::NoFocus);
    pToast->setWordWrap(true);
    pToast->setMaximumWidth(kMaximumWidth);
    pToast->setAlignment(Qt::AlignCenter);
    pToast->setStyleSheet(
        QStringLiteral("QLabel#orbTextNotification { background-color: rgba(30, 30, 30, 220);"
                       " color: #ffffff; border-radius: 6px; padding: 10px 20px; }"));
    pToast->adjustSize();

    m_listToasts.append(pToast);
    // Also when someone else deletes it. A widget signals this before its QPointers clear.
    connect(pToast, &QObject::destroyed, this, [this](QObject* pGone) {
        m_listToasts.erase(std::remove_if(m_listToasts.begin(), m_listToasts.end(),
                                          [pGone](const QPointer<QWidget>& pToast) {
                                              return !pToast || static_cast<QObject*>(pToast.data()) == pGone;
                                          }),
                           m_listToasts.end());
        relayout();
    });
    QTimer::singleShot(kShowMilliseconds, pToast, [this, pToast] {
        m_listToasts.removeAll(QPointer<QWidget>(pToast));
        pToast->hide();
        pToast->deleteLater();
        relayout();
    });

    relayout();
    pToast->show();
    emit SignalTextNotificationAdded(strText);
}

QList<QWidget*> OrbMessageNotify::visibleNotifications() const
{
    QList<QWidget*> listVisible;
    for (const QPointer<QWidget>& pToast : m_listToasts) {
        if (pToast && pToast->isVisible()) {
            listVisible.append(pToast.data());
        }
    }
    return listVisible;
}

void OrbMessageNotify::relayout()
{
    const QRect anchor = anchorRect();
    int nBottom = anchor.bottom() - kBottomMargin;
    // Oldest lowest; newer ones stack above it.
    for (const QPointer<QWidget>& pToast : qAsConst(m_listToasts)) {
        if (!pToast) {
            continue;
        }
        const QSize size = pToast->size();
        pToast->move(anchor.center().x() - size.width() / 2, nBottom - size.height() + 1);
        nBottom -= size.height() + kSpacing;
    }
}

}  // namespace ORBGUI
