#pragma once
// The command line of the vendor's tools: "--name VALUE" options, flags, and plain words, declared
// one line each. None of the tools links Qt, so QCommandLineParser is not an option here.

#include <functional>
#include <map>
#include <string>

namespace halvio::tools {

class OptionParser {
public:
    // usage: what --help and -h print to standard output before the process ends with exit code 0.
    explicit OptionParser(std::string usage);

    // "--name VALUE": the next word is the value as it is, even when it starts with "-".
    OptionParser& value(const std::string& name, std::function<void(const std::string&)> take);
    // The same, the value stored into target (the last one given wins); target outlives the parse.
    OptionParser& value(const std::string& name, std::string& target);
    // "--name" alone: sets target to true.
    OptionParser& flag(const std::string& name, bool& target);
    // Every word that does not start with "--"; without it such a word is an unknown option.
    OptionParser& words(std::function<void(const std::string&)> take);
    // Also accepts "--name=VALUE" for the value options.
    OptionParser& withEqualsForm();

    // Hands every option to its handler, in command line order. Throws std::invalid_argument naming
    // the unknown option or the option whose value is missing; a handler's own exception passes
    // through.
    void parse(int argc, const char* const* argv) const;

private:
    std::string m_usage;
    std::map<std::string, std::function<void(const std::string&)>> m_values;
    std::map<std::string, std::function<void()>> m_flags;
    std::function<void(const std::string&)> m_words;
    bool m_equalsForm = false;
};

// The usual end of a tool's bad command line: "TOOL: REASON", the usage, and exit code 2.
int usageError(const std::string& tool, const std::string& reason, const std::string& usage);

} // namespace halvio::tools
