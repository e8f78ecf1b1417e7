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
    std::string strBeginTime;   // begin of the recorded range, shown as is
    std::string strEndTime;     // end of the recorded range, shown as is
    std::string strStreamType;  // main or sub stream
    std::string strFormat;      // container format on the device
    qint64 nFileSize = 0;       // bytes; 0 when unknown
    std::string strChecksum;    // hex digest of the finished file, filled by the engine
};

// A record download task: one channel of one device for a time range.
struct DownloadInfo
{
    int nDownloadMode = 0;
    QString strChannelName;
    QString strShopName;
    QString strDeviceId;
    QString strFileName;
    QString strFilePath;            // target file, completed by the engine
    QString strSourceUrl;           // where the engine fetches the recording
    QString strChannelId;           // channel number on the device
    qint64 nStartDownloadTime = 0;  // seconds since 1970
    int nSourceKind = 0;
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
    QString strFileName;
    QString strSourceUrl;  // where the engine fetches the package
    bool bOverwrite = false;
    qint64 nFileSize = 0;           // bytes
    qint64 nStartDownloadTime = 0;  // seconds since 1970
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
