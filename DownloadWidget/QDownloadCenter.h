#pragma once

#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <atomic>

#include <downloadengine/DownloadInfo.h>
#include <ncl/NMutex.h>

class CBrowser;
class CDownloadByPublicUrl;
class CDownloadHistory;
class QEvent;
class QPaintEvent;
class QRedDotLabel;

namespace Ui {
class QDownloadCenter;
}

// The download centre's one window, shared by the plugin object and the exported facade: a
// "record download" tab with the downloading and finished lists, switched by two buttons that
// carry their counts, and a "file download" tab with the web client's page, which asks for
// files by public URL through JSON requests. Once embedded it always covers its parent.
class QDownloadCenter : public QWidget
{
    Q_OBJECT

public:
    // The window, made on first use (only its frame under the lock; its lists, the history and
    // the engine start after it, with no lock held). Null while the window shuts down:
    // whatever arrives during its waits must not reach it, nor build a second one beside it.
    static QDownloadCenter* instance();
    // The window if there is one that is not shutting down; never makes one.
    static QDownloadCenter* current();
    // shutdown(), then deletes the window; no lock is held meanwhile. A second call during the
    // first one's waits does nothing.
    static void destroyInstance();

    // Waits for nothing: shutdown() first.
    ~QDownloadCenter() override;

    // Log-out's first step, while everything is alive and connected: the downloading list
    // stores and stops its tasks (running the event loop through each stop wait), the
    // public-URL jobs stop and drop their partial files, and the history is written out. A
    // task that finishes meanwhile reaches the finished list and the history.
    void shutdown();

    bool isInited();
    // Embeds the window in parent the first time; later calls do nothing. parent must not be null.
    void initWidget(QWidget* parent);
    // Empties both lists.
    void clearDownloadData();
    // Passes the product name to both lists, which title their column 3 with it.
    void setProductInfo(QString& productName);
    // Badge of the file-download tab, from "downloadingFileNum"; without the key nothing changes.
    void notifyDownloadingFileNum(const QJsonObject& params);
    // A device event from the host; only "delete" acts, on the downloading list.
    void notifyDeviceStatus(const QJsonObject& params);
    // Tells the page to reload its lists; before initWidget there is no page and it is dropped.
    void notifyWebRefreshDownloadFilePage();
    // Public-URL jobs handed in by the host rather than by the page.
    void addDownloadTasksByPublicUrl(const QJsonObject& params);

signals:
    void sgnAddDownloadTask(const DownloadInfo& task);
    void sgnAddPicDownloadTask(const DownloadPicInfo& taskInfo);
    void sgnDeviceDeleteNotify(QString strDeviceId, int nChannelId);

public slots:
    void onBtnDownloadingClicked();
    void onBtnDownloadDoneClicked();
    void onBtnFileDownloadClicked();
    void onBtnRecordDownloadClicked();
    void onDoneItemNumChanged(int nNum);
    void onDownloadingItemNumChanaged(int nNum);
    // One request text from the page. Requests of documents not of the web client's origin and
    // malformed ones are logged and dropped; nothing is ever answered to them.
    void onRPCcall(CBrowser* browser, const QString& strParam);
    // A finished status message of the public-URL jobs, passed to the page as it is.
    void onUpdateDownloadTasksStatus(QString& strTasksStatus);
    void onLoadProcess(int process);
    void onLoadFinished(bool suc);

protected:
    explicit QDownloadCenter(QWidget* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Record-download badge, driven by the downloading count.
    void setRecordDownloadNum(int nNum);
    // A red-dot badge: hidden for no count, sized for one, two or capped digits.
    static void setBadge(QWidget* pContainer, QRedDotLabel* pLabel, int nNum);
    // Makes the module's texts follow the current locale (English when it has no translation);
    // once per process, before the first window builds its texts.
    static void installTranslator();

    // Creates the browser on the file-download page and points it at the web client's page.
    void initBrowser();
    // Runs one well-formed request; methods it does not know do nothing.
    void dispatchRPCMethod(const QString& strMethod, const QJsonObject& params);
    // Opens the stored lists and shows them; a file set aside is told to the user once.
    void openHistory();
    // The instance for a caller, or null (logged) while it shuts down.
    static QDownloadCenter* checkedInstance(QDownloadCenter* pInstance);
    // Logs why a request was not well-formed.
    static void logRejectedRequest(const QString& strParam);
    // The window's envelopes, numbered by its own counter.
    static QJsonObject makeRPCObject(const QString& method, bool async, bool result, int id = -1);

    Ui::QDownloadCenter* ui = nullptr;
    QWidget* m_pParentWidget = nullptr;
    bool m_bInited = false;
    // Guarded: after the page's log-out the browser no longer belongs to this window.
    QPointer<CBrowser> m_pBrowser;
    // The web client's page: only documents of its origin are answered.
    QUrl m_urlWebClient;
    // The page whose requests were dropped last, logged once until another page asks.
    QUrl m_urlDropped;
    bool m_bDropLogged = false;
    CDownloadByPublicUrl* m_pDownloadByPublicUrl = nullptr;
    // The lists kept across restarts; shared by both lists, which it outlives.
    CDownloadHistory* m_pHistory = nullptr;

    static int s_nRPCId;
    bool m_bShuttingDown = false;
    bool m_bShutDown = false;

    static std::atomic<QDownloadCenter*> s_pInstance;
    static ncl::NMutex s_mutexInstance;
};
