#include "SearchCommand.h"
#include "CommandLine.h"
#include "Fixtures.h"
#include "Interrupt.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::cli;
using namespace std::string_literals;

namespace {

using test::makeDir;
using test::runLurkelctl;

std::set<std::string> splitNul(const std::string &output)
{
    std::set<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\0', start)) != std::string::npos; start = end + 1)
        parts.insert(output.substr(start, end - start));
    EXPECT_EQ(start, output.size()) << "every path ends with NUL";
    return parts;
}

// Names a shell, a line reader or a comma splitter would get wrong.
struct HostileTree {
    BytePath root = test::TestEnvironment::root() / "hostile";
    const std::string badName = "abc\xff\xfe"s;
    std::vector<std::string> regular = {
        "new\nline-abc", "quo\"te'abc", "-abc-dash", badName, "abc" + std::string(252, 'x'), "a, abc, b", "abc.app"};

    HostileTree()
    {
        makeDir(root);
        makeDir(root / "abc.app");
        for (const std::string &name : regular)
            if (name != "abc.app") test::writeFile(root / name, "");
        test::writeFile(root / "abc.app" / "abc-inner", "12345");
        makeDir(root / "sub");
        test::writeFile(root / "sub" / ".hid-abc", "");
        test::writeFile(root / "nomatch.txt", "");
    }
    std::set<std::string> paths(bool withRegular, bool withHidden, bool withPackage) const
    {
        std::set<std::string> result;
        for (const std::string &name : withRegular ? regular : std::vector<std::string>{})
            result.insert((root / name).bytes());
        if (withHidden) result.insert((root / "sub/.hid-abc").bytes());
        if (withPackage) result.insert((root / "abc.app/abc-inner").bytes());
        return result;
    }
};

const HostileTree &hostileTree()
{
    static const HostileTree tree;
    return tree;
}

QByteArray jsonBytes(const QJsonValue &value)
{
    if (value.isString()) return value.toString().toUtf8();
    return QByteArray::fromBase64(value.toObject().value(QStringLiteral("bytes_b64")).toString().toLatin1());
}

std::pair<int, std::string> runInProcess(const std::vector<std::string> &args, bool toTerminal = false)
{
    CommandLine line;
    SearchCommand::registerIn(line);
    std::ostringstream out, err;
    CommandIO io{out, err, toTerminal};
    const int rc = line.run(args, io);
    return {rc, out.str()};
}

std::set<std::string> lines(const std::string &text)
{
    std::set<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        parts.insert(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with a line feed";
    return parts;
}

} // namespace

TEST(SearchCommand, HostileNamesComeOutByteExact)
{
    const HostileTree &tree = hostileTree();
    const std::set<std::string> all = tree.paths(true, true, true);

    const test::CtlResult nul = runLurkelctl({"search", "-0", "ABC", tree.root.bytes()});
    ASSERT_EQ(nul.exitStatus, 0) << nul.err;
    EXPECT_EQ(nul.err, "");
    EXPECT_EQ(splitNul(nul.out), all);

    const test::CtlResult count = runLurkelctl({"search", "--count", "ABC", tree.root.bytes()});
    ASSERT_EQ(count.exitStatus, 0) << count.err;
    EXPECT_EQ(count.out, std::to_string(all.size()) + "\n");
}

TEST(SearchCommand, ATerminalGetsQuotedNamesAPipeTheBytes)
{
    const BytePath folder = test::makeDir(test::TestEnvironment::root() / "terminal");
    const std::string name = "csi\xc2\x9b[31m-abc";
    test::writeFile(folder / name, "");
    const auto [rc, shown] = runInProcess({"search", "abc", folder.bytes()}, true);
    EXPECT_EQ(rc, kExitSuccess);
    EXPECT_EQ(shown, "'" + folder.bytes() + "/csi\\xc2\\x9b[31m-abc'\n");
    EXPECT_EQ(runInProcess({"search", "abc", folder.bytes()}).second, (folder / name).bytes() + "\n");
}

TEST(SearchCommand, JsonCarriesEveryFieldAndForeignBytesAsBase64)
{
    const HostileTree &tree = hostileTree();
    const test::CtlResult r = runLurkelctl({"search", "--json", "abc", tree.root.bytes()});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    const QJsonArray items = doc.array();

    std::set<std::string> paths;
    int base64Names = 0;
    for (const QJsonValue &value : items) {
        const QJsonObject item = value.toObject();
        const QByteArray name = jsonBytes(item.value(QStringLiteral("fileName")));
        const QByteArray path = jsonBytes(item.value(QStringLiteral("fullFileNameWithPath")));
        paths.insert(path.toStdString());
        EXPECT_EQ(jsonBytes(item.value(QStringLiteral("filePath"))).toStdString() + "/" + name.toStdString(),
                  path.toStdString());
        if (item.value(QStringLiteral("fileName")).isObject()) {
            ++base64Names;
            EXPECT_EQ(name.toStdString(), tree.badName);
        }
        if (name == "abc.app") {
            EXPECT_EQ(item.value(QStringLiteral("fileSize")).toInteger(), 5); // the sum has been awaited
        }
        if (name == "abc-inner") {
            EXPECT_EQ(item.value(QStringLiteral("category")).toString(), QStringLiteral("package"));
        }
    }
    EXPECT_EQ(base64Names, 1);
    EXPECT_EQ(paths, tree.paths(true, true, true));
}

TEST(SearchCommand, ErrorsAreOneLineWithTheRightStatus)
{
    const std::string tree = hostileTree().root.bytes();
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"search", "abc", tree + "/missing\nfolder"}, 1},
        {{"search", "abc", tree + "/nomatch.txt"}, 1},
        {{"search", "", tree}, 1},
        {{"search", "--filter", "bogus", "abc", tree}, 2},
        {{"search", "-0", "--json", "abc", tree}, 2},
    };
    for (const auto &[args, status] : cases) {
        const test::CtlResult r = runLurkelctl(args);
        EXPECT_EQ(r.exitStatus, status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(status != 1 || std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
    }
}

TEST(SearchCommand, CtrlCStopsWith130AndTheNextSearchRunsInFull)
{
    const BytePath big = test::TestEnvironment::root() / "many";
    makeDir(big);
    constexpr int kFiles = 30 * 50;
    for (int d = 0; d < 30; ++d) {
        makeDir(big / ("d" + std::to_string(d)));
        for (int i = 0; i < 50; ++i)
            test::writeFile(big / ("d" + std::to_string(d)) / ("many-" + std::to_string(i)), "");
    }
    for (const std::string mode : {"-0", "--count"}) {
        SCOPED_TRACE(mode);
        const bool count = mode == "--count";
        // raised from the command's own event loop, while the walker runs
        QTimer::singleShot(0, []() { Interrupt::raiseForTesting(); });
        const auto [stoppedRc, stoppedOut] = runInProcess({"search", mode, "many-", big.bytes()});
        Interrupt::resetForTesting();
        EXPECT_EQ(stoppedRc, kExitInterrupted);
        EXPECT_EQ(count ? stoppedOut : "", "");

        const auto [rc, out] = runInProcess({"search", mode, "many-", big.bytes()});
        EXPECT_EQ(rc, kExitSuccess);
        EXPECT_EQ(count ? out : std::to_string(splitNul(out).size()) + "\n", std::to_string(kFiles) + "\n");
    }
}

// As an unprivileged user (CI runs as root, which reads everything): the results come out in
// every form, then each folder that could not be read is named and the status is 1.
TEST(SearchCommand, UnreadableFoldersAreNamedAfterTheResults)
{
    if (test::runningAsRoot()) {
        ASSERT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "setpriv is needed to drop root for this test";
    }
    const BytePath area = test::unprivilegedArea();
    const BytePath tree = test::makeDir(area / "tree");
    const BytePath closed = test::makeDir(tree / "closed-\xc2\x9b\n"), locked = tree / "abc.app/locked";
    test::writeFile(tree / "abc-top", "");
    test::writeFile(closed / "abc-inside", "");
    test::makeDir(tree / "abc.app");
    test::makeDir(locked);
    test::writeFile(tree / "abc.app/abc-inner", "12345");
    test::writeFile(locked / "big", std::string(100000, 'x'));
    ::chmod(closed.c_str(), 0);
    ::chmod(locked.c_str(), 0);
    const std::set<std::string> found = {(tree / "abc-top").bytes(), (tree / "abc.app").bytes(),
                                         (tree / "abc.app/abc-inner").bytes()};
    const std::set<std::string> named = {"lurkelctl: cannot read '" + tree.bytes() +
                                             "/closed-\\xc2\\x9b\\n': Permission denied",
                                         "lurkelctl: cannot read " + locked.bytes() + ": Permission denied"};
    const BytePath home = area / "home";

    test::CtlResult r = runLurkelctl({"search", "abc", tree.bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(lines(r.out), found);
    EXPECT_EQ(lines(r.err), named);

    r = runLurkelctl({"search", "--count", "abc", tree.bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "3\n");
    EXPECT_EQ(lines(r.err), named);

    r = runLurkelctl({"search", "--json", "abc", tree.bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(lines(r.err), named);
    std::set<std::string> paths;
    for (const QJsonValue &value : QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array()) {
        const QJsonObject item = value.toObject();
        paths.insert(jsonBytes(item.value(QStringLiteral("fullFileNameWithPath"))).toStdString());
        const bool package = item.value(QStringLiteral("filePackage")).toBool();
        EXPECT_EQ(item.value(QStringLiteral("fileSizeIncomplete")).toBool(), package) << "locked/ is left out";
        if (package) {
            EXPECT_LT(item.value(QStringLiteral("fileSize")).toInteger(), 100000);
        }
    }
    EXPECT_EQ(paths, found);

    ::chmod(closed.c_str(), 0755);
    ::chmod(locked.c_str(), 0755);
    r = runLurkelctl({"search", "--json", "abc", tree.bytes()}, home);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    EXPECT_EQ(all.size(), 4);
    for (const QJsonValue &value : all) {
        EXPECT_FALSE(value.toObject().value(QStringLiteral("fileSizeIncomplete")).toBool());
        if (value.toObject().value(QStringLiteral("filePackage")).toBool()) {
            EXPECT_GT(value.toObject().value(QStringLiteral("fileSize")).toInteger(), 100000);
        }
    }
}
