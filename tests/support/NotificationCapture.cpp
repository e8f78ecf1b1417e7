#include "NotificationCapture.h"

#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

NotificationCapture::NotificationCapture()
{
    // Direct, so a text is collected by the time the notification call returns.
    m_connection = QObject::connect(&ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance(),
                                    &ORBGUI::OrbMessageNotify::SignalTextNotificationAdded,
                                    [this](const QString& strText) { m_listTexts.append(strText); });
}
