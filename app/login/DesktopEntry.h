#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// The [Desktop Entry] group of a freedesktop desktop entry file, read and written as bytes.
//
// Reading keeps the unlocalized keys of the [Desktop Entry] group with their string
// escapes (\s \n \t \r \\) undone; other groups, comments and localized keys ("Name[de]")
// are skipped. Writing goes the other way: values are escaped, Exec arguments quoted.
class DesktopEntry {
public:
    static DesktopEntry parse(std::string_view text);

    std::optional<std::string> value(std::string_view key) const;
    // "true" or "1" is true, "false" or "0" is false (as GLib reads them); anything else,
    // or an absent key, is the fallback.
    bool boolValue(std::string_view key, bool fallback) const;
    bool contains(std::string_view key) const { return value(key).has_value(); }

    // The arguments of the Exec key (field codes left as they are, "%%" made "%");
    // nullopt without Exec or when its quoting is broken.
    std::optional<std::vector<std::string>> execArguments() const;
    static std::optional<std::vector<std::string>> splitExec(std::string_view exec);

    // Escapes for writing: a string value (backslash, line breaks, tabs, a leading space)
    // and one Exec argument (quoted when it holds a reserved character, "%" doubled).
    // The result of quoteExecArgument is still to be passed through escapeValue.
    static std::string escapeValue(std::string_view value);
    static std::string quoteExecArgument(std::string_view argument);

private:
    std::map<std::string, std::string, std::less<>> m_values;
};

} // namespace lurkel
