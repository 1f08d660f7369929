// The device menu, the link label and the System page's unlock with a box connected: what the
// user sees at each step from the download to "断开".
#include "journey.h"  // first: see there
// clang-format off
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
// clang-format on

namespace kc::e2e {
namespace {

using LinkMenuOnBox = ProgramOnBox;

struct Seen {
  const char* step;
  const char* label;
  bool connect_enabled;
  const char* connect_tip;  // while disabled
  bool disconnect_enabled;
  bool unlocked_shown;    // "已解锁"
  bool choice_enabled;    // the user/administrator choice
  bool store_enabled;     // "保存模式"
  bool store_note_shown;  // "需管理员身份"
};

TEST_F(LinkMenuOnBox, MenuLabelAndUnlockFollowWhatTheUserDoes) {
  const std::vector<Seen> steps = {
      {"downloaded", "设备已连接", false, "设备已连接", true, false, false, false, true},
      {"wrong password", "设备已连接", false, "设备已连接", true, false, false, false, true},
      {"system password", "设备已连接", false, "设备已连接", true, true, true, false, true},
      {"administrator", "设备已连接", false, "设备已连接", true, false, false, true, false},
      {"断开", "已断开连接", true, "", false, false, false, true, false},
  };
  Start();
  TForm4& menu = program_->Form4();
  for (const Seen& s : steps) {
    SCOPED_TRACE(s.step);
    const std::string step = s.step;
    if (step == "wrong password") {
      Tab(8);
      boxes_.shown.clear();
      Type("SysPassEdit", QStringLiteral("999999"));
      Click("RzBmpButton118");
      ASSERT_EQ(boxes_.shown.size(), 1u);
      EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("密码错误!"));
    }
    if (step == "system password") {
      Type("SysPassEdit", QString::fromStdString(Box().system_password()));
      Click("RzBmpButton118");
    }
    if (step == "administrator") {
      Click("SysManagerBtn");
      ASSERT_TRUE(WaitFor([&] { return Box().Slot(9, 0x0C) == 1; }, 5000));
    }
    if (step == "断开") menu.N1()->trigger();
    RunEventLoopFor(250);  // the label's 100 ms refresh
    EXPECT_EQ(Editor().link_state_label()->text().toStdString(), s.label);
    EXPECT_EQ(menu.Logon1()->isEnabled(), s.connect_enabled);
    if (!s.connect_enabled) {
      EXPECT_EQ(menu.Logon1()->toolTip().toStdString(), s.connect_tip);
    }
    EXPECT_EQ(menu.N1()->isEnabled(), s.disconnect_enabled);
    // A download shows the editor: the offline item has nothing to do.
    EXPECT_FALSE(menu.OffLineBtn()->isEnabled());
    EXPECT_EQ(menu.OffLineBtn()->toolTip(), QStringLiteral("编辑器已打开"));
    EXPECT_EQ(!W<QLabel>("SysUnlockedLabel")->isHidden(), s.unlocked_shown);
    EXPECT_EQ(W<QLabel>("SysUnlockedLabel")->text(), QStringLiteral("已解锁"));
    EXPECT_EQ(W<QGroupBox>("SysUserMangerGrop")->isEnabled(), s.choice_enabled);
    EXPECT_EQ(W<QPushButton>("RzBmpButton138")->isEnabled(), s.store_enabled);
    EXPECT_EQ(W<QPushButton>("RzBmpButton138")->toolTip().toStdString(),
              s.store_enabled ? "" : "需以管理员身份解锁");
    EXPECT_EQ(!W<QLabel>("SysStoreNeedsAdminLabel")->isHidden(), s.store_note_shown);
  }
}

}  // namespace
}  // namespace kc::e2e
