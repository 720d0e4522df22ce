#include "IntegrationFiles.h"

#include "FileAttributes.h"
#include "Identity.h"
#include "Log.h"
#include "PosixFile.h"
#include "RunningApplications.h"
#include "Spawn.h"
#include "XdgDirs.h"

#include <QDBusConnection>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

const std::string kId = Identity::kBundleIdentifier;
const std::string kIcon = Identity::kBundleIdentifier; // the application icon in the theme

// One entry of the menus: what it says and which command of lurkel-finder-sync it runs.
struct Entry {
    const char *key;       // file-name part and Thunar unique-id suffix
    const char *name;      // the title
    const char *tip;       // the tool tip
    const char *command;   // hide, unhide, switch
    const char *condition; // the answer that shows it: "menu --has-..." or "state --..."
    bool background;       // for the folder's background instead of a selection
};

constexpr std::array kConditionalEntries{
    Entry{"hide", "Hide with Lurkel", "Hide the selected items", "hide", "menu --has-visible", false},
    Entry{"unhide", "Unhide with Lurkel", "Unhide the selected items", "unhide", "menu --has-hidden", false},
    Entry{"show-hidden-files", "Show Hidden Files", "Show hidden files in every file manager", "switch",
          "state --hidden", true},
    Entry{"hide-hidden-files", "Hide Hidden Files", "Hide hidden files in every file manager", "switch",
          "state --shown", true},
};
// Where an entry cannot depend on the state, one background entry does both.
constexpr Entry kSwitchEntry{
    "switch", "Show or Hide Hidden Files", "Show or hide hidden files in every file manager", "switch", "", true};

bool isPlain(std::string_view text)
{
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                        c == '.' || c == '_' || c == '-' || c == '+';
        if (!ok) return false;
    }
    return !text.empty();
}

// A program path in an Exec value (desktop entries, Nemo, FileManager-Actions): double-quoted
// with ", `, $ and \ escaped when it holds anything but plain characters, "%" written "%%".
std::string execWord(std::string_view program)
{
    std::string word;
    if (isPlain(program)) {
        word = program;
    } else {
        word = "\"";
        for (const char c : program) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') word += '\\';
            word += c;
        }
        word += '"';
    }
    std::string out;
    for (const char c : word)
        out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

// A value of a key file: backslashes doubled (the reader undoes that first).
std::string keyFileValue(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// A word for a POSIX shell (and for GLib's argument parser): single-quoted.
std::string shellWord(std::string_view text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string xmlText(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string run(std::string_view program, const Entry &entry)
{
    return execWord(program) + " " + entry.command + (entry.background ? "" : " -- %F");
}

// Nemo runs a condition's program without the selection (and, written "<NAME>", from the
// actions folder, with no arguments), so only the background entries can depend on something:
// the state, asked through a small script beside them. A selection shows both entries.
std::string nemoConditionScript(const Entry &entry)
{
    return kId + "." + std::string(entry.key) + "-condition";
}

std::string nemoAction(std::string_view program, const Entry &entry)
{
    std::string s = "[Nemo Action]\n";
    s += std::string("Name=") + entry.name + "\nComment=" + entry.tip + "\n";
    s += "Exec=" + keyFileValue(run(program, entry)) + "\n";
    s += "Icon-Name=" + kIcon + "\n";
    s += std::string("Selection=") + (entry.background ? "none" : "notnone") + "\n";
    s += "Extensions=any;\n";
    if (entry.background) s += "Conditions=exec <" + nemoConditionScript(entry) + ">;\n";
    s += "Dependencies=" + keyFileValue(std::string(program)) + ";\n";
    return s;
}

std::string conditionScript(std::string_view program, const Entry &entry)
{
    return "#!/bin/sh\n# When Nemo shows \"" + std::string(entry.name) + "\" (written by lurkel-pluginkit)\nexec " +
           shellWord(program) + " " + entry.condition + " >/dev/null\n";
}

std::string fileManagerAction(std::string_view program, const Entry &entry)
{
    std::string s = "[Desktop Entry]\nType=Action\n";
    s += std::string("Name=") + entry.name + "\nTooltip=" + entry.tip + "\n";
    s += "Icon=" + kIcon + "\nProfiles=main;\n";
    s += std::string("TargetContext=") + (entry.background ? "false" : "true") + "\n";
    s += std::string("TargetLocation=") + (entry.background ? "true" : "false") + "\n";
    s += "\n[X-Action-Profile main]\nName=Default profile\n";
    s += "Exec=" + keyFileValue(run(program, entry)) + "\n";
    s += std::string("MimeTypes=") + (entry.background ? "inode/directory;" : "all/all;") + "\n";
    if (!entry.background) s += "SelectionCount=>0\n";
    s += "TryExec=" + keyFileValue(std::string(program)) + "\n";
    s += "ShowIfTrue=" + keyFileValue(execWord(program)) + " " + entry.condition + (entry.background ? "" : " -- %F") +
         "\n";
    return s;
}

std::string serviceMenu(std::string_view program, bool background)
{
    std::string s = "[Desktop Entry]\nType=Service\n";
    s += std::string("MimeType=") + (background ? "inode/directory;" : "all/all;") + "\n";
    s += std::string("Actions=") + (background ? "switch;" : "hide;unhide;") + "\n";
    s += "TryExec=" + keyFileValue(std::string(program)) + "\nX-KDE-Priority=TopLevel\n";
    const auto action = [&](const Entry &entry) {
        s += std::string("\n[Desktop Action ") + entry.key + "]\nName=" + entry.name + "\nIcon=" + kIcon + "\n";
        s += "Exec=" + keyFileValue(run(program, entry)) + "\n";
    };
    if (background) {
        action(kSwitchEntry);
    } else {
        action(kConditionalEntries[0]);
        action(kConditionalEntries[1]);
    }
    return s;
}

std::string nautilusScript(std::string_view program, const Entry &entry)
{
    // Nautilus runs a script in the folder shown, with the selected names as arguments;
    // lurkel-finder-sync makes them absolute.
    std::string s = "#!/bin/sh\n# ";
    s += entry.tip;
    s += " (written by lurkel-pluginkit, removed when Lurkel's file-manager integration is switched off)\n";
    s += "exec " + shellWord(program) + " " + entry.command + (entry.background ? "\n" : " -- \"$@\"\n");
    return s;
}

std::string thunarAction(std::string_view program, const Entry &entry)
{
    std::string s = "<action>\n";
    s += "\t<icon>" + kIcon + "</icon>\n";
    s += std::string("\t<name>") + entry.name + "</name>\n";
    s += "\t<submenu></submenu>\n";
    s += "\t<unique-id>" + kId + "." + entry.key + "</unique-id>\n";
    s += "\t<command>" + xmlText(shellWord(program) + " " + entry.command + (entry.background ? "" : " -- %F")) +
         "</command>\n";
    s += std::string("\t<description>") + entry.tip + "</description>\n";
    s += "\t<range></range>\n\t<patterns>*</patterns>\n\t<directories/>\n";
    if (!entry.background)
        s += "\t<audio-files/>\n\t<image-files/>\n\t<other-files/>\n\t<text-files/>\n\t<video-files/>\n";
    s += "</action>\n";
    return s;
}

constexpr std::array kThunarEntries{kConditionalEntries[0], kConditionalEntries[1], kSwitchEntry};
constexpr std::array kScriptEntries{kConditionalEntries[0], kConditionalEntries[1], kSwitchEntry};

BytePath fileIn(const BytePath &folder, const Entry &entry, std::string_view suffix)
{
    return folder / (kId + "." + entry.key + std::string(suffix));
}

std::optional<Error> writeFile(const BytePath &path, const std::string &content, mode_t mode)
{
    if (const int err = makePath(path.parent(), 0755)) return Error::posix(err, path.parent().displayString());
    return writeFileAtomically(path, content, {.mode = mode, .durable = false});
}

std::optional<Error> removeFile(const BytePath &path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Error::posix(errno, path.displayString());
    return std::nullopt;
}

std::optional<std::string> readWhole(const BytePath &path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string data;
    char buffer[8192];
    ssize_t n = 0;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<std::size_t>(n));
    if (n < 0) return std::nullopt;
    return data;
}

constexpr std::string_view kEmptyThunarActions = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

// What Thunar reads when the user has no uca.xml of their own: the first one in the
// configuration folders, else an empty list.
std::string thunarDefaults()
{
    for (const BytePath &folder : XdgDirs::configDirs()) {
        if (std::optional<std::string> content = readWhole(folder / "Thunar/uca.xml")) return *content;
    }
    return std::string(kEmptyThunarActions);
}

// Thunar reads uca.xml once and writes what it holds back when the user edits an action: it
// has to read the new file.
void quitThunar()
{
    if (!QDBusConnection::sessionBus().isConnected()) return; // then no Thunar runs in this session either
    if (!RunningApplications::isRunning(QStringLiteral("org.xfce.Thunar"))) return;
    const SpawnResult result = Spawn::run({{"thunar", "-q"}});
    if (!result.succeeded()) logFailure(lcCore, "thunar -q", Error::app(result.failureDescription()));
}

void keepFirst(std::optional<Error> &first, std::optional<Error> next)
{
    if (next && !first) first = std::move(next);
}

} // namespace

BytePath IntegrationFiles::nemoActionsFolder()
{
    return XdgDirs::dataHome() / "nemo/actions";
}

BytePath IntegrationFiles::fileManagerActionsFolder()
{
    return XdgDirs::dataHome() / "file-manager/actions";
}

BytePath IntegrationFiles::serviceMenusFolder()
{
    return XdgDirs::dataHome() / "kio/servicemenus";
}

BytePath IntegrationFiles::nautilusScriptsFolder()
{
    return XdgDirs::dataHome() / "nautilus/scripts";
}

BytePath IntegrationFiles::thunarActionsFile()
{
    return XdgDirs::configHome() / "Thunar/uca.xml";
}

std::string IntegrationFiles::withoutOurThunarActions(std::string_view content)
{
    std::string out(content);
    const std::string marker = "<unique-id>" + kId + ".";
    std::size_t at = 0;
    while ((at = out.find(marker, at)) != std::string::npos) {
        const std::size_t open = out.rfind("<action>", at);
        const std::size_t close = out.find("</action>", at);
        if (open == std::string::npos || close == std::string::npos) break;
        // The whole lines the element stands on: its indentation and its line end go with it.
        std::size_t begin = open;
        while (begin > 0 && (out[begin - 1] == ' ' || out[begin - 1] == '\t'))
            --begin;
        if (begin > 0 && out[begin - 1] != '\n') begin = open;
        std::size_t end = close + std::string_view("</action>").size();
        if (end < out.size() && out[end] == '\n') ++end;
        out.erase(begin, end - begin);
        at = begin;
    }
    return out;
}

std::optional<std::string> IntegrationFiles::withOurThunarActions(std::string_view content, const BytePath &program)
{
    std::string out = withoutOurThunarActions(content);
    const std::size_t end = out.rfind("</actions>");
    if (end == std::string::npos) return std::nullopt;
    std::string ours;
    for (const Entry &entry : kThunarEntries)
        ours += thunarAction(program.bytes(), entry);
    out.insert(end, ours);
    return out;
}

std::optional<Error> IntegrationFiles::install(const Options &options)
{
    const std::string &program = options.finderSync.bytes();
    if (!options.finderSync.isAbsolute() || program.find_first_of("\n\r<>;") != std::string::npos ||
        options.finderSync.containsNul()) {
        return Error::app(
            QStringLiteral("menu entries cannot name the program %1").arg(options.finderSync.displayString()));
    }
    std::optional<Error> first;
    for (const Entry &entry : kConditionalEntries) {
        keepFirst(first,
                  writeFile(fileIn(nemoActionsFolder(), entry, ".nemo_action"), nemoAction(program, entry), 0644));
        if (entry.background) {
            keepFirst(first, writeFile(nemoActionsFolder() / nemoConditionScript(entry),
                                       conditionScript(program, entry), 0755));
        }
        keepFirst(first, writeFile(fileIn(fileManagerActionsFolder(), entry, ".desktop"),
                                   fileManagerAction(program, entry), 0644));
    }
    // KIO runs only service menus that are executable.
    keepFirst(first, writeFile(serviceMenusFolder() / (kId + ".desktop"), serviceMenu(program, false), 0755));
    keepFirst(first, writeFile(serviceMenusFolder() / (kId + ".switch.desktop"), serviceMenu(program, true), 0755));
    for (const Entry &entry : kScriptEntries) {
        const BytePath script = nautilusScriptsFolder() / entry.name;
        keepFirst(first, options.nautilusScripts ? writeFile(script, nautilusScript(program, entry), 0755)
                                                 : removeFile(script));
    }

    if (!options.finderSync.isValidUtf8()) {
        keepFirst(first, Error::app(QStringLiteral("Thunar's actions cannot name a program whose path is not UTF-8")));
    } else {
        const BytePath uca = thunarActionsFile();
        const std::optional<std::string> mine = readWhole(uca);
        if (!mine && FileAttributes::lstat(uca)) {
            keepFirst(first, Error::app(QStringLiteral("%1 cannot be read").arg(uca.displayString())));
        } else if (const auto updated = withOurThunarActions(mine ? *mine : thunarDefaults(), options.finderSync)) {
            keepFirst(first, writeFile(uca, *updated, 0644));
            quitThunar();
        } else {
            keepFirst(first, Error::app(QStringLiteral("%1 holds no list of actions").arg(uca.displayString())));
        }
    }
    return first;
}

std::optional<Error> IntegrationFiles::remove()
{
    std::optional<Error> first;
    for (const Entry &entry : kConditionalEntries) {
        keepFirst(first, removeFile(fileIn(nemoActionsFolder(), entry, ".nemo_action")));
        if (entry.background) keepFirst(first, removeFile(nemoActionsFolder() / nemoConditionScript(entry)));
        keepFirst(first, removeFile(fileIn(fileManagerActionsFolder(), entry, ".desktop")));
    }
    keepFirst(first, removeFile(serviceMenusFolder() / (kId + ".desktop")));
    keepFirst(first, removeFile(serviceMenusFolder() / (kId + ".switch.desktop")));
    for (const Entry &entry : kScriptEntries)
        keepFirst(first, removeFile(nautilusScriptsFolder() / entry.name));

    const BytePath uca = thunarActionsFile();
    if (const std::optional<std::string> mine = readWhole(uca)) {
        const std::string without = withoutOurThunarActions(*mine);
        if (without != *mine) {
            // A copy we started from the defaults, left as it came: the user had no file.
            const bool onlyDefaults = without == thunarDefaults();
            keepFirst(first, onlyDefaults ? removeFile(uca) : writeFile(uca, without, 0644));
            quitThunar();
        }
    }
    return first;
}

} // namespace lurkel
