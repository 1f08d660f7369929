// Runs the tests inside the program's own application object, so the general error report is the
// one under test.
#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Test discovery runs the program at build time, where there may be no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  kc::Application app(argc, argv);
  // Tests close main windows; the application object must outlive them all.
  app.setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
