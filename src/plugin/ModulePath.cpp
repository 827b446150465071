#include "plugin/ModulePath.h"

#include <dlfcn.h>

namespace vorpalix {

std::string moduleDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&moduleDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash + 1);
}

} // namespace vorpalix
