#include "CRecordTaskValue.h"

#include "CDownloadTextFormat.h"

CRecordTaskValue::CRecordTaskValue(int nIndex, const DownloadInfo& record)
    : nFileSize(record.stRecordFile.nFileSize),
      nTaskIndex(nIndex),
      bSizeUnknown(CDownloadTextFormat::isRecordSizeUnknown(record)),
      strFileName(record.strFileName),
      strFilePath(record.strFilePath),
      strChannelName(record.strChannelName),
      strShopName(record.strShopName),
      strDeviceId(record.strDeviceId),
      strBeginTime(record.stRecordFile.strBeginTime),
      strEndTime(record.stRecordFile.strEndTime)
{
}
