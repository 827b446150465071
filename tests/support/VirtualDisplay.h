// An X server of a test's own (Xvfb on a free display number, stopped at the end), and where the
// programs the X tests drive are installed.
#pragma once

#include <sys/types.h>

#include <string>

namespace vorpalix::testing {

// The full path of an installed program (/usr/bin, /usr/local/bin, /bin), or "".
std::string findProgram(const char* name);

class VirtualDisplay {
public:
    // Starts Xvfb with one screen of the given size (24 bits deep); name() is empty when it did
    // not come up.
    explicit VirtualDisplay(const std::string& xvfb, const std::string& screen = "320x240x24");
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", or "" when the server did not start.
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

} // namespace vorpalix::testing
