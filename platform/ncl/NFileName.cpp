#include <ncl/NFileName.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace ncl {

namespace {

constexpr int kMaxExtensionChars = 16;

bool isRefusedCharacter(QChar c)
{
    static const QString strRefused = QStringLiteral("/\\:*?\"<>|");
    return strRefused.contains(c);
}

bool isInvisible(QChar c)
{
    // Format characters include the bidi controls (U+202A-U+202E, U+2066-U+2069) and the
    // zero-width ones, which make a name show as another.
    return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
           c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// Windows keeps these names for devices, whatever follows the first dot.
bool isReservedDeviceName(const QString& strName)
{
    static const QRegularExpression reReserved(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return reReserved.match(strName).hasMatch();
}

// Some systems drop trailing dots and blanks themselves, so two names could meet.
QString withoutTrailingDots(QString strName)
{
    while (strName.endsWith(QLatin1Char('.')) || (!strName.isEmpty() && strName.back().isSpace())) {
        strName.chop(1);
    }
    return strName;
}

}  // namespace

QString NFileName::normalized(const QString& strName, int nMaxBytes)
{
    const QString strNfc = strName.normalized(QString::NormalizationForm_C);
    if (strNfc.toUtf8().size() <= nMaxBytes) {
        return strNfc;
    }
    const int nDot = strNfc.lastIndexOf(QLatin1Char('.'));
    const QString strExtension =
        nDot > 0 && strNfc.size() - nDot <= kMaxExtensionChars ? strNfc.mid(nDot) : QString();
    QString strBase = strNfc.left(strNfc.size() - strExtension.size());
    const int nBudget = nMaxBytes - strExtension.toUtf8().size();
    while (!strBase.isEmpty() && strBase.toUtf8().size() > nBudget) {
        strBase.chop(strBase.at(strBase.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return strBase + strExtension;
}

QString NFileName::refusal(const QString& strName)
{
    if (strName.isEmpty()) {
        return QStringLiteral("empty name");
    }
    for (const QChar c : strName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\')) {
            return QStringLiteral("not a plain name");
        }
        if (isRefusedCharacter(c)) {
            return QStringLiteral("refused character");
        }
        if (isInvisible(c)) {
            return QStringLiteral("control or invisible character");
        }
    }
    if (strName.startsWith(QLatin1Char('.'))) {
        return QStringLiteral("leading dot");
    }
    if (strName.endsWith(QLatin1Char('.')) || strName.at(strName.size() - 1).isSpace()) {
        return QStringLiteral("trailing dot or blank");
    }
    if (isReservedDeviceName(strName)) {
        return QStringLiteral("reserved device name");
    }
    return QString();
}

QString NFileName::sanitize(const QString& strName, const QString& strFallback, int nMaxBytes)
{
    QString strSafe;
    strSafe.reserve(strName.size());
    for (const QChar c : strName) {
        if (!isInvisible(c)) {
            strSafe.append(isRefusedCharacter(c) ? QLatin1Char('_') : c);
        }
    }
    static const QRegularExpression reDots(QStringLiteral("\\.{2,}"));
    strSafe.replace(reDots, QStringLiteral("."));
    strSafe = strSafe.trimmed();
    while (strSafe.startsWith(QLatin1Char('.'))) {
        strSafe.remove(0, 1);
    }
    strSafe = withoutTrailingDots(strSafe);
    if (isReservedDeviceName(strSafe)) {
        strSafe.prepend(QLatin1Char('_'));
    }
    // Cutting a long name can end it on a dot again.
    strSafe = withoutTrailingDots(normalized(strSafe, nMaxBytes));
    return strSafe.isEmpty() ? strFallback : strSafe;
}

QString NFileName::freeName(const QString& strFolder, const QString& strName,
                            const std::function<bool(const QString&)>& fnTaken, int nFirst)
{
    // Only a single name is placed; anything else would reach into other folders.
    if (strName.isEmpty() || strName.contains(QLatin1Char('/')) || strName.contains(QLatin1Char('\\')) ||
        strName == QLatin1String(".") || strName == QLatin1String("..")) {
        return QString();
    }
    const QDir folder(strFolder);
    const auto isFree = [&](const QString& strCandidate) {
        const QString strPath = QDir::cleanPath(folder.absoluteFilePath(strCandidate));
        const QFileInfo info(strPath);
        return !info.exists() && !info.isSymLink() && !(fnTaken && fnTaken(strPath));
    };
    if (isFree(strName)) {
        return strName;
    }
    const int nDot = strName.lastIndexOf(QLatin1Char('.'));
    const int nSplit = nDot > 0 ? nDot : strName.size();
    for (int nNumber = qMax(1, nFirst); nNumber <= kMaxNumber; ++nNumber) {
        const QString strCandidate =
            strName.left(nSplit) + QStringLiteral("(%1)").arg(nNumber) + strName.mid(nSplit);
        if (isFree(strCandidate)) {
            return strCandidate;
        }
    }
    return QString();
}

}  // namespace ncl
