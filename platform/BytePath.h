#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// A file path as the kernel sees it: raw bytes, not necessarily UTF-8.
// Display strings are derived from it (invalid bytes become U+FFFD) and are
// never turned back into a path.
class BytePath {
public:
    BytePath() = default;
    BytePath(std::string bytes) : m_bytes(std::move(bytes)) {}   // NOLINT(google-explicit-constructor)
    BytePath(const char *bytes) : m_bytes(bytes ? bytes : "") {} // NOLINT(google-explicit-constructor)
    BytePath(std::string_view bytes) : m_bytes(bytes) {}         // NOLINT(google-explicit-constructor)

    // From text typed by the user or read from settings (encoded as UTF-8).
    static BytePath fromText(const QString &text);
    static BytePath fromBytes(const QByteArray &bytes);
    // From a byte array that came over D-Bus ("ay"): GLib's senders end it with one NUL,
    // which is dropped; any other NUL stays and makes the path unusable (containsNul()).
    static BytePath fromBusBytes(const QByteArray &bytes);

    const std::string &bytes() const { return m_bytes; }
    // For system calls. A path holding a NUL byte gives "", which names nothing (ENOENT), so
    // that the shorter path before the NUL is never acted on.
    const char *c_str() const { return containsNul() ? "" : m_bytes.c_str(); }
    // No path a system call takes can hold a NUL byte: such a path is refused where it arrives.
    bool containsNul() const { return m_bytes.find('\0') != std::string::npos; }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    bool isAbsolute() const { return !m_bytes.empty() && m_bytes.front() == '/'; }

    QByteArray toByteArray() const { return QByteArray(m_bytes.data(), static_cast<qsizetype>(m_bytes.size())); }
    // For display only: invalid UTF-8 sequences become U+FFFD.
    QString displayString() const;
    // True when the bytes are valid UTF-8, so that displayString() is exact.
    bool isValidUtf8() const;

    // "a" / "b" -> "a/b"; never doubles the separator ("/" / "home" -> "/home").
    BytePath operator/(std::string_view name) const;
    // The last component ("/a/b/" -> "b", "/" -> "/").
    std::string_view fileName() const;
    // Everything before the last component ("/a/b" -> "/a", "/a" -> "/", "a" -> "").
    BytePath parent() const;
    // The extension of the last component without the dot ("x.tar.gz" -> "gz", ".bashrc" -> "").
    std::string_view extension() const;
    // The file URI with every byte outside the unreserved set percent-encoded.
    QByteArray toFileUri() const;

    friend bool operator==(const BytePath &, const BytePath &) = default;
    friend auto operator<=>(const BytePath &, const BytePath &) = default;

private:
    std::string m_bytes;
};

// True when the bytes form valid UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(std::string_view bytes);
// The length of the valid UTF-8 sequence that starts at bytes[at], or 0 when none does.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

using BytePathList = std::vector<BytePath>;

} // namespace lurkel
