#pragma once

#include <string>

namespace vorpalix {

// Folder of the module (shared object) that contains this code, with a trailing '/', or an empty
// text when the dynamic loader cannot tell.
std::string moduleDirectory();

// Joins a folder as returned above and a file name with exactly one '/'.
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace vorpalix
