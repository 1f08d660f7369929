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

#include "model/parameter_ids.h"
#include "model/parameter_table.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr int kCurrentModeSlot = 2;

// Colours of a band's type buttons: the selected one and the others.
constexpr char kTypeSelectedStyle[] =
    "QPushButton { background: rgb(255,177,106); border: 1px solid rgb(192,192,192);"
    " color: black; }";
constexpr char kTypeNormalStyle[] =
    "QPushButton { background: rgb(161,161,161); border: 1px solid rgb(201,203,203);"
    " color: white; }";

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
  // The entry's parameter decides what its controls show; ControlText gives every text.
  if (entry.info == nullptr) return;
  const ParameterInfo& info = *entry.info;
  switch (info.form) {
    case ValueForm::kScale:
      if (qobject_cast<QSlider*>(entry.primary)) {
        ShowSlider(entry, value);
      } else {
        ShowEditBox(entry, value);
      }
      break;
    case ValueForm::kPeqQ:
    case ValueForm::kShelfQ:
      ShowEditBox(entry, value);
      break;
    case ValueForm::kBandType:
    case ValueForm::kList:
    case ValueForm::kModeNumber:
      if (auto* box = qobject_cast<QComboBox*>(entry.primary)) {
        // A value from the box above 9 shows the item of its last digit. A digit beyond the
        // items shows none (the mode list is filled afresh by ShowModeList).
        const int item = value % 10;
        {
          const QSignalBlocker quiet(box);
          box->setCurrentIndex(item);
        }
        if (entry.type_buttons[0] != nullptr) ShowTypeButtons(entry, item);
      }
      break;
    case ValueForm::kRadio:
    case ValueForm::kPair:
    case ValueForm::kPhase:
    case ValueForm::kSwitch:
      ShowButton(block, index, entry, value);
      break;
  }
}

void PageRefresher::ShowSlider(const ControlEntry& entry, int value) {
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
  pane->setText(Text(ControlText(*entry.info, slider->value())));
}

void PageRefresher::ShowEditBox(const ControlEntry& entry, int value) {
  auto* edit = qobject_cast<QLineEdit*>(entry.primary);
  if (edit == nullptr) return;
  const ParameterInfo* info = entry.info;
  int shown = value;
  if (info->form == ValueForm::kPeqQ || info->form == ValueForm::kShelfQ) {
    // One box serves both Q fields: show the one the band's type puts in force.
    const int id = store_.QFieldOf(MakeId(info->block, info->index));
    info = map_.Of(id).info;
    shown = store_.Working(id);
    if (info == nullptr) return;
  }
  {
    const QSignalBlocker quiet(edit);
    edit->setText(Text(ControlText(*info, shown)));
  }
  if (auto* slider = qobject_cast<QSlider*>(entry.tertiary)) {
    const QSignalBlocker quiet(slider);
    slider->setValue(shown);
  }
}

void PageRefresher::ShowButton(int block, int index, const ControlEntry& entry, int value) {
  auto* button = qobject_cast<QAbstractButton*>(entry.primary);
  if (button == nullptr) return;
  const int id = MakeId(block, index);
  if (id == kAutoManualId) return;  // the Auto/Manual pair follows below
  if (id == kSingDiscoId) {
    const char* shown = value == 0 ? "SingModeBtn" : "DiscoModeBtn";
    Check(pages_.Find<QAbstractButton>(QString::fromLatin1(shown)), true);
    return;
  }
  const ParameterInfo& info = *entry.info;
  if (info.form == ValueForm::kRadio) {
    SelectRadio(button, value);
    return;
  }
  // Two-state buttons keep their state in the Hint, so that the next click toggles from it.
  const bool on = value == 1;
  if (info.form == ValueForm::kPhase) {
    ShowPhase(button, Text(ControlText(info, value)));
  } else {
    Check(button, on);
    if (info.eq_bypass && hooks_.set_eq_bypass) hooks_.set_eq_bypass(block, value);
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
  // In automatic mode the box drives these: each says so while it is disabled.
  for (const char* name : {"MusScrollBox", "SingModeBtn", "DiscoModeBtn"}) {
    SetEnabledBecause(pages_.FindControl(QString::fromLatin1(name)), manual, kAutoModeReason);
  }
  // The Sing/Disco pairs of the output pages (and the slope pairs among them).
  for (int block : {5, 6, 7, 8}) {
    const int pairs_end = block == 8 ? 18 : 20;
    for (int index = 0; index < pairs_end; ++index) {
      const ControlEntry& entry = map_.At(block, index);
      for (QWidget* control : {entry.primary, entry.secondary}) {
        if (!map_.IsPlaceholder(control) && IsSliderButtonOrDropDown(control)) {
          SetEnabledBecause(control, manual, kAutoModeReason);
        }
      }
    }
  }
  for (const char* type : {"SubMusHPType", "SubMusLPType"}) {
    ShowUserQ(pages_, pages_.Find<QComboBox>(QString::fromLatin1(type)));
  }
}

void PageRefresher::ShowUserQ(EditorPages& pages, QComboBox* type) {
  if (type == nullptr) return;
  const bool high_pass = type->objectName() == QLatin1String("SubMusHPType");
  QWidget* slider = pages.FindControl(high_pass ? QStringLiteral("SubMusHPuserQBar")
                                                : QStringLiteral("SubMusLPuserQBar"));
  if (slider == nullptr) return;
  // The user Q serves the two USER filter types only, and only while its filter type can be
  // chosen: in automatic mode the box sets the filter.
  if (!type->isEnabledTo(nullptr) || type->testAttribute(Qt::WA_ForceDisabled)) {
    SetEnabledBecause(slider, false, kAutoModeReason);
    return;
  }
  SetEnabledBecause(slider, type->currentIndex() >= 3, QStringLiteral("仅用于 USER 滤波器类型"));
}

void PageRefresher::ShowAccessState() {
  const bool administrator = store_.Working(kAccessLevelId) != 0;
  if (QWidget* choice = pages_.FindControl(QStringLiteral("SysUserMangerGrop"))) {
    SetEnabledBecause(choice, false, kUnlockReason);
  }
  if (QWidget* unlocked = pages_.FindControl(QStringLiteral("SysUnlockedLabel"))) {
    unlocked->hide();
  }
  ShowAdministratorOnly(pages_, administrator);
}

void PageRefresher::ShowAdministratorOnly(EditorPages& pages, bool administrator) {
  for (const char* name : {"SignRzGroup", "RzBmpButton138"}) {
    SetEnabledBecause(pages.FindControl(QString::fromLatin1(name)), administrator,
                      kAdministratorReason);
  }
  if (QWidget* note = pages.FindControl(QStringLiteral("SysStoreNeedsAdminLabel"))) {
    note->setVisible(!administrator);
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
