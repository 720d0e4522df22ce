#include "TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    lurkel::test::TestEnvironment::setUpProcess();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    lurkel::test::TestEnvironment::tearDownProcess();
    return rc;
}
