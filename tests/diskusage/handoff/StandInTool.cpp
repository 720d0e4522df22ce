// A stand-in for one of the maker's sibling tools in the hand-off tests:
//   lurkel_handoff_standin BUNDLE_ID VIEW_TYPE MARKER
// It claims BUNDLE_ID on the session bus, appends "started" to MARKER, announces itself with
// the start-scanning handshake and appends "scanning" when asked to scan, and "activated" when
// activated; it ends on Quit.
#include "RunningApplications.h"
#include "StartScanningInLaunchedAppManager.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

const char *g_marker = nullptr;

void mark(const std::string &word)
{
    const int fd = ::open(g_marker, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string line = word + "\n";
    if (::write(fd, line.data(), line.size()) < 0) ::_exit(3);
    ::close(fd);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace lurkel;
    if (argc != 4) return 2;
    QCoreApplication app(argc, argv);
    g_marker = argv[3];
    if (!RunningApplications::claim(QString::fromUtf8(argv[1]))) return 1;
    ApplicationBusObject busObject;
    busObject.onActivate = [] { mark("activated"); };
    busObject.onQuit = [] { QCoreApplication::quit(); };
    busObject.registerOnBus();

    auto &handshake = StartScanningInLaunchedAppManager::shared();
    handshake.startScaningBlock = [] { mark("scanning"); };
    mark("started");
    handshake.appWithTypeDidFinishLaunching(std::stoi(argv[2]));
    return QCoreApplication::exec();
}
