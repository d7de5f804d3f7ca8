// The app tests need an application object for Qt's event loop and network access. Started as
// `app_tests --child NAME [ARGUMENT]`, the binary runs that child routine instead (ChildRoutine.h).
#include "ChildRoutine.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        const auto found = TestSupport::childRoutines().find(argv[2]);
        if (found == TestSupport::childRoutines().end()) {
            std::fprintf(stderr, "no child routine %s\n", argv[2]);
            return 2;
        }
        return found->second(argc >= 4 ? argv[3] : "");
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
