#include "qt_app.h"

#include <gtest/gtest.h>

#include <memory>

namespace kc::test {
namespace {

int argc = 1;
char name[] = "qt_tests";
char* argv[] = {name, nullptr};
std::unique_ptr<QApplication> application;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { EnsureApplication(); }
  void TearDown() override { application.reset(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& EnsureApplication() {
  if (!application) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KC_TEST_SCALE_FACTOR
    // A high-resolution screen for the whole program; read once, when the application starts.
    qputenv("QT_SCALE_FACTOR", KC_TEST_SCALE_FACTOR);
#endif
    application = std::make_unique<QApplication>(argc, argv);
  }
  return *application;
}

}  // namespace kc::test
