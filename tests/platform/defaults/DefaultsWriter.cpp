// Writes the integers 0, 1, 2, ... under the keys "k0", "k1", ... of the store in the folder
// named by its argument, and prints each number on its own line once its write has returned.
// The durability test kills it at some point and checks that every printed write is on disk.
#include "UserDefaults.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    UserDefaults store(QString::fromLocal8Bit(argv[1]));
    for (qint64 i = 0;; ++i) {
        store.setInteger(i, QStringLiteral("k%1").arg(i));
        std::printf("%lld\n", static_cast<long long>(i));
        std::fflush(stdout);
    }
}
