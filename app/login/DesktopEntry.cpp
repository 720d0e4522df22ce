#include "DesktopEntry.h"

namespace lurkel {
namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";
constexpr std::string_view kBlanks = " \t";
// Characters that make an Exec argument need quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// Undoes the string escapes. An unknown escape is kept as it stands, as GLib keeps it.
std::string unescaped(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        switch (raw[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += raw[i];
        }
    }
    return out;
}

} // namespace

DesktopEntry DesktopEntry::parse(std::string_view text)
{
    DesktopEntry entry;
    bool inGroup = false;
    bool seenGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view content = trimmed(line);
        if (content.empty() || content.front() == '#') continue;
        if (content.front() == '[') {
            // Only the first [Desktop Entry] group counts; a repeated one is not read again.
            inGroup = content == kGroup && !seenGroup;
            seenGroup = seenGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, eq));
        if (key.empty() || key.find('[') != std::string_view::npos) continue;
        std::string_view raw = line.substr(eq + 1);
        const auto start = raw.find_first_not_of(kBlanks);
        raw = start == std::string_view::npos ? std::string_view{} : raw.substr(start);
        entry.m_values.insert_or_assign(std::string(key), unescaped(raw));
    }
    return entry;
}

std::optional<std::string> DesktopEntry::value(std::string_view key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

bool DesktopEntry::boolValue(std::string_view key, bool fallback) const
{
    const auto v = value(key);
    if (!v) return fallback;
    const std::string_view s = trimmed(*v);
    if (s == "true" || s == "1") return true;
    if (s == "false" || s == "0") return false;
    return fallback;
}

std::optional<std::vector<std::string>> DesktopEntry::execArguments() const
{
    const auto exec = value("Exec");
    if (!exec) return std::nullopt;
    return splitExec(*exec);
}

std::optional<std::vector<std::string>> DesktopEntry::splitExec(std::string_view exec)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            // Inside double quotes a backslash escapes " ` $ and itself.
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                if (exec[i] == '"') {
                    closed = true;
                    break;
                }
                if (exec[i] == '\\' && i + 1 < exec.size() &&
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                    ++i;
                }
                current += exec[i];
            }
            if (!closed) return std::nullopt;
        } else if (c == '\'') {
            // Single quotes are not in the standard, but GLib's launcher reads them as a shell does.
            const auto close = exec.find('\'', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            current.append(exec.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else {
            current += c;
        }
    }
    if (inArgument) args.push_back(std::move(current));
    // "%%" is a literal "%" wherever it stands; other field codes stay for the caller.
    for (std::string &arg : args) {
        std::string out;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            out += arg[i];
            if (arg[i] == '%' && i + 1 < arg.size() && arg[i + 1] == '%') ++i;
        }
        arg = std::move(out);
    }
    return args;
}

std::string DesktopEntry::escapeValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " ";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string DesktopEntry::quoteExecArgument(std::string_view argument)
{
    std::string body;
    for (const char c : argument) {
        if (c == '%') {
            body += "%%";
        } else {
            body += c;
        }
    }
    if (!argument.empty() && body.find_first_of(kReserved) == std::string::npos) return body;
    std::string out = "\"";
    for (const char c : body) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace lurkel
