// The editor's control inventory: every named control exists with the right class, range,
// starting position or text, Tag, Hint and, for the window's frame, its place. One expected table
// drives the check; the band columns and value rows are expanded from small per-page tables
// written here, independently of the tables the editor is built from. The same check holds the
// parameter table karaoke-ctl prints from, and the control map's names, against the pages.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSlider>
#include <QTableWidget>
#include <optional>
#include <string>
#include <vector>

#include "model/parameter_table.h"
#include "model/value_scales.h"
#include "qt_app.h"
#include "ui/binding/control_map.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

enum class Kind {
  kSlider,    // horizontal QSlider
  kVSlider,   // vertical QSlider
  kPane,      // framed read-only QLabel
  kEdit,      // QLineEdit
  kDropDown,  // QComboBox
  kButton,    // QPushButton
  kTwoState,  // checkable QPushButton
  kRadio,     // QRadioButton
  kLabel,     // QLabel
  kGroup,     // QGroupBox
  kSpin,      // SpinButtons
  kScrollBox,
  kGrid,
  kTextList,
  kPanel,  // QFrame
};

struct Expected {
  std::string name;
  Kind kind;
  std::optional<std::string> text = {};  // caption, starting text or selected item
  std::optional<std::string> hint = {};
  std::optional<int> tag = {};
  int max = -1;                           // slider range 0..max
  int position = -1;                      // slider starting position
  std::optional<std::string> items = {};  // drop-down items joined with "|"
  std::optional<bool> hidden = {};
  std::optional<QRect> geometry = {};
};

Expected Slider(const std::string& name, int max, int position, const std::string& hint = {},
                bool vertical = false) {
  Expected e{name, vertical ? Kind::kVSlider : Kind::kSlider};
  e.max = max;
  e.position = position;
  if (!hint.empty()) e.hint = hint;
  return e;
}

Expected Pane(const std::string& name, const std::string& hint, const std::string& text) {
  return {name, Kind::kPane, text, hint};
}

Expected Control(const std::string& name, Kind kind, std::optional<std::string> text = {},
                 std::optional<std::string> hint = {}, std::optional<int> tag = {}) {
  return {name, kind, text, hint, tag};
}

Expected Hidden(Expected e) {
  e.hidden = true;
  return e;
}

Expected Placed(Expected e, const QRect& geometry) {
  e.geometry = geometry;
  return e;
}

// Band columns, as the page table and the EQ band pattern describe them.
struct BandPage {
  int page;
  std::string band;   // prefix of the band's value controls
  std::string frame;  // prefix of frames and spin buttons
  std::string label;  // prefix of the band-number labels
  int bands;
  std::string scroll;
  int scroll_max;
  int label_tag;
  std::string label_hint;
};

const BandPage kBandPages[] = {
    {0, "Mus", "Mus", "Mus", 10, "MusPanScrollBar", 5, 0, "5"},
    {1, "Mic", "MIc", "Mic", 15, "MicPanScrollBar", 5, 1, "5"},
    {2, "Echo", "Echo", "Eff", 3, "EffPanScrollBar", 0, 3, "14"},
    {3, "Main", "Main", "Main", 5, "MainPanScrollBar", 2, 5, "31"},
    {4, "Center", "Center", "Center", 5, "CenterPanScrollBar", 2, 7, "29"},
    {5, "Sub", "Sub", "Sub", 3, "SubPanScrollBar", 0, 6, "29"},
    {6, "Sur", "Sur", "Sur", 5, "SurPanScrollBar", 2, 8, "29"},
};

void AddBandColumns(std::vector<Expected>& out) {
  for (const BandPage& p : kBandPages) {
    out.push_back(Slider(p.scroll, p.scroll_max, 0));
    for (int n = 1; n <= p.bands; ++n) {
      const std::string s = std::to_string(n);
      const int gain_start = (p.page == 1 && n <= 2) ? 120 : 0;
      out.push_back(Slider(p.band + "EQGainBar" + s, 180, gain_start, "0", true));
      out.push_back(Control(p.frame + "GainGrop" + s, Kind::kGroup));
      out.push_back(Control(p.band + "GainEdit" + s, Kind::kEdit, "-24.0dB", "3"));
      out.push_back(Control(p.band + "PEQBtn" + s, Kind::kButton, "P", "0"));
      out.push_back(Control(p.band + "LSQBtn" + s, Kind::kButton, "LS", "1"));
      out.push_back(Control(p.band + "HSQBtn" + s, Kind::kButton, "HS", "2"));
      Expected mode =
          Control(p.band + "ModeBox" + s, Kind::kDropDown, n <= 2 ? "HSEQ" : "PEQ", "1");
      mode.items = "PEQ|LSEQ|HSEQ";
      mode.hidden = p.page == 3 && n == 1;
      out.push_back(mode);
      out.push_back(Control(p.frame + "FreGrop" + s, Kind::kGroup));
      out.push_back(Control(p.band + "FreEdit" + s, Kind::kEdit, "20000.00", "2"));
      out.push_back(Hidden(Control(p.frame + "FreUpDownBtn" + s, Kind::kSpin)));
      out.push_back(Control(p.frame + "QGrop" + s, Kind::kGroup));
      out.push_back(Control(p.band + "QEdit" + s, Kind::kEdit, "128.00", "4"));
      out.push_back(Control(p.frame + "QUpDownBtn" + s, Kind::kSpin));
      out.push_back(Hidden(
          Control(p.label + "EQPointLabel" + s, Kind::kLabel, s, p.label_hint, p.label_tag)));
    }
  }
}

// Sliders with a value pane: slider, range, pane, display kind, starting text, phase button,
// starting position.
struct ValueRowCase {
  std::string slider;
  int max;
  std::string pane;
  int kind;
  std::string text;
  std::string phase;  // "" when the row has none
  int position = 1;
};

void AddValueRows(std::vector<Expected>& out) {
  std::vector<ValueRowCase> rows = {
      {"MicHPFreBar", 143, "MicHPFrePane", 6, "500.0Hz", "", 100},
      {"EchoEffLevelBar", 100, "EchoEffLevelPane", 8, "100", "EchoEffPhaseBtn"},
      {"EchoDirectLevelBar", 100, "EchoDirectLevelPane", 8, "100", "EchoDirectPhaseBtn"},
      {"EchoHPFreBar", 241, "EchoHPFrePane", 13, "500.0Hz", ""},
      {"EchoLPFreBar", 194, "EchoLPFrePane", 7, "500.0Hz", ""},
      {"EchoPreDelayBar", 125, "EchoPreDelayPane", 11, "-20", ""},
      {"EchoTimeBar", 250, "EchoTimePane", 11, "90.0", ""},
      {"EchoRepeatBar", 90, "EchoRepeatPane", 8, "32", ""},
      {"EchoRPreDelayBar", 50, "EchoRPreDelayPane", 8, "100.0", ""},
      {"EchoRTimeBar", 100, "EchoRTimePane", 10, "100.0", ""},
      {"RvbEffLevelBar", 100, "RvbEffLevelPane", 8, "100", "RvbEffPhaseBtn"},
      {"RvbDirectLevelBar", 100, "RvbDirectLevelPane", 8, "100", "RvbDirectPhaseBtn"},
      {"RvbHPFreBar", 241, "RvbHPFrePane", 13, "500.0Hz", ""},
      {"RvbLPFreBar", 194, "RvbLPFrePane", 7, "500.0Hz", ""},
      {"RvbPreDelayBar", 100, "RvbPreDelayPane", 11, "-20", ""},
      {"RvbTimeBar", 80, "RvbTimePane", 12, "90.0", ""},
      {"MainLdelayBar", 500, "MainLdelayPane", 18, "100", ""},
      {"MainRdelayBar", 500, "MainRdelayPane", 18, "100", ""},
      {"MainMusHPFreBar", 143, "MainMusHPFrePane", 6, "500.0Hz", ""},
      {"SubMusLevelBar", 200, "SubMusLevelPane", 9, "100", "SubMusPhaseBtn"},
      {"SubMicLevelBar", 200, "SubMicLevelPane", 9, "100", "SubMicPhaseBtn"},
      {"SubMusHPuserQBar", 23, "SubMusHPuserQPane", 19, "1.0", ""},
  };
  for (const std::string p : {"Main", "Center", "Sur"}) {
    rows.push_back({p + "MusLevelBar", 100, p + "MusLevelPane", 9, "100", p + "MusPhaseBtn"});
    rows.push_back({p + "MicLevelBar", 100, p + "MicLevelPane", 9, "100", p + "MicPhaseBtn"});
    rows.push_back({p + "EchoLevelBar", 100, p + "EchoLevelPane", 9, "100", p + "EchoPhaseBtn"});
    rows.push_back({p + "RvbLevelBar", 100, p + "RvbLevelPane", 9, "100", p + "RvbPhaseBtn"});
  }
  for (const std::string p : {"Main", "Center", "Sur", "Sub"}) {
    rows.push_back({p + "RmsLevelBar", 34, p + "RmsLevelPane", 14, "-20", ""});
    rows.push_back({p + "RmsAttackBar", 15, p + "RmsAttackPane", 17, "90.0", ""});
    rows.push_back({p + "RmsReleaseBar", 7, p + "RmsReleasePane", 16, "32", ""});
    rows.push_back({p + "RmsRatioBar", 40, p + "RmsRatioPane", 15, "100.0", ""});
  }
  // Rows whose starting pane text is not fixed: only range and kind are checked.
  struct Untexted {
    std::string slider;
    int max;
    int kind;
  };
  const Untexted untexted[] = {
      {"CenterdelayBar", 500, 18}, {"CenterMusHPFreBar", 143, 6}, {"SurLdelayBar", 500, 18},
      {"SurRdelayBar", 500, 18},   {"SurMusHPFreBar", 143, 6},    {"SubdelayBar", 500, 18},
      {"SubMusHPFreBar", 143, 6},  {"SubMusLPFreBar", 143, 6},    {"SubMusLPuserQBar", 23, 19},
  };
  for (const ValueRowCase& row : rows) {
    out.push_back(Slider(row.slider, row.max, row.position));
    out.push_back(Pane(row.pane, std::to_string(row.kind), row.text));
    if (!row.phase.empty()) out.push_back(Control(row.phase, Kind::kButton, "+", "0"));
  }
  for (const Untexted& row : untexted) {
    out.push_back(Slider(row.slider, row.max, 1));
    std::string pane = row.slider.substr(0, row.slider.size() - 3) + "Pane";
    Expected e{pane, Kind::kPane};
    e.hint = std::to_string(row.kind);
    out.push_back(e);
  }
}

std::vector<Expected> Inventory() {
  std::vector<Expected> out = {
      // The window's frame: tab strip and the areas every page shares.
      Placed(Control("FormTabBtn1", Kind::kTwoState, "音 乐", std::nullopt, 0), {0, 0, 99, 31}),
      Placed(Control("FormTabBtn2", Kind::kTwoState, "麦克风A", std::nullopt, 1), {99, 0, 99, 31}),
      Placed(Control("FormTabBtn9", Kind::kTwoState, "麦克风B", std::nullopt, 8), {198, 0, 99, 31}),
      Placed(Control("FormTabBtn3", Kind::kTwoState, "效 果", std::nullopt, 2), {298, 0, 99, 31}),
      Placed(Control("FormTabBtn4", Kind::kTwoState, "主输出", std::nullopt, 3), {397, 0, 99, 31}),
      Placed(Control("FormTabBtn7", Kind::kTwoState, "后置输出", std::nullopt, 6),
             {497, 0, 99, 31}),
      Placed(Control("FormTabBtn5", Kind::kTwoState, "中 置", std::nullopt, 4), {596, 0, 99, 31}),
      Placed(Control("FormTabBtn6", Kind::kTwoState, "超低音", std::nullopt, 5), {696, 0, 99, 31}),
      Placed(Control("FormTabBtn8", Kind::kTwoState, "系统设定", std::nullopt, 7),
             {1007, 0, 99, 31}),
      Placed(Control("AdvPanel1", Kind::kPanel), {2, 246, 1104, 311}),
      Placed(Control("Image3", Kind::kLabel), {0, 0, 1106, 31}),
      Placed(Control("RzGroupBox1", Kind::kGroup), {-2, 32, 1111, 5}),
      // Music input.
      Control("SysInput", Kind::kRadio, "1", "0"),
      Control("SysInput2", Kind::kRadio, "2", "1", 2318),
      Control("SignRzGroup", Kind::kGroup),
      Hidden(Control("SysMusInputLevel", Kind::kRadio, std::nullopt, "0", 2307)),
      Hidden(Control("SysMusInputLevel2", Kind::kRadio, std::nullopt, "1", 2307)),
      Hidden(Control("SysMusInputLevel3", Kind::kRadio, std::nullopt, "2", 2307)),
      Control("MusModeBtn1", Kind::kButton),
      // Microphone.
      Control("MicEQGropx", Kind::kGroup),
      Control("MicFBERadioBtn1", Kind::kRadio, "OFF", "0"),
      Control("MicFBERadioBtn2", Kind::kRadio, "1", "1", 257),
      Control("MicFBERadioBtn3", Kind::kRadio, "2", "2", 257),
      Control("MicFBERadioBtn4", Kind::kRadio, "3", "3", 257),
      Control("MicABtn", Kind::kTwoState, "麦克风A组", "0", 256),
      Control("MicBBtn", Kind::kTwoState, "麦克风B组", "1", 256),
      Control("MusScrollBox", Kind::kScrollBox),
      Control("MicScrollBox", Kind::kScrollBox),
      // Effect.
      Control("AdvGroupBox2", Kind::kGroup),
      // Output channels.
      Control("MainLmuteBtn", Kind::kTwoState, "静音", "0"),
      Control("MainRmuteBtn", Kind::kTwoState, "静音", "0"),
      Control("CentermuteBtn", Kind::kTwoState, "静音", "0"),
      Control("SurLmuteBtn", Kind::kTwoState, "静音", "0"),
      Control("SurRmuteBtn", Kind::kTwoState, "静音", "0"),
      Control("SubmuteBtn", Kind::kTwoState, "静音", "0"),
      Control("MainMusHPslope", Kind::kRadio, "12dB", "0"),
      Control("MainMusHPslope2", Kind::kRadio, "24dB", "1"),
      Control("CenterMusHPslope", Kind::kRadio, "12dB", "0"),
      Control("CenterMusHPslope2", Kind::kRadio, "24dB", "1"),
      // System page.
      Control("CurrentModeLabel", Kind::kLabel, "（ 当前模式：3 ）"),
      Control("PresetModeEdit", Kind::kEdit, ""),
      Control("RzBmpButton121", Kind::kButton, "调用模式"),
      Control("RzBmpButton138", Kind::kButton, "保存模式"),
      Control("ValueListEditor1", Kind::kGrid),
      Control("FileEdit", Kind::kEdit),
      Control("RzBmpButton120", Kind::kButton, "存储到电脑"),
      Control("RzBmpButton119", Kind::kButton, "上传到设备"),
      Control("SysPassEdit", Kind::kEdit, ""),
      Control("RzBmpButton118", Kind::kButton, "确定"),
      Control("SysUserMangerGrop", Kind::kGroup),
      Control("SysUserBtn", Kind::kRadio, "用户", "0"),
      Control("SysManagerBtn", Kind::kRadio, "管理员", "1", 2316),
      Control("SysPanelLabel1", Kind::kEdit, ""),
      Control("NewSysPassLabel1", Kind::kEdit, ""),
      Control("NewSysPassLabel2", Kind::kEdit, ""),
      Control("SysPanelBtn1", Kind::kRadio, "禁用", "0"),
      Control("SysPanelBtn2", Kind::kRadio, "开启", "1", 2317),
      Control("PassPanelLabel1", Kind::kEdit, ""),
      Control("NewPassLabel1", Kind::kEdit, ""),
      Control("NewPassLabel2", Kind::kEdit, ""),
      // Volume panel and limits.
      Placed(Control("MainVolGropBox", Kind::kGroup, " 音量控制  "), {918, 38, 186, 204}),
      Slider("SysMusNormalVolBar", 84, 0, "0", true),
      Slider("SysMicNormalVolBar", 84, 60, "0", true),
      Slider("SysEffNormalVolBar", 84, 10, "0", true),
      Pane("SysMusNormalVolPane", "0", "10"),
      Pane("SysMicNormalVolPane", "0", "10"),
      Pane("SysEffNormalVolPane", "0", "10"),
      Slider("SysMusStartVolBar", 84, 50, "1"),
      Slider("SysMusMaxVolBar", 84, 50, "2"),
      Slider("SysMicStartVolBar", 84, 50, "1"),
      Slider("SysMicMaxVolBar", 84, 50, "2"),
      Slider("SysEffStartVolBar", 84, 50, "1"),
      Slider("SysEffMaxVolBar", 84, 50, "2"),
      Pane("SysMusStartVolPane", "0", "100"),
      Pane("SysEffMaxVolPane", "0", "100"),
      // EQ strips.
      Control("MusEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("MicEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("EchoEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("MainEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("CenterEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("SubEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("SurEQAllpassBtn", Kind::kTwoState, "EQ 旁通", "0"),
      Control("EQResetBtn", Kind::kButton, "EQ重置"),
      Control("RzBmpButton6", Kind::kButton, "EQ重置"),
      Control("RzBmpButton8", Kind::kButton, "EQ重置"),
      Control("RzBmpButton12", Kind::kButton, "EQ重置"),
      Control("RzBmpButton13", Kind::kButton, "EQ重置"),
      Control("RzBmpButton14", Kind::kButton, "EQ重置"),
      Control("RzBmpButton15", Kind::kButton, "EQ重置"),
      // Scene strip.
      Placed(Control("SingleDiscoGrop", Kind::kGroup), {406, 557, 692, 24}),
      Control("ManulModeBtn", Kind::kTwoState, "手动", "1"),
      Control("AutoModeBtn", Kind::kTwoState, "自动", "0"),
      Control("SingModeBtn", Kind::kTwoState, "唱歌", "1", 1),
      Control("DiscoModeBtn", Kind::kTwoState, "舞蹈", "1", 1),
      // Graph panel.
      Control("Image1", Kind::kLabel),
      Control("EQlabel", Kind::kLabel, "+12dB\nQ:128.00\n12000.00Hz"),
      Hidden(Control("EQPassLabel", Kind::kLabel, "EQ PASS")),
      // Hidden controls and placeholders.
      Hidden(Control("LinkLabel", Kind::kLabel, "设备未连接")),
      Hidden(Control("LinkBtn", Kind::kButton, "联机")),
      Hidden(Control("UnLinkBtn", Kind::kButton, "断开")),
      Hidden(Control("ComComboBox1", Kind::kDropDown)),
      Hidden(Control("Memo1", Kind::kTextList)),
      Hidden(Control("Memo2", Kind::kTextList)),
      Hidden(Control("ExampleBtn", Kind::kButton, "Example", std::nullopt, 7)),
      Hidden(Control("Example", Kind::kEdit, "0Example", "0")),
      Hidden(Control("MusEQBmpBtn1", Kind::kButton, "频率")),
      Control("EQCotrolGrop", Kind::kGroup),
      Slider("ComEQGainBar", 180, 0, {}, true),
      Slider("ComEQQvalueBar", 100, 10, {}, true),
      Slider("ComEQFreBar", 361, 10),
      Control("ComEQGainEdit", Kind::kEdit),
      Control("ComEQQvalueEdit", Kind::kEdit),
      Control("ComEQFreEdit", Kind::kEdit),
  };
  Expected track = Slider("MusEQTrackBar1", 361, 0);
  track.hidden = true;
  out.push_back(track);
  Expected level = Control("SysMusInputLevelBox", Kind::kDropDown, "0dB");
  level.items = "0dB|3dB|6dB";
  out.push_back(level);
  const std::string filters = "Besell 24dB|Butterworth 24dB|Link Riley 24dB|USER 12dB|USER 24dB";
  Expected hp = Control("SubMusHPType", Kind::kDropDown, "Butterworth 24dB");
  hp.items = filters;
  out.push_back(hp);
  Expected lp = Control("SubMusLPType", Kind::kDropDown, "Besell 24dB");
  lp.items = filters;
  out.push_back(lp);
  AddBandColumns(out);
  AddValueRows(out);
  return out;
}

bool KindMatches(QWidget* w, Kind kind) {
  switch (kind) {
    case Kind::kSlider:
    case Kind::kVSlider: {
      auto* s = qobject_cast<QSlider*>(w);
      return s && (s->orientation() == Qt::Vertical) == (kind == Kind::kVSlider);
    }
    case Kind::kPane: {
      auto* l = qobject_cast<QLabel*>(w);
      return l && l->frameShape() != QFrame::NoFrame;
    }
    case Kind::kEdit:
      return qobject_cast<QLineEdit*>(w);
    case Kind::kDropDown:
      return qobject_cast<QComboBox*>(w);
    case Kind::kButton:
      return qobject_cast<QPushButton*>(w);
    case Kind::kTwoState: {
      auto* b = qobject_cast<QPushButton*>(w);
      return b && b->isCheckable();
    }
    case Kind::kRadio:
      return qobject_cast<QRadioButton*>(w);
    case Kind::kLabel:
      return qobject_cast<QLabel*>(w);
    case Kind::kGroup:
      return qobject_cast<QGroupBox*>(w);
    case Kind::kSpin:
      return qobject_cast<SpinButtons*>(w);
    case Kind::kScrollBox:
      return qobject_cast<QScrollArea*>(w);
    case Kind::kGrid:
      return qobject_cast<QTableWidget*>(w);
    case Kind::kTextList:
      return qobject_cast<QPlainTextEdit*>(w);
    case Kind::kPanel:
      return qobject_cast<QFrame*>(w);
  }
  return false;
}

QString TextOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return QString();
}

QString ItemsOf(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items.join('|');
}

QString Name(const std::string& name) { return QString::fromStdString(name); }

// One parameter of the table against the control it names.
void ExpectTableOnThePages(const EditorPages& pages, const ParameterInfo& info) {
  QWidget* control = pages.FindControl(Name(info.name));
  ASSERT_NE(control, nullptr);
  if (!info.secondary.empty()) EXPECT_NE(pages.FindControl(Name(info.secondary)), nullptr);
  switch (info.form) {
    case ValueForm::kScale:
      if (auto* slider = qobject_cast<QSlider*>(control)) {
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), info.max);
        QString pane = Name(info.name);
        pane.replace(pane.size() - 3, 3, QStringLiteral("Pane"));
        QWidget* pane_control = pages.FindControl(pane);
        ASSERT_NE(pane_control, nullptr);
        if (info.kind != kKindNone) EXPECT_EQ(HintOf(pane_control), QString::number(info.kind));
      } else {
        ASSERT_NE(qobject_cast<QLineEdit*>(control), nullptr);
        EXPECT_EQ(HintOf(control), QString::number(info.kind));
      }
      break;
    case ValueForm::kPeqQ:
    case ValueForm::kShelfQ:
      ASSERT_NE(qobject_cast<QLineEdit*>(control), nullptr);
      EXPECT_EQ(HintOf(control), QString::number(kKindQ));
      break;
    case ValueForm::kBandType:
    case ValueForm::kList: {
      auto* box = qobject_cast<QComboBox*>(control);
      ASSERT_NE(box, nullptr);
      ASSERT_EQ(box->count(), static_cast<int>(info.choices.size()));
      for (int i = 0; i < box->count(); ++i) {
        EXPECT_EQ(box->itemText(i).toStdString(), info.choices[static_cast<size_t>(i)]);
      }
      break;
    }
    case ValueForm::kRadio: {
      auto* first = qobject_cast<QAbstractButton*>(control);
      ASSERT_NE(first, nullptr);
      ASSERT_NE(first->group(), nullptr);
      int matched = 0;
      for (QAbstractButton* button : first->group()->buttons()) {
        const int position = HintOf(button).toInt();
        if (button->text().isEmpty()) continue;  // hidden buttons without a caption
        ASSERT_LT(position, static_cast<int>(info.choices.size()));
        EXPECT_EQ(button->text().toStdString(), info.choices[static_cast<size_t>(position)]);
        ++matched;
      }
      EXPECT_EQ(matched, static_cast<int>(info.choices.size()));
      break;
    }
    case ValueForm::kPair: {
      // The first choice is the button that stands for 0.
      const bool zero_first = info.name == "AutoModeBtn";
      auto* zero = qobject_cast<QAbstractButton*>(
          pages.FindControl(Name(zero_first ? info.name : info.secondary)));
      auto* other = qobject_cast<QAbstractButton*>(
          pages.FindControl(Name(zero_first ? info.secondary : info.name)));
      ASSERT_TRUE(zero && other);
      EXPECT_EQ(zero->text().toStdString(), info.choices[0]);
      EXPECT_EQ(other->text().toStdString(), info.choices[1]);
      break;
    }
    case ValueForm::kPhase:
    case ValueForm::kSwitch:
      EXPECT_NE(qobject_cast<QAbstractButton*>(control), nullptr);
      break;
    case ValueForm::kModeNumber:
      EXPECT_NE(qobject_cast<QComboBox*>(control), nullptr);
      break;
  }
}

class InventoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureApplication(); }
};

TEST_F(InventoryTest, EveryControlHasItsClassRangeStartingTextTagAndHint) {
  EditorPages editor;
  const std::vector<Expected> inventory = Inventory();
  for (const Expected& e : inventory) {
    SCOPED_TRACE(e.name);
    QWidget* w = editor.FindControl(QString::fromStdString(e.name));
    ASSERT_NE(w, nullptr) << "missing control";
    EXPECT_EQ(w->objectName().toStdString(), e.name);
    EXPECT_TRUE(KindMatches(w, e.kind)) << "class " << w->metaObject()->className();
    if (e.text) {
      EXPECT_EQ(TextOf(w).toStdString(), *e.text);
    }
    if (e.hint) {
      EXPECT_EQ(HintOf(w).toStdString(), *e.hint);
    }
    if (e.tag) {
      EXPECT_EQ(TagOf(w), *e.tag);
    }
    if (e.max >= 0) {
      auto* s = qobject_cast<QSlider*>(w);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->minimum(), 0);
      EXPECT_EQ(s->maximum(), e.max);
      EXPECT_EQ(s->value(), e.position);
    }
    if (e.items) {
      auto* box = qobject_cast<QComboBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(ItemsOf(box).toStdString(), *e.items);
    }
    if (e.hidden) {
      EXPECT_EQ(w->isHidden(), *e.hidden);
    }
    if (e.geometry) {
      EXPECT_EQ(w->geometry(), *e.geometry);
    }
  }
  // Families counted by the handler tables: 46 bands, 59 value sliders of pages 1 to 6, 18 phase
  // buttons, 17 radio buttons.
  int gain_bars = 0, phase = 0, radios = 0;
  for (const Expected& e : inventory) {
    if (e.name.find("EQGainBar") != std::string::npos && e.name.rfind("Com", 0) != 0) ++gain_bars;
    if (e.name.find("PhaseBtn") != std::string::npos) ++phase;
    if (e.kind == Kind::kRadio) ++radios;
  }
  EXPECT_EQ(gain_bars, 46);
  EXPECT_EQ(phase, 18);
  EXPECT_EQ(radios, 17);
  EXPECT_EQ(editor.findChildren<QRadioButton*>().size(), 17);

  // Every control the control map binds is there.
  const ControlMap map = BuildControlMap(editor);
  EXPECT_TRUE(map.missing().isEmpty()) << map.missing().join(", ").toStdString();

  // The parameter table karaoke-ctl prints from names the pages' controls, with their kinds,
  // ranges and choice captions, so the command line and the editor cannot drift apart.
  for (const ParameterInfo& info : ParameterTable()) {
    SCOPED_TRACE("table: " + info.name);
    ExpectTableOnThePages(editor, info);
  }
}

TEST_F(InventoryTest, NamesAreUniqueAndRegistryMatchesTheWidgetTree) {
  EditorPages editor;
  for (auto it = editor.controls().cbegin(); it != editor.controls().cend(); ++it) {
    SCOPED_TRACE(it.key().toStdString());
    const QList<QWidget*> found = editor.findChildren<QWidget*>(it.key());
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.front(), it.value());
  }
  EXPECT_EQ(editor.FindControl("NoSuchControl"), nullptr);
}

TEST_F(InventoryTest, StartingStateOfSystemPageAndHiddenControls) {
  EditorPages editor;
  // Only the old-password fields are usable at first; storing a mode and the music input gain
  // need administrator mode, and the window starts in user mode.
  for (const char* name : {"NewSysPassLabel1", "NewSysPassLabel2", "NewPassLabel1", "NewPassLabel2",
                           "RzBmpButton138", "SignRzGroup"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(editor.FindControl(name)->isEnabled());
  }
  EXPECT_TRUE(editor.FindControl("SysUserMangerGrop")->isEnabled());
  // Password fields: masked with their lengths, except the old key-lock password shown in clear.
  struct PasswordCase {
    const char* name;
    int length;
    bool masked;
  };
  const PasswordCase passwords[] = {
      {"SysPassEdit", 6, true},      {"SysPanelLabel1", 6, true},   {"NewSysPassLabel1", 6, true},
      {"NewSysPassLabel2", 6, true}, {"PassPanelLabel1", 4, false}, {"NewPassLabel1", 4, true},
      {"NewPassLabel2", 4, true},
  };
  for (const PasswordCase& p : passwords) {
    SCOPED_TRACE(p.name);
    auto* edit = editor.Find<QLineEdit>(p.name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->maxLength(), p.length);
    EXPECT_EQ(edit->echoMode() == QLineEdit::Password, p.masked);
  }
  EXPECT_EQ(editor.Find<QLineEdit>("PresetModeEdit")->maxLength(), 20);

  auto* modes = editor.Find<QComboBox>("SysModeBox");
  // One placeholder for each of the box's 15 modes.
  ASSERT_EQ(modes->count(), 15);
  EXPECT_EQ(modes->itemText(0), "1-");
  EXPECT_EQ(modes->itemText(14), "15-");
  EXPECT_EQ(modes->currentIndex(), 0);

  auto* grid = editor.Find<QTableWidget>("ValueListEditor1");
  ASSERT_EQ(grid->columnCount(), 2);
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "      序号");
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "                   （电脑）数据名称");
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);

  // The device identity: eight hexadecimal digits, in a group that is never shown.
  QLabel* id = editor.device_id_label();
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->objectName(), "DeviceIDLabel");
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}$").match(id->text()).hasMatch());
  EXPECT_FALSE(id->isVisibleTo(&editor));

  // Accessors for the application and the link.
  EXPECT_EQ(editor.diagnostic_log()->objectName(), "Memo2");
  EXPECT_EQ(editor.link_label()->objectName(), "LinkLabel");
  EXPECT_EQ(editor.port_list()->objectName(), "ComComboBox1");
  EXPECT_EQ(editor.link_button()->objectName(), "LinkBtn");
  EXPECT_EQ(editor.unlink_button()->objectName(), "UnLinkBtn");
}

TEST_F(InventoryTest, GraphPanelHoldsImageAndPointHandles) {
  EditorPages editor;
  EXPECT_EQ(editor.graph_outer_panel()->objectName(), "AdvPanel1");
  EXPECT_EQ(editor.graph_panel()->objectName(), "AdvPanel2");
  EXPECT_EQ(editor.graph_panel()->parentWidget(), editor.graph_outer_panel());
  EXPECT_EQ(editor.graph_panel()->geometry(), QRect(40, 13, 1049, 273));
  EXPECT_EQ(editor.graph_image()->objectName(), "Image1");
  EXPECT_EQ(editor.graph_image()->size(), QSize(1049, 273));
  EXPECT_EQ(editor.graph_outer_panel()->palette().color(QPalette::Window), QColor(21, 21, 21));

  const char* names[EditorPages::kPointHandleCount] = {
      "EP1",  "EP2",  "EP3",  "EP4",  "EP5",  "EP6",  "EP7", "EP8", "EP9",
      "EP10", "EP11", "EP12", "EP13", "EP14", "EP15", "HPF", "LPF"};
  for (int i = 0; i < EditorPages::kPointHandleCount; ++i) {
    SCOPED_TRACE(names[i]);
    QLabel* handle = editor.point_handles()[i];
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->objectName(), names[i]);
    EXPECT_EQ(TagOf(handle), i);
    EXPECT_EQ(handle->parentWidget(), editor.graph_panel());
    EXPECT_EQ(handle->size(), i < 15 ? QSize(14, 14) : QSize(24, 24));
  }
}

}  // namespace
}  // namespace kc
