#pragma once
// The archive database "bbk.dat": opening it, the two query operations through
// which every other part talks to it, and quoting of text values.

#include "Dataset.h"

namespace tallowmere {

inline constexpr const char* kArchiveFileName = "bbk.dat";

// Opens the archive at path on pQ (never creating it) and runs the probe
// "select times,ifonlyhtm from config". The probe's success is the result.
bool openArchiveDatabase(Dataset& pQ, const QString& path);

// Closes the dataset, sets the statement and opens it. False on any error,
// dataset left closed. Never throws.
bool runQuery(Dataset& ds, const QString& sql);

// Closes the dataset, sets the statement, executes it and closes it again.
// False on any error. Never throws.
bool runStatement(Dataset& ds, const QString& sql);

// True when an item of this id is in the archive (false also when the
// archive cannot be read).
bool itemExists(Dataset& ds, const QString& id);

// A text value as an SQL string literal: 'it''s'.
QString quoted(const QString& text);

// Makes a new empty archive with the three tables, the unique id and the
// lookup indexes, file mode 0600. Throws EngineError when the file exists or
// cannot be made.
void createArchive(const QString& path);

} // namespace tallowmere
