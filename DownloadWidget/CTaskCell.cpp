#include "CTaskCell.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSet>
#include <QStringList>

#include <orbgui/OrbItemDataRole.h>

#include "CDownloadCenterTableDelegate.h"
#include "CSkinStyle.h"

namespace {

// QStandardItem keeps its flags under this role.
constexpr int kFlagsRole = Qt::UserRole - 1;
// A bound on the shared texts, in case a caller hands in texts that differ per row.
constexpr int kMaxSharedTexts = 256;

}  // namespace

CTaskCell::CTaskCell(Kind eKind, const QString& strText) : m_eKind(eKind)
{
    // An empty text is not stored: it reads the same as none.
    if (!strText.isEmpty()) {
        setText(strText);
    }
}

QVariant CTaskCell::data(int nRole) const
{
    const QVariant varStored = QStandardItem::data(nRole);
    if (varStored.isValid()) {
        return varStored;
    }
    switch (nRole) {
        case Qt::ToolTipRole: {
            const qint64 nBytes = QStandardItem::data(Qt::UserRole).toLongLong();
            return m_eKind == Size && nBytes > 0
                       ? QVariant(QCoreApplication::translate("CTaskCell", "%1 bytes")
                                      .arg(QLocale().toString(nBytes)))
                       : QVariant();
        }
        case Qt::AccessibleTextRole:
            return accessibleText();
        case Qt::TextAlignmentRole:
            return m_eKind == Icons ? QVariant() : QVariant(CSkinStyle::kAlignCenter);
        case Qt::CheckStateRole:
            return m_eKind == Check ? QVariant(Qt::Unchecked) : QVariant();
        case kFlagsRole:
            return m_eKind == Check
                       ? QVariant(static_cast<int>(Qt::ItemIsSelectable | Qt::ItemIsEnabled |
                                                   Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                                                   Qt::ItemIsDropEnabled | Qt::ItemIsUserCheckable))
                       : QVariant();
        case CDownloadCenterTableDelegate::ProgressBarRole:
            return m_eKind == Progress ? QVariant(true) : QVariant();
        case CDownloadCenterTableDelegate::ProgressValueRole:
            return m_eKind == Progress ? QVariant(0) : QVariant();
        case Qt::UserRole:
            // An Operate cell that has offered a speed change is at 1x until told otherwise.
            return m_eKind == Icons &&
                           QStandardItem::data(ORBGUI::struTreeViewData::PixmapToolTipRole2).isValid()
                       ? QVariant(1)
                       : QVariant();
        case ORBGUI::struTreeViewData::PixmapAlignmentRole:
            return m_eKind == Icons ? QVariant(CSkinStyle::kAlignCenter) : QVariant();
        default:
            return QVariant();
    }
}

QVariant CTaskCell::accessibleText() const
{
    using Role = ORBGUI::struTreeViewData;
    if (m_eKind == Progress) {
        return QCoreApplication::translate("CTaskCell", "%1 percent")
            .arg(data(CDownloadCenterTableDelegate::ProgressValueRole).toInt());
    }
    if (m_eKind == Check && model()) {
        // The whole row at the first cell a screen reader meets: what the other cells say,
        // but the icons.
        QStringList listTexts;
        for (int nColumn = column() + 1; nColumn < model()->columnCount(); ++nColumn) {
            const QStandardItem* pCell = model()->item(row(), nColumn);
            const bool bIcons =
                pCell && pCell->type() == type() && static_cast<const CTaskCell*>(pCell)->m_eKind == Icons;
            const QString strText =
                pCell && !bIcons ? pCell->data(Qt::AccessibleTextRole).toString() : QString();
            listTexts << (strText.isEmpty() && pCell && !bIcons ? pCell->text() : strText);
        }
        listTexts.removeAll(QString());
        return listTexts.join(QStringLiteral(", "));
    }
    if (m_eKind != Icons) {
        return QVariant();
    }
    // The icons by their tooltips, the speed icon with its factor: "delete, Speed-download 2x".
    QStringList listNames;
    for (int nSlot = 0; nSlot < Role::kPixmapSlotCount; ++nSlot) {
        if (QStandardItem::data(Role::PixmapRole0 + nSlot).isValid()) {
            const QString strName = data(Role::PixmapToolTipRole0 + nSlot).toString();
            listNames << (nSlot == 2 ? QStringLiteral("%1 %2x").arg(strName).arg(data(Qt::UserRole).toInt())
                                     : strName);
        }
    }
    return listNames.join(QStringLiteral(", "));
}

QStandardItem* CTaskCell::clone() const
{
    return new CTaskCell(*this);
}

int CTaskCell::type() const
{
    return QStandardItem::UserType + 1;
}

QString CTaskCell::shared(const QString& strText)
{
    static QSet<QString> s_setTexts;
    const auto it = s_setTexts.constFind(strText);
    if (it != s_setTexts.constEnd()) {
        return *it;
    }
    if (s_setTexts.size() < kMaxSharedTexts) {
        s_setTexts.insert(strText);
    }
    return strText;
}
