#include "CommandLine.h"

#include <algorithm>

namespace vorpalix::host {

void CommandLine::add(Option option) {
    options_.push_back(std::move(option));
}

const CommandLine::Option* CommandLine::find(std::string_view name) const {
    for (const auto& option : options_)
        if (option.name == name || (!option.shortName.empty() && option.shortName == name))
            return &option;
    return nullptr;
}

bool CommandLine::parse(std::span<const std::string> args, std::string& error) const {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
        std::string_view name = arg;
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (arg.starts_with("--")) {
            const auto equals = name.find('=');
            if (equals != std::string_view::npos) {
                inlineValue = name.substr(equals + 1);
                name = name.substr(0, equals);
                hasInlineValue = true;
            }
        }
        const Option* option = find(name);
        if (option == nullptr) {
            error = "unknown option \"" + std::string(name) + "\" (see --help)";
            return false;
        }
        std::string_view value;
        switch (option->arity) {
        case Arity::None:
            if (hasInlineValue) {
                error = "option " + option->name + " takes no value";
                return false;
            }
            break;
        case Arity::Required:
            if (hasInlineValue) {
                value = inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = "option " + option->name + " needs a value " + option->valueName;
                return false;
            }
            break;
        case Arity::Optional:
            if (hasInlineValue)
                value = inlineValue;
            else if (i + 1 < args.size() && !args[i + 1].starts_with("-"))
                value = args[++i];
            break;
        }
        if (option->apply && !option->apply(value, error))
            return false;
    }
    return true;
}

std::string CommandLine::help() const {
    std::vector<std::string> heads;
    std::size_t width = 0;
    for (const auto& option : options_) {
        std::string head = option.shortName.empty() ? "    " : option.shortName + ", ";
        head += option.name;
        if (option.arity == Arity::Required)
            head += " " + option.valueName;
        else if (option.arity == Arity::Optional)
            head += " [" + option.valueName + "]";
        width = std::max(width, head.size());
        heads.push_back(std::move(head));
    }
    std::string text;
    for (std::size_t i = 0; i < options_.size(); ++i) {
        text += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ');
        // Continuation lines of a help text start under its first line.
        for (const char c : options_[i].help) {
            text += c;
            if (c == '\n')
                text += std::string(width + 4, ' ');
        }
        text += "\n";
    }
    return text;
}

CommandLine::Handler storeText(std::string& target, std::string ifEmpty) {
    return [&target, ifEmpty = std::move(ifEmpty)](std::string_view value, std::string& error) {
        if (value.empty()) {
            error = ifEmpty;
            return false;
        }
        target = value;
        return true;
    };
}

} // namespace vorpalix::host
