#pragma once
// Compaction of the archive at exit, and the recovery at start-up of a
// compaction that was interrupted.
//
// The sequence of names: "bbk.dat" is renamed to "Demo.mdb", a compact copy is
// written to "temp.mdb", which is renamed to "bbk.dat", then "Demo.mdb" is
// removed. On any failure the old file gets its name back.

#include <QString>

namespace tallowmere {

inline constexpr const char* kCompactSource = "Demo.mdb";
inline constexpr const char* kCompactTarget = "temp.mdb";

enum class CompactionStep {
    // Points between the steps, for tests that stop the sequence there.
    AfterRenameToSource,
    AfterCopyWritten,
    AfterRenameToArchive,
};

// Compacts folder + "bbk.dat" (folder ends with "/"). No connection to the
// file may be open. Returns true when the compact copy took the archive's
// place; false leaves the old archive under its name.
bool compactArchive(const QString& folder);

// For tests: ends the process (as a crash would) when the sequence reaches step.
void setCompactionCrashPoint(CompactionStep step);

// Puts back an archive that an interrupted compaction left under another name:
// no "bbk.dat" but a "Demo.mdb" (the old file, always whole) or else a
// "temp.mdb" that opens as a complete archive. Returns true when it renamed one.
bool recoverInterruptedCompaction(const QString& folder);

} // namespace tallowmere

namespace tallowmere {

class Dataset;

// The clean-up at exit: items whose parent row is gone (one generation per
// run; top-level items never), then companion files whose item is gone.
void cleanUpOrphans(Dataset& pQ);

} // namespace tallowmere
