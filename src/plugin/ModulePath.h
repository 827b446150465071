#pragma once

#include <string>

namespace vorpalix {

// Any thread. Folder of the module (shared object) that contains this code, with a trailing '/', or
// an empty text when the dynamic loader cannot tell.
std::string moduleDirectory();

} // namespace vorpalix
