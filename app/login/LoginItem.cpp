#include "LoginItem.h"

#include "Autostart.h"
#include "XdgDirs.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

bool isExecutableFile(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

LoginItem LoginItem::itemFromAutostartEntry(const AutostartEntry &entry)
{
    LoginItem item;
    item.setupWithAutostartEntry(entry);
    return item;
}

void LoginItem::setupWithAutostartEntry(const AutostartEntry &entry)
{
    m_bundleIdentifier = QString::fromUtf8(entry.fileId.data(), static_cast<qsizetype>(entry.fileId.size()));
    m_executablePath.reset();
    m_applicationName.reset();
    const auto args = entry.entry.execArguments();
    if (!args || args->empty()) return;
    m_executablePath = installedProgram(args->front());
    if (!m_executablePath) return;
    if (const auto name = entry.entry.value("Name"); name && !name->empty()) {
        m_applicationName = QString::fromUtf8(name->data(), static_cast<qsizetype>(name->size()));
    }
}

QString LoginItem::applicationName() const
{
    return m_applicationName.value_or(m_bundleIdentifier);
}

std::optional<BytePath> LoginItem::installedProgram(const std::string &program)
{
    if (program.empty()) return std::nullopt;
    if (program.front() == '/') {
        if (isExecutableFile(BytePath(program))) return BytePath(program);
        return std::nullopt;
    }
    if (program.find('/') != std::string::npos) {
        // The session starts its entries in the home folder.
        const BytePath path = XdgDirs::home() / program;
        if (isExecutableFile(path)) return path;
        return std::nullopt;
    }
    const char *env = std::getenv("PATH");
    const std::string_view search = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= search.size()) {
        const auto colon = search.find(':', start);
        const std::string_view dir = search.substr(start, colon == std::string_view::npos ? colon : colon - start);
        if (!dir.empty() && dir.front() == '/') {
            const BytePath candidate = BytePath(dir) / program;
            if (isExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return std::nullopt;
}

} // namespace lurkel
