#include "VolumeName.h"

#include "Identity.h"

#include <QFile>
#include <QStorageInfo>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace lurkel {
namespace {

// Adds one to the last digit of a string of decimal digits, carrying to the left
// ("129" -> "130", "99" -> "100").
void incrementDigits(std::string &digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The folder in which a mount point is looked for: the path itself when it is a real
// directory, else the folder holding it (a link or file lives on its folder's volume),
// with every symbolic link resolved.
std::optional<std::string> canonicalFolder(const BytePath &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    BytePath folder = path;
    if (!S_ISDIR(st.st_mode)) {
        folder = path.parent();
        if (folder.empty()) folder = BytePath(".");
    }
    char *resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

} // namespace

QString VolumeName::stringFromSize(std::int64_t size)
{
    if (size <= 999) return QString::number(size) + QStringLiteral(" bytes");

    static constexpr std::array<const char *, 4> kUnits = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(size) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < kUnits.size()) {
        value /= 1024.0;
        ++unit;
    }
    // glibc's printf rounds the exact binary value, ties to even
    const int decimals = value < 10.0 ? 2 : value < 100.0 ? 1 : 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%1.*f %s", decimals, value, kUnits[unit]);
    return QString::fromLatin1(buffer);
}

QString VolumeName::convertToStringFromFileSize(std::uint64_t size)
{
    return formatMemoryStringDot1(size);
}

QString VolumeName::formatMemoryStringDot1(std::uint64_t size)
{
    if (size < 1024) return QString::number(size) + QStringLiteral(" B");

    static constexpr std::array<const char16_t *, 6> kUnits = {u"", u" KB", u" MB", u" GB", u" TB", u" PB"};
    double value = static_cast<double>(size);
    std::size_t divisions = 0;
    while (value >= 1024.0) {
        value /= 1024.0;
        ++divisions;
    }
    QString text = formatDecimalDot1(value);
    text.replace(u',', u'.');
    if (divisions < kUnits.size()) text += QStringView(kUnits[divisions]);
    return text;
}

QString VolumeName::formatDecimalDot1(double value)
{
    if (!std::isfinite(value)) return QString::number(value);

    // The shortest decimal form that reads back as the same double: a number formatter
    // rounds this form, so 1.35 is a tie although its binary value lies slightly above.
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    if (result.ec != std::errc()) return QString::number(value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));

    const std::size_t dot = text.find('.');
    std::string digits(text.substr(0, dot)); // integer part, then the one kept fraction digit
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);

    if (fraction.size() > 1) {
        digits += fraction[0];
        const std::string_view rest = fraction.substr(1);
        bool up = false;
        if (rest[0] > '5') {
            up = true;
        } else if (rest[0] == '5') {
            const bool exactTie = rest.find_first_not_of('0', 1) == std::string_view::npos;
            up = !exactTie || ((digits.back() - '0') % 2 == 1);
        }
        if (up) incrementDigits(digits);
    } else {
        digits += fraction.empty() ? '0' : fraction[0];
    }

    const char last = digits.back();
    digits.pop_back();
    std::string out = std::move(digits);
    if (last != '0') {
        out += '.';
        out += last;
    }
    const bool zero = out.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !zero) out.insert(out.begin(), '-');
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

std::optional<QString> VolumeName::volumeName(const BytePath &path)
{
    if (path.empty()) return std::nullopt;
    const std::optional<std::string> folder = canonicalFolder(path);
    if (!folder) return std::nullopt;

    struct stat st {};
    if (::stat(folder->c_str(), &st) != 0) return std::nullopt;
    const dev_t device = st.st_dev;

    // Walk up until the parent lies on another device: the last folder on ours is the
    // mount point.
    BytePath mountPoint(*folder);
    while (mountPoint.bytes() != "/") {
        const BytePath parent = mountPoint.parent();
        if (parent.empty() || ::lstat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
        mountPoint = parent;
    }

    if (!mountPoint.isValidUtf8()) {
        // QStorageInfo cannot be given such a path; the mount point stands for the name,
        // as it does for any volume without a label.
        return mountPoint.displayString();
    }
    const QStorageInfo storage(QFile::decodeName(mountPoint.toByteArray()));
    if (!storage.isValid()) return std::nullopt;
    const QString name = storage.displayName();
    if (name.isEmpty()) return std::nullopt;
    return name;
}

qsizetype VolumeName::numberOccurencesSubstring(const QString &text, const QString &substring)
{
    if (substring.isEmpty()) return 0;
    qsizetype count = 0;
    qsizetype from = 0;
    while ((from = text.indexOf(substring, from, Qt::CaseSensitive)) >= 0) {
        ++count;
        from += substring.size();
    }
    return count;
}

bool VolumeName::isParentPathForPath(const QString &parent, const QString &path)
{
    return path.size() > parent.size() && path.startsWith(parent, Qt::CaseSensitive) && path.at(parent.size()) == u'/';
}

bool VolumeName::isParentPathForPath(const BytePath &parent, const BytePath &path)
{
    const std::string &p = parent.bytes();
    const std::string &s = path.bytes();
    return s.size() > p.size() && s.compare(0, p.size(), p) == 0 && s[p.size()] == '/';
}

QString VolumeName::shfTeamIdentifierPrefix()
{
    return QString::fromLatin1(Identity::kTeamIdentifierPrefix);
}

} // namespace lurkel
