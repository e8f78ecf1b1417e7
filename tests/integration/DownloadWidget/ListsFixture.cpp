#include "ListsFixture.h"

#include <CPicturePackageBody.h>
#include <CRecordingBody.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSettings>
#include <QStandardItemModel>

#include <hostservices/ClientSettings.h>
#include <orbgui/OrbTableView.h>

#include "QDownloadCenter.h"
#include "QDownloadDoneWidget.h"
#include "QDownloadingWidget.h"

namespace {

const quint64 kBitrate = 512000;
const quint32 kPictureSeconds = 60;
const int kPictureCount = 8;
const quint32 kPictureBytes = 32768;
// Bytes per second of a record download at 1x: a recording of half a megabyte takes about
// half a second, so the six of them go through in a few seconds.
const qint64 kRecordRate = 1024 * 1024;

}  // namespace

ListsFixture::ListsFixture() : m_pDevices(std::make_shared<CSimDevices>())
{
    m_server.addRoute(std::make_unique<CDeviceRoute>(m_pDevices));
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Download/DownloadPath"), downloadFolder());
    settings.setValue(QStringLiteral("Download/RecordRate"), kRecordRate);
    settings.sync();
    m_bValid = m_dir.isValid() && QDir().mkpath(downloadFolder()) && m_server.start() &&
               settings.status() == QSettings::NoError;
    m_pWindow = QDownloadCenter::instance();
    m_pDownloading = m_pWindow->findChild<QDownloadingWidget*>();
    m_pDone = m_pWindow->findChild<QDownloadDoneWidget*>();
    m_bValid = m_bValid && m_pDownloading != nullptr && m_pDone != nullptr;
}

ListsFixture::~ListsFixture()
{
    // The window's lists dispose of their engine tasks as they go.
    QDownloadCenter::destroyInstance();
    m_server.stop();
}

QString ListsFixture::downloadPath(const QString& strName) const
{
    return downloadFolder() + QLatin1Char('/') + strName;
}

ORBGUI::OrbTableView* ListsFixture::recordView() const
{
    return m_pDownloading->findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"));
}

ORBGUI::OrbTableView* ListsFixture::picView() const
{
    return m_pDownloading->findChild<ORBGUI::OrbTableView*>(QStringLiteral("tablePicDownloadingList"));
}

QStandardItemModel* ListsFixture::recordModel() const
{
    return qobject_cast<QStandardItemModel*>(recordView()->model());
}

QStandardItemModel* ListsFixture::picModel() const
{
    return qobject_cast<QStandardItemModel*>(picView()->model());
}

QStandardItemModel* ListsFixture::doneModel() const
{
    const auto* pView = m_pDone->findChild<ORBGUI::OrbTableView*>();
    return pView ? qobject_cast<QStandardItemModel*>(pView->model()) : nullptr;
}

void ListsFixture::addRecord(const DownloadInfo& task)
{
    emit m_pWindow->sgnAddDownloadTask(task);
}

void ListsFixture::addPicture(const DownloadPicInfo& task)
{
    emit m_pWindow->sgnAddPicDownloadTask(task);
}

void ListsFixture::deleteDevice(const QString& strDeviceId)
{
    m_pWindow->notifyDeviceStatus(QJsonObject{{QStringLiteral("deviceId"), strDeviceId},
                                              {QStringLiteral("channelId"), QStringLiteral("1")},
                                              {QStringLiteral("event"), QStringLiteral("delete")}});
}

DownloadInfo ListsFixture::recordTask(const QString& strDeviceId, int nChannel, quint32 nSeconds,
                                      const QString& strFileName) const
{
    DownloadInfo task;
    task.strDeviceId = strDeviceId;
    task.strChannelName = QStringLiteral("%1 channel %2").arg(strDeviceId).arg(nChannel);
    task.strChannelId = QString::number(nChannel);
    task.strShopName = QStringLiteral("Shop");
    task.strFileName = strFileName;
    task.strSourceUrl =
        m_server.url(CDeviceRoute::recordPath(strDeviceId, nChannel, kBegin, kBegin + nSeconds, kBitrate))
            .toString();
    task.stRecordFile.strBeginTime = "2023-11-14 22:13:20";
    task.stRecordFile.strEndTime = "2023-11-14 22:14:20";
    return task;
}

QByteArray ListsFixture::recordSha256(const QString& strDeviceId, int nChannel, quint32 nSeconds)
{
    return CRecordingBody(strDeviceId.toStdString(), nChannel, kBegin, kBegin + nSeconds, kBitrate)
        .streamSha256();
}

qint64 ListsFixture::recordStreamSize(quint32 nSeconds)
{
    return static_cast<qint64>(CRecordingBody::streamSizeFor(nSeconds, kBitrate));
}

DownloadPicInfo ListsFixture::pictureTask(const QString& strDeviceId, int nChannel,
                                          const QString& strFileName) const
{
    DownloadPicInfo task;
    task.strDeviceId = strDeviceId;
    task.strChannelId = QString::number(nChannel);
    task.strBeginTime = QStringLiteral("2023-11-14 22:13:20");
    task.strEndTime = QStringLiteral("2023-11-14 22:14:20");
    task.strFileName = strFileName;
    task.strSourceUrl =
        m_server
            .url(CDeviceRoute::picturesPath(strDeviceId, nChannel, kBegin, kBegin + kPictureSeconds,
                                            kPictureCount, kPictureBytes))
            .toString();
    return task;
}

QByteArray ListsFixture::pictureSha256(const QString& strDeviceId, int nChannel)
{
    return CPicturePackageBody(strDeviceId.toStdString(), nChannel, kBegin, kBegin + kPictureSeconds,
                               kPictureCount, kPictureBytes)
        .sha256();
}

int ListsFixture::recordRow(int nTaskIndex) const
{
    return recordTasks().indexOf(nTaskIndex);
}

int ListsFixture::recordState(int nTaskIndex) const
{
    const int nRow = recordRow(nTaskIndex);
    return nRow < 0 ? -1
                    : recordModel()
                          ->index(nRow, QDownloadingWidget::RecordColumnStatus)
                          .data(Qt::UserRole)
                          .toInt();
}

QList<int> ListsFixture::recordTasks() const
{
    QList<int> listTasks;
    const QStandardItemModel* pModel = recordModel();
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        listTasks.append(
            pModel->index(nRow, QDownloadingWidget::RecordColumnCheck).data(Qt::UserRole).toInt());
    }
    return listTasks;
}

int ListsFixture::picState(int nRow) const
{
    if (nRow < 0 || nRow >= picModel()->rowCount()) {
        return -1;
    }
    return picModel()->index(nRow, QDownloadingWidget::PicColumnStatus).data(Qt::UserRole).toInt();
}

void ListsFixture::clickRecordIcon(int nTaskIndex, ORBGUI::struTreeViewData::OrbItemDataRole eRole)
{
    const int nRow = recordRow(nTaskIndex);
    emit recordView()->SignalPixmapClicked(
        recordModel()->index(nRow, QDownloadingWidget::RecordColumnOperate), eRole);
}

void ListsFixture::clickPicIcon(int nRow, ORBGUI::struTreeViewData::OrbItemDataRole eRole)
{
    emit picView()->SignalPixmapClicked(picModel()->index(nRow, QDownloadingWidget::PicColumnOperate), eRole);
}

QStringList ListsFixture::doneNames() const
{
    QStringList listNames;
    const QStandardItemModel* pModel = doneModel();
    for (int nRow = 0; pModel != nullptr && nRow < pModel->rowCount(); ++nRow) {
        listNames.append(pModel->index(nRow, QDownloadDoneWidget::DoneColumnFileName).data().toString());
    }
    return listNames;
}

QStringList ListsFixture::recordRanges(const QString& strDeviceId) const
{
    return m_pDevices->ranges(strDeviceId, QStringLiteral("record"));
}
