// The link over the QSerialPort adapter, driven by real QTimers, against the box-sim program on
// a pseudo-terminal: connect, download, edits, reload, disconnect, and a line that damages
// answers. The loss of the box is run in real time once, with the whole program
// (recovery_test.cpp), and counted tick by tick in the link's own tests.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/qt/qt_serial_port.h"
#include "model/parameter_store.h"
// clang-format on

namespace kc {
namespace {

using e2e::BoxSimProcess;
using e2e::WaitFor;

// Download of 42 requests at one per 100 ms tick, plus the tick that ends it; printed as a
// figure, not asserted: a loaded machine stretches every tick.
constexpr qint64 kDownloadTicksMs = 4300;

// The link's host in a test: records what the link shows and runs its timers as the program does.
class TimedHost : public LinkHost {
 public:
  explicit TimedHost(ParameterStore& store) : store_(store) {
    for (QTimer* t : {&scan_, &transfer_, &hold_}) t->setTimerType(Qt::PreciseTimer);
    scan_.setInterval(600);
    transfer_.setInterval(100);
    hold_.setInterval(20);
  }

  void Bind(Link& link, QtSerialPort& port) {
    QObject::connect(&scan_, &QTimer::timeout, [&link] { link.Timer1Timer(); });
    QObject::connect(&transfer_, &QTimer::timeout, [&link] { link.Timer2Timer(); });
    QObject::connect(&hold_, &QTimer::timeout, [&link] { link.HoldTimerTimer(); });
    port.SetReceiveHandler([&link](int count) { link.ComPortRxChar(count); });
    port.SetLogHandler([this](const std::string& line) { log.push_back(line); });
  }

  void ShowStatus(LinkStatus status, int percent, bool visible) override {
    this->status = status;
    this->percent = percent;
    status_visible = visible;
  }
  void ShowMessage(const LinkMessage& message) override { messages.push_back(message.outcome); }
  void ShowEditor() override {
    ++editor_shown;
    if (transfer_clock_.isValid()) transfer_ms = transfer_clock_.elapsed();
  }
  void RefreshPages(int) override { store_.RebuildWorkingTable(); }
  void ModeNamesChanged() override {}
  void DeviceIdChanged() override {}
  void SetTimers(bool scan, bool transfer, bool hold) override {
    if (transfer && !transfer_.isActive()) transfer_clock_.start();
    Mirror(scan_, scan);
    Mirror(transfer_, transfer);
    Mirror(hold_, hold);
  }
  void AppendLog(const std::string& line) override { log.push_back(line); }

  bool AnyTimerRunning() const {
    return scan_.isActive() || transfer_.isActive() || hold_.isActive();
  }

  LinkStatus status = LinkStatus::kNotConnected;
  int percent = 0;
  bool status_visible = false;
  std::vector<LinkOutcome> messages;
  std::vector<std::string> log;
  int editor_shown = 0;
  qint64 transfer_ms = -1;

 private:
  static void Mirror(QTimer& timer, bool on) {
    if (on && !timer.isActive()) timer.start();
    if (!on && timer.isActive()) timer.stop();
  }

  ParameterStore& store_;
  QTimer scan_;
  QTimer transfer_;
  QTimer hold_;
  QElapsedTimer transfer_clock_;
};

struct Rig {
  Rig() : host(store), link(port, store, host) { host.Bind(link, port); }

  // Connects to the named port and waits for the download to end.
  bool ConnectTo(const std::string& path) {
    link.SetPortNames({path});
    link.Connect();
    return WaitFor([this] { return host.editor_shown > 0 || !host.messages.empty(); }, 20000) &&
           host.editor_shown > 0;
  }

  ParameterStore store;
  QtSerialPort port;
  TimedHost host;
  Link link;
};

std::string HexOf(const std::array<uint8_t, 4>& bytes) {
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

TEST(LinkAgainstBoxSim, DownloadsTheWholeBoxThenEditsComeBackOnReload) {
  BoxSimProcess sim;
  ASSERT_TRUE(sim.ok());
  Rig rig;
  ASSERT_TRUE(rig.ConnectTo(sim.path()));

  std::printf("download against box-sim: %lld ms (%lld ms of ticks)\n",
              static_cast<long long>(rig.host.transfer_ms),
              static_cast<long long>(kDownloadTicksMs));
  EXPECT_EQ(rig.link.state(), LinkState::kReady);
  EXPECT_EQ(rig.host.status, LinkStatus::kConnected);
  EXPECT_FALSE(rig.host.status_visible);
  EXPECT_TRUE(rig.host.messages.empty());

  // The store now holds what the box holds as it leaves the factory.
  const boxsim::BoxModel factory;
  for (int block = 0; block < boxsim::kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      ASSERT_EQ(rig.store.Device(block, slot), factory.Slot(block, slot))
          << "block " << block << " slot " << slot;
    }
  }
  for (int item : {3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0x20, 0x21, 0x22}) {
    EXPECT_EQ(rig.store.Device(kSystemBlock, item), factory.Slot(kSystemBlock, item)) << item;
  }
  for (int k = 0; k < boxsim::kModeCount; ++k) {
    EXPECT_EQ(rig.link.mode_names()[static_cast<std::size_t>(k)], factory.ModeName(k)) << k;
  }
  EXPECT_EQ(rig.link.system_password(), factory.system_password());
  EXPECT_EQ(rig.link.keylock_password(), factory.keylock_password());
  EXPECT_EQ(rig.link.device_id(), HexOf(factory.identity()));

  // Edit a plain parameter and a field of an EQ band, then let the box acknowledge them.
  const int plain_id = MakeId(3, 0);
  const int32_t plain_value = rig.store.Working(plain_id) ^ 1;
  const int gain_id = MakeId(0, InfoOfBlock(0)->first_eq + 2);  // gain of band 0 of Music
  const int32_t gain_value = rig.store.Working(gain_id) == 120 ? 125 : 120;
  rig.link.SendParam(plain_id, plain_value);
  rig.link.SendEqBand(gain_id, gain_value);
  e2e::RunEventLoopFor(400);
  EXPECT_EQ(rig.link.state(), LinkState::kReady);

  // Spoil the local copies, reload, and the box's values come back.
  rig.store.StoreValue(plain_id, 7777);
  rig.store.StoreValue(gain_id, 7777);
  ASSERT_TRUE(rig.link.Reload());
  EXPECT_TRUE(WaitFor([&] { return rig.host.status == LinkStatus::kLoading; }, 1000));
  ASSERT_TRUE(WaitFor([&] { return rig.host.editor_shown == 2; }, 10000));
  EXPECT_EQ(rig.store.Working(plain_id), plain_value);
  EXPECT_EQ(rig.store.Working(gain_id), gain_value);
  EXPECT_EQ(rig.host.status, LinkStatus::kConnected);

  rig.link.Disconnect();
  EXPECT_EQ(rig.link.state(), LinkState::kNotReady);
  EXPECT_EQ(rig.host.status, LinkStatus::kNotConnected);
  EXPECT_FALSE(rig.host.AnyTimerRunning());
  EXPECT_TRUE(rig.port.IsOpen());  // a disconnect leaves the port open
  EXPECT_TRUE(rig.host.messages.empty());
}

// A line that flips a payload byte of every seventh frame, checksum as sent: the damaged answers
// are asked again and the store ends equal to the box, value for value.
TEST(LinkAgainstBoxSim, ALineThatDamagesPayloadsStillGivesTheBoxImageExactly) {
  BoxSimProcess sim({QStringLiteral("--corrupt-payload-every"), QStringLiteral("7")});
  ASSERT_TRUE(sim.ok());
  Rig rig;
  ASSERT_TRUE(rig.ConnectTo(sim.path()));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_GE(rig.link.checksum_errors(), 5);
  const boxsim::BoxModel factory;
  for (int block = 0; block < boxsim::kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      ASSERT_EQ(rig.store.Device(block, slot), factory.Slot(block, slot))
          << "block " << block << " slot " << slot;
    }
  }
  for (int k = 0; k < boxsim::kModeCount; ++k) {
    EXPECT_EQ(rig.link.mode_names()[static_cast<std::size_t>(k)], factory.ModeName(k)) << k;
  }
  EXPECT_EQ(rig.link.device_id(), HexOf(factory.identity()));
}

}  // namespace
}  // namespace kc
