#include "PanelWindowStrings.h"

#include "Localized.h"

namespace lurkel {

QString PanelWindowStrings::string(const char *key, const char *defaultText)
{
    return Localized::string(QLatin1String(kTable), QString::fromLatin1(key), QString::fromUtf8(defaultText));
}

QString PanelWindowStrings::cleanButtonStateReadyForCleanUp()
{
    return string("Clean_up_memory_button", "Cleanup");
}

QString PanelWindowStrings::cleanButtonStateCleaning()
{
    return string("Clean_up_memory_button_stateCleaning", "Cleaning") + QStringLiteral("...");
}

QString PanelWindowStrings::usedMemoryTemplate()
{
    return string("Used_memory_template", "%@ used of %@");
}

QString PanelWindowStrings::cleanedMemoryTemplate()
{
    return string("Cleaned_memory_template", "%@ cleaned %@");
}

QString PanelWindowStrings::hiddenFilesSearchFieldTitle()
{
    return string("Hidden_Fiels_Search_field_title", "");
}

QString PanelWindowStrings::switcherHiddenFilesVisibilityTitle()
{
    return string("Switcher_hidden_files_visibility_title", "");
}

QString PanelWindowStrings::memoryUsage()
{
    return string("Memory_usage", "");
}

QString PanelWindowStrings::expandSystemUsageButton()
{
    return string("Expand_system_usage_button", "System Usage");
}

} // namespace lurkel
