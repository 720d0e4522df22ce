// Copy, move and Trash through the handler scripts: installation, arguments as bytes, results.
#include "FinderCommunicator.h"
#include "Fixtures.h"
#include "ScriptTestSupport.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include "EventWait.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

struct Done {
    bool called = false;
    bool success = false;
    std::optional<Error> error;
    FinderCommunicator::Outcome outcome;
};

FinderCommunicator::Completion recordInto(Done &done)
{
    return [&done](const FinderCommunicator::Outcome &outcome) {
        done.called = true;
        done.success = outcome.success;
        done.error = outcome.error;
        done.outcome = outcome;
    };
}

TEST(FinderCommunicator, InstallsItsScriptsAgainWhenDeletedAndCallsTheHandlerForAnEmptyList)
{
    ScriptHome env;
    FinderCommunicator communicator(*env.runner, *env.access);
    EXPECT_FALSE(communicator.copyFilesScriptURL());
    ASSERT_TRUE(communicator.checkCopyFilesScript());
    ASSERT_TRUE(communicator.checkMoveFilesScript());
    ASSERT_TRUE(communicator.checkRemoveFilesScript());
    const BytePath copy = env.scriptPath(FinderCommunicator::kCopyScriptName);
    EXPECT_EQ(communicator.copyFilesScriptURL(), copy);
    EXPECT_EQ(communicator.removeFilesScriptURL(), env.scriptPath(FinderCommunicator::kRemoveScriptName));

    ASSERT_EQ(::unlink(copy.c_str()), 0);
    ASSERT_TRUE(communicator.checkCopyFilesScript());
    EXPECT_EQ(::access(copy.c_str(), R_OK), 0);

    // An empty list still calls the handler: the shipped script succeeds with nothing to do, a
    // user's own script (an older call form) sees the call with no paths.
    ASSERT_EQ(::symlink(lurkelctlProgram().c_str(), env.lurkelctl().c_str()), 0);
    for (const bool own : {false, true}) {
        const BytePath call = env.home / "call";
        if (own)
            env.installOwnScript(FinderCommunicator::kRemoveScriptName,
                                 "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" + call.bytes() + "'\n");
        Done done;
        ASSERT_TRUE(communicator.doRemoveFilesWithCompletion({}, recordInto(done)));
        ASSERT_TRUE(waitUntil([&done] { return done.called; }));
        EXPECT_TRUE(done.success) << own;
        EXPECT_EQ(readFile(call), own ? "1|remove|" : "");
    }

    // Without access to the user folder a deleted script stays missing: no start, no completion.
    ScriptHome locked(BytePath("/nonexistent/lurkel-test-home"));
    FinderCommunicator lockedOut(*locked.runner, *locked.access);
    Done done;
    EXPECT_FALSE(lockedOut.doRemoveFilesWithCompletion({BytePath("/tmp/x")}, recordInto(done)));
    QCoreApplication::processEvents();
    EXPECT_FALSE(done.called);
    EXPECT_FALSE(lockedOut.checkMoveFilesScript());
}

TEST(FinderCommunicator, CopiesMovesAndTrashesHostileNamesThroughLurkelctl)
{
    ScriptHome env;
    const BytePath lurkelctl = lurkelctlProgram();
    ASSERT_EQ(::access(lurkelctl.c_str(), X_OK), 0) << "build lurkelctl first";
    ASSERT_EQ(::symlink(lurkelctl.c_str(), env.lurkelctl().c_str()), 0);
    FinderCommunicator communicator(*env.runner, *env.access);

    const BytePath source = env.home / "source";
    const BytePath copies = env.home / "-copies, here\n";
    const BytePath moved = env.home / "moved $(x)";
    for (const BytePath &folder : {source, copies, moved})
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    BytePathList items;
    for (const std::string &name : kHostileNames) {
        writeFile(source / name, name);
        items.push_back(source / name);
    }
    const std::set<std::string> all(kHostileNames.begin(), kHostileNames.end());
    // Each operation ends with the completion's verdict; a failure carries lurkelctl's own words.
    auto runToEnd = [&communicator](auto operation, const BytePath &first, const BytePathList &paths) {
        BytePathList arguments = paths;
        if (!first.empty()) arguments.insert(arguments.begin(), first);
        Done done;
        EXPECT_TRUE((communicator.*operation)(arguments, recordInto(done), nullptr, {}));
        EXPECT_TRUE(waitUntil([&done] { return done.called; }, 60000));
        return done.success ? QString() : done.error ? done.error->localizedDescription() : QStringLiteral("?");
    };

    EXPECT_EQ(runToEnd(&FinderCommunicator::doCopyFilesWithCompletion, copies, items), QString());
    EXPECT_EQ(namesIn(copies), all);
    for (const std::string &name : kHostileNames)
        EXPECT_EQ(readFile(copies / name), name);
    EXPECT_EQ(namesIn(source), all);

    EXPECT_EQ(runToEnd(&FinderCommunicator::doMoveFilesWithCompletion, moved, items), QString());
    EXPECT_EQ(namesIn(moved), all);
    EXPECT_TRUE(namesIn(source).empty());

    BytePathList inMoved;
    for (const std::string &name : kHostileNames)
        inMoved.push_back(moved / name);
    EXPECT_EQ(runToEnd(&FinderCommunicator::doRemoveFilesWithCompletion, {}, inMoved), QString());
    EXPECT_TRUE(namesIn(moved).empty());
    EXPECT_EQ(namesIn(XdgDirs::dataHome() / "Trash/files"), all);
    EXPECT_EQ(namesIn(XdgDirs::dataHome() / "Trash/info").size(), all.size());
    EXPECT_EQ(::access((env.home / "pwned").c_str(), F_OK), -1);

    const QString text = runToEnd(&FinderCommunicator::doCopyFilesWithCompletion, copies, {source / "gone"});
    EXPECT_TRUE(text.startsWith(QStringLiteral("lurkelctl: copy: "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("(exit 1)"))) << text.toStdString();
}

// The Trash script as Lurkel shipped it before the version lines, byte for byte.
constexpr const char kEarlierRemoveScript[] = R"SCRIPT(#!/bin/sh
# Lurkel: moves items to the Trash for the search results window.
#
# Called as: RemoveFilesToTrash6.scpt remove ITEM...
# The work is done by "$LURKELCTL trash" (the freedesktop Trash), which reports every item it
# could not move on standard error, one a line.
set -u
if [ "${1-}" != remove ]; then
	printf '%s: unknown handler "%s" (expected "remove")\n' "${0##*/}" "${1-}" >&2
	exit 2
fi
shift
if [ -z "${LURKELCTL-}" ]; then
	printf '%s: LURKELCTL is not set\n' "${0##*/}" >&2
	exit 2
fi
# nothing to move
[ $# -ge 1 ] || exit 0
exec "$LURKELCTL" trash -- "$@"
)SCRIPT";

TEST(FinderCommunicator, AnEarlierShippedScriptIsUpgradedAndAnEditedOneIsKeptAndAnnouncedOnce)
{
    ScriptHome env;
    ASSERT_EQ(::symlink(lurkelctlProgram().c_str(), env.lurkelctl().c_str()), 0);
    FinderCommunicator communicator(*env.runner, *env.access);
    std::vector<QString> notices;
    communicator.setNoticeHandler([&notices](const QString &notice) { notices.push_back(notice); });
    QFile resource(QStringLiteral(":/scripts/%1.scpt").arg(QLatin1String(FinderCommunicator::kRemoveScriptName)));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const std::string current = resource.readAll().toStdString();
    ASSERT_EQ(FinderCommunicator::scriptVersion(current), FinderCommunicator::kListOnStandardInputVersion);
    const BytePath script = env.scriptPath(FinderCommunicator::kRemoveScriptName);
    auto trash = [&](const std::string &name) {
        const BytePath item = env.home / name;
        writeFile(item, name);
        Done done;
        EXPECT_TRUE(communicator.doRemoveFilesWithCompletion({item}, recordInto(done)));
        EXPECT_TRUE(waitUntil([&done] { return done.called; }));
        EXPECT_TRUE(done.success) << name;
        EXPECT_EQ(::access(item.c_str(), F_OK), -1) << name;
        return done.outcome;
    };

    // Untouched since an earlier Lurkel installed it: replaced on first use, then called the new way.
    env.installOwnScript(FinderCommunicator::kRemoveScriptName, kEarlierRemoveScript);
    FinderCommunicator::Outcome outcome = trash("first");
    EXPECT_EQ(readFile(script), current);
    struct stat st {};
    ASSERT_EQ(::stat(script.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(outcome.itemized);
    ASSERT_EQ(outcome.items.size(), 1u);
    EXPECT_TRUE(outcome.items[0].done);
    EXPECT_TRUE(notices.empty());

    // Edited by the user: kept, called the older way, and said once.
    const std::string edited = std::string(kEarlierRemoveScript) + "# my own line\n";
    env.installOwnScript(FinderCommunicator::kRemoveScriptName, edited);
    for (const char *name : {"second", "third"}) {
        outcome = trash(name);
        EXPECT_FALSE(outcome.itemized) << name;
        EXPECT_EQ(readFile(script), edited) << name;
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains(QLatin1String(FinderCommunicator::kRemoveScriptName)));
}

} // namespace
} // namespace lurkel::test
