#include "CPicDownloadManagerPrivate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSet>

#include <algorithm>
#include <limits>

#include <downloadengine/CPicDownloadManager.h>
#include <ncl/NFileName.h>
#include <ncl/NPrintLog.h>

#include "CEngineSettings.h"
#include "CSafeFileName.h"

namespace {

const char* const kLogFile = "platform\\downloadengine\\CPicDownloadManagerPrivate";
const int kLogTrace = 4;
const int kLogWarning = 6;

const QStringList& workSuffixes()
{
    static const QStringList s_listSuffixes{QStringLiteral(".part")};
    return s_listSuffixes;
}

QString partPath(const QString& strPath)
{
    return strPath + QStringLiteral(".part");
}

}  // namespace

CPicDownloadManagerPrivate::CPicDownloadManagerPrivate(CPicDownloadManager* pOwner) : q(pOwner) {}

CPicDownloadManagerPrivate::PicTask* CPicDownloadManagerPrivate::task(int nIndex)
{
    const auto it = m_mapTasks.find(nIndex);
    return it == m_mapTasks.end() ? nullptr : &it->second;
}

QNetworkAccessManager* CPicDownloadManagerPrivate::access()
{
    if (m_pAccess == nullptr) {
        m_pAccess = new QNetworkAccessManager(q);
    }
    return m_pAccess;
}

void CPicDownloadManagerPrivate::placeFile(int nIndex, PicTask& task)
{
    const QString strFolder = QDir::cleanPath(CEngineSettings::downloadFolder());
    QDir().mkpath(strFolder);
    const QString strWanted = ncl::NFileName::sanitize(
        task.info.strFileName, QStringLiteral("pictures_%1.zip").arg(nIndex), CSafeFileName::kMaxNameBytes);
    QString strName = strWanted;
    if (!task.info.bOverwrite) {
        QSet<QString> setTaken;
        for (const auto& entry : m_mapTasks) {
            if (entry.first != nIndex && !entry.second.strPath.isEmpty()) {
                setTaken.insert(entry.second.strPath);
            }
        }
        strName = CSafeFileName::freeName(strFolder, strWanted, setTaken, workSuffixes());
    }
    if (strName.isEmpty()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManagerPrivate::placeFile", "",
                                        kLogWarning, "no free file name for picture task %d", nIndex);
        task.strPath.clear();
        return;
    }
    task.info.strFileName = strName;
    task.strPath = QDir(strFolder).absoluteFilePath(strName);
}

bool CPicDownloadManagerPrivate::start(int nIndex, PicTask& task)
{
    const QUrl url = CHttpTransfer::sourceUrl(task.info.strSourceUrl);
    if (!url.isValid()) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManagerPrivate::start", "",
                                        kLogWarning, "picture task %d has no usable source address: %s",
                                        nIndex, qUtf8Printable(task.info.strSourceUrl));
        return false;
    }
    if (task.strPath.isEmpty()) {
        placeFile(nIndex, task);
    }
    if (task.strPath.isEmpty() || !QDir().mkpath(QFileInfo(task.strPath).absolutePath())) {
        return false;
    }
    auto* pTransfer = new CHttpTransfer(access(), q);
    const bool bResume = QFileInfo::exists(partPath(task.strPath));
    if (!pTransfer->start(url, partPath(task.strPath), bResume, CEngineSettings::stallTimeoutMs())) {
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManagerPrivate::start", "",
                                        kLogWarning, "picture task %d cannot write %s: %s", nIndex,
                                        qUtf8Printable(partPath(task.strPath)),
                                        qUtf8Printable(pTransfer->errorString()));
        delete pTransfer;
        return false;
    }
    if (task.info.nStartDownloadTime == 0) {
        task.info.nStartDownloadTime = QDateTime::currentSecsSinceEpoch();
    }
    m_nRunning = nIndex;
    m_pTransfer = pTransfer;
    m_nLastPercent = -1;
    m_bSizeReported = false;
    QObject::connect(pTransfer, &CHttpTransfer::sgnTotalKnown, q,
                     [this, pTransfer](qint64 nTotal) { onTotalKnown(pTransfer, nTotal); });
    QObject::connect(pTransfer, &CHttpTransfer::sgnProgress, q,
                     [this, pTransfer](qint64 nReceived) { onProgress(pTransfer, nReceived); });
    QObject::connect(
        pTransfer, &CHttpTransfer::sgnFinished, q,
        [this, pTransfer](bool bOk, const QString& strError) { onFinished(pTransfer, bOk, strError); });
    return true;
}

void CPicDownloadManagerPrivate::haltRunning()
{
    if (m_pTransfer != nullptr) {
        CHttpTransfer* pTransfer = m_pTransfer;
        m_pTransfer = nullptr;
        pTransfer->abort();
        pTransfer->deleteLater();
    }
    m_nRunning = kNoTask;
}

void CPicDownloadManagerPrivate::removePartial(const PicTask& task)
{
    if (!task.bFinished && !task.strPath.isEmpty()) {
        QFile::remove(partPath(task.strPath));
    }
}

void CPicDownloadManagerPrivate::onTotalKnown(CHttpTransfer* pTransfer, qint64 nTotal)
{
    if (pTransfer != m_pTransfer || m_bSizeReported) {
        return;
    }
    m_bSizeReported = true;
    emit q->sgnPicGetDownloadZipInfo(nTotal);
}

void CPicDownloadManagerPrivate::onProgress(CHttpTransfer* pTransfer, qint64 nReceived)
{
    if (pTransfer != m_pTransfer || pTransfer->total() <= 0) {
        return;
    }
    const int nPercent = static_cast<int>(std::clamp<qint64>(nReceived * 100 / pTransfer->total(), 0, 100));
    if (nPercent != m_nLastPercent) {
        m_nLastPercent = nPercent;
        emit q->sgnPicDownloadProgress(nPercent);
    }
}

void CPicDownloadManagerPrivate::onFinished(CHttpTransfer* pTransfer, bool bOk, const QString& strError)
{
    pTransfer->deleteLater();
    if (pTransfer != m_pTransfer) {
        return;
    }
    m_pTransfer = nullptr;
    const int nIndex = m_nRunning;
    PicTask* pTask = task(nIndex);
    if (pTask == nullptr) {
        m_nRunning = kNoTask;
        return;
    }
    QString strReason = strError;
    if (bOk) {
        if (pTask->info.bOverwrite) {
            QFile::remove(pTask->strPath);
        } else if (QFileInfo::exists(pTask->strPath)) {
            // Something else took the name while the package came.
            placeFile(nIndex, *pTask);
        }
        if (pTask->strPath.isEmpty() || !QFile::rename(partPath(pTask->strPath), pTask->strPath)) {
            bOk = false;
            strReason = QStringLiteral("cannot put the package in place");
        }
    }
    if (!bOk) {
        // Idle before anyone hears of it: listeners start the next task.
        m_nRunning = kNoTask;
        ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManagerPrivate::onFinished", "",
                                        kLogWarning, "picture task %d failed: %s", nIndex,
                                        qUtf8Printable(strReason));
        emit q->sgnPicDownloadError(strReason);
        return;
    }
    pTask->bFinished = true;
    pTask->info.nFileSize = pTransfer->received();
    ncl::NPrintLog::instance()->Log(kLogFile, __LINE__, "CPicDownloadManagerPrivate::onFinished", "",
                                    kLogTrace, "picture task %d finished: %s", nIndex,
                                    qUtf8Printable(pTask->strPath));
    const qint64 nSize = pTask->info.nFileSize;
    // A package sent without a length has its size only now; the bar ends full either way.
    if (!m_bSizeReported) {
        m_bSizeReported = true;
        emit q->sgnPicGetDownloadZipInfo(nSize);
    }
    if (m_nRunning == nIndex && m_nLastPercent != 100) {
        m_nLastPercent = 100;
        emit q->sgnPicDownloadProgress(100);
    }
    // A listener may have removed the task meanwhile; then nothing is left to report.
    if (m_nRunning != nIndex) {
        return;
    }
    m_nRunning = kNoTask;
    emit q->sgnPicFinishedDowndload();
}
