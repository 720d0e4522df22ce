#include "TerminalText.h"

#include "BytePath.h"

#include <algorithm>
#include <cstring>

namespace lurkel {
namespace {

// How many bytes at the start of bytes must not reach a terminal as they are: 1 for a C0
// control, DEL or a byte that is not UTF-8 (a raw 0x80-0x9f among them), 2 for a C1 control
// encoded as UTF-8, 0 when the sequence may. length is set to the UTF-8 sequence's length.
std::size_t unsafeBytesAt(std::string_view bytes, std::size_t &length)
{
    const auto c = static_cast<unsigned char>(bytes.front());
    length = utf8SequenceLength(bytes, 0);
    if (length == 0 || c < 0x20 || c == 0x7F) return 1;
    if (c == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0) return 2;
    return 0;
}

void appendEscaped(std::string &out, unsigned char b)
{
    static const char hex[] = "0123456789abcdef";
    if (b == '\n') {
        out += "\\n";
    } else if (b == '\t') {
        out += "\\t";
    } else {
        out += "\\x";
        out.push_back(hex[b >> 4]);
        out.push_back(hex[b & 0xF]);
    }
}

} // namespace

std::string quoteForTerminal(std::string_view bytes)
{
    std::string escaped;
    bool needsQuotes = bytes.empty();
    while (!bytes.empty()) {
        std::size_t length = 0;
        if (const std::size_t unsafe = unsafeBytesAt(bytes, length)) {
            for (std::size_t i = 0; i < unsafe; ++i)
                appendEscaped(escaped, static_cast<unsigned char>(bytes[i]));
            needsQuotes = true;
            bytes.remove_prefix(unsafe);
            continue;
        }
        const auto c = static_cast<unsigned char>(bytes.front());
        if (c == '\\' || c == '\'') {
            escaped.push_back('\\');
            needsQuotes = true;
        } else if (length == 1 && std::strchr(" \"$`!&*()[]{}<>?;|#~,=", c) != nullptr) {
            needsQuotes = true;
        }
        escaped.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return needsQuotes ? "'" + escaped + "'" : escaped;
}

std::string messageForTerminal(std::string_view text, bool keepLineFeeds)
{
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = 0;
        const std::size_t unsafe = unsafeBytesAt(text, length);
        if (unsafe != 0 && !(keepLineFeeds && text.front() == '\n')) {
            shown.push_back(' ');
            text.remove_prefix(unsafe);
        } else {
            shown.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return shown;
}

std::string lineForLog(std::string_view text, std::size_t maxBytes)
{
    const std::size_t cut = text.size() > maxBytes ? text.size() - maxBytes : 0;
    std::string_view kept = text.substr(0, text.size() - cut);
    std::string line;
    line.reserve(kept.size());
    while (!kept.empty()) {
        std::size_t length = 0;
        if (const std::size_t unsafe = unsafeBytesAt(kept, length)) {
            for (std::size_t i = 0; i < unsafe && i < kept.size(); ++i)
                appendEscaped(line, static_cast<unsigned char>(kept[i]));
            kept.remove_prefix(std::min(unsafe, kept.size()));
            continue;
        }
        if (kept.front() == '\\') line.push_back('\\');
        line.append(kept.substr(0, length));
        kept.remove_prefix(length);
    }
    if (cut != 0) line += "... (" + std::to_string(cut) + " more bytes)";
    return line;
}

} // namespace lurkel
