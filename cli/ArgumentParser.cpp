#include "ArgumentParser.h"

namespace lurkel::cli {

ArgumentParser &ArgumentParser::flag(const std::string &name)
{
    m_flags.insert(name);
    return *this;
}

ArgumentParser &ArgumentParser::option(const std::string &name)
{
    m_options.insert(name);
    return *this;
}

std::optional<std::string> ArgumentParser::value(const std::string &optionName) const
{
    auto it = m_values.find(optionName);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

bool ArgumentParser::parse(const std::vector<std::string> &args)
{
    m_setFlags.clear();
    m_values.clear();
    m_positional.clear();
    m_error.clear();
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (onlyPositional || arg.size() < 2 || arg.front() != '-') {
            m_positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (m_flags.count(name) != 0) {
            if (inlineValue) {
                m_error = "option " + name + " takes no value";
                return false;
            }
            m_setFlags.insert(name);
        } else if (m_options.count(name) != 0) {
            if (inlineValue) {
                m_values[name] = *inlineValue;
            } else if (i + 1 < args.size()) {
                m_values[name] = args[++i];
            } else {
                m_error = "option " + name + " needs a value";
                return false;
            }
        } else {
            m_error = "unknown option: " + arg;
            return false;
        }
    }
    return true;
}

} // namespace lurkel::cli
