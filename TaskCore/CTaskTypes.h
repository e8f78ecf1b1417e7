#pragma once

#include <Qt>

// What the task core's lists and models share: the state of an unfinished task and the roles the
// tables answer beyond Qt's and the GUI kit's. The numbers are part of the tables' contract with
// the delegate and with anyone reading the models: never renumber them.
struct CTaskTypes
{
    enum State
    {
        Waiting = 0,
        Downloading = 1,  // downloading or decoding
        Failed = 2,
    };

    enum Role
    {
        // The stored row of a task, on its check cell (0: not stored).
        StoredIdRole = Qt::UserRole + 16,
        // Any valid value marks a progress cell; its Qt::UserRole holds the state (2 = failed).
        ProgressBarRole = Qt::UserRole + 501,    // 757
                                                 // Whole percent of a progress cell, 0 to 100.
        ProgressValueRole = Qt::UserRole + 502,  // 758
                                                 // Where a row's file goes, on its file name cell.
        FilePathRole = Qt::UserRole + 503,
        // True where the cell's icon stands for its text: a column too narrow for the text shows
        // the icon alone, the text in its tooltip, rather than a cut text.
        IconForTextRole = Qt::UserRole + 504,
    };

    static constexpr int kAlignCenter = Qt::AlignHCenter | Qt::AlignVCenter;
    static constexpr int kAlignLeft = Qt::AlignLeft | Qt::AlignVCenter;
};
