// The other side of the settings tests:
//   DOMAIN PREFIX COUNT  writes keys PREFIX0..PREFIX<COUNT-1>, synchronizing after each;
//   DOMAIN KEY           sets KEY once, synchronizes, and prints "synchronize=<0|1> read-only=<0|1>".
#include "UserDefaults.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s DOMAIN (PREFIX COUNT | KEY)\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    lurkel::UserDefaults defaults(QString::fromUtf8(argv[1]));
    if (argc == 3) {
        defaults.setBool(QString::fromUtf8(argv[2]), true);
        const bool synchronized = defaults.synchronize();
        std::printf("synchronize=%d read-only=%d\n", synchronized, defaults.isReadOnly());
        return 0;
    }
    const QString prefix = QString::fromUtf8(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        defaults.setInteger(prefix + QString::number(i), i);
        if (!defaults.synchronize()) return 1;
    }
    return 0;
}
