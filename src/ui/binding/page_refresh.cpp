#include "ui/binding/page_refresh.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include "model/value_scales.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr int kModeCount = 15;
constexpr int kAutoManualId = 0x0000;
constexpr int kSingDiscoId = 0x0001;
constexpr int kAccessId = 0x090C;
constexpr int kCurrentModeSlot = 2;

// Colours of a band's type buttons: the selected one and the others.
constexpr char kTypeSelectedStyle[] =
    "QPushButton { background: rgb(255,177,106); border: 1px solid rgb(192,192,192);"
    " color: black; }";
constexpr char kTypeNormalStyle[] =
    "QPushButton { background: rgb(161,161,161); border: 1px solid rgb(201,203,203);"
    " color: white; }";

int KindOf(const QWidget* control) { return KindOfHint(HintOf(control).toStdString()).value_or(0); }

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Checks one button of an exclusive pair or group without running its click handling.
void Check(QAbstractButton* button, bool checked) {
  if (button == nullptr) return;
  const QSignalBlocker quiet(button);
  button->setChecked(checked);
}

bool IsSliderButtonOrDropDown(const QWidget* w) {
  return qobject_cast<const QSlider*>(w) || qobject_cast<const QAbstractButton*>(w) ||
         qobject_cast<const QComboBox*>(w);
}

}  // namespace

PageRefresher::PageRefresher(EditorPages& pages, ParameterStore& store, const ControlMap& map,
                             RefreshHooks hooks)
    : pages_(pages), store_(store), map_(map), hooks_(std::move(hooks)) {}

void PageRefresher::RefreshPages(int selection) {
  if (selection == 2) selection = 1;
  const bool previous_bulk = bulk_refresh_;
  const bool previous_suppress = hooks_.send_suppress ? hooks_.send_suppress() : false;
  bulk_refresh_ = true;
  if (hooks_.set_send_suppress) hooks_.set_send_suppress(true);

  store_.RebuildWorkingTable();
  // The Music row decides Sing or Disco. When it disagrees with the switch the table was just
  // read from the other set's slots; read it again, or the pages would show (and later edits
  // would write) the set that is not in force.
  const int disco = store_.Working(kSingDiscoId) != 0 ? 1 : 0;
  if (disco != store_.disco()) {
    store_.set_disco(disco);
    store_.RebuildWorkingTable();
  }

  if (selection == kAllBlocks) {
    for (int block = 0; block < kBlockCount; ++block) RefreshBlock(block);
  } else if (selection >= 0 && selection < kBlockCount) {
    RefreshBlock(selection);
  }
  ShowAutoManual(store_.Working(kAutoManualId) != 0);
  ShowAccessState();
  ShowModeList();

  bulk_refresh_ = previous_bulk;
  if (hooks_.redraw_curve) hooks_.redraw_curve();
  if (hooks_.set_send_suppress) hooks_.set_send_suppress(previous_suppress);
}

void PageRefresher::RefreshBlock(int block) {
  const BlockInfo* info = InfoOfBlock(block);
  for (int index = 0; index < info->parameters; ++index) {
    const ControlEntry& entry = map_.At(block, index);
    if (map_.IsPlaceholder(entry.primary)) continue;
    ShowValue(block, index, entry, store_.Working(block, index));
    if (control_shown_) control_shown_(entry.primary);
  }
}

void PageRefresher::ShowValue(int block, int index, const ControlEntry& entry, int value) {
  QWidget* control = entry.primary;
  if (qobject_cast<QSlider*>(control)) {
    ShowSlider(block, entry, value);
  } else if (auto* box = qobject_cast<QComboBox*>(control)) {
    // A band type from the box above 9 shows the item of its last digit.
    const int item = value % 10;
    {
      const QSignalBlocker quiet(box);
      box->setCurrentIndex(item);
    }
    if (entry.type_buttons[0] != nullptr) ShowTypeButtons(entry, item);
  } else if (qobject_cast<QLineEdit*>(control)) {
    ShowEditBox(entry, value);
  } else if (qobject_cast<QAbstractButton*>(control)) {
    ShowButton(block, index, entry, value);
  }
}

void PageRefresher::ShowSlider(int block, const ControlEntry& entry, int value) {
  auto* slider = qobject_cast<QSlider*>(entry.primary);
  {
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
  }
  // No pause between sliders: moving a slider here costs no repaint of its own, the pages are
  // painted once when the event loop runs again.
  auto* pane = qobject_cast<QLabel*>(entry.secondary);
  if (pane == nullptr || map_.IsPlaceholder(pane)) return;
  // The pane shows the position the slider took, which its range may have limited. It is
  // written even when the slider did not move, so that no starting text outlives a refresh.
  const int position = slider->value();
  const int kind = KindOf(pane);
  if (block == kSystemBlock && kind == kKindNone) {
    // Volume panes show the plain position; their Hint stays the display kind it always was.
    pane->setText(QString::number(position));
  } else if (kind >= kKindHighPass) {
    if (auto text = FormatValue(kind, ClampToKind(kind, position))) pane->setText(Text(*text));
  }
}

void PageRefresher::ShowEditBox(const ControlEntry& entry, int value) {
  auto* edit = qobject_cast<QLineEdit*>(entry.primary);
  const int kind = KindOf(edit);
  double x = value;
  if (kind == kKindQ) {
    // One box serves both Q fields: show the one the band's type puts in force.
    x = store_.Working(store_.QFieldOf(TagOf(edit)));
  } else if (kind >= kKindHighPass) {
    x = ClampToKind(kind, x);
  }
  if (auto text = FormatValue(kind, x)) {
    const QSignalBlocker quiet(edit);
    edit->setText(Text(*text));
  }
  if (auto* slider = qobject_cast<QSlider*>(entry.tertiary)) {
    const QSignalBlocker quiet(slider);
    slider->setValue(static_cast<int>(x));
  }
}

void PageRefresher::ShowButton(int block, int index, const ControlEntry& entry, int value) {
  auto* button = qobject_cast<QAbstractButton*>(entry.primary);
  if (block == 0 && index == 0) return;  // the Auto/Manual pair follows below
  if (block == 0 && index == 1) {
    const char* shown = value == 0 ? "SingModeBtn" : "DiscoModeBtn";
    Check(pages_.Find<QAbstractButton>(QString::fromLatin1(shown)), true);
    return;
  }
  if (qobject_cast<QRadioButton*>(button) != nullptr) {
    SelectRadio(button, value);
    return;
  }
  // Two-state buttons keep their state in the Hint, so that the next click toggles from it.
  const bool on = value == 1;
  const QString name = button->objectName();
  if (name.contains(QLatin1String("PhaseBtn"))) {
    button->setText(on ? QStringLiteral("+") : QStringLiteral("-"));
  } else {
    Check(button, on);
    if (name.contains(QLatin1String("EQAllpassBtn")) && hooks_.set_eq_bypass) {
      hooks_.set_eq_bypass(block, value);
    }
  }
  SetHint(button, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void PageRefresher::SelectRadio(QWidget* first, int position) {
  auto* radio = qobject_cast<QAbstractButton*>(first);
  QButtonGroup* group = radio->group();
  const QList<QAbstractButton*> buttons = group ? group->buttons() : QList<QAbstractButton*>{radio};
  const QString wanted = QString::number(position);
  for (QAbstractButton* button : buttons) {
    if (HintOf(button) == wanted) {
      Check(button, true);
      return;
    }
  }
  // A position the group does not have selects none rather than leaving a stale choice shown.
  if (group) group->setExclusive(false);
  for (QAbstractButton* button : buttons) Check(button, false);
  if (group) group->setExclusive(true);
}

void PageRefresher::ShowTypeButtons(const ControlEntry& entry, int item) {
  for (int t = 0; t < 3; ++t) {
    QWidget* button = entry.type_buttons[t];
    if (button == nullptr) continue;
    const bool selected = t == item;
    const QVariant before = button->property(kSelectedProperty);
    if (before.isValid() && before.toBool() == selected) continue;
    button->setProperty(kSelectedProperty, selected);
    button->setStyleSheet(QString::fromLatin1(selected ? kTypeSelectedStyle : kTypeNormalStyle));
  }
}

void PageRefresher::ShowAutoManual(bool manual) {
  Check(pages_.Find<QAbstractButton>(manual ? QStringLiteral("ManulModeBtn")
                                            : QStringLiteral("AutoModeBtn")),
        true);
  for (const char* name : {"MusScrollBox", "SingModeBtn", "DiscoModeBtn"}) {
    if (QWidget* control = pages_.FindControl(QString::fromLatin1(name))) {
      control->setEnabled(manual);
    }
  }
  // The Sing/Disco pairs of the output pages (and the slope pairs among them).
  for (int block : {5, 6, 7, 8}) {
    const int pairs_end = block == 8 ? 18 : 20;
    for (int index = 0; index < pairs_end; ++index) {
      const ControlEntry& entry = map_.At(block, index);
      for (QWidget* control : {entry.primary, entry.secondary}) {
        if (!map_.IsPlaceholder(control) && IsSliderButtonOrDropDown(control)) {
          control->setEnabled(manual);
        }
      }
    }
  }
  // The user-Q sliders serve the two USER filter types only.
  struct UserQ {
    const char* type;
    const char* slider;
  };
  for (const UserQ& q :
       {UserQ{"SubMusHPType", "SubMusHPuserQBar"}, UserQ{"SubMusLPType", "SubMusLPuserQBar"}}) {
    auto* type = pages_.Find<QComboBox>(QString::fromLatin1(q.type));
    QWidget* slider = pages_.FindControl(QString::fromLatin1(q.slider));
    if (type && slider) slider->setEnabled(type->currentIndex() >= 3);
  }
}

void PageRefresher::ShowAccessState() {
  const bool administrator = store_.Working(kAccessId) != 0;
  if (QWidget* choice = pages_.FindControl(QStringLiteral("SysUserMangerGrop"))) {
    choice->setEnabled(false);
  }
  for (const char* name : {"SignRzGroup", "RzBmpButton138"}) {
    if (QWidget* control = pages_.FindControl(QString::fromLatin1(name))) {
      control->setEnabled(administrator);
    }
  }
}

void PageRefresher::ShowModeList() {
  const int current = store_.Device(kSystemBlock, kCurrentModeSlot);
  if (auto* box = pages_.Find<QComboBox>(QStringLiteral("SysModeBox"))) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (int n = 1; n <= kModeCount; ++n) {
      const QString name = hooks_.mode_name ? Text(hooks_.mode_name(n)) : QString();
      box->addItem(QString::number(n) + QLatin1Char('-') + name);
    }
    box->setCurrentIndex(current >= 0 && current < kModeCount ? current : -1);
    // The name part of the selected item (after "n-") goes to the name box.
    if (auto* edit = pages_.Find<QLineEdit>(QStringLiteral("PresetModeEdit"))) {
      const int selected = box->currentIndex();
      const QSignalBlocker quiet_edit(edit);
      edit->setText(selected < 0 ? QString()
                                 : box->itemText(selected).mid(selected + 1 < 10 ? 2 : 3));
    }
  }
  if (auto* label = pages_.Find<QLabel>(QStringLiteral("CurrentModeLabel"))) {
    label->setText(QStringLiteral("（当前模式：") + QString::number(current + 1) +
                   QStringLiteral(" ）"));
  }
}

}  // namespace kc
