#pragma once

// The names Lurkel's programs and windows use to talk to each other: notifications on the
// session bus and on the local centre, their objects and user-info keys, and the bus
// interface that carries them. The programs' bus names are in Identity.h.
namespace lurkel::MessageNames {

// Between programs (the distributed centre on the session bus).
inline constexpr char kDistributedInterface[] = "com.brendix.DistributedNotificationCenter";
inline constexpr char kDistributedPath[] = "/com/brendix/DistributedNotificationCenter";
// integration → application: switch visibility (object kSwitchObject), hide or unhide the
// items (object: the paths joined with ", "; user info kPathsKey: the exact paths as aay)
inline constexpr char kSwitchVisibility[] = "AppSyncExtensionWantsToSwitchVisibility";
inline constexpr char kSwitchObject[] = "n";
inline constexpr char kHideSelectedFiles[] = "AppSyncExtensionWantsToHideSelectedFiles";
inline constexpr char kUnhideSelectedFiles[] = "AppSyncExtensionWantsToUnhideSelectedFiles";
inline constexpr char kPathsKey[] = "paths";
// helper service → application: the new visibility state (object: the application's bus
// name; user info kShowHiddenStateKey: boolean)
inline constexpr char kXpcNote[] = "xpcNote";
inline constexpr char kShowHiddenStateKey[] = "KEY_showHiddenState";
// The helper service lurkel-hider (bus name Identity::kHiderIdentifier): one method
// Request(a{sv}) -> a{sv} on this path and interface. The request's kHiderBody is the
// command kDoShowHidden (s) or the path of one item (ay); kHiderHide (b) is the wanted
// visibility (true: hidden files shown) or the hidden flag to set on the item. The answer
// holds kHiderSuccess (b) and, when that is false, kHiderError (s).
inline constexpr char kHiderPath[] = "/com/brendix/Lurkel_SII/hiderXPC";
inline constexpr char kHiderInterface[] = "com.brendix.Lurkel_SII.hiderXPC";
inline constexpr char kHiderRequest[] = "Request";
inline constexpr char kHiderBody[] = "body";
inline constexpr char kHiderHide[] = "hide";
inline constexpr char kHiderSuccess[] = "success";
inline constexpr char kHiderError[] = "error";
inline constexpr char kDoShowHidden[] = "doShowHidden";
// application → launcher: quit (object: the application's bus name)
inline constexpr char kTerminateHelper[] = "TERMINATEHELPER";
// second copy → running copy: open the panel (object: the application's bus name)
inline constexpr char kAppCopyHaveJustTriedToLaunch[] = "AppCopyHaveJustTriedToLaunchNotificatioName";
// a sibling tool started from the disk-usage panel ↔ this application: the start-scanning
// handshake (object: the tool's start-scanning identifier, no user info)
inline constexpr char kLaunchedAppDidFinishLaunching[] = "com.brendix.LaunchedAppDidFinishLaunching";
inline constexpr char kLaunchedAppAskToStartScanning[] = "com.brendix.LaunchedAppAskToStartScanning";

// Within the application (the local centre).
inline constexpr char kHiddenManagerStateUpdate[] = "HiddenManager stateUpdateNotificationName";
// A switch failed; user info "description": why, for the user.
inline constexpr char kHiddenManagerSwitchFailed[] = "HiddenManager switchFailedNotificationName";
inline constexpr char kShowHiddenStatusChanged[] = "showHiddenStatusChangedNotification";
inline constexpr char kShowMainWindowAndMakeActive[] = "ShowMainWindowAndMakeActive";
inline constexpr char kShowWindowAfterStart[] = "ShowWindowAfterStart"; // also the process argument
inline constexpr char kOpenSearchResultDialog[] = "openSearchResultDialogNotification";
inline constexpr char kSearchManagerDidStartSearch[] = "SearchManagerDidStartSearchNotification";
inline constexpr char kPanelWindowDidBecomeActive[] = "PanelWindowDidBecomeActiveNotification";

} // namespace lurkel::MessageNames
