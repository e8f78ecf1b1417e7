#include "CFinishNotices.h"

#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

CFinishNotices::CFinishNotices(std::function<void()> fnOpenFolder, QObject* parent)
    : QObject(parent), m_fnOpenFolder(std::move(fnOpenFolder))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kGatherMs);
    connect(&m_timer, &QTimer::timeout, this, &CFinishNotices::notify);
}

void CFinishNotices::finished(const QString& strName)
{
    gather(m_listFinished, strName);
}

void CFinishNotices::failed(const QString& strName)
{
    gather(m_listFailed, strName);
}

void CFinishNotices::gather(QStringList& listNames, const QString& strName)
{
    listNames << strName;
    // The first end of a round starts the wait; the others join it.
    if (!m_timer.isActive()) {
        m_timer.start();
    }
}

void CFinishNotices::notify()
{
    auto& notices = ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance();
    if (!m_listFinished.isEmpty()) {
        const QString strText = m_listFinished.size() == 1
                                    ? tr("%1 downloaded").arg(m_listFinished.first())
                                    : tr("%1 downloads finished").arg(m_listFinished.size());
        notices.AddActionNotification(strText, tr("Open folder"), m_fnOpenFolder);
    }
    if (!m_listFailed.isEmpty()) {
        notices.AddTextNotification(m_listFailed.size() == 1
                                        ? tr("%1 failed to download").arg(m_listFailed.first())
                                        : tr("%1 downloads failed").arg(m_listFailed.size()));
    }
    m_listFinished.clear();
    m_listFailed.clear();
}
