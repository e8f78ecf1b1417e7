#pragma once

#include <QList>

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace ORBGUI {

template <typename T>
class OrbSingleton;

// Passing notifications: a text shows for a few seconds near the bottom of the active
// window without taking focus or blocking; several stack upwards.
class OrbMessageNotify : public QObject
{
    Q_OBJECT

public:
    void AddTextNotification(const QString& strText);
    // The same with one action the user can click (a link after the text); fnAction runs on the
    // GUI thread. Signals SignalTextNotificationAdded with the text.
    void AddActionNotification(const QString& strText, const QString& strAction,
                               std::function<void()> fnAction);

    // The notifications on screen now, oldest first.
    QList<QWidget*> visibleNotifications() const;

    static constexpr int kShowMilliseconds = 3000;

signals:
    void SignalTextNotificationAdded(const QString& strText);

private:
    friend class OrbSingleton<OrbMessageNotify>;
    OrbMessageNotify();
    ~OrbMessageNotify() override;

    void relayout();
    void addToast(const QString& strText, const QString& strAction, const std::function<void()>& fnAction);

    QList<QPointer<QWidget>> m_listToasts;
};

}  // namespace ORBGUI
