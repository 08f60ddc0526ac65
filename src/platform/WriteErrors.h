#pragma once

#include <QString>

// A failed write to Orvane's own files (the tree, the journal), in words for the user.
namespace WriteErrors {

// "the disk is full", "the folder … is not writable", or the system's own words.
QString describe(int error, const QString& folder);

}  // namespace WriteErrors
