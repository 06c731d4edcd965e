// GoogleTest entry point for tests that need a Qt event loop (socket notifications, host
// lookups): one QCoreApplication for the whole run.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
