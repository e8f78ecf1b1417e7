#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Task names come from outside (device channel names, caller input) and become file names in
// the download folder: they are made safe (ncl::NFileName::sanitize, with kMaxNameBytes) before
// they touch the disk, and placed under a free name.
class CSafeFileName
{
public:
    // Longest name kept, in UTF-8 bytes: room is left for "(n)" and the engine's own suffixes
    // within the usual 255-byte limit of a file name.
    static constexpr int kMaxNameBytes = 200;

    // A free name for a new file in strFolder (ncl::NFileName::freeName) that is not in setTaken
    // (absolute paths of files that other tasks are about to write) and none of whose forms with
    // listSuffixes appended exist there.
    static QString freeName(const QString& strFolder, const QString& strName, const QSet<QString>& setTaken,
                            const QStringList& listSuffixes);

    // True when strPath is inside strFolder (never the folder itself), after cleaning both.
    static bool isInside(const QString& strFolder, const QString& strPath);
};
