#pragma once

#include <QString>

namespace lurkel {

// The panel's texts, looked up in the string table "PanelWindow" with the English default
// given here.
class PanelWindowStrings {
public:
    PanelWindowStrings() = delete;

    static inline constexpr const char kTable[] = "PanelWindow";

    static QString cleanButtonStateReadyForCleanUp();    // "Clean_up_memory_button": "Cleanup"
    static QString cleanButtonStateCleaning();           // "Clean_up_memory_button_stateCleaning": "Cleaning" + "..."
    static QString usedMemoryTemplate();                 // "Used_memory_template": "%@ used of %@"
    static QString cleanedMemoryTemplate();              // "Cleaned_memory_template": "%@ cleaned %@"
    static QString hiddenFilesSearchFieldTitle();        // "Hidden_Fiels_Search_field_title"
    static QString switcherHiddenFilesVisibilityTitle(); // "Switcher_hidden_files_visibility_title"
    static QString memoryUsage();                        // "Memory_usage"
    static QString expandSystemUsageButton();            // "Expand_system_usage_button": "System Usage"

    // The text of key in the table, or defaultText when the table lacks it.
    static QString string(const char *key, const char *defaultText);
};

} // namespace lurkel
