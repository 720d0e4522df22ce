// Writes keys PREFIX0..PREFIX<COUNT-1>, synchronizing after each: the concurrent-writers test's other side.
#include "UserDefaults.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DOMAIN PREFIX COUNT\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    lurkel::UserDefaults defaults(QString::fromUtf8(argv[1]));
    const QString prefix = QString::fromUtf8(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        defaults.setInteger(prefix + QString::number(i), i);
        if (!defaults.synchronize()) return 1;
    }
    return 0;
}
