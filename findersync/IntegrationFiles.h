#pragma once

#include "BytePath.h"
#include "Error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// The per-user menu entries through which the file managers without a loadable module reach
// lurkel-finder-sync: Nemo actions (with the scripts their conditions run), FileManager-Actions
// files (Caja with caja-actions, PCManFM, PCManFM-Qt), a KIO service menu (Dolphin), Thunar's
// custom actions, and Nautilus scripts where Lurkel's Nautilus module is not installed. Every file is ours alone and
// named after the application's identifier, except Thunar's uca.xml, in which only our <action> elements (found by
// their unique id) are inserted or cut and every other byte is kept.
class IntegrationFiles {
public:
    struct Options {
        BytePath finderSync;  // the absolute path of lurkel-finder-sync the entries run
        bool nautilusScripts; // whether to write the Nautilus scripts too
    };

    // Writes every entry (replacing older ones of ours), then quits a running Thunar, which
    // would otherwise write its own copy of uca.xml back. The first error, after trying all.
    static std::optional<Error> install(const Options &options);
    // Removes every entry of ours; Thunar's uca.xml as the user had it.
    static std::optional<Error> remove();

    // Where they go.
    static BytePath nemoActionsFolder();        // $XDG_DATA_HOME/nemo/actions
    static BytePath fileManagerActionsFolder(); // $XDG_DATA_HOME/file-manager/actions
    static BytePath serviceMenusFolder();       // $XDG_DATA_HOME/kio/servicemenus
    static BytePath nautilusScriptsFolder();    // $XDG_DATA_HOME/nautilus/scripts
    static BytePath thunarActionsFile();        // $XDG_CONFIG_HOME/Thunar/uca.xml

    // uca.xml content with our actions cut out; the content as it is when it has none.
    static std::string withoutOurThunarActions(std::string_view content);
    // uca.xml content with our actions (for program) in place of any older ones; nullopt when
    // the content has no </actions> to insert before.
    static std::optional<std::string> withOurThunarActions(std::string_view content, const BytePath &program);
};

} // namespace lurkel
