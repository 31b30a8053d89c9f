#include "OptionParser.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <utility>

namespace halvio::tools {

namespace {
// The exit code of a command line the tool cannot take, distinct from 1 (the work itself failed).
constexpr int kUsageExitCode = 2;
} // namespace

OptionParser::OptionParser(std::string usage) : m_usage(std::move(usage)) {}

OptionParser& OptionParser::value(const std::string& name, std::function<void(const std::string&)> take) {
    m_values[name] = std::move(take);
    return *this;
}

OptionParser& OptionParser::value(const std::string& name, std::string& target) {
    return value(name, [&target](const std::string& given) { target = given; });
}

OptionParser& OptionParser::flag(const std::string& name, bool& target) {
    m_flags[name] = [&target] { target = true; };
    return *this;
}

OptionParser& OptionParser::words(std::function<void(const std::string&)> take) {
    m_words = std::move(take);
    return *this;
}

OptionParser& OptionParser::withEqualsForm() {
    m_equalsForm = true;
    return *this;
}

void OptionParser::parse(int argc, const char* const* argv) const {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << m_usage;
            std::exit(0);
        }
        if (const auto flag = m_flags.find(option); flag != m_flags.end()) {
            flag->second();
            continue;
        }
        if (m_words && option.rfind("--", 0) != 0) {
            m_words(option);
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t equals = option.find('='); m_equalsForm && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            hasValue = true;
        }
        const auto known = m_values.find(option);
        if (known == m_values.end())
            throw std::invalid_argument("unknown option: " + option);
        if (!hasValue) {
            if (i + 1 >= argc)
                throw std::invalid_argument("missing value for " + option);
            value = argv[++i];
        }
        known->second(value);
    }
}

int usageError(const std::string& tool, const std::string& reason, const std::string& usage) {
    std::cerr << tool << ": " << reason << "\n" << usage;
    return kUsageExitCode;
}

} // namespace halvio::tools
