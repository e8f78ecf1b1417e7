#pragma once

#include <QModelIndex>
#include <QTreeView>

#include "OrbItemDataRole.h"

namespace ORBGUI {

// The kit's item view base: tracks which icon slot of which cell is under the mouse or
// pressed, and reports clicks on icon slots.
class OrbBaseView : public QTreeView
{
    Q_OBJECT

public:
    // Mouse state of one icon slot, the key of the image to show.
    enum PixmapState
    {
        PixmapNormal = 0,
        PixmapHovered = 1,
        PixmapPressed = 2,
    };

    explicit OrbBaseView(QWidget* parent = nullptr);
    ~OrbBaseView() override;

    PixmapState pixmapState(const QModelIndex& index, int nRole) const;
    // The icon slot role at a viewport position, or 0 when no icon is there.
    int pixmapRoleAt(const QPoint& pos, QModelIndex* pIndex = nullptr) const;
    // The style option the view paints index with.
    QStyleOptionViewItem viewItemOption(const QModelIndex& index) const;

signals:
    void SignalPixmapClicked(const QModelIndex& index, ORBGUI::struTreeViewData::OrbItemDataRole eRole);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void setHovered(const QPersistentModelIndex& index, int nRole);

    QPersistentModelIndex m_hoverIndex;
    int m_nHoverRole = 0;
    QPersistentModelIndex m_pressIndex;
    int m_nPressRole = 0;
};

}  // namespace ORBGUI
