#pragma once
// Renaming a listed file to what the user typed in the rename dialog: the
// old extension kept when none is typed, and never onto another file.

#include <string>

namespace kal {

// Renames `path`; on success `newPath` is the file's new full path. On
// failure the file is untouched and `error` is the text for the dialog.
bool RenameListedFile(const std::string& path, const std::string& typed, std::string& newPath,
                      std::string& error);

}  // namespace kal
