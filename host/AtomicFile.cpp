#include "AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vorpalix::host {

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                   std::uintmax_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > limit)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string& error) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ".vorpalix-XXXXXX").string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::generic_category().message(errno);
        return false;
    }
    bool ok = fchmod(fd, 0644) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
    }
    return ok;
}

} // namespace vorpalix::host
