#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lurkel::cli {

// Options of one command: flags ("-0", "--json") and options with a value ("--filter X" or
// "--filter=X"). Everything else, and everything after "--", is positional and kept as the
// bytes it was (a file may well be called "-x": pass it after "--").
class ArgumentParser {
public:
    ArgumentParser &flag(const std::string &name);   // "--json" or "-0"
    ArgumentParser &option(const std::string &name); // "--filter"

    // False with error() set on an unknown option or a missing value.
    bool parse(const std::vector<std::string> &args);

    bool has(const std::string &flagName) const { return m_setFlags.count(flagName) != 0; }
    std::optional<std::string> value(const std::string &optionName) const;
    const std::vector<std::string> &positional() const { return m_positional; }
    const std::string &error() const { return m_error; }

private:
    std::set<std::string> m_flags;
    std::set<std::string> m_options;
    std::set<std::string> m_setFlags;
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_positional;
    std::string m_error;
};

} // namespace lurkel::cli
