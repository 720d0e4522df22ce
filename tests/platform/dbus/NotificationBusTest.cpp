#include "BusTestSupport.h"
#include "MessageNames.h"
#include "PrivateBus.h"

#include "DistributedNotificationCenter.h"
#include "Fixtures.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <thread>

namespace lurkel::test {
namespace {

using DNC = DistributedNotificationCenter;

QString q(const char *s)
{
    return QString::fromUtf8(s);
}

// What one observer received, in order.
struct Inbox {
    std::vector<Notification> notes;
    std::vector<QThread *> threads;

    DNC::Observer observer()
    {
        return [this](const Notification &note) {
            notes.push_back(note);
            threads.push_back(QThread::currentThread());
        };
    }
    std::vector<QString> objects() const
    {
        std::vector<QString> out;
        for (const Notification &n : notes)
            out.push_back(n.object.toString());
        return out;
    }
};

// Paths no text type can carry: invalid UTF-8, a line feed, the ", " the object uses as a
// separator, and the rest of the hostile names.
BytePathList awkwardPaths()
{
    BytePathList paths;
    for (const std::string &name : lurkel::test::hostileNames())
        paths.push_back(BytePath("/tmp") / name);
    paths.push_back(BytePath("/plain"));
    return paths;
}
const BytePathList kAwkwardPaths = awkwardPaths();

class DistributedNotificationBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        waitForBusDelivery();
    }

    DNC center;
};

TEST_F(DistributedNotificationBusTest, ObserversSeeOnlyTheirNameAndObject)
{
    Inbox byName, byObject, everything, quoted, marker;
    center.addObserver(q("Note"), std::nullopt, byName.observer());
    center.addObserver(q("Note"), q("A"), byObject.observer());
    // an apostrophe cannot stand in a bus match rule as Qt writes it
    center.addObserver(q("Note"), q("/home/u/it's"), quoted.observer());
    center.addObserver(QString(), std::nullopt, everything.observer());
    center.addObserver(q("Marker"), std::nullopt, marker.observer());

    EXPECT_TRUE(center.post(q("Unrelated"), q("A")));
    EXPECT_TRUE(center.post(q("Note"), q("B"), {{q("count"), 2}}));
    EXPECT_TRUE(center.post(q("Note"), q("A"), {{q("KEY_showHiddenState"), true}}));
    EXPECT_TRUE(center.post(q("Note"), q("/home/u/it's")));
    EXPECT_TRUE(center.post(q("Marker"), q("A")));
    // The bus keeps one sender's order: once the marker is in, everything before it is.
    ASSERT_TRUE(waitUntil([&] { return !marker.notes.empty() && everything.notes.size() == 5; }));

    EXPECT_EQ(byName.objects(), (std::vector<QString>{q("B"), q("A"), q("/home/u/it's")}));
    EXPECT_EQ(quoted.objects(), std::vector<QString>{q("/home/u/it's")});
    ASSERT_EQ(byObject.objects(), std::vector<QString>{q("A")});
    EXPECT_EQ(byObject.notes[0].name, q("Note"));
    EXPECT_EQ(byObject.notes[0].userInfo.value(q("KEY_showHiddenState")), QVariant(true));
    EXPECT_EQ(byName.notes[0].userInfo.value(q("count")).toInt(), 2);
}

TEST_F(DistributedNotificationBusTest, RemovedObserversAndObserversOfDestroyedContextsAreNotCalled)
{
    int kept = 0, removed = 0, withContext = 0, once = 0;
    const auto removedToken = center.addObserver(q("N"), std::nullopt, [&](const Notification &) { ++removed; });
    center.addObserver(q("N"), std::nullopt, [&](const Notification &) { ++kept; });
    auto context = std::make_unique<QObject>();
    center.addObserver(
        q("N"), std::nullopt, [&](const Notification &) { ++withContext; }, context.get());
    DNC::Token onceToken = 0;
    onceToken = center.addObserver(q("Once"), std::nullopt, [&](const Notification &) {
        ++once;
        center.removeObserver(onceToken); // from inside its own delivery
    });

    center.post(q("Once"), q("x"));
    center.post(q("Once"), q("x"));
    center.post(q("N"), q("x"));
    ASSERT_TRUE(waitUntil([&] { return kept == 1; }));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(withContext, 1);

    center.removeObserver(removedToken);
    context.reset();
    center.post(q("Once"), q("x"));
    center.post(q("N"), q("x"));
    ASSERT_TRUE(waitUntil([&] { return kept == 2; }));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(withContext, 1);
    EXPECT_EQ(once, 1);
}

TEST_F(DistributedNotificationBusTest, ObserverAddedOnAnotherThreadIsCalledOnTheMainThread)
{
    Inbox inbox;
    std::thread([&] { center.addObserver(q("Threaded"), q("o"), inbox.observer()); }).join();
    center.post(q("Threaded"), q("o"));
    ASSERT_TRUE(waitUntil([&] { return !inbox.notes.empty(); }));
    EXPECT_EQ(inbox.threads[0], QCoreApplication::instance()->thread());
}

TEST_F(DistributedNotificationBusTest, PathsTravelAsExactBytes)
{
    QVariantMap info{{QString::fromLatin1(MessageNames::kPathsKey), DNC::pathsValue(kAwkwardPaths)}};
    EXPECT_EQ(DNC::pathsFromUserInfo(info), kAwkwardPaths); // before it travels

    Inbox inbox;
    center.addObserver(q("Hide"), std::nullopt, inbox.observer());
    center.post(q("Hide"), q("joined"), info);
    center.post(q("Hide"), q("empty"), {{QString::fromLatin1(MessageNames::kPathsKey), DNC::pathsValue({})}});
    center.post(q("Hide"), q("text"), {{QString::fromLatin1(MessageNames::kPathsKey), q("/a, /b")}});
    center.post(q("Hide"), q("none"));
    ASSERT_TRUE(waitUntil([&] { return inbox.notes.size() == 4; }));

    const QVariantMap &received = inbox.notes[0].userInfo;
    EXPECT_EQ(DNC::pathsFromUserInfo(received), kAwkwardPaths);
    EXPECT_EQ(DNC::pathsFromUserInfo(received), kAwkwardPaths) << "a second reading of the same value";
    EXPECT_EQ(DNC::pathsFromUserInfo(inbox.notes[1].userInfo), BytePathList{});
    EXPECT_EQ(DNC::pathsFromUserInfo(inbox.notes[2].userInfo), std::nullopt);
    EXPECT_EQ(DNC::pathsFromUserInfo(inbox.notes[3].userInfo), std::nullopt);
}

struct Opaque {
    int value = 0;
};

TEST_F(DistributedNotificationBusTest, UserInfoTravelsWholeOrThePostIsRefused)
{
    // libdbus would abort the process on a value Qt cannot marshal: such posts must fail.
    const QVariant opaque = QVariant::fromValue(Opaque{1});
    EXPECT_FALSE(center.post(q("N"), q("x"), {{q("opaque"), opaque}}));
    EXPECT_FALSE(center.post(q("N"), q("x"), {{q("nested"), QVariantList{1, QVariantMap{{q("o"), opaque}}}}}));
    EXPECT_FALSE(center.post(q("N"), q("x"), {{q("invalid"), QVariant()}}));

    Inbox inbox;
    center.addObserver(q("N"), std::nullopt, inbox.observer());
    const QVariantMap info{{q("list"), QStringList{q("a"), q("b")}},
                           {q("big"), qint64(1) << 40},
                           {q("map"), QVariantMap{{q("d"), 2.5}, {q("s"), q("é")}}}};
    EXPECT_TRUE(center.post(q("N"), q("x"), info));
    ASSERT_TRUE(waitUntil([&] { return !inbox.notes.empty(); }));
    const QVariantMap &got = inbox.notes[0].userInfo;
    EXPECT_EQ(got.value(q("list")).toStringList(), (QStringList{q("a"), q("b")}));
    EXPECT_EQ(got.value(q("big")).toLongLong(), qint64(1) << 40);
    const QVariantMap map = qdbus_cast<QVariantMap>(got.value(q("map")));
    EXPECT_EQ(map.value(q("d")).toDouble(), 2.5);
    EXPECT_EQ(map.value(q("s")).toString(), q("é"));
}

TEST_F(DistributedNotificationBusTest, ObserverInAnotherProcessSeesOnlyItsObject)
{
    HelperProcess observer(programBesideTest("lurkel_bus_helper"), {"observe", toHex("Note"), toHex("A")});
    ASSERT_EQ(observer.readLine(), "ready");

    center.post(q("Note"), q("B"));
    center.post(q("Other"), q("A"));
    center.post(q("Note"), q("A"), {{QString::fromLatin1(MessageNames::kPathsKey), DNC::pathsValue(kAwkwardPaths)}});
    std::string paths;
    for (const BytePath &path : kAwkwardPaths)
        paths += (paths.empty() ? "" : ",") + toHex(path.bytes());
    EXPECT_EQ(observer.readLine(), "note " + toHex("Note") + " " + toHex("A") + " =" + paths);

    center.post(q("Note"), q("B"));
    std::vector<std::string> rest;
    const int status = observer.finish(&rest);
    EXPECT_EQ(rest, std::vector<std::string>{});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(DistributedNotificationBusTest, PathsPostedByAnotherProcessArriveExactly)
{
    Inbox inbox;
    center.addObserver(q("AppSyncExtensionWantsToHideSelectedFiles"), std::nullopt, inbox.observer());
    const std::string object = "/tmp/caf\xef\xbf\xbd\xef\xbf\xbd\n2, x, /home/u/a, b, /plain";
    std::vector<std::string> args{"post", toHex("AppSyncExtensionWantsToHideSelectedFiles"), toHex(object)};
    for (const BytePath &p : kAwkwardPaths)
        args.push_back(toHex(p.bytes()));
    HelperProcess poster(programBesideTest("lurkel_bus_helper"), args);
    const int status = poster.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_TRUE(waitUntil([&] { return !inbox.notes.empty(); }));
    EXPECT_EQ(inbox.notes[0].object.toString(), QString::fromStdString(object));
    EXPECT_EQ(DNC::pathsFromUserInfo(inbox.notes[0].userInfo), kAwkwardPaths);
}

} // namespace
} // namespace lurkel::test
