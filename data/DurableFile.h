#pragma once

// Files that take another file's place whole: written under a partial name beside it, with the
// permissions they end with from their first byte, synced, then renamed, so a killed process
// leaves the old file or the new one and never a mix.

#include <QString>

namespace DurableFile {

// The name a file is written under before it is complete; it names this process, so a later
// run tells a leftover of a killed one from a copy still being written.
QString partialPath(const QString& finalPath);
// Removes the partial files in folder whose process is gone, with their journals.
void removeLeftovers(const QString& folder);

// The permission bits (rwx of owner, group, others) of path; fallback when it is missing.
unsigned permissionsOf(const QString& path, unsigned fallback = 0644);
// Creates path, which must not exist yet, empty and with exactly these permission bits.
// Throws AppError.
void createEmpty(const QString& path, unsigned permissions);
// Makes a folder (and those above it) that gives group and others no more than limit does; an
// existing one is narrowed to it. Throws AppError.
void makeFolder(const QString& path, unsigned limit);
// Syncs path's bytes, renames it to finalPath (replacing what is there) and syncs the folder so
// the new name survives a power cut. Throws AppError.
void commit(const QString& path, const QString& finalPath);

} // namespace DurableFile
