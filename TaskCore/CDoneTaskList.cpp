#include "CDoneTaskList.h"

#include <QDateTime>

#include <algorithm>

#include "CDownloadHistory.h"

CDoneTaskList::CDoneTaskList(QObject* parent) : QObject(parent), m_model(m_vecTasks) {}

void CDoneTaskList::attachHistory(CDownloadHistory* pHistory)
{
    m_pHistory = pHistory;
    const int nRead = ++m_nRead;
    const QPointer<CDoneTaskList> pSelf(this);
    const auto fnReady = [pSelf, nRead](const QVector<CDownloadHistory::Entry>& vecEntries) {
        if (pSelf) {
            pSelf->appendStored(vecEntries, nRead);
        }
    };
    if (m_pHistory) {
        m_pHistory->readDoneEntries(fnReady);
    } else {
        QMetaObject::invokeMethod(
            this, [fnReady] { fnReady({}); }, Qt::QueuedConnection);
    }
}

void CDoneTaskList::appendStored(const QVector<CDownloadHistory::Entry>& vecEntries, int nRead)
{
    // The rows added meanwhile are newer: the stored ones go below them, in one insertion.
    if (nRead == m_nRead && !vecEntries.isEmpty()) {
        m_model.beginAppend(vecEntries.size());
        m_vecTasks.reserve(m_vecTasks.size() + vecEntries.size());
        for (const CDownloadHistory::Entry& entry : vecEntries) {
            m_vecTasks.append(CDoneTaskValue{entry});
        }
        m_model.endInsert();
        // Once: a read tried again after a refused write delivers again.
        m_nRead = nRead + 1;
    }
    emit sgnRestored();
}

void CDoneTaskList::addRecord(const DownloadInfo& record)
{
    CDownloadHistory::Entry entry;
    entry.record = record;
    addAtTop(entry, record.nStartDownloadTime);
}

void CDoneTaskList::addPicture(const DownloadPicInfo& picture)
{
    CDownloadHistory::Entry entry;
    entry.eKind = CDownloadHistory::Picture;
    entry.picture = picture;
    addAtTop(entry, picture.nStartDownloadTime);
}

void CDoneTaskList::addAtTop(CDownloadHistory::Entry entry, qint64 nStartTime)
{
    entry.nSeconds = QDateTime::currentSecsSinceEpoch() - nStartTime;
    // Stored first: the row keeps the id of its stored copy, to forget it when the row goes.
    entry.nId = m_pHistory ? m_pHistory->addDone(entry) : 0;
    m_model.beginInsertAtTop(1);
    m_vecTasks.prepend(CDoneTaskValue{entry});
    m_model.endInsert();
}

void CDoneTaskList::removeRows(QVector<int> vecRows)
{
    std::sort(vecRows.begin(), vecRows.end());
    vecRows.erase(std::unique(vecRows.begin(), vecRows.end()), vecRows.end());
    const int nCount = m_vecTasks.size();
    vecRows.erase(std::remove_if(vecRows.begin(), vecRows.end(),
                                 [nCount](int nRow) { return nRow < 0 || nRow >= nCount; }),
                  vecRows.end());
    if (vecRows.isEmpty()) {
        return;
    }
    if (m_pHistory) {
        QList<qint64> listIds;
        for (int nRow : vecRows) {
            if (m_vecTasks.at(nRow).entry.nId > 0) {
                listIds.append(m_vecTasks.at(nRow).entry.nId);
            }
        }
        m_pHistory->removeDone(listIds);
    }
    m_model.removeRuns(vecRows, [this](int nFirst, int nRun) {
        m_vecTasks.erase(m_vecTasks.begin() + nFirst, m_vecTasks.begin() + nFirst + nRun);
    });
}

void CDoneTaskList::clear()
{
    // A read under way holds rows cleared here.
    ++m_nRead;
    if (m_pHistory) {
        m_pHistory->clearDone();
    }
    m_model.removeAllRows([this] { m_vecTasks.clear(); });
}

QVector<int> CDoneTaskList::checkedRows() const
{
    QVector<int> vecRows;
    for (int nRow = 0; nRow < m_vecTasks.size(); ++nRow) {
        if (m_vecTasks.at(nRow).bChecked) {
            vecRows.append(nRow);
        }
    }
    return vecRows;
}
