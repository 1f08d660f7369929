// The QSerialPort adapter refuses a port another program holds, whatever name it is given, also
// to root, and never counts the simulated box's own hold on its terminal side. (Built with the
// karaoke-ctl end-to-end tests: karaoke-ctl and the editor both open ports through it.)
#include "../e2e/pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "link/qt/qt_serial_port.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

class QtSerialPortBusy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(box_.ok());
    ASSERT_TRUE(dir_.isValid());
    box_.set_answering(false);
    // A second name of the same terminal, as box-sim --link or /dev/serial/by-id/... give.
    link_ = (fs::path(dir_.path().toStdString()) / "karaoke-box").string();
    fs::create_symlink(box_.path(), link_);
  }

  static void ExpectBusy(QtSerialPort& port, const std::string& name) {
    EXPECT_FALSE(port.Open(name)) << name;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.last_open_error(), QSerialPort::PermissionError) << name;
    EXPECT_EQ(port.last_open_error_text(), kPortBusyText) << name;
  }

  // The box keeps its terminal side open all along (PtyBox, as box-sim does).
  e2e::PtyBox box_;
  QTemporaryDir dir_;
  std::string link_;
};

TEST_F(QtSerialPortBusy, APortHeldByAnotherOpenIsBusyUnderEveryNameUntilItIsClosed) {
  QtSerialPort first;
  ASSERT_TRUE(first.Open(box_.path())) << "the box's own hold on its terminal is no program's";
  QtSerialPort second;
  ExpectBusy(second, box_.path());
  ExpectBusy(second, link_);
  first.Close();
  ASSERT_TRUE(second.Open(link_)) << second.last_open_error_text();
  EXPECT_EQ(second.name(), link_) << "named as given";
  ExpectBusy(first, box_.path());
  second.Close();
  EXPECT_TRUE(first.Open(box_.path()));
}

TEST_F(QtSerialPortBusy, AProgramHoldingTheTerminalInExclusiveModeMakesItBusyEvenForRoot) {
  const int other = open(box_.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  QtSerialPort port;
  ExpectBusy(port, link_);
  ExpectBusy(port, box_.path());
  ASSERT_EQ(ioctl(other, TIOCNXCL), 0);
  EXPECT_TRUE(port.Open(link_)) << "open without exclusive mode or lock: not a holder";
  port.Close();
  close(other);
}

TEST_F(QtSerialPortBusy, AProgramHoldingAnExclusiveLockOnTheDeviceMakesItBusy) {
  const int other = open(box_.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  QtSerialPort port;
  ExpectBusy(port, link_);
  ASSERT_EQ(flock(other, LOCK_UN), 0);
  EXPECT_TRUE(port.Open(link_));
  // While the adapter holds the port, the lock is its own.
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
  port.Close();
  EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "released with the port";
  close(other);
}

TEST_F(QtSerialPortBusy, WhatIsNotAPortIsStillReportedAsQtSeesIt) {
  QtSerialPort port;
  EXPECT_FALSE(port.Open("/dev/no-such-serial-port"));
  EXPECT_EQ(port.last_open_error(), QSerialPort::DeviceNotFoundError);
  EXPECT_FALSE(port.Open(dir_.path().toStdString()));
  EXPECT_NE(port.last_open_error_text(), kPortBusyText);
}

}  // namespace
}  // namespace kc
