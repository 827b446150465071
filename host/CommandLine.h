#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorpalix::host {

// A table-driven command-line parser. Each option is one entry with its help text and a handler;
// adding an option to a tool means adding one entry. Long options take their value as the next
// argument or after '=' ("--rate 48000", "--rate=48000").
class CommandLine {
public:
    enum class Arity {
        None,     // a switch
        Required, // always takes a value
        Optional, // takes the next argument when it does not start with '-'
    };

    // Handler of one option; returns false with a one-line message in `error` to stop parsing.
    using Handler = std::function<bool(std::string_view value, std::string& error)>;

    struct Option {
        std::string name;      // long form with dashes: "--seconds"
        std::string shortName; // short form or empty: "-o"
        Arity arity = Arity::None;
        std::string valueName; // shown in the help: "S"
        std::string help;      // '\n' breaks it into aligned lines
        Handler apply;
    };

    void add(Option option);

    // Runs the handlers in argument order. Returns false with a one-line message on an unknown
    // option, a missing value, a value given to a switch, a stray argument or a handler error.
    bool parse(std::span<const std::string> args, std::string& error) const;

    // The option list, one option per line, aligned.
    std::string help() const;

private:
    const Option* find(std::string_view name) const;

    std::vector<Option> options_;
};

// A handler that stores a non-empty value in `target` and refuses an empty one with `ifEmpty`
// ("--state needs a file").
CommandLine::Handler storeText(std::string& target, std::string ifEmpty);

} // namespace vorpalix::host
