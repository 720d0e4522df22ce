#include "BytePath.h"

#include <QStringDecoder>

namespace lurkel {

BytePath BytePath::fromText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return BytePath(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

BytePath BytePath::fromBytes(const QByteArray &bytes)
{
    return BytePath(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

BytePath BytePath::fromBusBytes(const QByteArray &bytes)
{
    const qsizetype size = bytes.endsWith('\0') ? bytes.size() - 1 : bytes.size();
    return BytePath(std::string(bytes.constData(), static_cast<std::size_t>(size)));
}

QString BytePath::displayString() const
{
    return QString::fromUtf8(m_bytes.data(), static_cast<qsizetype>(m_bytes.size()));
}

bool BytePath::isValidUtf8() const
{
    return lurkel::isValidUtf8(m_bytes);
}

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char c = byte(at);
    if (c < 0x80) return 1;
    std::size_t len = 0;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F; // no UTF-16 surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + len > bytes.size()) return 0;
    if (byte(at + 1) < lo || byte(at + 1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
    }
    return len;
}

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = utf8SequenceLength(bytes, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

BytePath BytePath::operator/(std::string_view name) const
{
    if (m_bytes.empty()) return BytePath(name);
    std::string joined = m_bytes;
    while (!name.empty() && name.front() == '/')
        name.remove_prefix(1);
    if (joined.back() != '/') joined.push_back('/');
    joined.append(name);
    return BytePath(std::move(joined));
}

std::string_view BytePath::fileName() const
{
    std::string_view v = m_bytes;
    while (v.size() > 1 && v.back() == '/')
        v.remove_suffix(1);
    if (v == "/") return v;
    const auto slash = v.rfind('/');
    return slash == std::string_view::npos ? v : v.substr(slash + 1);
}

BytePath BytePath::parent() const
{
    std::string_view v = m_bytes;
    while (v.size() > 1 && v.back() == '/')
        v.remove_suffix(1);
    const auto slash = v.rfind('/');
    if (slash == std::string_view::npos) return BytePath();
    if (slash == 0) return BytePath("/");
    return BytePath(v.substr(0, slash));
}

std::string_view BytePath::extension() const
{
    const std::string_view name = fileName();
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

QByteArray BytePath::toFileUri() const
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    uri.reserve(uri.size() + static_cast<qsizetype>(m_bytes.size()) * 3);
    for (const char ch : m_bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(hex[c >> 4]);
            uri.append(hex[c & 0x0F]);
        }
    }
    return uri;
}

} // namespace lurkel
