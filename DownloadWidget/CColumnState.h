#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QEvent;
class QHeaderView;
class QPoint;

namespace ORBGUI {
class OrbTableView;
}

// A list's columns as the user leaves them: widths, order and hidden columns, kept in the client's
// settings under the list's own key and taken up again at the next start. The header's context
// menu shows and hides columns; those in listFixed (check box, file name, icons) always show.
// Until the user has a say, the columns of hashFits are as wide as their widest typical text in
// the list's font, whatever the language and the skin.
class CColumnState : public QObject
{
    Q_OBJECT

public:
    struct Fit
    {
        // The widest texts the column shows in practice, in the user's language.
        QStringList listTexts;
        // Room the cell gives to something beside the text (an icon), in pixels.
        int nBeside = 0;
    };

    CColumnState(ORBGUI::OrbTableView* pView, const QString& strKey, const QList<int>& listFixed,
                 const QHash<int, Fit>& hashFits = {});

protected:
    // A resize by dragging or a double-click on an edge is kept when the button comes up: once,
    // not at every step of the drag.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // The model's default widths from hashFits, in the view's font as it is now.
    void fit();
    void save();
    void showMenu(const QPoint& pos);

    QPointer<QHeaderView> m_pHeader;
    QHash<int, Fit> m_hashFits;
    // The user's columns were taken up, or the user has changed them since: no more fitting.
    bool m_bUsersOwn = false;
    QString m_strKey;
    QList<int> m_listFixed;
    // A width changed since the last write.
    bool m_bResized = false;
};
