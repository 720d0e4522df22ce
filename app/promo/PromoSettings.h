#pragma once

#include <QString>

#include <optional>

namespace lurkel {

class UserDefaults;

// The maker's addresses. Every one of them is built on one web host, https://brendix.example,
// which the standard defaults key "ATEST:WEB_HOST" overrides (scheme, host and optional
// port, e.g. "http://127.0.0.1:8080") so that tests can run against a local server.
// The addresses are filled once per process, on first use.
class PromoSettings {
public:
    static inline constexpr const char kDefaultWebHost[] = "https://brendix.example";

    // Fills the addresses from the standard defaults the first time; later calls do nothing.
    // Every getter calls it, so calling it first is only a matter of when the host is read.
    static void LoadMemoryCleanerXData();
    // Fills the addresses again from the given store (tools and tests that change the host).
    static void reloadFromDefaults(UserDefaults &defaults);

    // "scheme://host[:port]" of the maker's site in use, without a trailing slash.
    static QString webHost();

    // The three feeds, in the folder "/pro-support/lurkel/" of the host.
    static QString getMacToolsXMLWebURL();      // tools2.xml
    static QString getNewsXMLWebURL();          // news2.xml
    static QString getAdvertisimentXMLWebURL(); // messages.xml
    // The news as a web page in the same folder ("news/"): what a news notification opens.
    static QString getNewsWebPageURL();
    // The product's page in the software catalogue (asked for by the rate dialog).
    static QString getRateTheAppLink();
    // The store page of the maker's application-removal tool (the advertisement dialog).
    static QString getQuenbyLabProductURLonAppStore();
    // The how-to article on showing hidden files, with its own campaign query.
    static QString getShowHiddenInFinderInstructionURLonBrendix();
    // The product's getting-started page, without query or anchor (the permission sheet and
    // the access-error alert add both).
    static QString getGettingStartedURLonBrendix();
    // The README as published on the maker's site; its Troubleshooting section has an
    // anchor per access problem (the access-error alert's settings targets).
    static QString getReadmeURLonBrendix();

    // Whether the disk-usage scanners log what they count: the standard defaults key
    // "ATEST:IS_NEED_SHOW_CALCULATION_LOG", read once per process; only a number counts (its
    // truth value), anything else leaves the log off.
    static bool IS_NEED_SHOW_CALCULATION_LOG();

    // A host override as "scheme://host[:port]": an http or https address with a host and
    // nothing else (no user, path, query or fragment; a lone "/" is allowed). nullopt when
    // the text is not such an address.
    static std::optional<QString> parseWebHost(const QString &text);
};

} // namespace lurkel
