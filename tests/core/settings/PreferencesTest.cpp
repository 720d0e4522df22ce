#include "Preferences.h"

#include "SettingsKeys.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using lurkel::Preferences;
using lurkel::UserDefaults;
using Option = lurkel::SwitchHiddenFilesVisibilityOption;
namespace Keys = lurkel::SettingsKeys;

TEST(Preferences, OptionStoredAsIntegerAndOutOfRangeReadsNotChosen)
{
    UserDefaults &standard = UserDefaults::standardUserDefaults();
    Preferences &preferences = Preferences::shared();
    standard.removeObject(Keys::kSwitchHiddenFilesVisibilityOption);
    EXPECT_EQ(preferences.switchHiddenFilesVisibilityOption(), Option::NotChosen);

    preferences.setSwitchHiddenFilesVisibilityOption(Option::ForceSwitchOn);
    UserDefaults reopened(standard.domain()); // written through to disk
    EXPECT_EQ(reopened.objectForKey(Keys::kSwitchHiddenFilesVisibilityOption), QVariant(qint64(2)));

    const std::pair<QVariant, Option> stored[] = {
        {7, Option::NotChosen},
        {3, Option::NotChosen},
        {-1, Option::NotChosen},
        {1, Option::ForceSwitchOff},
    };
    for (const auto &[value, expected] : stored) {
        standard.setObject(Keys::kSwitchHiddenFilesVisibilityOption, value);
        EXPECT_EQ(preferences.switchHiddenFilesVisibilityOption(), expected) << value.toInt();
    }
}
