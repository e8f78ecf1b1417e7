#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QEvent;
class QHeaderView;
class QPoint;

namespace ORBGUI {
class OrbTableView;
}

// A list's columns as the user leaves them: widths, order and hidden columns, kept in the client's
// settings under the list's own key and taken up again at the next start. The header's context
// menu shows and hides columns; those in listFixed (check box, file name, icons) always show.
class CColumnState : public QObject
{
    Q_OBJECT

public:
    CColumnState(ORBGUI::OrbTableView* pView, const QString& strKey, const QList<int>& listFixed);

protected:
    // A resize by dragging or a double-click on an edge is kept when the button comes up: once,
    // not at every step of the drag.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void save();
    void showMenu(const QPoint& pos);

    QPointer<QHeaderView> m_pHeader;
    QString m_strKey;
    QList<int> m_listFixed;
    // A width changed since the last write.
    bool m_bResized = false;
};
