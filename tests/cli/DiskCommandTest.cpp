#include "DiskCommand.h"
#include "CommandLine.h"
#include "Fixtures.h"
#include "Interrupt.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::cli;

namespace {

std::pair<int, std::string> runDisk(const std::vector<std::string> &args)
{
    CommandLine line;
    DiskCommand::registerIn(line);
    std::ostringstream out, err;
    CommandIO io{out, err, false};
    std::vector<std::string> all{"disk"};
    all.insert(all.end(), args.begin(), args.end());
    const int rc = line.run(all, io);
    return {rc, out.str()};
}

QJsonObject parse(const std::string &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return document.object();
}

void writeInto(const BytePath &path, const std::string &content)
{
    ASSERT_TRUE(XdgDirs::makePath(path.parent(), 0755));
    test::writeFile(path, content);
}

TEST(DiskCommand, FiguresWithTheFilesAsBytes)
{
    const BytePath home = test::TestEnvironment::freshHome();
    writeInto(home / ".cache/app/blob", std::string(70000, 'c'));
    const std::string content(60000, 'd');
    const std::string oddName = "odd-\xff.bin";
    writeInto(home / "a" / oddName, content);
    writeInto(home / "b/same.bin", content);

    const auto [rc, json] = runDisk({"--json"});
    ASSERT_EQ(rc, kExitSuccess);
    const QJsonObject all = parse(json);
    EXPECT_EQ(all.value(QStringLiteral("junk")).toObject().value(QStringLiteral("cachesSize")).toInteger(),
              static_cast<qint64>(test::allocatedSizeByFind(home / ".cache")));
    const QJsonObject duplicates = all.value(QStringLiteral("duplicates")).toObject();
    EXPECT_EQ(duplicates.value(QStringLiteral("count")).toInteger(), 2);
    EXPECT_EQ(duplicates.value(QStringLiteral("size")).toInteger(), 120000);
    const QJsonArray paths =
        duplicates.value(QStringLiteral("groups")).toArray().at(0).toObject().value(QStringLiteral("paths")).toArray();
    ASSERT_EQ(paths.size(), 2);
    // the name that is not UTF-8 comes back as its bytes
    EXPECT_EQ(QByteArray::fromBase64(paths.at(0).toObject().value(QStringLiteral("bytes_b64")).toString().toLatin1())
                  .toStdString(),
              (home / "a" / oddName).bytes());
    EXPECT_EQ(paths.at(1).toString().toStdString(), (home / "b/same.bin").bytes());
    EXPECT_EQ(all.value(QStringLiteral("total")).toInteger(),
              all.value(QStringLiteral("junk")).toObject().value(QStringLiteral("size")).toInteger() + 120000 +
                  all.value(QStringLiteral("applications")).toObject().value(QStringLiteral("size")).toInteger() +
                  all.value(QStringLiteral("largeAndOld")).toObject().value(QStringLiteral("size")).toInteger());

    // one figure in readable units
    const auto [oneRc, text] = runDisk({"duplicates"});
    EXPECT_EQ(oneRc, kExitSuccess);
    EXPECT_EQ(text, "Duplicates:    117 KB     2 files\n");
    EXPECT_EQ(runDisk({"everything"}).first, kExitUsage);
    EXPECT_EQ(runDisk({"size"}).first, kExitUsage);
}

TEST(DiskCommand, CtrlCStopsWith130)
{
    const BytePath tree = test::makeDir(test::TestEnvironment::root() / "disk-many");
    for (int d = 0; d < 20; ++d)
        for (int i = 0; i < 20; ++i)
            writeInto(tree / ("d" + std::to_string(d)) / ("f" + std::to_string(i)), "x");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"size", tree.bytes()}, std::vector<std::string>{"junk"}}) {
        QTimer::singleShot(0, []() { Interrupt::raiseForTesting(); });
        const auto [rc, out] = runDisk(args);
        Interrupt::resetForTesting();
        EXPECT_EQ(rc, kExitInterrupted) << args[0];
        EXPECT_EQ(out, "");
    }
    const auto [rc, json] = runDisk({"size", "--json", tree.bytes()});
    EXPECT_EQ(rc, kExitSuccess);
    EXPECT_EQ(parse(json).value(QStringLiteral("size")).toInteger(),
              static_cast<qint64>(test::allocatedSizeByFind(tree)));
}

// As an unprivileged user (CI runs as root, which reads everything): a folder that cannot be
// read counts as empty, and the size says it is incomplete.
TEST(DiskCommand, UnreadableFolderMakesTheSizeIncomplete)
{
    if (test::runningAsRoot()) {
        ASSERT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "setpriv is needed to drop root for this test";
    }
    const BytePath area = test::unprivilegedArea();
    const BytePath tree = test::makeDir(area / "tree");
    test::writeFile(tree / "readable", std::string(50000, 'r'));
    const BytePath locked = test::makeDir(tree / "locked", 0700);
    test::writeFile(locked / "secret", std::string(90000, 's'));
    test::giveToUnprivileged(tree);
    test::giveToUnprivileged(tree / "readable");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);

    const test::CtlResult r = test::runLurkelctl({"disk", "size", "--json", tree.bytes()}, area / "home");
    ::chmod(locked.c_str(), 0700);
    EXPECT_EQ(r.exitStatus, kExitFailure) << r.err;
    const QJsonObject result = parse(r.out);
    struct stat st {};
    ASSERT_EQ(::stat((tree / "readable").c_str(), &st), 0);
    EXPECT_EQ(result.value(QStringLiteral("size")).toInteger(), st.st_blocks * 512);
    EXPECT_FALSE(result.value(QStringLiteral("complete")).toBool());
    EXPECT_EQ(result.value(QStringLiteral("unreadableFolders")).toInteger(), 1);
    EXPECT_NE(r.err.find("1 folders could not be read"), std::string::npos) << r.err;
}

} // namespace
