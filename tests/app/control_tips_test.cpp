// What the editor's symbol controls and its disabled controls say on hover, the link label while
// the link searches, and the device menu's items as the link and the editor change.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <ostream>
#include <string>
#include <vector>

#include "app/program.h"
#include "model/parameter_ids.h"
#include "scripted_message_boxes.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

std::vector<std::string> NoPorts() { return {}; }

const char kAuto[] = "自动模式下由设备控制";
const char kAdmin[] = "需以管理员身份解锁";

struct TipCase {
  const char* control;
  bool manual;         // Auto/Manual switch of the box
  bool administrator;  // user/administrator choice
  bool enabled;
  const char* tip;
  // A filter type put in first (the user Q follows it): its drop-down and value.
  const char* type_box = nullptr;
  int type = 0;
};

void PrintTo(const TipCase& c, std::ostream* os) {
  *os << c.control << (c.manual ? " manual" : " auto")
      << (c.administrator ? " administrator" : " user");
  if (c.type_box != nullptr) *os << " type " << c.type;
}

class ControlTips : public ::testing::TestWithParam<TipCase> {};

TEST_P(ControlTips, SayWhatTheSymbolMeansAndWhyTheControlIsDisabled) {
  const TipCase& c = GetParam();
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts, nullptr, false);
  program.store().StoreValue(kAutoManualId, c.manual ? 1 : 0);
  program.store().StoreValue(kAccessLevelId, c.administrator ? 1 : 0);
  QWidget* control = program.Form1().pages().FindControl(QString::fromLatin1(c.control));
  ASSERT_NE(control, nullptr);
  // Phase switches in phase ("+").
  if (QString::fromLatin1(c.control).contains(QLatin1String("PhaseBtn"))) {
    program.store().StoreValue(control->property("Tag").toInt(), 1);
  }
  if (c.type_box != nullptr) {
    QWidget* type_box = program.Form1().pages().FindControl(QString::fromLatin1(c.type_box));
    ASSERT_NE(type_box, nullptr);
    program.store().StoreValue(type_box->property("Tag").toInt(), c.type);
  }
  program.Form1().RefreshPages(kAllBlocks);

  EXPECT_EQ(control->isEnabled(), c.enabled);
  EXPECT_EQ(control->toolTip().toStdString(), c.tip);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ControlTips,
    ::testing::Values(
        // Phase switches: the state, and on the output pages the automatic mode's hold.
        TipCase{"EchoEffPhaseBtn", false, false, true, "相位：正相"},
        TipCase{"SubMusPhaseBtn", true, false, true, "相位：正相"},
        TipCase{"SubMusPhaseBtn", false, false, false, "相位：正相\n自动模式下由设备控制"},
        TipCase{"MainMusPhaseBtn", false, false, false, "相位：正相\n自动模式下由设备控制"},
        // Abbreviations and bare numbers.
        TipCase{"MicFBERadioBtn1", false, false, true, "反馈抑制：关闭"},
        TipCase{"MicFBERadioBtn4", false, false, true, "反馈抑制：3 档（最强）"},
        TipCase{"SysInput2", false, false, true, "音乐输入端口 2"},
        TipCase{"MainMusHPslope2", true, false, true, "高通斜率：每倍频程 24 分贝"},
        TipCase{"CenterMusHPslope", false, false, false,
                "高通斜率：每倍频程 12 分贝\n自动模式下由设备控制"},
        TipCase{"SubMusLPType", true, false, true, "滤波器类型：USER 使用上方的滤波器Q值"},
        // Controls the box drives in automatic mode.
        TipCase{"MusScrollBox", false, false, false, kAuto},
        TipCase{"MusScrollBox", true, false, true, ""},
        TipCase{"SingModeBtn", false, false, false, kAuto},
        TipCase{"MainMusLevelBar", false, false, false, kAuto},
        TipCase{"MainMusLevelBar", true, false, true, ""},
        // The user Q: automatic mode first, then its filter type (Butterworth, Besell); with a
        // USER type (3, 4) the box sets the filter in automatic mode, so the slider is held there
        // too, low-pass as high-pass.
        TipCase{"SubMusHPuserQBar", false, false, false, kAuto},
        TipCase{"SubMusHPuserQBar", true, false, false, "仅用于 USER 滤波器类型"},
        TipCase{"SubMusHPuserQBar", true, false, true, "", "SubMusHPType", 3},
        TipCase{"SubMusHPuserQBar", false, false, false, kAuto, "SubMusHPType", 3},
        TipCase{"SubMusLPuserQBar", true, false, true, "", "SubMusLPType", 4},
        TipCase{"SubMusLPuserQBar", false, false, false, kAuto, "SubMusLPType", 4},
        // What needs the administrator, and the choice that needs the system password.
        TipCase{"RzBmpButton138", true, false, false, kAdmin},
        TipCase{"RzBmpButton138", true, true, true, ""},
        TipCase{"SignRzGroup", true, false, false, kAdmin},
        TipCase{"SysUserMangerGrop", true, true, false, "输入系统密码并按“确定”解锁"},
        TipCase{"NewSysPassLabel1", true, false, false, "先输入正确的旧密码"}));

// A phase switch's tooltip names the state it shows, after a click and after a refresh.
struct PhaseCase {
  const char* control;
  int clicks;         // clicks on the switch
  int refresh_value;  // the parameter's value put in the store and refreshed, -1: none
  const char* caption;
  const char* tip;
};

void PrintTo(const PhaseCase& c, std::ostream* os) {
  *os << c.control << " clicks " << c.clicks << " refresh " << c.refresh_value;
}

class PhaseTips : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(PhaseTips, NameTheStateShown) {
  const PhaseCase& c = GetParam();
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts, nullptr, false);
  program.store().StoreValue(kAutoManualId, 1);
  auto* phase = program.Form1().pages().Find<QAbstractButton>(QString::fromLatin1(c.control));
  ASSERT_NE(phase, nullptr);
  // Every switch starts in phase ("+").
  program.store().StoreValue(phase->property("Tag").toInt(), 1);
  program.Form1().RefreshPages(kAllBlocks);
  for (int i = 0; i < c.clicks; ++i) phase->click();
  if (c.refresh_value >= 0) {
    const int id = phase->property("Tag").toInt();
    program.store().StoreValue(id, c.refresh_value);
    program.Form1().RefreshPages(kAllBlocks);
  }
  EXPECT_EQ(phase->text().toStdString(), c.caption);
  EXPECT_EQ(phase->toolTip().toStdString(), c.tip);
}

INSTANTIATE_TEST_SUITE_P(Switches, PhaseTips,
                         ::testing::Values(PhaseCase{"EchoEffPhaseBtn", 1, -1, "-", "相位：反相"},
                                           PhaseCase{"EchoEffPhaseBtn", 2, -1, "+", "相位：正相"},
                                           PhaseCase{"RvbDirectPhaseBtn", 0, 0, "-", "相位：反相"},
                                           PhaseCase{"SubMusPhaseBtn", 1, 1, "+", "相位：正相"},
                                           PhaseCase{"MainMusPhaseBtn", 1, -1, "-", "相位：反相"}));

// The System page before a box is connected: 15 modes, and the note beside "保存模式".
TEST(SystemPageLocks, ListsTheBoxsModesAndSaysStoringNeedsTheAdministrator) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts, nullptr, false);
  EditorPages& pages = program.Form1().pages();
  // As built, before any refresh fills in the names, and after.
  EditorPages built;
  for (EditorPages* shown : {&built, &pages}) {
    auto* modes = shown->Find<QComboBox>(QStringLiteral("SysModeBox"));
    ASSERT_NE(modes, nullptr);
    EXPECT_EQ(modes->count(), 15);
    EXPECT_EQ(modes->itemText(14).left(3), QStringLiteral("15-"));
  }
  auto* note = pages.Find<QLabel>(QStringLiteral("SysStoreNeedsAdminLabel"));
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->text(), QStringLiteral("需管理员身份"));
  EXPECT_FALSE(note->isHidden());
  auto* unlocked = pages.Find<QLabel>(QStringLiteral("SysUnlockedLabel"));
  ASSERT_NE(unlocked, nullptr);
  EXPECT_TRUE(unlocked->isHidden());
  program.store().StoreValue(kAccessLevelId, 1);
  program.Form1().RefreshPages(kAllBlocks);
  EXPECT_TRUE(note->isHidden());
}

// The link label and the device menu through a search that finds nothing, the quiet search that
// follows, "断开" and the offline item. Each step by the link's ticks.
struct MenuStep {
  const char* step;
  const char* label;
  bool connect_enabled;
  const char* connect_tip;
  bool disconnect_enabled;
  bool offline_enabled;
  const char* offline_tip;
};

TEST(DeviceMenu, FollowsTheLinkAndTheEditor) {
  const std::vector<MenuStep> steps = {
      {"start-up search", "连接中...", false, "正在连接设备", true, true, ""},
      {"search failed", "正在查找设备...", true, "", true, true, ""},
      {"quiet search ticks", "正在查找设备...", true, "", true, true, ""},
      {"断开", "离线编辑", true, "", false, true, ""},
      {"离线设备", "离线编辑", true, "", false, false, "离线设备只能使用一次"},
      {"连接", "连接中...", false, "正在连接设备", true, false, "离线设备只能使用一次"},
  };
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  TForm4& menu = program.Form4();
  Link& link = program.Form3().link();
  for (const MenuStep& s : steps) {
    SCOPED_TRACE(s.step);
    const std::string step = s.step;
    if (step == "search failed") link.Timer1Timer();
    if (step == "quiet search ticks") {
      for (int tick = 0; tick < 5; ++tick) link.Timer1Timer();
    }
    if (step == "断开") menu.N1()->trigger();
    if (step == "离线设备") menu.OffLineBtn()->trigger();
    if (step == "连接") menu.Logon1()->trigger();
    program.Form1().UpdateLinkState();
    EXPECT_EQ(program.Form1().link_state_label()->text().toStdString(), s.label);
    EXPECT_EQ(menu.Logon1()->isEnabled(), s.connect_enabled);
    EXPECT_EQ(menu.Logon1()->toolTip().toStdString(),
              s.connect_enabled ? menu.Logon1()->text().toStdString() : s.connect_tip);
    EXPECT_EQ(menu.N1()->isEnabled(), s.disconnect_enabled);
    EXPECT_EQ(menu.OffLineBtn()->isEnabled(), s.offline_enabled);
    if (!s.offline_enabled) {
      EXPECT_EQ(menu.OffLineBtn()->toolTip().toStdString(), s.offline_tip);
    }
  }
}

// An editor shown by a download: the offline item cannot show it again and says so.
TEST(DeviceMenu, OfflineItemIsGreyedWhileTheEditorIsOpen) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts, nullptr, false);
  QAction* offline = program.Form4().OffLineBtn();
  EXPECT_TRUE(offline->isEnabled());
  program.Form1().ShowEditor();
  EXPECT_FALSE(offline->isEnabled());
  EXPECT_EQ(offline->toolTip(), QStringLiteral("编辑器已打开"));
  EXPECT_EQ(offline->property("Hint").toString(), QStringLiteral("0"));
}

}  // namespace
}  // namespace kc
