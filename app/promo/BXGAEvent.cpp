#include "BXGAEvent.h"

#include <array>

namespace lurkel {
namespace {

struct Row {
    const char *category;
    const char *action;
};

// Indexed by raw value. "unknoen" is the action reports have always carried for value 0.
constexpr std::array<Row, 16> kEvents{{
    {"unknown", "unknoen"},
    {"Lurkel", "Sorvel_App"},
    {"Lurkel", "Vantor_Scope"},
    {"Lurkel", "Quenby_Lab"},
    {"Lurkel", "Pairly_App"},
    {"Lurkel", "Close_user"},
    {"Show_Hidden_Files", "Tidora"},
    {"Show_Hidden_Files", "Vantor_Scope"},
    {"Show_Hidden_Files", "Quenby_Lab"},
    {"Show_Hidden_Files", "Pairly_App"},
    {"Show_Hidden_Files", "Close_user"},
    {"FindFiles", "Tidora"},
    {"FindFiles", "Vantor_Scope"},
    {"FindFiles", "Quenby_Lab"},
    {"FindFiles", "Pairly_App"},
    {"FindFiles", "Close_user"},
}};

} // namespace

std::optional<BXGAEvent> bxGAEventFromRawValue(int rawValue)
{
    if (rawValue < 0 || rawValue >= static_cast<int>(kEvents.size())) return std::nullopt;
    return static_cast<BXGAEvent>(rawValue);
}

BXGAEventData bxGAEventData(BXGAEvent event)
{
    const Row &row = kEvents.at(static_cast<std::size_t>(event));
    return {QString::fromLatin1(row.category), QString::fromLatin1(row.action), std::nullopt};
}

} // namespace lurkel
