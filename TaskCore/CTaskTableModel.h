#pragma once

#include <QAbstractTableModel>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

#include "CTaskIcons.h"
#include "CTaskTypes.h"

// What the module's three tables share: a header of titled sections of given widths with a
// check-all box in section 0, a check box in column 0 of every row, centred texts, and an
// Operate column of icons last. The rows belong to the list that owns the model; it tells the
// model what changed through the calls below, and the model turns them into Qt's signals.
class CTaskTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Where every table has the same cells; each table's own enum names them all.
    enum SharedColumn
    {
        ColumnCheck = 0,
        ColumnFileName = 1,
    };

    struct Section
    {
        QString strTitle;
        int nWidth;
    };

    CTaskTableModel(const QVector<Section>& vecSections, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    // Only the check boxes of column 0 can be set.
    bool setData(const QModelIndex& index, const QVariant& value, int nRole = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation,
                        int nRole = Qt::DisplayRole) const override;
    bool setHeaderData(int nSection, Qt::Orientation eOrientation, const QVariant& value,
                       int nRole = Qt::EditRole) override;

    // A Status cell's text: the state, a running task that decodes saying so.
    static QString statusText(CTaskTypes::State eState, bool bDecoding);

    // The skin whose images the icons show; a change repaints them.
    void setSkin(const QString& strSkin);
    int operateColumn() const { return m_vecSections.size() - 1; }

    // For the owner of the rows. Rows are appended at the bottom or inserted at the top.
    void beginAppend(int nCount);
    void beginInsertAtTop(int nCount);
    void endInsert();
    // Takes out the given rows (ascending): each run of neighbours in one removal, bottom first,
    // fnErase(nFirst, nCount) erasing it from the owner's rows.
    void removeRuns(const QVector<int>& vecRows, const std::function<void(int, int)>& fnErase);
    void removeAllRows(const std::function<void()>& fnErase);
    // Cells of the rows nFirstRow to nLastRow between two columns have new values.
    void changed(int nFirstRow, int nLastRow, int nFirstColumn, int nLastColumn);
    void changed(int nRow, int nColumn) { changed(nRow, nRow, nColumn, nColumn); }

protected:
    virtual int rows() const = 0;
    // What a cell answers besides the alignment, the check box and the row's summary for screen
    // readers, which every table answers alike.
    virtual QVariant cell(int nRow, int nColumn, int nRole) const = 0;
    virtual bool isChecked(int nRow) const = 0;
    virtual void setChecked(int nRow, bool bChecked) = 0;

    // The icons of the skin set last.
    const CTaskIcons::Set& icons() const { return *m_pIcons; }
    // The cells every downloading table has alike: the bar of a task in eState, its speed with
    // the time left as a tooltip, its state as text and icon.
    static QVariant progressCell(CTaskTypes::State eState, qint64 nPercent, int nRole);
    static QVariant speedCell(const QString& strSpeed, const QString& strTimeLeft, int nRole);
    QVariant statusCell(CTaskTypes::State eState, bool bDecoding, bool bRefused, int nRole) const;
    // The delete icon (slot 0) and, with bRetry, the icon that starts the task again (slot 1).
    QVariant removeOrRetryIcon(bool bRetry, const char* szRetryTip, int nRole) const;
    // An end time cell: the time alone on the begin's day, the whole time as tooltip and spoken.
    static QVariant endTimeCell(const QString& strBegin, const QString& strEnd, int nRole);
    // A size cell's tooltip: the exact bytes, when there are any.
    static QVariant bytesTip(qint64 nBytes);
    // A progress cell's text for screen readers.
    static QVariant percentText(qint64 nPercent);

private:
    // The icons of an Operate cell for screen readers, by their tooltips.
    QVariant iconNames(int nRow) const;
    // What a screen reader says at the first cell: the texts of the others, but the icons.
    QString rowSummary(int nRow) const;

    QVector<QMap<int, QVariant>> m_vecSections;
    QString m_strSkin;
    const CTaskIcons::Set* m_pIcons;
    int m_nInsertAt = -1;
};
