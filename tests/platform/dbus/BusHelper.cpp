// The second process of the bus tests. Modes (arguments in hex where they may hold any bytes):
//   observe NAME_HEX [OBJECT_HEX]   prints "ready", then "note NAME_HEX OBJECT_HEX PATHS" per
//                                   notification, PATHS being "-" (no paths) or "=" and the
//                                   paths in hex, separated by commas
//   post NAME_HEX OBJECT_HEX [PATH_HEX...]   posts (with the paths when given) and exits
//   claim NAME [bare]               prints "claimed" (and serves Activate and Quit unless
//                                   bare) or "refused running=0|1 pid=N" and exits
// Apart from "post" and a refused claim it runs until its standard input is closed.
#include "BusTestSupport.h"
#include "MessageNames.h"

#include "DistributedNotificationCenter.h"
#include "RunningApplications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace lurkel;
using lurkel::test::fromHex;
using lurkel::test::toHex;

namespace {

void say(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

QString text(const char *hex)
{
    return QString::fromStdString(fromHex(hex));
}

std::string hexOf(const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    return toHex(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

// Makes sure everything sent so far has reached the bus.
void roundTrip()
{
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
}

int runUntilInputCloses(QCoreApplication &app)
{
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app, &input] {
        char buf[256];
        if (::read(STDIN_FILENO, buf, sizeof buf) <= 0) {
            input.setEnabled(false);
            app.quit();
        }
    });
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    auto &center = DistributedNotificationCenter::defaultCenter();

    if (mode == "observe" && argc >= 3) {
        std::optional<QString> object;
        if (argc >= 4) object = text(argv[3]);
        center.addObserver(text(argv[2]), object, [](const Notification &note) {
            std::string paths = "-";
            if (const auto list = DistributedNotificationCenter::pathsFromUserInfo(note.userInfo)) {
                paths = "=";
                for (std::size_t i = 0; i < list->size(); ++i)
                    paths += (i ? "," : "") + toHex((*list)[i].bytes());
            }
            say("note " + hexOf(note.name) + " " + hexOf(note.object.toString()) + " " + paths);
        });
        // Ready once a notification to ourselves came back: Qt delivers in order from then on.
        const QString probe = QStringLiteral("BusHelperProbe");
        center.addObserver(probe, std::nullopt, [](const Notification &) { say("ready"); });
        center.post(probe, QString());
        return runUntilInputCloses(app);
    }
    if (mode == "post" && argc >= 4) {
        QVariantMap userInfo;
        if (argc > 4) {
            BytePathList paths;
            for (int i = 4; i < argc; ++i)
                paths.emplace_back(fromHex(argv[i]));
            userInfo.insert(QString::fromLatin1(MessageNames::kPathsKey),
                            DistributedNotificationCenter::pathsValue(paths));
        }
        const bool posted = center.post(text(argv[2]), text(argv[3]), userInfo);
        roundTrip();
        return posted ? 0 : 1;
    }
    if (mode == "claim" && argc >= 3) {
        const QString name = QString::fromLocal8Bit(argv[2]);
        if (!RunningApplications::claim(name)) {
            say("refused running=" + std::to_string(RunningApplications::isRunning(name) ? 1 : 0) +
                " pid=" + std::to_string(RunningApplications::pidOf(name).value_or(0)));
            return 0;
        }
        ApplicationBusObject object;
        if (argc < 4 || std::strcmp(argv[3], "bare") != 0) {
            object.onActivate = [] { say("activated"); };
            object.onQuit = [&app] {
                say("quit");
                app.quit();
            };
            object.registerOnBus();
        }
        say("claimed");
        return runUntilInputCloses(app);
    }
    std::fprintf(stderr, "usage: %s observe|post|claim ...\n", argv[0]);
    return 2;
}
