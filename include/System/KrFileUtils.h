// File and folder operations by path: copy, move, create with parents, remove, existence.
#pragma once

#include "Core/KrExport.h"
#include "System/KrPath.h"

class TKrProgressHandler;

/// Copies the bytes and the modification time of a file. An existing target is replaced unless
/// `failIfExists`. False when the source is no file or the target cannot be written.
KRSTD_API bool KrCopyFile(const TKrPath& from, const TKrPath& to, bool failIfExists = false);
/// Renames a file or folder; across file systems a file is copied and its source deleted. An
/// existing target file is replaced unless `failIfExists`.
KRSTD_API bool KrMoveFileEx(const TKrPath& from, const TKrPath& to, bool failIfExists = false);
/// Creates the folder and every missing parent; true when the folder exists afterwards.
KRSTD_API bool KrForceDirectories(const TKrPath& folder);
/// Removes the folder; when `recursive`, everything in it first (one Tick of `progress` per
/// entry, which may be null). Without `recursive` only an empty folder goes.
KRSTD_API bool KrRemoveDirectoryEx(const TKrPath& folder, bool recursive,
                                   TKrProgressHandler* progress = nullptr);
/// Whether a file or folder exists (asks the disk each time, no cached metadata).
KRSTD_API bool KrFileDirExists(const TKrPath& path);
/// Whether a regular file (or a link to one) exists.
KRSTD_API bool KrFileExists(const TKrPath& path);
/// Whether a folder (or a link to one) exists.
KRSTD_API bool KrDirExists(const TKrPath& path);
