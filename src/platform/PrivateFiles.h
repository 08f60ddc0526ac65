#pragma once

#include <QString>

// The folders and files that list the user's tagged paths (the journal, the index's store, the
// files tagged elsewhere) are the user's alone: folders 0700, files 0600.
namespace PrivateFiles {

// Makes the folder and any missing parents 0700; an existing folder of Orvane's own (the last
// component) is narrowed to 0700 too. False when it is not there afterwards.
bool makeFolder(const QString& path);

// Narrows an existing file to 0600; nothing when it is absent.
void restrict(const QString& path);

}  // namespace PrivateFiles
