#pragma once

#include <QString>

#include <functional>

namespace ncl {

// The one rule for names of files written on behalf of someone else (a web page's job, a
// device's channel name): a plain name that no file system or desktop takes for something else
// and that shows as what it is.
class NFileName
{
public:
    // The usual limit of one file name, in UTF-8 bytes.
    static constexpr int kMaxBytes = 255;

    // strName as it is written: in NFC, cut to nMaxBytes of UTF-8 at a character boundary,
    // keeping a short extension.
    static QString normalized(const QString& strName, int nMaxBytes = kMaxBytes);

    // Why strName may not be written as it is (empty when it may): not a plain name, a leading
    // dot, one of : * ? " < > |, a trailing dot or blank, a reserved device name (CON, PRN, AUX,
    // NUL, COM1-9, LPT1-9, any case, with or without extension), a control character, or a bidi
    // control or other invisible format character.
    static QString refusal(const QString& strName);

    // strName turned into a name the rule takes: separators and refused characters become '_',
    // invisible ones go, runs of dots shrink to one, leading dots and surrounding blanks go, a
    // reserved device name gets a leading '_'; then normalized. strFallback when nothing is left.
    static QString sanitize(const QString& strName, const QString& strFallback, int nMaxBytes = kMaxBytes);

    // Highest n of a numbered name "base(n).ext".
    static constexpr int kMaxNumber = 9999;

    // A name for a new file strName (one plain name) in strFolder: strName itself when free, else
    // "base(n).ext" with the lowest free n from nFirst on (the extension starts at the last dot;
    // a leading dot starts none). Free means nothing is at the path, not even a link to nowhere
    // (writing through it would create a file elsewhere), and fnTaken, given the clean absolute
    // path, does not claim it. Empty when strName is not one plain name or nothing is free.
    static QString freeName(const QString& strFolder, const QString& strName,
                            const std::function<bool(const QString& strPath)>& fnTaken, int nFirst = 1);
};

}  // namespace ncl
