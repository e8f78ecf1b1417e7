#pragma once

#include "CDownloadHistory.h"

// A row of the "Done" list: the finished download as it is stored (its kind, the record or the
// picture package, the seconds it took, the id of its stored copy, 0 when it has none) and the
// row's check box, which lives only as long as the row is shown.
struct CDoneTaskValue
{
    CDownloadHistory::Entry entry;
    bool bChecked = false;

    bool isPicture() const { return entry.eKind == CDownloadHistory::Picture; }
};
