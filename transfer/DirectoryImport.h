#pragma once
// Directory import: every page, web archive and text file of a directory, with
// or without its sub-directories, as items below the directory's own item.

#include <QString>

namespace tallowmere {

struct MainState;

// Fills the selected node (the directory's own item, already added, stored and
// selected) with the directory at the capture source: with
// state.includeSubdirs every walkable sub-directory becomes a folder item with
// its content beneath it, without it only the directory's own files are taken.
// Only names ending exactly in ".htm", ".html", ".mht" or ".txt" are imported;
// a page's companion folder is stored with the page. When the supported files
// total more than 10485760 bytes the user is asked first. Hidden names (a
// leading ".") are left out of the flat walk; symbolic links are never
// followed, and a hidden or read-only sub-directory is not walked. An
// unreadable text file ends the import with a message naming it; the items
// made up to then stay. The work is committed in batches, each item with its
// content in one transaction, so an interrupted import leaves whole items only.
// The directory is walked and its files read ahead on a thread of their own,
// while this thread stores the items and makes their nodes.
void directoryImport(MainState& state);

// What the import with sub-directories takes in: the supported files of the
// directory and of every sub-directory the walk enters, hidden files included
// (companion folders not counted, as they are not counted without
// sub-directories either).
qint64 estimateWithSubdirs(const QString& directory);

// What the import without sub-directories takes in: the supported files
// directly in the directory, hidden files left out.
qint64 estimateWithoutSubdirs(const QString& directory);

// The question asked before a large import.
QString largeImportQuestion(qint64 total);

} // namespace tallowmere
