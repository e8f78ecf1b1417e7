#include "CFinishNotices.h"

#include <QDesktopServices>
#include <QUrl>

#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>

CFinishNotices::CFinishNotices(std::function<QString()> fnFolder, QObject* parent)
    : QObject(parent), m_fnFolder(std::move(fnFolder))
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
    m_timer.stop();
    auto& notices = ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance();
    if (!m_listFinished.isEmpty()) {
        const QString strText = m_listFinished.size() == 1
                                    ? tr("%1 downloaded").arg(m_listFinished.first())
                                    : tr("%1 downloads finished").arg(m_listFinished.size());
        const QString strFolder = m_fnFolder ? m_fnFolder() : QString();
        notices.AddActionNotification(strText, tr("Open folder"), [strFolder] {
            if (!strFolder.isEmpty()) {
                QDesktopServices::openUrl(QUrl::fromLocalFile(strFolder));
            }
        });
    }
    if (!m_listFailed.isEmpty()) {
        notices.AddTextNotification(m_listFailed.size() == 1
                                        ? tr("%1 failed to download").arg(m_listFailed.first())
                                        : tr("%1 downloads failed").arg(m_listFailed.size()));
    }
    m_listFinished.clear();
    m_listFailed.clear();
}
