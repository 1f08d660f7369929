// One QApplication for the whole test program (offscreen platform), made before the first test
// and destroyed after the last one, while Qt's own globals still exist.
#pragma once

#include <QApplication>

namespace kc::test {

// The application; created by the test environment, or on first use by a test that runs first.
QApplication& EnsureApplication();

}  // namespace kc::test
