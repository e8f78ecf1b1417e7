#include "QModulesPanel.h"

#include <QDir>
#include <QJsonObject>
#include <QSettings>

#include <CDownloadCenterMgr.h>
#include <hostservices/ClientSettings.h>

#include "CPluginHost.h"
#include "ui_QModulesPanel.h"

namespace {

// A recent working morning: recordings of that time exist on every simulated device.
QDateTime defaultBegin()
{
    const QDate date = QDate::currentDate().addDays(-1);
    return QDateTime(date, QTime(8, 0));
}

}  // namespace

QModulesPanel::QModulesPanel(QWidget* parent) : QWidget(parent), ui(new Ui::QModulesPanel)
{
    ui->setupUi(this);

    ui->cmbDevice->addItems(CDemoTaskFactory::deviceIds());
    ui->dteBegin->setDateTime(defaultBegin());
    ui->dteEnd->setDateTime(defaultBegin().addSecs(120));

    // Only these kinds and modes change what the lists show; the tooltips say how.
    const struct
    {
        int nKind;
        const char* pHint;
    } kinds[] = {
        {0, QT_TR_NOOP("size known, speed buttons in mode 0")},
        {2, QT_TR_NOOP("size unknown in mode 0, no disk-space check")},
        {22, QT_TR_NOOP("size known, speed buttons in mode 0")},
        {23, QT_TR_NOOP("size unknown in modes 0 and 2, no disk-space check")},
    };
    for (const auto& kind : kinds) {
        ui->cmbSourceKind->addItem(tr("Kind %1").arg(kind.nKind), kind.nKind);
        ui->cmbSourceKind->setItemData(ui->cmbSourceKind->count() - 1, tr(kind.pHint), Qt::ToolTipRole);
    }
    for (const int nMode : {0, 1, 2}) {
        ui->cmbDownloadMode->addItem(tr("Mode %1").arg(nMode), nMode);
    }
    ui->cmbLink->addItem(tr("Normal"), static_cast<int>(CDemoTaskFactory::DeviceLink::Normal));
    ui->cmbLink->addItem(tr("Drops half-way"), static_cast<int>(CDemoTaskFactory::DeviceLink::DropsHalfWay));
    // The skins next to the binaries, the client's current one chosen.
    ui->cmbSkin->addItems(QDir(QStringLiteral("Skin")).entryList(QDir::Dirs | QDir::NoDotAndDotDot));
    ui->cmbSkin->setCurrentText(
        ConfigInfo::ClientSettings::value(QStringLiteral("Local/SkinVersion"), QStringLiteral("Default"))
            .toString());
    ui->cmbLink->addItem(tr("Slow"), static_cast<int>(CDemoTaskFactory::DeviceLink::Slow));

    connect(ui->cmbDevice, &QComboBox::currentTextChanged, this, &QModulesPanel::onDeviceChanged);
    connect(ui->btnAddRecord, &QPushButton::clicked, this, &QModulesPanel::onAddRecordClicked);
    connect(ui->btnAddPictures, &QPushButton::clicked, this, &QModulesPanel::onAddPicturesClicked);
    connect(ui->btnDeleteDevice, &QPushButton::clicked, this, &QModulesPanel::onDeleteDeviceClicked);
    connect(ui->btnProductName, &QPushButton::clicked, this, &QModulesPanel::onProductNameClicked);
    connect(ui->edtProductName, &QLineEdit::returnPressed, this, &QModulesPanel::onProductNameClicked);
    connect(ui->btnClearLists, &QPushButton::clicked, this, &QModulesPanel::clearLists);
    connect(ui->btnLogOut, &QPushButton::clicked, this, &QModulesPanel::sgnLogOut);
    connect(ui->btnLogIn, &QPushButton::clicked, this, &QModulesPanel::sgnLogIn);
    connect(ui->btnQuitRestart, &QPushButton::clicked, this, &QModulesPanel::sgnQuitAndRestart);
    connect(ui->cmbSkin, &QComboBox::textActivated, this, &QModulesPanel::onSkinChosen);
    onDeviceChanged(ui->cmbDevice->currentText());
}

QModulesPanel::~QModulesPanel()
{
    delete ui;
}

void QModulesPanel::setup(CPluginHost* pHost, const QString& strBaseUrl)
{
    m_pHost = pHost;
    m_strBaseUrl = strBaseUrl;
}

void QModulesPanel::addRecordDownload(const CDemoTaskFactory::RecordRequest& request)
{
    const DownloadInfo info = CDemoTaskFactory(m_strBaseUrl).recordTask(request);
    CDownloadCenterMgr::instance().addDownloadTask(info);
    emit sgnActivity(tr("addDownloadTask: %1, %2").arg(info.strFileName, info.strSourceUrl));
}

void QModulesPanel::addPictureDownload(const CDemoTaskFactory::PictureRequest& request)
{
    const DownloadPicInfo info = CDemoTaskFactory(m_strBaseUrl).pictureTask(request);
    CDownloadCenterMgr::instance().addPicDownloadTask(info);
    emit sgnActivity(tr("addPicDownloadTask: %1, %2").arg(info.strFileName, info.strSourceUrl));
}

void QModulesPanel::deleteDevice(const QString& strDeviceId, int nChannel)
{
    if (!m_pHost) {
        return;
    }
    // The client sends the channel as text.
    m_pHost->notify(QStringLiteral("NotifyDeviceStatus"),
                    QJsonObject{{QStringLiteral("deviceId"), strDeviceId},
                                {QStringLiteral("channelId"), QString::number(nChannel)},
                                {QStringLiteral("event"), QStringLiteral("delete")}});
}

void QModulesPanel::setProductName(const QString& strName)
{
    // The client's setting first: the lists read it again whenever they are shown.
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Base/ProductName"), strName);
    settings.sync();
    QString strProductName = strName;
    CDownloadCenterMgr::instance().setProductInfo(strProductName);
    emit sgnActivity(tr("setProductInfo: %1").arg(strName));
}

void QModulesPanel::clearLists()
{
    CDownloadCenterMgr::instance().clearDownloadData();
    emit sgnActivity(tr("clearDownloadData"));
}

void QModulesPanel::setSkin(const QString& strSkin)
{
    ui->cmbSkin->setCurrentText(strSkin);
    onSkinChosen(strSkin);
}

void QModulesPanel::onSkinChosen(const QString& strSkin)
{
    // As in the client, a skin applies to windows made after the change.
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Local/SkinVersion"), strSkin);
    settings.sync();
    emit sgnActivity(tr("skin %1, from the next log-in").arg(strSkin));
}

void QModulesPanel::onLoggedInChanged(bool bLoggedIn)
{
    ui->grpSource->setEnabled(bLoggedIn);
    ui->grpRecord->setEnabled(bLoggedIn);
    ui->grpPictures->setEnabled(bLoggedIn);
    ui->btnDeleteDevice->setEnabled(bLoggedIn);
    ui->edtProductName->setEnabled(bLoggedIn);
    ui->btnProductName->setEnabled(bLoggedIn);
    ui->btnClearLists->setEnabled(bLoggedIn);
    ui->btnLogOut->setEnabled(bLoggedIn);
    ui->btnLogIn->setEnabled(!bLoggedIn);
}

void QModulesPanel::onDeviceChanged(const QString& strDeviceId)
{
    const int nCurrent = ui->cmbChannel->currentIndex();
    ui->cmbChannel->clear();
    QStringList listNames = CDemoTaskFactory::channelNames(strDeviceId.trimmed());
    // A device the catalogue does not know still has channels.
    if (listNames.isEmpty()) {
        for (int nChannel = 1; nChannel <= 4; ++nChannel) {
            listNames << CDemoTaskFactory::channelName(QString(), nChannel);
        }
    }
    for (int i = 0; i < listNames.size(); ++i) {
        ui->cmbChannel->addItem(tr("%1 (%2)").arg(listNames.at(i)).arg(i + 1), i + 1);
    }
    ui->cmbChannel->setCurrentIndex(qBound(0, nCurrent, ui->cmbChannel->count() - 1));
}

void QModulesPanel::onAddRecordClicked()
{
    CDemoTaskFactory::RecordRequest request;
    request.strDeviceId = chosenDevice();
    request.nChannel = ui->cmbChannel->currentData().toInt();
    request.begin = ui->dteBegin->dateTime();
    request.end = ui->dteEnd->dateTime();
    request.nSourceKind = ui->cmbSourceKind->currentData().toInt();
    request.nDownloadMode = ui->cmbDownloadMode->currentData().toInt();
    request.eLink = static_cast<CDemoTaskFactory::DeviceLink>(ui->cmbLink->currentData().toInt());
    if (request.strDeviceId.isEmpty() || request.end <= request.begin) {
        emit sgnActivity(tr("Choose a device and a time range that ends after it begins."));
        return;
    }
    addRecordDownload(request);
}

void QModulesPanel::onAddPicturesClicked()
{
    CDemoTaskFactory::PictureRequest request;
    request.strDeviceId = chosenDevice();
    request.nChannel = ui->cmbChannel->currentData().toInt();
    request.begin = ui->dteBegin->dateTime();
    request.end = ui->dteEnd->dateTime();
    request.nPictureCount = ui->spnPictureCount->value();
    if (request.strDeviceId.isEmpty() || request.end <= request.begin) {
        emit sgnActivity(tr("Choose a device and a time range that ends after it begins."));
        return;
    }
    addPictureDownload(request);
}

void QModulesPanel::onDeleteDeviceClicked()
{
    if (!chosenDevice().isEmpty()) {
        deleteDevice(chosenDevice(), ui->cmbChannel->currentData().toInt());
    }
}

void QModulesPanel::onProductNameClicked()
{
    setProductName(ui->edtProductName->text().trimmed());
}

QString QModulesPanel::chosenDevice() const
{
    return ui->cmbDevice->currentText().trimmed();
}
