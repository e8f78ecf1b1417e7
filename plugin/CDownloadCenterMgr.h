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
// download centre window, and does nothing but log once that window is gone.
//
// Thread: the GUI thread only, for every call. instance() builds widgets; its lock guards against
// a call back into instance() while the window is being built, not against other threads.
// Signals: none; what happens to a task shows in the window and in the host's notices.
// Bad input: nothing a caller passes ends the process; see each call.
class DOWNLOADAPP_EXPORT CDownloadCenterMgr : public QObject
{
    Q_OBJECT

public:
    // Creates the facade, and with it the window (hidden, not yet embedded), on first use; the
    // window shows the stored lists at once and starts their transfers once the events already
    // waiting are handled (a window being shown is painted first). The facade and the window
    // belong to the module: never delete them, call destroyInstance().
    static CDownloadCenterMgr& instance();
    // Log-out through the facade: shuts the window down, then deletes it and the facade. Blocks
    // for the stop waits of the running recordings (100 ms each, running the event loop
    // meanwhile; calls that arrive then do nothing but log). The next instance() starts from
    // nothing. Safe to call when nothing was built, and twice.
    static void destroyInstance();

    ~CDownloadCenterMgr() override;

    // True once initWidget has embedded the window.
    bool isInited();
    // Embeds the window in parent the first time (it becomes parent's child, covers it and
    // follows its size; it is hidden until the host shows it). Later calls do nothing; a null
    // parent does nothing but log. If parent is deleted first, the window goes with it, dropping
    // its tasks from the engine where they stand; what is stored stays for the next start.
    void initWidget(QWidget* parent);
    // The product's name, shown as the title of the column after Channel in the record and Done
    // lists ("ProductName" in the translations). Each list also reads the setting
    // Base/ProductName whenever it is shown and takes that name if it differs, so write the
    // setting too for a name that lasts. The non-const form is kept for clients built against
    // it; it does not change the string.
    void setProductInfo(const QString& productName);
    void setProductInfo(QString& productName);
    // Queues a record download; the engine completes the record (a safe, free file name in
    // Download/DownloadPath, the path, the size). Unless nSourceKind is 2 or 23, the engine is
    // asked first whether the disk has room (the stand-in engine wants twice the known size free
    // and passes a size of 0); if not, the task is not added and the user is told in a modal box
    // (the event loop runs while it is open). The module reads strFileName, strChannelName,
    // strShopName, strDeviceId (device deletion), nSourceKind and nDownloadMode (whether the size
    // is known, whether 2x and 4x are offered, whether the disk is checked) and stRecordFile's
    // times and size; the rest goes to the engine as it is. Empty fields show as empty cells. A
    // task the engine refuses to start (no http or https strSourceUrl, a folder it cannot write)
    // shows as failed without a continue icon; the user can only delete it.
    void addDownloadTask(const DownloadInfo& task);
    // Queues a picture package and shows strNotifyText (or a default text) as a notice. Takes the
    // record by value: the caller's record is never touched. A package the engine refuses to
    // start (no http or https strSourceUrl) shows as failed at once.
    void addPicDownloadTask(DownloadPicInfo taskInfo);
    // Empties the downloading and finished lists at once, without questions: their tasks are
    // dropped from the engine (recordings' partial files stay on disk, picture packages' are
    // deleted, finished files stay) and nothing of them is stored any more, so nothing comes
    // back at the next start.
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
