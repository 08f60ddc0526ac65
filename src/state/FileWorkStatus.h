#pragma once

#include "services/FileWork.h"

#include <QString>
#include <QStringList>

// The words of the status line for file work: its progress, what it changed and why files could
// not be changed.
namespace FileWorkStatus {

// The words for one kind of file work.
struct Verb {
    const char* progress;  // "… %1 of %2 files…"
    const char* done;      // "… %1 files"
};

inline constexpr Verb kRenaming{"Renaming tag on %1 of %2 files\u2026", "Renamed tag on %1"};
inline constexpr Verb kTagging{"Tagging %1 of %2 files\u2026", "Tagged %1"};
inline constexpr Verb kUntagging{"Removing tags from %1 of %2 files\u2026", "Removed tags from %1"};
inline constexpr Verb kNesting{"Updating nested tags on %1 of %2 files\u2026",
                               "Updated nested tags on %1"};
inline constexpr Verb kUndoing{"Restoring %1 of %2 files\u2026", "Restored %1"};
inline constexpr Verb kImporting{"Importing tags onto %1 of %2 files\u2026",
                                 "Imported tags onto %1"};
inline constexpr Verb kKeeping{"Keeping tags on %1 of %2 files\u2026", "Kept tags on %1"};
inline constexpr Verb kFinishing{"Finishing an interrupted change on %1 of %2 files\u2026",
                                 "Finished an interrupted change on %1"};

// A count as the status line writes it: "1,234".
QString number(qsizetype n);
// "1 File", "3 Files": the Edit menu's words for a drop or lift.
QString fileCountLabel(qsizetype n);
QString progress(const Verb& verb, qsizetype done, qsizetype total);
// What the work changed, then what it left and why, one clause each.
QString summary(const Verb& verb, const FileWork::Summary& summary);
// True when the summary has news worse than what was changed.
bool hasTrouble(const FileWork::Summary& summary);
// The short line of a drop or lift that went well: "Tagged 3 files with A, B".
QString dropSummary(const TagEdit& edit, const FileWork::Summary& summary);

}  // namespace FileWorkStatus
