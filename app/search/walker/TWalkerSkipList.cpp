#include "TWalkerSkipList.h"

#include "XdgDirs.h"

#include <algorithm>

namespace lurkel {
namespace {

// The walker builds folder paths with single separators and no "." components; spell the
// configured folders the same way so that "$XDG_DATA_HOME" written as "/home/ann//.local/share/"
// still matches. Only the spelling changes: links and ".." are left alone.
std::string lexicallyTidy(const BytePath &path)
{
    const std::string &in = path.bytes();
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        if (in[i] == '/') {
            if (out.empty() || out.back() != '/') out.push_back('/');
            ++i;
            continue;
        }
        const std::size_t end = std::min(in.find('/', i), in.size());
        const std::string_view component(in.data() + i, end - i);
        if (component != ".") out.append(component);
        i = end;
    }
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

} // namespace

const TWalkerSkipList &TWalkerSkipList::shared()
{
    static const TWalkerSkipList instance = fromEnvironment();
    return instance;
}

TWalkerSkipList TWalkerSkipList::fromEnvironment()
{
    return TWalkerSkipList(XdgDirs::dataHome(), XdgDirs::configHome());
}

TWalkerSkipList::TWalkerSkipList(const BytePath &dataHome, const BytePath &configHome)
    : m_entries{{
          {kCalendarsFolderName, lexicallyTidy(dataHome / "evolution")},
          {kAddressBookFolderName, lexicallyTidy(dataHome / "evolution")},
          {kAddressBookSettingsName, lexicallyTidy(configHome / "evolution")},
      }}
{}

} // namespace lurkel
