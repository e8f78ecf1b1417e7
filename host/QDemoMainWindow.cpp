#include "QDemoMainWindow.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTreeWidgetItem>

#include <hostservices/WebNotifyBus.h>

#include "CPluginHost.h"
#include "QModulesPanel.h"
#include "ui_QDemoMainWindow.h"

namespace {

const int kEntryRole = Qt::UserRole;
const int kPathRole = Qt::UserRole + 1;

// The path every module switch carries; this one means "no web page": the native download centre.
const char* const kDownloadCentrePath = "/#/client/noPage";
const char* const kFileDownloadPath = "/client/base/client/downloadCenter";

const char* const kMenuStyle =
    "QTreeWidget#treeMenu { background: #23272E; color: #D5D9E0; border: none; font-size: 13px; outline: 0;"
    "  show-decoration-selected: 1; }"
    "QTreeWidget#treeMenu::item { height: 38px; border: none; padding-left: 14px; }"
    "QTreeWidget#treeMenu::branch:selected { background: #3C8CF0; }"
    "QTreeWidget#treeMenu::item:hover:!selected { background: #2F353E; }"
    "QTreeWidget#treeMenu::item:selected { background: #3C8CF0; color: white; }"
    "QLabel#labPlaceholder { color: #7A828E; font-size: 15px; }";

}  // namespace

QDemoMainWindow::QDemoMainWindow(CPluginHost* pHost, const QString& strBaseUrl, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::QDemoMainWindow), m_pHost(pHost)
{
    ui->setupUi(this);
    setStyleSheet(QLatin1String(kMenuStyle));
    ui->wgtModules->setup(pHost, strBaseUrl);

    addMenuItem(nullptr, MenuEntry::LiveView, tr("Live view"), QStringLiteral("/#/client/liveView"));
    addMenuItem(nullptr, MenuEntry::Playback, tr("Playback"), QStringLiteral("/#/client/playback"));
    QTreeWidgetItem* pCentre = addMenuItem(nullptr, MenuEntry::DownloadCentre, tr("Download centre"),
                                           QLatin1String(kDownloadCentrePath));
    addMenuItem(pCentre, MenuEntry::FileDownload, tr("File download"), QLatin1String(kFileDownloadPath));
    addMenuItem(nullptr, MenuEntry::Settings, tr("Settings"), QStringLiteral("/#/client/settings"));
    ui->treeMenu->expandAll();
    menuBar()->addMenu(tr("&Help"))->addAction(tr("&About"), this, &QDemoMainWindow::onAbout);

    connect(ui->treeMenu, &QTreeWidget::currentItemChanged, this, &QDemoMainWindow::onCurrentMenuItemChanged);
    connect(pHost, &CPluginHost::sgnNotified, this, &QDemoMainWindow::onNotified);
    connect(ui->wgtModules, &QModulesPanel::sgnActivity, this, &QDemoMainWindow::onActivity);
    connect(ui->wgtModules, &QModulesPanel::sgnLogOut, this, &QDemoMainWindow::onLogOut);
    connect(ui->wgtModules, &QModulesPanel::sgnLogIn, this, &QDemoMainWindow::onLogIn);
    connect(this, &QDemoMainWindow::sgnLoggedInChanged, ui->wgtModules, &QModulesPanel::onLoggedInChanged);

    // The web page's own log-out button reaches the client through the bus, as "Main".
    WebNotifyBus::registerReceiver(QStringLiteral("Main"), this, [this](const QJsonObject& message) {
        onActivity(tr("bus message to Main: %1").arg(message.value(QStringLiteral("method")).toString()));
        if (message.value(QStringLiteral("method")).toString() == QLatin1String("notifyWebLoginOut")) {
            onLogOut();
        }
    });
}

QDemoMainWindow::~QDemoMainWindow()
{
    WebNotifyBus::unregisterReceiver(QStringLiteral("Main"));
    delete ui;
}

QString QDemoMainWindow::aboutText() const
{
    const QString strVersion = m_pHost->pluginVersion();
    return tr("Demo client of the download centre.\nDownload centre module: %1")
        .arg(strVersion.isEmpty() ? tr("not loaded") : tr("version %1").arg(strVersion));
}

void QDemoMainWindow::onAbout()
{
    QMessageBox::about(this, tr("About"), aboutText());
}

QWidget* QDemoMainWindow::contentArea() const
{
    return ui->wgtContent;
}

QModulesPanel* QDemoMainWindow::modulesPanel() const
{
    return ui->wgtModules;
}

void QDemoMainWindow::selectEntry(MenuEntry eEntry)
{
    ui->treeMenu->setCurrentItem(menuItem(eEntry));
}

void QDemoMainWindow::setEnvironmentText(const QString& strText)
{
    auto* pLabel = new QLabel(strText, ui->statusBar);
    pLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->statusBar->addPermanentWidget(pLabel, 1);
}

QString QDemoMainWindow::activityText() const
{
    return ui->txtActivity->toPlainText();
}

void QDemoMainWindow::onLogOut()
{
    if (!m_bLoggedIn) {
        return;
    }
    m_bLoggedIn = false;
    m_pHost->notify(QStringLiteral("NotifyLoginOut"), QJsonObject());
    // Nothing current, so that logging in again is a switch like any other.
    ui->treeMenu->setCurrentItem(nullptr);
    ui->treeMenu->setEnabled(false);
    ui->labPlaceholder->setText(tr("Logged out. Log in again from the panel on the right."));
    emit sgnLoggedInChanged(false);
}

void QDemoMainWindow::onLogIn()
{
    if (m_bLoggedIn) {
        return;
    }
    m_bLoggedIn = true;
    ui->treeMenu->setEnabled(true);
    emit sgnLoggedInChanged(true);
    selectEntry(MenuEntry::DownloadCentre);
}

void QDemoMainWindow::onCurrentMenuItemChanged(QTreeWidgetItem* pCurrent)
{
    if (!pCurrent || !m_bLoggedIn) {
        return;
    }
    const auto eEntry = static_cast<MenuEntry>(pCurrent->data(0, kEntryRole).toInt());
    const QString strPath = pCurrent->data(0, kPathRole).toString();
    if (eEntry == MenuEntry::FileDownload) {
        m_pHost->notify(QStringLiteral("switchToSubMenu"),
                        QJsonObject{{QStringLiteral("firstLevelMenu"), QLatin1String(kDownloadCentrePath)},
                                    {QStringLiteral("secondLevelMenu"), strPath}});
        return;
    }
    // Seen only while another module is chosen: once shown, the download centre covers it.
    ui->labPlaceholder->setText(
        eEntry == MenuEntry::DownloadCentre
            ? pCurrent->text(0)
            : tr("<b>%1</b><br>This module is not part of the demo.").arg(pCurrent->text(0)));
    m_pHost->notify(QStringLiteral("NotifySwitchMoudle"), QJsonObject{{QStringLiteral("menuPath"), strPath}});
}

void QDemoMainWindow::onNotified(const QString& strName, const QString& strJson, bool bDelivered)
{
    onActivity(bDelivered ? tr("notify %1 %2").arg(strName, strJson)
                          : tr("notify %1 %2 (not subscribed, not sent)").arg(strName, strJson));
}

void QDemoMainWindow::onActivity(const QString& strText)
{
    ui->txtActivity->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + strText);
}

QTreeWidgetItem* QDemoMainWindow::addMenuItem(QTreeWidgetItem* pParent, MenuEntry eEntry,
                                              const QString& strText, const QString& strPath)
{
    auto* pItem = pParent ? new QTreeWidgetItem(pParent) : new QTreeWidgetItem(ui->treeMenu);
    pItem->setText(0, strText);
    pItem->setData(0, kEntryRole, static_cast<int>(eEntry));
    pItem->setData(0, kPathRole, strPath);
    return pItem;
}

QTreeWidgetItem* QDemoMainWindow::menuItem(MenuEntry eEntry) const
{
    for (QTreeWidgetItemIterator it(ui->treeMenu); *it; ++it) {
        if ((*it)->data(0, kEntryRole).toInt() == static_cast<int>(eEntry)) {
            return *it;
        }
    }
    return nullptr;
}
