#pragma once

#include <CDeviceRoute.h>
#include <CSimDevices.h>
#include <CSimServer.h>
#include <FileSha256.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

class QDownloadCenter;
class QDownloadDoneWidget;
class QDownloadingWidget;
class QStandardItemModel;

namespace ORBGUI {
class OrbTableView;
}

// The download centre's window with the real engine behind it and the simulator's devices in
// front: tasks go in the way the client hands them over, and the tests look at the lists as a
// user would (rows, states, icons) and at the files on disk.
class ListsFixture
{
public:
    static constexpr quint32 kBegin = 1700000000;
    static constexpr int kTimeoutMs = 60000;

    ListsFixture();
    ~ListsFixture();

    bool isValid() const { return m_bValid; }

    QDownloadCenter* window() const { return m_pWindow; }
    QDownloadingWidget* downloading() const { return m_pDownloading; }
    QDownloadDoneWidget* done() const { return m_pDone; }
    CSimDevices& devices() const { return *m_pDevices; }

    QString downloadFolder() const { return m_dir.filePath(QStringLiteral("downloads")); }
    QString downloadPath(const QString& strName) const;

    ORBGUI::OrbTableView* recordView() const;
    ORBGUI::OrbTableView* picView() const;
    QStandardItemModel* recordModel() const;
    QStandardItemModel* picModel() const;
    QStandardItemModel* doneModel() const;

    // Hands a task to the window, as the client's other modules do.
    void addRecord(const DownloadInfo& task);
    void addPicture(const DownloadPicInfo& task);
    // The host's device event, as the window receives it.
    void deleteDevice(const QString& strDeviceId);

    DownloadInfo recordTask(const QString& strDeviceId, int nChannel, quint32 nSeconds,
                            const QString& strFileName) const;
    static QByteArray recordSha256(const QString& strDeviceId, int nChannel, quint32 nSeconds);
    static qint64 recordStreamSize(quint32 nSeconds);
    DownloadPicInfo pictureTask(const QString& strDeviceId, int nChannel, const QString& strFileName) const;
    static QByteArray pictureSha256(const QString& strDeviceId, int nChannel);

    // Task index, state and texts of the record rows, top to bottom; -1 for a missing row.
    int recordRow(int nTaskIndex) const;
    int recordState(int nTaskIndex) const;
    QList<int> recordTasks() const;
    int picState(int nRow) const;
    // Clicks icon slot eRole of the Operate cell of a row, as the table reports it.
    void clickRecordIcon(int nTaskIndex, ORBGUI::struTreeViewData::OrbItemDataRole eRole);
    void clickPicIcon(int nRow, ORBGUI::struTreeViewData::OrbItemDataRole eRole);
    // File names of the "Done" rows, top to bottom.
    QStringList doneNames() const;

    QStringList recordRanges(const QString& strDeviceId) const;

private:
    QTemporaryDir m_dir;
    std::shared_ptr<CSimDevices> m_pDevices;
    CSimServer m_server;
    QDownloadCenter* m_pWindow = nullptr;
    QDownloadingWidget* m_pDownloading = nullptr;
    QDownloadDoneWidget* m_pDone = nullptr;
    bool m_bValid = false;
};
