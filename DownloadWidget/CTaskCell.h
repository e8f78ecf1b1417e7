#pragma once

#include <QStandardItem>

// A cell of the module's tables. What every cell of a kind has alike (the text alignment, the
// check box's flags and first state, the progress bar mark and its first value, the icons'
// alignment, the first speed factor) is answered rather than stored: a table of 100,000 rows
// would otherwise hold each of these a million times. A value set on the cell still wins. A
// size cell's tooltip gives the exact bytes.
class CTaskCell : public QStandardItem
{
public:
    enum Kind : quint8
    {
        Text,      // centred text
        Size,      // centred text of a size whose bytes are under Qt::UserRole
        Check,     // the row's check box, unchecked at first
        Progress,  // a progress bar
        Icons,     // clickable icons, centred
    };

    explicit CTaskCell(Kind eKind, const QString& strText = QString());

    QVariant data(int nRole = Qt::UserRole + 1) const override;
    QStandardItem* clone() const override;
    int type() const override;

    // One copy of a text that many rows show ("Waiting", "--", a tooltip): the rows share it.
    static QString shared(const QString& strText);

private:
    // What a screen reader says: a bar's percent, the names of the icons, for the check box the
    // row as a whole; else the text.
    QVariant accessibleText() const;

    Kind m_eKind;
};
