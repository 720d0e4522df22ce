#include "TestEnvironment.h"

#ifdef LURKEL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The temporary HOME, XDG folders and the offscreen platform come before Qt starts.
    lurkel::test::TestEnvironment::setUpProcess();
    int rc = 0;
    {
        TestApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    lurkel::test::TestEnvironment::tearDownProcess();
    return rc;
}
