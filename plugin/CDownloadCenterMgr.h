#pragma once

#include <QAtomicPointer>
#include <QMutex>
#include <QObject>
#include <QString>

#include <downloadengine/DownloadInfo.h>

#include "DownloadAppGlobal.h"

class QWidget;
class CDownloadCenterMgrPrivate;

// The download centre as the client's other modules see it: they embed it in a widget, name the
// product, hand in record and picture tasks and clear its lists. Every call goes to the one
// download centre window, and does nothing once that window is gone.
class DOWNLOADAPP_EXPORT CDownloadCenterMgr : public QObject
{
    Q_OBJECT

public:
    // Creates the facade, and with it the (hidden, not yet embedded) window, on first use.
    static CDownloadCenterMgr& instance();
    // Shuts the window down (its running tasks are stopped, each stop running the event loop
    // for a moment; the calls that arrive meanwhile do nothing but log), then deletes it and the
    // facade; the next instance() starts from nothing.
    static void destroyInstance();

    ~CDownloadCenterMgr() override;

    bool isInited();
    // Embeds the window in parent the first time; later calls do nothing.
    void initWidget(QWidget* parent);
    void setProductInfo(QString& productName);
    void addDownloadTask(const DownloadInfo& task);
    // Takes the record by value: the caller's record is never touched.
    void addPicDownloadTask(DownloadPicInfo taskInfo);
    // Empties the downloading and finished lists.
    void clearDownloadData();

protected:
    CDownloadCenterMgr();

private:
    Q_DISABLE_COPY(CDownloadCenterMgr)
    Q_DECLARE_PRIVATE_D(m_pPrivate, CDownloadCenterMgr)

    CDownloadCenterMgrPrivate* m_pPrivate = nullptr;

    static QAtomicPointer<CDownloadCenterMgr> s_ptrInstance;
    static QMutex s_mutexInstance;
};
