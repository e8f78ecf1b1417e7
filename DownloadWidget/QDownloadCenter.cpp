#include "QDownloadCenter.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QTranslator>

#include <mutex>

#include <hostcomponents/CBrowser.h>
#include <hostcomponents/QRedDotLabel.h>
#include <hostservices/CConfig.h>
#include <hostservices/CLocalConfig.h>
#include <hostservices/WebNotifyBus.h>
#include <ncl/NMutexGuard.h>
#include <ncl/NPrintLog.h>
#include <orbgui/OrbMessageNotify.h>
#include <orbgui/OrbSingleton.h>
#include <orbgui/OrbSkin.h>

#include "CDownloadByPublicUrl.h"
#include "CDownloadHistory.h"
#include "CDownloadTextFormat.h"
#include "CRPCEnvelope.h"
#include "CSkinStyle.h"
#include "ui_QDownloadCenter.h"

namespace {

const char* const kLogFile = "DownloadWidget\\QDownloadCenter";
const int kLogWarning = 6;

// Where the build puts the module's compiled translations (DownloadApp_<language>.qm).
const char* const kTranslationFolder = ":/DownloadApp/translations";
const char* const kTranslationName = "DownloadApp";

// The web client's download-centre page, below its base address.
const char* const kDownloadCenterPage = "/client/base/client/downloadCenter";

}  // namespace

std::atomic<QDownloadCenter*> QDownloadCenter::s_pInstance{nullptr};
ncl::NMutex QDownloadCenter::s_mutexInstance;
int QDownloadCenter::s_nRPCId = 0;

QDownloadCenter* QDownloadCenter::instance()
{
    QDownloadCenter* pInstance = s_pInstance.load();
    if (pInstance) {
        return checkedInstance(pInstance);
    }
    {
        ncl::NMutexGuard guard(&s_mutexInstance);
        pInstance = s_pInstance.load();
        if (pInstance) {
            return checkedInstance(pInstance);
        }
        // Only the frame is built under the lock: nothing in it calls back.
        pInstance = new QDownloadCenter(nullptr);
        s_pInstance.store(pInstance);
    }
    // The stored lists and the engine start with no lock held: what they run may ask for the
    // window again, and finds this one.
    pInstance->openHistory();
    pInstance->setWindowFlags(pInstance->windowFlags() | Qt::FramelessWindowHint);
    pInstance->setAutoFillBackground(true);
    return pInstance;
}

QDownloadCenter* QDownloadCenter::checkedInstance(QDownloadCenter* pInstance)
{
    if (!pInstance->m_bShuttingDown) {
        return pInstance;
    }
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter::instance", "", kLogWarning, "%s",
                                    "the window is being torn down; the call is dropped");
    return nullptr;
}

QDownloadCenter* QDownloadCenter::current()
{
    QDownloadCenter* pInstance = s_pInstance.load();
    return pInstance && !pInstance->m_bShuttingDown ? pInstance : nullptr;
}

void QDownloadCenter::destroyInstance()
{
    QPointer<QDownloadCenter> pInstance = s_pInstance.load();
    // Called again during the waits below: the first call deletes it.
    if (!pInstance || pInstance->m_bShuttingDown) {
        return;
    }
    // Stopped while it is still the window and whole: what arrives meanwhile is dropped by
    // instance() and current(), and nothing waits in its destructor.
    pInstance->shutdown();
    if (!pInstance) {
        return;
    }
    {
        ncl::NMutexGuard guard(&s_mutexInstance);
        QDownloadCenter* pExpected = pInstance;
        s_pInstance.compare_exchange_strong(pExpected, nullptr);
    }
    delete pInstance;
}

void QDownloadCenter::shutdown()
{
    if (m_bShutDown || m_bShuttingDown) {
        return;
    }
    m_bShuttingDown = true;
    const QPointer<QDownloadCenter> pGuard(this);
    ui->wgtDownloading->shutdown();
    if (!pGuard) {
        return;
    }
    m_pDownloadByPublicUrl->shutdown();
    // Written out and closed while everything is alive: the finished downloads of the waits too.
    if (m_pHistory) {
        m_pHistory->shutdown();
    }
    m_bShutDown = true;
}

QDownloadCenter::QDownloadCenter(QWidget* parent) : QWidget(parent)
{
    // The form's texts are translated as it is built.
    installTranslator();

    ui = new Ui::QDownloadCenter;
    ui->setupUi(this);

    connect(ui->wgtDone, SIGNAL(sgnDoneItemNumChanged(int)), this, SLOT(onDoneItemNumChanged(int)));
    connect(ui->wgtDownloading, SIGNAL(sgnDownloadingItemNumChanaged(int)), this,
            SLOT(onDownloadingItemNumChanaged(int)));
    connect(ui->wgtDownloading, SIGNAL(sgnDownloadFinished(const DownloadInfo&)), ui->wgtDone,
            SLOT(onDownloadFinished(const DownloadInfo&)));
    connect(this, SIGNAL(sgnAddDownloadTask(const DownloadInfo&)), ui->wgtDownloading,
            SLOT(onAddDownloadTask(const DownloadInfo&)));
    connect(this, SIGNAL(sgnAddPicDownloadTask(const DownloadPicInfo&)), ui->wgtDownloading,
            SLOT(onAddPicDownloadTask(const DownloadPicInfo&)));
    connect(this, SIGNAL(sgnDeviceDeleteNotify(QString, int)), ui->wgtDownloading,
            SLOT(onDeviceDeleteNotify(QString, int)));
    connect(ui->wgtDownloading, SIGNAL(sgnPicDownloadFinished(const DownloadPicInfo&)), ui->wgtDone,
            SLOT(onPicDownloadFinished(const DownloadPicInfo&)));

    onDoneItemNumChanged(0);
    onDownloadingItemNumChanaged(0);

    m_pDownloadByPublicUrl = new CDownloadByPublicUrl(this);
    connect(m_pDownloadByPublicUrl, SIGNAL(sgnUpdateDownloadTasksStatus(QString&)), this,
            SLOT(onUpdateDownloadTasksStatus(QString&)));
}

QDownloadCenter::~QDownloadCenter()
{
    // Deleted by a parent rather than through destroyInstance: the next instance() builds anew.
    QDownloadCenter* pSelf = this;
    s_pInstance.compare_exchange_strong(pSelf, nullptr);
    if (!m_bShutDown) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter", "", kLogWarning, "%s",
                                        "the window went without shutdown(); its tasks are dropped");
    }
    if (m_pBrowser) {
        disconnect(m_pBrowser, nullptr, this, nullptr);
    }
    // A browser the page's log-out took out of the window is released here: once the window
    // is gone nothing can send to it or show it. Later rather than now, because the window
    // may be going from inside a chain of calls that started in that browser's own signal.
    if (m_pBrowser && !m_pBrowser->parent()) {
        m_pBrowser->deleteLater();
    }
    m_pBrowser = nullptr;
    delete ui;
    ui = nullptr;
}

void QDownloadCenter::openHistory()
{
    // The lists of the last session, and of every session before it on this profile.
    m_pHistory =
        new CDownloadHistory(ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile, this);
    ui->wgtDone->attachHistory(m_pHistory);
    ui->wgtDownloading->attachHistory(m_pHistory);
    if (!m_pHistory->setAsidePath().isEmpty()) {
        ORBGUI::OrbSingleton<ORBGUI::OrbMessageNotify>::Instance().AddTextNotification(
            tr("The download history could not be read. It was set aside and a new one started."));
    }
}

bool QDownloadCenter::isInited()
{
    return m_bInited;
}

void QDownloadCenter::initWidget(QWidget* parent)
{
    if (m_bInited) {
        return;
    }
    if (!parent) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter::initWidget", "", kLogWarning,
                                        "no parent widget to embed the download centre in");
        return;
    }

    m_pParentWidget = parent;
    setParent(parent);
    setGeometry(0, 0, parent->width(), parent->height());
    parent->installEventFilter(this);
    m_bInited = true;

    ui->btnDownloading->setCheckable(true);
    ui->btnDownloading->setChecked(true);
    ui->btnDone->setCheckable(true);
    // Each pair shows one of two views: one of them is always the checked one.
    auto* pLists = new QButtonGroup(this);
    pLists->addButton(ui->btnDownloading);
    pLists->addButton(ui->btnDone);

    connect(ui->btnDownloading, SIGNAL(clicked()), this, SLOT(onBtnDownloadingClicked()));
    connect(ui->btnDone, SIGNAL(clicked()), this, SLOT(onBtnDownloadDoneClicked()));
    connect(ui->btnFileDownload, SIGNAL(clicked()), this, SLOT(onBtnFileDownloadClicked()));
    connect(ui->btnRecordDownload, SIGNAL(clicked()), this, SLOT(onBtnRecordDownloadClicked()));

    ui->btnFileDownload->setText(tr("file download"));
    ui->btnRecordDownload->setText(tr("record download"));
    ui->btnFileDownload->setCheckable(true);
    ui->btnRecordDownload->setCheckable(true);
    ui->btnRecordDownload->setChecked(true);
    auto* pTabs = new QButtonGroup(this);
    pTabs->addButton(ui->btnRecordDownload);
    pTabs->addButton(ui->btnFileDownload);

    ui->wgtRecordDownloadNum->hide();
    ui->wgtFileDownloadNum->hide();

    initBrowser();

    setObjectName(QStringLiteral("QDownloadCenter"));
    CSkinStyle::applyStyleSheet(this);
    CSkinStyle::applyStyleSheet(ui->wgtTabBar);

    onBtnDownloadingClicked();
    // Showing is the host's call.
    hide();
}

void QDownloadCenter::clearDownloadData()
{
    ui->wgtDownloading->clearDownloadingList();
    ui->wgtDone->clearDoneList();
    onDoneItemNumChanged(0);
}

void QDownloadCenter::setProductInfo(QString& productName)
{
    ui->wgtDownloading->setProductName(productName);
    ui->wgtDone->setProductName(productName);
}

void QDownloadCenter::notifyDownloadingFileNum(const QJsonObject& params)
{
    const QString strKey = QStringLiteral("downloadingFileNum");
    if (!params.contains(strKey)) {
        return;
    }
    // Anything but a whole number counts as none.
    setBadge(ui->wgtFileDownloadNum, ui->labFileDownloadNum, params.value(strKey).toInt(0));
}

void QDownloadCenter::notifyDeviceStatus(const QJsonObject& params)
{
    const QString strDeviceId = params.value(QStringLiteral("deviceId")).toString();
    // The host sends the channel as text; a number there names no channel.
    int nChannelId = -1;
    const QString strChannel = params.value(QStringLiteral("channelId")).toString();
    if (!strChannel.isEmpty()) {
        nChannelId = strChannel.toInt(nullptr, 10);
    }
    if (params.value(QStringLiteral("event")).toString() == QLatin1String("delete")) {
        ui->wgtDownloading->onDeviceDeleteNotify(strDeviceId, nChannelId);
    }
}

void QDownloadCenter::onBtnDownloadingClicked()
{
    ui->DownloadCenterStacked->setCurrentIndex(0);
    ui->wgtDownloading->show();
    ui->wgtDone->hide();
    ui->btnDone->setChecked(false);
}

void QDownloadCenter::onBtnDownloadDoneClicked()
{
    ui->wgtDownloading->hide();
    ui->wgtDone->show();
    ui->btnDownloading->setChecked(false);
}

void QDownloadCenter::onBtnFileDownloadClicked()
{
    ui->DownloadCenterStacked->setCurrentIndex(1);
    ui->btnRecordDownload->setChecked(false);
    ui->btnFileDownload->setChecked(true);
    notifyWebRefreshDownloadFilePage();
}

void QDownloadCenter::onBtnRecordDownloadClicked()
{
    ui->DownloadCenterStacked->setCurrentIndex(0);
    ui->btnRecordDownload->setChecked(true);
    ui->btnFileDownload->setChecked(false);
}

void QDownloadCenter::onDoneItemNumChanged(int nNum)
{
    ui->btnDone->setText(CDownloadTextFormat::counterText(tr("Done"), nNum));
}

void QDownloadCenter::onDownloadingItemNumChanaged(int nNum)
{
    setRecordDownloadNum(nNum);
    ui->btnDownloading->setText(CDownloadTextFormat::counterText(tr("Downloading"), nNum));
}

void QDownloadCenter::notifyWebRefreshDownloadFilePage()
{
    // Built even without a page, so the numbering does not depend on whether one exists.
    QJsonObject envelope = makeRPCObject(QStringLiteral("notifyWebRefreshDownloadFilePage"), false, true);
    envelope.insert(QStringLiteral("params"), QJsonObject());
    if (m_pBrowser) {
        m_pBrowser->response(CRPCEnvelope::toCompactText(envelope));
    }
}

void QDownloadCenter::addDownloadTasksByPublicUrl(const QJsonObject& params)
{
    if (m_pDownloadByPublicUrl) {
        m_pDownloadByPublicUrl->addDownloadTasksByPublicUrl(params);
    }
}

void QDownloadCenter::onRPCcall(CBrowser* browser, const QString& strParam)
{
    // Only the web client's page gets the bridge, whatever the browser was pointed at since;
    // answers go to this window's own browser.
    CBrowser* pAsking = browser ? browser : m_pBrowser.data();
    const QUrl urlPage = pAsking ? pAsking->currentUrl() : QUrl();
    if (m_urlWebClient.host().isEmpty() ||
        CDownloadByPublicUrl::hostKey(urlPage) != CDownloadByPublicUrl::hostKey(m_urlWebClient)) {
        // Once per page in a row: a page may ask in a loop.
        if (!m_bDropLogged || urlPage != m_urlDropped) {
            m_bDropLogged = true;
            m_urlDropped = urlPage;
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter::onRPCcall", "", kLogWarning,
                                            "requests of a page not of the web client dropped[%s]",
                                            urlPage.toString().toUtf8().constData());
        }
        return;
    }
    m_bDropLogged = false;
    QString strMethod;
    QJsonObject params;
    if (!CRPCEnvelope::parseRequest(strParam, strMethod, params)) {
        logRejectedRequest(strParam);
        return;
    }
    dispatchRPCMethod(strMethod, params);
}

void QDownloadCenter::dispatchRPCMethod(const QString& strMethod, const QJsonObject& params)
{
    if (strMethod == QLatin1String("AddDownloadTasksByPublicUrl")) {
        addDownloadTasksByPublicUrl(params);
    } else if (strMethod == QLatin1String("getDownloadTasksByPublicUrlStatus")) {
        if (m_pDownloadByPublicUrl) {
            m_pDownloadByPublicUrl->getDownloadTasksByPublicUrlStatus(params);
        }
    } else if (strMethod == QLatin1String("openDownloadFiledir")) {
        if (m_pDownloadByPublicUrl) {
            m_pDownloadByPublicUrl->openDownloadFiledir(params);
        }
    } else if (strMethod == QLatin1String("notifyDownloadingFileNum")) {
        notifyDownloadingFileNum(params);
    } else if (strMethod == QLatin1String("NotifyLoginOut")) {
        // The host answers the log-out by destroying this window; the page that asked must
        // outlive that, so its browser leaves the window first.
        if (m_pBrowser) {
            m_pBrowser->setParent(nullptr);
        }
        QJsonObject envelope = makeRPCObject(QStringLiteral("notifyWebLoginOut"), false, true);
        envelope.insert(QStringLiteral("params"), QJsonObject());
        WebNotifyBus::sendRPCNotify(envelope, QStringLiteral("Main"));
        // The receiver may already have destroyed this window: nothing is touched after the post.
    }
}

void QDownloadCenter::logRejectedRequest(const QString& strParam)
{
    // The request goes in as an argument, never as the format: it is the page's text.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(strParam.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter::onRPCcall", "", kLogWarning,
                                        "Json error[%s]", qUtf8Printable(error.errorString()));
    } else if (!document.isObject()) {
        ncl::NPrintLog::instance()->Log(
            kLogFile, __LINE__, "QDownloadCenter::onRPCcall", "", kLogWarning, "%s",
            qUtf8Printable(QStringLiteral("Json format error[%1]").arg(strParam)));
    } else {
        ncl::NPrintLog::instance()->Log(
            kLogFile, __LINE__, "QDownloadCenter::onRPCcall", "", kLogWarning, "%s",
            qUtf8Printable(QStringLiteral("Json context error[%1]").arg(strParam)));
    }
}

void QDownloadCenter::onUpdateDownloadTasksStatus(QString& strTasksStatus)
{
    if (m_pBrowser) {
        m_pBrowser->response(strTasksStatus);
    }
}

void QDownloadCenter::onLoadProcess(int process)
{
    Q_UNUSED(process)
}

void QDownloadCenter::onLoadFinished(bool suc)
{
    // Nothing to do: the page itself asks for what it needs once it has loaded.
    Q_UNUSED(suc)
}

QJsonObject QDownloadCenter::makeRPCObject(const QString& method, bool async, bool result, int id)
{
    return CRPCEnvelope::make(s_nRPCId, method, async, result, id);
}

void QDownloadCenter::initBrowser()
{
    m_pBrowser = new CBrowser(this);
    m_pBrowser->setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_pBrowser, SIGNAL(request(CBrowser*, QString const&)), this,
            SLOT(onRPCcall(CBrowser*, QString const&)));
    connect(m_pBrowser, SIGNAL(loadProgress(int)), this, SLOT(onLoadProcess(int)));
    connect(m_pBrowser, SIGNAL(loadFinished(bool)), this, SLOT(onLoadFinished(bool)));
    ui->FileDownloadPageVerticalLayout->addWidget(m_pBrowser);
    m_pBrowser->resize(m_pParentWidget->width(), m_pParentWidget->height());
    const QString strPage =
        ConfigInfo::CLocalConfig::instance().getWebUrl() + QLatin1String(kDownloadCenterPage);
    m_urlWebClient = QUrl::fromUserInput(strPage);
    m_pBrowser->SetUrl(strPage);
}

bool QDownloadCenter::eventFilter(QObject* watched, QEvent* event)
{
    // The host lays out its own widget; this window simply covers all of it.
    if (m_pParentWidget && watched == m_pParentWidget && event->type() == QEvent::Resize) {
        setGeometry(0, 0, m_pParentWidget->width(), m_pParentWidget->height());
    }
    return QWidget::eventFilter(watched, event);
}

void QDownloadCenter::paintEvent(QPaintEvent* event)
{
    CSkinStyle::paintBackground(this);
    QWidget::paintEvent(event);
}

void QDownloadCenter::setRecordDownloadNum(int nNum)
{
    setBadge(ui->wgtRecordDownloadNum, ui->labRecordDownloadNum, nNum);
}

void QDownloadCenter::setBadge(QWidget* pContainer, QRedDotLabel* pLabel, int nNum)
{
    if (nNum <= 0) {
        pContainer->hide();
        return;
    }
    if (nNum < 10) {
        pLabel->setFixedSize(16, 16);
        pLabel->setRedDotText(QString::number(nNum));
    } else if (nNum <= CDownloadTextFormat::kCounterCap) {
        pLabel->setFixedSize(26, 16);
        pLabel->setRedDotText(QString::number(nNum));
    } else {
        pLabel->setFixedSize(32, 16);
        pLabel->setRedDotText(QStringLiteral("99+"));
    }
    // The whole count for screen readers, where the badge shows "99+".
    pLabel->setAccessibleDescription(QString::number(nNum));
    pContainer->show();
}

void QDownloadCenter::installTranslator()
{
    static std::once_flag s_onceInstalled;
    std::call_once(s_onceInstalled, [] {
        auto* pTranslator = new QTranslator(QCoreApplication::instance());
        const QString strFolder = QString::fromLatin1(kTranslationFolder);
        const QString strName = QString::fromLatin1(kTranslationName);
        if (!pTranslator->load(QLocale(), strName, QStringLiteral("_"), strFolder) &&
            !pTranslator->load(strName + QStringLiteral("_en"), strFolder)) {
            ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "QDownloadCenter::installTranslator", "",
                                            kLogWarning, "no translation found in %s", kTranslationFolder);
            delete pTranslator;
            return;
        }
        QCoreApplication::installTranslator(pTranslator);
    });
}
