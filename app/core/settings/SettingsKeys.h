#pragma once

#include <QLatin1StringView>

// The name of every persistent setting, spelled once. Standard defaults unless noted.
namespace lurkel::SettingsKeys {

using Key = QLatin1StringView;

// Prefix of keys that tests and support set from outside; such a key counts only when it
// holds a number.
inline constexpr Key kTestOverridePrefix{"ATEST:"};

// The suite shared with the file-manager integration (its name is Settings::shfGroupName()).
inline constexpr Key kAreHiddenFilesVisible{"AreHiddenFilesVisibleKey"}; // bool, shared suite

// Application core and memory cleaner.
inline constexpr Key kInitialized{"Initialized"};                           // bool, NO
inline constexpr Key kPurgeAfterHugeAppQuit{"PurgeAfterHugeAppQuit"};       // bool, YES (written on first start)
inline constexpr Key kShowInfo{"ShowInfo"};                                 // bool, YES (written on first start)
inline constexpr Key kAutoFree{"AutoFree"};                                 // bool, NO
inline constexpr Key kFrequency{"Frequency"};                               // integer 0..2, 1
inline constexpr Key kUsageLimit{"UsageLimit"};                             // double 0..1, 0.8
inline constexpr Key kPurgeFrequencyOften{"ATEST:PURGE_FREG_OFTEN"};        // seconds, 7200
inline constexpr Key kPurgeFrequencyNormally{"ATEST:PURGE_FREG_NORMALLY"};  // seconds, 14400
inline constexpr Key kPurgeFrequencyRarely{"ATEST:PURGE_FREG_RARELY"};      // seconds, 28800
inline constexpr Key kCleanedSize{"KEY_cleanedSize"};                       // unsigned 64-bit bytes, 0
inline constexpr Key kWelcomeDialogDisplayed{"KEY_welcomeDialogDisplayed"}; // bool, NO
inline constexpr Key kIsNotFirstLaunch{"KEY_IsNotFirstLaunch"};             // bool, NO
inline constexpr Key kFinderIntegration{"KEY_FinderIntegration"};           // bool, NO
inline constexpr Key kVisionPrefIndex{"VisionPrefIndex"};                   // long, 1
inline constexpr Key kSuppressAlertMoveToApplications{"suppressAlertMoveTorvekToApplications"}; // bool, NO
inline constexpr Key kAutoStartToggledByUser{"AutoStartToggledByUser"};                         // any; presence only
inline constexpr Key kAutoStart{"AutoStart"};                                                   // any; presence only
inline constexpr Key kMainWindowLock{"main_window:state:lock"};                                 // bool, YES
inline constexpr Key kMainWindowX{"main_window:state:x"};                                       // float, absent
inline constexpr Key kMainWindowY{"main_window:state:y"}; // float (top edge), absent

// Keys interpreted by other parts of the application.
inline constexpr Key kCheckHiddenFilesVisibility{"CheckHiddenFilesVisibility"};                           // bool
inline constexpr Key kShowInformationAboutAccessibilityAlerts{"ShowInformationAboutAccessibilityAlerts"}; // bool
inline constexpr Key kSwitchHiddenFilesVisibilityOption{
    "Preferences.SwitchHiddenFilesVisibilityOptionRawValue"};                                   // integer, 0
inline constexpr Key kDiskAccessData{"DISK_ACCESS_DATA"};                                       // data
inline constexpr Key kPanelWindowStateIsDetailed{"PanelWindowSateIsDetailed"};                  // bool, YES
inline constexpr Key kSearchLocation{"KEY_SearchLocation"};                                     // path
inline constexpr Key kCustomFolderButtonSearchLocation{"KEY_CustomFolderButtonSearchLocation"}; // path
inline constexpr Key kDontShowDeleteAlertDialog{"KEY_dontShowDeleteAlertDialog"};               // bool, NO
inline constexpr Key kDontShowNewSearchAlertDialog{"KEY_dontShowNewSearchAlertDialog"};         // bool, NO
inline constexpr Key kCachesSize{"CachesSize"};
inline constexpr Key kTrashSize{"TrashSize"};
inline constexpr Key kDownloadsSize{"DownloadsSize"};
inline constexpr Key kRescanDiskJunkTime{"ATEST:RESCAN_DISK_JUNK_TIME"};
inline constexpr Key kLastViewedSearchResults{"LastViewedSearchResults"};
inline constexpr Key kAdsBannerBeenClosed{"KEY_adsBannerBeenClosed"}; // bool, NO
inline constexpr Key kAdsDialogBeenClosed{"KEY_adsDialogBeenClosed"}; // bool, NO
inline constexpr Key kIsNeedShowCalculationLog{"ATEST:IS_NEED_SHOW_CALCULATION_LOG"};
inline constexpr Key kWebHost{"ATEST:WEB_HOST"}; // scheme, host and port of the maker's web host

// Prefixes handed to the promotion downloaders.
inline constexpr Key kPromoMacToolsPrefix{"PROMO_MANAGER:mac_tools:"};
inline constexpr Key kPromoNewsPrefix{"PROMO_MANAGER:news:"};
inline constexpr Key kPromoAdsPrefix{"PROMO_MANAGER:ads:"};
inline constexpr Key kPromoNewsLastReadedVersion{"PROMO_MANAGER:news:last_readed_version"}; // integer

// Rate dialog and tools dialog schedules.
inline constexpr Key kRateDialogCurrentAppVersion{"RATE_DIALOG_DATA:current_app_version"}; // string
inline constexpr Key kRateDialogNextShowDate{"RATE_DIALOG_DATA:next_show_date"};           // date
inline constexpr Key kRateDialogIsUserSelectStar{"RATE_DIALOG_DATA:is_user_select_star"};  // bool, NO
inline constexpr Key kRateDialogCountOfAutoShow{"RATE_DIALOG_DATA:count_of_auto_show"};    // integer, 0
inline constexpr Key kMacToolsDialogNextShowDate{"MAC_TOOLS_DIALOG_DATA:next_show_date"};  // date
inline constexpr Key kMacToolsDialogShowedVersion{"MAC_TOOLS_DIALOG_DATA:showed_version"}; // integer

// Usage analytics: the anonymous installation identifier, stored on the first hit.
inline constexpr Key kGoogleAnalyticsUserId{"ga:user_id"}; // string

} // namespace lurkel::SettingsKeys
