#include "CBrowserPrivate.h"

#include "CBrowserBridge.h"
#include "CBrowserPage.h"

#include <hostcomponents/CBrowser.h>

#include <QFile>
#include <QLoggingCategory>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

Q_DECLARE_LOGGING_CATEGORY(lcBrowserBridge)

CBrowserPrivate::CBrowserPrivate(CBrowser* pBrowser) : m_pBrowser(pBrowser)
{
    m_pBridge = new CBrowserBridge(pBrowser);
    m_pChannel = new QWebChannel(pBrowser);
    m_pChannel->registerObject(QStringLiteral("nativeBridge"), m_pBridge);

    auto* pLayout = new QVBoxLayout(pBrowser);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
}

CBrowserPrivate::~CBrowserPrivate()
{
    // The page has to go before its profile.
    delete m_pView;
    delete m_pChannel;
    delete m_pBridge;
    delete m_pProfile;
}

void CBrowserPrivate::startEngine()
{
    // No storage name: off the record, so cookies, cache and storage stay in memory and
    // nothing is written under the home folder.
    m_pProfile = new QWebEngineProfile(m_pBrowser);
    // Even off the record the engine makes an (empty) folder for the profile, by default
    // under the home folder; it gets a scratch folder that goes with the browser instead.
    m_pDirScratch = std::make_unique<QTemporaryDir>();
    if (m_pDirScratch->isValid()) {
        m_pProfile->setPersistentStoragePath(m_pDirScratch->path());
    } else {
        qCWarning(lcBrowserBridge) << "no scratch folder for the browser profile:"
                                   << m_pDirScratch->errorString();
    }
    m_pView = new QWebEngineView(m_pBrowser);
    m_pView->setContextMenuPolicy(Qt::NoContextMenu);
    m_pPage = new CBrowserPage(m_pProfile, m_pView);
    m_pView->setPage(m_pPage);
    // Published once SetUrl names the web client's page (onDocument).
    installChannelScript();
    m_pBrowser->layout()->addWidget(m_pView);
    m_pBrowser->setFocusProxy(m_pView);

    // A new document has to subscribe again; until it does, messages wait. The view reports
    // the start of a load late, even after refusing it; a refused load leaves the document in
    // place, still subscribed, and its failure says so.
    QObject::connect(m_pView, &QWebEngineView::loadStarted, m_pBridge, &CBrowserBridge::reset);
    QObject::connect(m_pView, &QWebEngineView::loadFinished, m_pBrowser, [this](bool bOk) {
        if (m_pPage->takeRefusal() && !bOk) {
            m_pBridge->resume();
        }
    });
    QObject::connect(m_pView, &QWebEngineView::urlChanged, m_pBrowser,
                     [this](const QUrl& url) { onDocument(url); });
    QObject::connect(m_pView, &QWebEngineView::loadProgress, m_pBrowser, &CBrowser::loadProgress);
    QObject::connect(m_pView, &QWebEngineView::loadFinished, m_pBrowser, &CBrowser::loadFinished);
    if (m_urlPage.isValid()) {
        m_pPage->setOrigin(m_urlPage);
        onDocument(m_urlPage);
        m_pView->setUrl(m_urlPage);
    }
}

void CBrowserPrivate::onDocument(const QUrl& url)
{
    m_urlDocument = url;
    const bool bOwn = CBrowserPage::sameOrigin(m_urlPage, url);
    m_pBridge->setOpen(bOwn);
    QWebChannel* pChannel = bOwn ? m_pChannel : nullptr;
    if (m_pPage && m_pPage->webChannel() != pChannel) {
        m_pPage->setWebChannel(pChannel, QWebEngineScript::MainWorld);
    }
}

void CBrowserPrivate::installChannelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcBrowserBridge) << "qwebchannel.js not found in the resources; the page gets no bridge";
        return;
    }
    QWebEngineScript script;
    script.setName(QStringLiteral("qwebchannel"));
    script.setSourceCode(QString::fromUtf8(file.readAll()));
    // Before any script of the page, in the page's own world, so the page can use
    // QWebChannel and qt.webChannelTransport without carrying a copy of the library.
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    m_pPage->scripts().insert(script);
}
