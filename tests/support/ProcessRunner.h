#pragma once

#include <string>
#include <vector>

namespace vorpalix::testing {

struct ProcessResult {
    int exitCode = -1; // exit status, or -1 when the process was killed by a signal
    int signal = 0;    // the terminating signal, 0 if it exited
    std::string out;   // everything written to standard output
    std::string err;   // everything written to standard error
};

// Runs `program` with `args` (without argv[0]) and collects its output. Standard input is
// /dev/null. The working folder is `folder` when given.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& folder = {});

// Number of lines in a text ("a\nb\n" has 2; a last line without newline counts too).
int lineCount(const std::string& text);

} // namespace vorpalix::testing
