#pragma once

#include <QObject>
#include <QPointer>
#include <QVector>
#include <QtGlobal>

#include <downloadengine/DownloadInfo.h>

#include "CDoneTableModel.h"
#include "CDoneTaskValue.h"

// The finished downloads, newest first: the one place their rows live. Every change goes
// through here, is told to the model as it happens and, with a history attached, is kept across
// restarts. Removing a row never touches its file.
class CDoneTaskList : public QObject
{
    Q_OBJECT

public:
    explicit CDoneTaskList(QObject* parent = nullptr);

    CDoneTableModel* model() { return &m_model; }
    int count() const { return m_vecTasks.size(); }

    // Keeps every change from now on, and shows the stored rows below those there, newest first,
    // once they are read (later, off this thread): sgnRestored tells when, with or without rows.
    void attachHistory(CDownloadHistory* pHistory);
    // A download that has just finished, at the top; the time it took is counted from its start.
    void addRecord(const DownloadInfo& record);
    void addPicture(const DownloadPicInfo& picture);
    // Takes out the given rows, in any order; a row that is not there is ignored.
    void removeRows(QVector<int> vecRows);
    void clear();
    // The ticked rows, top to bottom.
    QVector<int> checkedRows() const;

signals:
    void sgnRestored();

private:
    void appendStored(const QVector<CDownloadHistory::Entry>& vecEntries, int nRead);
    void addAtTop(CDownloadHistory::Entry entry, qint64 nStartTime);

    QVector<CDoneTaskValue> m_vecTasks;
    // After the rows: it is destroyed first, while they are still there.
    CDoneTableModel m_model;
    QPointer<CDownloadHistory> m_pHistory;
    // Counts reads asked for and clears: a read that a clear overtook shows nothing.
    int m_nRead = 0;
};
