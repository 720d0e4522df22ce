// A stand-in for lurkel in the integration's tests, installed under the name "lurkel" beside
// a copy of lurkel-finder-sync. It claims the application's bus name and exports its bus
// object (answering, and serving Quit) only when a test calls Open on kGatePath: late, or with
// LURKEL_STANDIN_NEVER set, never.
#include "Identity.h"
#include "RunningApplications.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdlib>

namespace {

class Gate : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brendix.LurkelTestGate")
public:
    lurkel::ApplicationBusObject application;

public Q_SLOTS:
    void Open()
    {
        application.onQuit = [] { QCoreApplication::quit(); };
        application.registerOnBus();
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!lurkel::RunningApplications::claim(QString::fromLatin1(lurkel::Identity::kBundleIdentifier))) return 0;
    Gate gate;
    if (std::getenv("LURKEL_STANDIN_NEVER") == nullptr) {
        QDBusConnection::sessionBus().registerObject(QStringLiteral("/com/brendix/LurkelTestGate"), &gate,
                                                     QDBusConnection::ExportAllSlots);
    }
    return QCoreApplication::exec();
}

#include "StandInApp.moc"
