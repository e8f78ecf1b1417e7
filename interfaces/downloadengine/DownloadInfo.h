#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <string>

// The recorded file part of a record download task, as the device describes it.
struct RecordFileInfo
{
    std::string strFileId;      // the device's identifier of the recording
    std::string strBeginTime;   // begin of the recorded range ("yyyy-MM-dd hh:mm:ss"), shown as is
    std::string strEndTime;     // end of the recorded range; shown without its date on the begin's day
    std::string strStreamType;  // main or sub stream
    std::string strFormat;      // container format on the device
    qint64 nFileSize = 0;       // bytes; 0 when unknown
    std::string strChecksum;    // SHA-256 of the finished file (hex), filled by the engine
};

// A record download task: one channel of one device for a time range.
struct DownloadInfo
{
    int nDownloadMode = 0;          // with nSourceKind: 2x and 4x only in mode 0 of kinds 0 and 22
    QString strChannelName;         // shown in the Channel column
    QString strShopName;            // shown in the product column
    QString strDeviceId;            // a deleted device takes its started and failed tasks
    QString strFileName;            // name asked for; the engine makes it safe and free
    QString strFilePath;            // target file, completed by the engine
    QString strSourceUrl;           // where the engine fetches the recording (http or https)
    QString strChannelId;           // channel number on the device
    qint64 nStartDownloadTime = 0;  // seconds since 1970, set by the engine when the task is added
    int nSourceKind = 0;            // kinds 2 and 23: no disk-space check, size unknown in some modes
    RecordFileInfo stRecordFile;
    QVector<qint64> vecSegmentOffsets;  // byte offsets of the recording's segments
};

// A picture download task: the pictures of one channel for a time range, as one package.
struct DownloadPicInfo
{
    QString strDeviceId;
    QString strChannelId;
    QString strBeginTime;
    QString strEndTime;
    QString strFileName;            // name asked for; the engine makes it safe (and free, unless bOverwrite)
    QString strSourceUrl;           // where the engine fetches the package (http or https)
    bool bOverwrite = false;        // the finished package replaces a file of its name
    qint64 nFileSize = 0;           // bytes; the engine sets it once the package's size is known
    qint64 nStartDownloadTime = 0;  // seconds since 1970; the engine sets it at the first start if 0
    QString strNotifyText;          // shown when the task is added; empty for the default text
    int nPictureCount = 0;
};

// Why a record task is stopped.
enum EnumStopReason
{
    StopReason_Finished = 0,
    StopReason_Failed = 1,
    StopReason_Removed = 2,
};

Q_DECLARE_METATYPE(DownloadInfo)
Q_DECLARE_METATYPE(DownloadPicInfo)
