#include "ui/control_map.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <span>

#include "ui/control_factory.h"
#include "ui/editor_pages.h"

namespace kc {
namespace {

// A control bound to one index outside the EQ bands. A slider's pane is found from its name
// (Bar -> Pane); other secondaries are named here.
struct Binding {
  int index;
  const char* primary;
  const char* secondary = nullptr;
};

constexpr Binding kMusic[] = {
    {0, "AutoModeBtn", "ManulModeBtn"},
    {1, "DiscoModeBtn", "SingModeBtn"},
    {3, "MusEQAllpassBtn"},
};
constexpr Binding kMicrophone[] = {
    {0, "MicHPFreBar"},
    {1, "MicFBERadioBtn1"},
    {3, "MicEQAllpassBtn"},
};
constexpr Binding kEcho[] = {
    {0, "EchoEffPhaseBtn"},    {1, "EchoEffLevelBar"},   {2, "EchoDirectPhaseBtn"},
    {3, "EchoDirectLevelBar"}, {4, "EchoHPFreBar"},      {5, "EchoLPFreBar"},
    {6, "EchoPreDelayBar"},    {7, "EchoTimeBar"},       {8, "EchoRepeatBar"},
    {9, "EchoRTimeBar"},       {10, "EchoRPreDelayBar"}, {12, "EchoEQAllpassBtn"},
};
constexpr Binding kReverb[] = {
    {0, "RvbEffPhaseBtn"},    {1, "RvbEffLevelBar"}, {2, "RvbDirectPhaseBtn"},
    {3, "RvbDirectLevelBar"}, {4, "RvbTimeBar"},     {5, "RvbPreDelayBar"},
    {6, "RvbHPFreBar"},       {7, "RvbLPFreBar"},
};
constexpr Binding kSubwoofer[] = {
    {0, "SubMusLevelBar"},    {2, "SubMusPhaseBtn"},   {4, "SubMicLevelBar"},
    {6, "SubMicPhaseBtn"},    {8, "SubMusHPType"},     {10, "SubMusHPFreBar"},
    {12, "SubMusHPuserQBar"}, {14, "SubMusLPType"},    {16, "SubMusLPFreBar"},
    {18, "SubMusLPuserQBar"}, {20, "SubRmsAttackBar"}, {21, "SubRmsReleaseBar"},
    {22, "SubRmsLevelBar"},   {23, "SubRmsRatioBar"},  {24, "SubdelayBar"},
    {25, "SubmuteBtn"},       {27, "SubEQAllpassBtn"},
};
constexpr Binding kSystem[] = {
    {2, "SysModeBox"},          {3, "SysMusInputLevelBox"}, {6, "SysMusStartVolBar"},
    {7, "SysMusMaxVolBar"},     {8, "SysMicStartVolBar"},   {9, "SysMicMaxVolBar"},
    {10, "SysEffStartVolBar"},  {11, "SysEffMaxVolBar"},    {12, "SysUserBtn"},
    {13, "SysPanelBtn1"},       {14, "SysInput"},           {32, "SysMusNormalVolBar"},
    {33, "SysMicNormalVolBar"}, {34, "SysEffNormalVolBar"},
};

// Main output, Centre and Rear are named alike (%1 = Main, Center, Sur); the index of each
// control in the three blocks, -1 where the block has no such control.
struct OutputBinding {
  const char* primary;
  std::array<int, 3> index;  // Main (5), Centre (7), Rear (8)
  const char* secondary = nullptr;
};
constexpr OutputBinding kOutputs[] = {
    {"%1MusLevelBar", {0, 0, 0}},     {"%1MusPhaseBtn", {2, 2, 2}},
    {"%1MicLevelBar", {4, 4, 4}},     {"%1MicPhaseBtn", {6, 6, 6}},
    {"%1EchoLevelBar", {8, 8, 8}},    {"%1EchoPhaseBtn", {10, 10, 10}},
    {"%1RvbLevelBar", {12, 12, 12}},  {"%1RvbPhaseBtn", {14, 14, 14}},
    {"%1MusHPFreBar", {16, 16, 16}},  {"%1MusHPslope", {18, 18, -1}, "%1MusHPslope2"},
    {"%1RmsAttackBar", {20, 20, 18}}, {"%1RmsReleaseBar", {21, 21, 19}},
    {"%1RmsLevelBar", {22, 22, 20}},  {"%1RmsRatioBar", {23, 23, 21}},
    {"%1LdelayBar", {24, -1, 22}},    {"%1RdelayBar", {25, -1, 23}},
    {"%1delayBar", {-1, 24, -1}},     {"%1LmuteBtn", {26, -1, 24}},
    {"%1RmuteBtn", {27, -1, 25}},     {"%1muteBtn", {-1, 25, -1}},
    {"%1EQAllpassBtn", {29, 27, 27}},
};
struct OutputBlock {
  int block;
  const char* prefix;
};
constexpr OutputBlock kOutputBlocks[] = {{5, "Main"}, {7, "Center"}, {8, "Sur"}};

// Name prefixes of the EQ band controls by page 0..6: the band controls (MusFreEdit1), their
// frames and spin buttons (MIcFreGrop1 on the Microphone page), the point labels
// (EffEQPointLabel1 on the Effect page) and the pan scroll bars.
struct EqNames {
  const char* band;
  const char* frame;
  const char* label;
  const char* pan;
};
constexpr EqNames kEqNames[ControlMap::kEqPages] = {
    {"Mus", "Mus", "Mus", "Mus"},
    {"Mic", "MIc", "Mic", "Mic"},
    {"Echo", "Echo", "Eff", "Eff"},
    {"Main", "Main", "Main", "Main"},
    {"Center", "Center", "Center", "Center"},
    {"Sub", "Sub", "Sub", "Sub"},
    {"Sur", "Sur", "Sur", "Sur"},
};

constexpr char kPlaceholderName[] = "Example";

QString PaneOf(const QString& slider) {
  QString pane = slider;
  if (pane.endsWith(QLatin1String("Bar"))) pane.replace(pane.size() - 3, 3, QLatin1String("Pane"));
  return pane;
}

class Filler {
 public:
  Filler(EditorPages& pages, QWidget* placeholder, QStringList& missing)
      : pages_(pages), placeholder_(placeholder), missing_(missing) {}

  // The named control, or the placeholder (and the name noted) when the editor lacks it.
  QWidget* Find(const QString& name) {
    if (QWidget* control = pages_.FindControl(name)) return control;
    missing_.append(name);
    return placeholder_;
  }

  void Bind(ControlEntry& entry, const QString& primary, const QString& secondary) {
    entry.primary = Find(primary);
    if (!secondary.isEmpty()) {
      entry.secondary = Find(secondary);
    } else if (qobject_cast<QSlider*>(entry.primary) != nullptr) {
      entry.secondary = Find(PaneOf(primary));
    }
  }

 private:
  EditorPages& pages_;
  QWidget* placeholder_;
  QStringList& missing_;
};

bool IsDropDownSliderButtonOrEdit(const QWidget* w) {
  return qobject_cast<const QComboBox*>(w) || qobject_cast<const QSlider*>(w) ||
         qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w);
}

// Value panes, group boxes, drop-downs and buttons take the identifier as secondaries.
bool TakesSecondaryTag(const QWidget* w) {
  return qobject_cast<const QComboBox*>(w) || qobject_cast<const QLabel*>(w) ||
         qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QGroupBox*>(w);
}

// Buttons, sliders and spin buttons take it as tertiaries.
bool TakesTertiaryTag(const QWidget* w) {
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QSlider*>(w) ||
         qobject_cast<const SpinButtons*>(w);
}

}  // namespace

const ControlEntry& ControlMap::At(int block, int index) const {
  const BlockInfo* info = InfoOfBlock(block);
  if (info == nullptr || index < 0 || index >= info->parameters) return placeholder_entry_;
  return entries_[block][index];
}

int ControlMap::BoundCount(int block) const {
  const BlockInfo* info = InfoOfBlock(block);
  if (info == nullptr) return 0;
  int count = 0;
  for (int i = 0; i < info->parameters; ++i) {
    if (!IsPlaceholder(entries_[block][i].primary)) ++count;
  }
  return count;
}

QLabel* ControlMap::BandLabel(int page, int band) const {
  if (page < 0 || page >= kEqPages || band < 1 || band > kMaxBandsOfPage) return nullptr;
  return band_labels_[page][band - 1];
}

QWidget* ControlMap::PanScrollBar(int page) const {
  return page >= 0 && page < kEqPages ? pan_bars_[page] : nullptr;
}

QPushButton* ControlMap::TabButton(int n) const {
  return n >= 1 && n <= kTabButtons ? tabs_[n - 1] : nullptr;
}

ControlMap BuildControlMap(EditorPages& pages, bool* bulk_refresh) {
  ControlMap map;
  map.placeholder_ = pages.FindControl(QString::fromLatin1(kPlaceholderName));
  if (map.placeholder_ == nullptr) map.missing_.append(QString::fromLatin1(kPlaceholderName));
  map.placeholder_entry_ = {map.placeholder_, map.placeholder_, map.placeholder_, {}};
  for (auto& row : map.entries_) row.fill(map.placeholder_entry_);
  Filler fill(pages, map.placeholder_, map.missing_);

  const auto bind_list = [&](int block, std::span<const Binding> list) {
    for (const Binding& b : list) {
      fill.Bind(map.entries_[block][b.index], QString::fromLatin1(b.primary),
                b.secondary ? QString::fromLatin1(b.secondary) : QString());
    }
  };
  bind_list(0, kMusic);
  bind_list(1, kMicrophone);
  bind_list(3, kEcho);
  bind_list(4, kReverb);
  bind_list(6, kSubwoofer);
  bind_list(9, kSystem);
  for (int column = 0; column < 3; ++column) {
    const OutputBlock& out = kOutputBlocks[column];
    const QString prefix = QString::fromLatin1(out.prefix);
    for (const OutputBinding& b : kOutputs) {
      const int index = b.index[column];
      if (index < 0) continue;
      fill.Bind(map.entries_[out.block][index], QString::fromLatin1(b.primary).arg(prefix),
                b.secondary ? QString::fromLatin1(b.secondary).arg(prefix) : QString());
    }
  }

  // The EQ bands: the same five fields in every block with bands (block 2 excepted).
  for (int block = 0; block <= 8; ++block) {
    const BlockInfo* info = InfoOfBlock(block);
    if (block == 2 || info == nullptr || info->eq_bands == 0) continue;
    const EqNames& names = kEqNames[info->page];
    const QString b = QString::fromLatin1(names.band);
    const QString f = QString::fromLatin1(names.frame);
    for (int k = 0; k < info->eq_bands; ++k) {
      const QString n = QString::number(k + 1);
      ControlEntry* field = &map.entries_[block][info->first_eq + 5 * k];
      field[0].primary = fill.Find(b + "ModeBox" + n);
      field[0].type_buttons = {fill.Find(b + "PEQBtn" + n), fill.Find(b + "LSQBtn" + n),
                               fill.Find(b + "HSQBtn" + n)};
      if (block == 0 && k == 0) {
        field[0].secondary = fill.Find(QStringLiteral("MusModeBtn1"));
        field[0].tertiary = fill.Find(QStringLiteral("MusEQBmpBtn1"));
      }
      field[1] = {fill.Find(b + "FreEdit" + n),
                  fill.Find(f + "FreGrop" + n),
                  fill.Find(f + "FreUpDownBtn" + n),
                  {}};
      field[2] = {fill.Find(b + "GainEdit" + n),
                  fill.Find(f + "GainGrop" + n),
                  fill.Find(b + "EQGainBar" + n),
                  {}};
      // Both Q fields share one box; the type of the band decides which one it shows.
      field[3] = {fill.Find(b + "QEdit" + n),
                  fill.Find(f + "QGrop" + n),
                  fill.Find(f + "QUpDownBtn" + n),
                  {}};
      field[4] = field[3];
    }
  }

  for (int page = 0; page < ControlMap::kEqPages; ++page) {
    const QString label = QString::fromLatin1(kEqNames[page].label) + "EQPointLabel";
    for (int band = 1; band <= EqBandsOfPage(page); ++band) {
      map.band_labels_[page][band - 1] =
          qobject_cast<QLabel*>(fill.Find(label + QString::number(band)));
    }
    map.pan_bars_[page] = fill.Find(QString::fromLatin1(kEqNames[page].pan) + "PanScrollBar");
  }
  for (int n = 1; n <= ControlMap::kTabButtons; ++n) {
    map.tabs_[n - 1] = qobject_cast<QPushButton*>(fill.Find("FormTabBtn" + QString::number(n)));
  }

  // Tags, in identifier order so that a control listed under several indices keeps the last.
  const bool previous_bulk = bulk_refresh ? *bulk_refresh : false;
  if (bulk_refresh) *bulk_refresh = true;
  for (int block = 0; block < kBlockCount; ++block) {
    const BlockInfo* info = InfoOfBlock(block);
    for (int index = 0; index < info->parameters; ++index) {
      const ControlEntry& e = map.entries_[block][index];
      const int id = MakeId(block, index);
      const auto tag = [&](QWidget* w, bool (*accepts)(const QWidget*)) {
        if (!map.IsPlaceholder(w) && accepts(w)) SetTag(w, id);
      };
      tag(e.primary, IsDropDownSliderButtonOrEdit);
      tag(e.secondary, TakesSecondaryTag);
      tag(e.tertiary, TakesTertiaryTag);
      for (QWidget* button : e.type_buttons) {
        if (!map.IsPlaceholder(button)) SetTag(button, id);
      }
    }
  }
  if (bulk_refresh) *bulk_refresh = previous_bulk;
  return map;
}

}  // namespace kc
