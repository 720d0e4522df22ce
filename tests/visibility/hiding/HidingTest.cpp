// The hide/unhide rule and the reading of requests from other programs.
#include "DistributedNotificationCenter.h"
#include "Fixtures.h"
#include "HiddenItemsUpdater.h"
#include "MessageNames.h"
#include "TestEnvironment.h"
#include "VisibilityRequest.h"

#include <gtest/gtest.h>

using namespace lurkel;
using namespace lurkel::test;

TEST(HiddenItemsUpdater, UnhideRenamesDotNamesHideKeepsNames)
{
    const BytePath dir = makeDir(TestEnvironment::freshHome() / "d");
    for (const char *name : {".x", "y", ".taken", ".z", "z"})
        writeFile(dir / name, name);
    writeFile(dir / "taken", "the other one");
    writeFile(dir / ".hidden", ".x\nx\ny\n.taken\nkeep\n");

    const VisibilityUpdate shown = HiddenItemsUpdater::performSetVisibilityForFilesArray(
        true, {dir / ".x", dir / "missing", dir / "y", dir / ".taken"});
    EXPECT_EQ(shown.changed, (BytePathList{dir / "x", dir / "y", dir / ".taken"}));
    ASSERT_EQ(shown.failures.size(), 2u);
    EXPECT_EQ(shown.failures[0].path, dir / "missing");
    EXPECT_EQ(shown.failures[1].path, dir / ".taken");
    EXPECT_EQ(shown.failures[1].error.code, EEXIST);
    EXPECT_EQ(readFile(dir / "x"), ".x");
    EXPECT_FALSE(exists(dir / ".x"));
    EXPECT_EQ(readFile(dir / ".taken"), ".taken") << "a failed rename leaves the dotted item";
    EXPECT_EQ(readFile(dir / "taken"), "the other one");
    EXPECT_EQ(readFile(dir / ".hidden"), "keep\n") << "the stale line of the new name went too";

    const VisibilityUpdate hidden =
        HiddenItemsUpdater::performSetVisibilityForFilesArray(false, {dir / ".z", dir / "z"});
    EXPECT_TRUE(hidden.failures.empty());
    EXPECT_EQ(hidden.changed, (BytePathList{dir / ".z", dir / "z"}));
    EXPECT_EQ(readFile(dir / ".hidden"), "keep\n.z\nz\n");
    EXPECT_TRUE(exists(dir / ".z") && exists(dir / "z"));
}

TEST(VisibilityRequest, ExactPathsFirstElseTheObjectSplitOnCommaSpace)
{
    const QString key = QString::fromLatin1(MessageNames::kPathsKey);
    const auto exact = [&key](const BytePathList &paths, QVariant object = QStringLiteral("ignored")) {
        return Notification{
            QStringLiteral("Hide"), std::move(object), {{key, DistributedNotificationCenter::pathsValue(paths)}}};
    };
    const auto joined = [](const char *object) {
        return Notification{QStringLiteral("Hide"), QString::fromUtf8(object), {}};
    };
    struct Case {
        const char *what;
        Notification note;
        std::optional<BytePathList> paths;
    };
    const Case cases[] = {
        {"exact paths, a comma inside a name kept", exact({BytePath("/d/a, b"), BytePath("/d/\xff\n")}),
         BytePathList{BytePath("/d/a, b"), BytePath("/d/\xff\n")}},
        {"exact paths, a relative one refused", exact({BytePath("rel"), BytePath("/d/x")}),
         BytePathList{BytePath("/d/x")}},
        {"exact paths, nothing usable", exact({BytePath("rel")}), std::nullopt},
        {"exact paths, empty list", exact({}), std::nullopt},
        {"paths that are not byte strings",
         Notification{QStringLiteral("Hide"), QStringLiteral("/d/x"), {{key, QStringLiteral("/d/x")}}}, std::nullopt},
        {"joined object", joined("/d/a, /d/b"), BytePathList{BytePath("/d/a"), BytePath("/d/b")}},
        {"joined object, empty pieces skipped", joined("/d/a, , /d/b"),
         BytePathList{BytePath("/d/a"), BytePath("/d/b")}},
        {"joined object, nothing", joined(""), std::nullopt},
        {"joined object with a piece that is not absolute: all refused", joined("/d/a, b.txt"), std::nullopt},
        {"an object that is no text", Notification{QStringLiteral("Hide"), QVariant(42), {}}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(VisibilityRequest::pathsOfVisibilityRequest(c.note), c.paths);
    }
}

TEST(VisibilityRequest, AHugeRefusedRequestIsOneLogLine)
{
    static int lines = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { ++lines; });
    BytePathList relative(100000, BytePath("relative\nforged log line"));
    const Notification note{
        QStringLiteral("Hide"),
        QString(),
        {{QString::fromLatin1(MessageNames::kPathsKey), DistributedNotificationCenter::pathsValue(relative)}}};
    EXPECT_EQ(VisibilityRequest::pathsOfVisibilityRequest(note), std::nullopt);
    qInstallMessageHandler(previous);
    EXPECT_EQ(lines, 1);
}
