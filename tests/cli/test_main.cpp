#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Pseudo-terminals and child processes are served by the event loop of this application.
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
