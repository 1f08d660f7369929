// Button and list handlers: band types (type boxes, P/LS/HS buttons, the drop-down button of
// Music band 1), phase, mute and EQ bypass buttons, the radio groups and the Subwoofer filter
// types with the music input level box.
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
#include "model/value_scales.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/handlers.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr int kFirstSlopeId = 0x0500;
constexpr int kLastSlopeId = 0x08FF;
constexpr int kSubwooferBlock = 6;
constexpr int kSubHighPassSlot = 3;
constexpr int kSubLowPassSlot = 4;

enum class ButtonFamily { kNone, kPhase, kMute, kBypass };

// The table's form of a button's parameter says which handling its clicks get.
ButtonFamily FamilyOf(const ControlEntry& entry) {
  if (entry.info == nullptr) return ButtonFamily::kNone;
  if (entry.info->form == ValueForm::kPhase) return ButtonFamily::kPhase;
  if (entry.info->form != ValueForm::kSwitch) return ButtonFamily::kNone;
  return entry.info->eq_bypass ? ButtonFamily::kBypass : ButtonFamily::kMute;
}

// A two-state button keeps its state in its Hint; a click toggles from it.
int ToggledState(const QAbstractButton* button) { return HintOf(button) == "1" ? 0 : 1; }

}  // namespace

void EditorHandlers::ConnectButtons() {
  session_.map().ForEachBound([this](int id, const ControlEntry& entry) {
    const int block = BlockOf(id);
    if (auto* box = qobject_cast<QComboBox*>(entry.primary)) {
      if (entry.type_buttons[0] != nullptr) {
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, box] { MusModeBox1Change(box); });
        for (QWidget* widget : entry.type_buttons) {
          auto* button = qobject_cast<QAbstractButton*>(widget);
          connect(button, &QAbstractButton::clicked, this,
                  [this, button] { MainPEQBtn1Click(button); });
        }
        if (auto* small = qobject_cast<QAbstractButton*>(entry.secondary)) {
          connect(small, &QAbstractButton::clicked, this,
                  [this, small] { MusModeBtn1Click(small); });
        }
      } else if (block != kSystemBlock || IndexOf(id) == 3) {
        // SubMusHPType, SubMusLPType and SysMusInputLevelBox; the mode list of the System
        // page has handling of its own.
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, box] { SubMusHPTypeChange(box); });
      }
      return;
    }
    if (auto* radio = qobject_cast<QRadioButton*>(entry.primary)) {
      const QList<QAbstractButton*> group =
          radio->group() ? radio->group()->buttons() : QList<QAbstractButton*>{radio};
      for (QAbstractButton* button : group) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button, id] { SysMusInputLevelClick(button, id); });
      }
      return;
    }
    auto* button = qobject_cast<QAbstractButton*>(entry.primary);
    if (button == nullptr) return;
    switch (FamilyOf(entry)) {
      case ButtonFamily::kPhase:
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { EchoEffPhaseBtnClick(button); });
        break;
      case ButtonFamily::kMute:
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { MainLmuteBtnClick(button); });
        break;
      case ButtonFamily::kBypass:
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { MusEQAllpassBtnClick(button); });
        break;
      case ButtonFamily::kNone:
        break;
    }
  });
}

void EditorHandlers::MusModeBox1Change(QComboBox* box) {
  const ControlMap& map = session_.map();
  const int id = TagOf(box);
  const int type = box->currentIndex();
  PageRefresher::ShowTypeButtons(map.Of(id), type);
  if (session_.link().send_suppress()) return;
  session_.link().SendEqBand(id, type);
  // The band's Q box now shows the Q field that the new type puts in force.
  const int field = LocateBand(id) & 0xFF;
  const int q_id = id - field + kBandPeqQField;
  QWidget* q_edit = map.Of(q_id).primary;
  if (qobject_cast<QLineEdit*>(q_edit) != nullptr) {
    session_.set_current_edit(q_edit);
    session_.ApplyValue(q_edit, kStepSet, true,
                        session_.store().Working(session_.store().QFieldOf(q_id)));
  }
  session_.set_last_change({id, type});
}

void EditorHandlers::MainPEQBtn1Click(QAbstractButton* button) {
  auto* box = qobject_cast<QComboBox*>(session_.map().Of(TagOf(button)).primary);
  if (box == nullptr) return;
  {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(HintOf(button).toInt());
  }
  MusModeBox1Change(box);
}

void EditorHandlers::MusModeBtn1Click(QWidget* button) {
  auto* box = qobject_cast<QComboBox*>(session_.map().Of(TagOf(button)).primary);
  if (box == nullptr) return;
  box->setFocus(Qt::OtherFocusReason);
  box->showPopup();
}

void EditorHandlers::EchoEffPhaseBtnClick(QAbstractButton* button) {
  const int state = ToggledState(button);
  SetHint(button, QString::number(state));
  if (const ParameterInfo* info = session_.map().Of(TagOf(button)).info) {
    ShowPhase(button, QString::fromStdString(ControlText(*info, state)));
  }
  session_.link().SendParam(TagOf(button), state);
}

void EditorHandlers::MainLmuteBtnClick(QAbstractButton* button) {
  const int state = ToggledState(button);
  SetHint(button, QString::number(state));
  {
    const QSignalBlocker quiet(button);
    button->setChecked(state == 1);
  }
  session_.link().SendParam(TagOf(button), state);
}

void EditorHandlers::MusEQAllpassBtnClick(QAbstractButton* button) {
  // In Auto the box runs the Music EQ by itself; its bypass is not the user's to switch.
  if (session_.page() == 0 && session_.store().Working(kAutoManualId) == 0) {
    const QSignalBlocker quiet(button);
    button->setChecked(HintOf(button) == "1");
    return;
  }
  const int state = ToggledState(button);
  SetHint(button, QString::number(state));
  {
    const QSignalBlocker quiet(button);
    button->setChecked(state == 1);
  }
  const int id = TagOf(button);
  session_.set_eq_bypass(BlockOf(id), state);
  session_.link().SendParam(id, state);
  if (QWidget* pass = session_.pages().FindControl(QStringLiteral("EQPassLabel"))) {
    pass->setVisible(state == 1);
  }
}

void EditorHandlers::SysMusInputLevelClick(QAbstractButton* button, int id) {
  const int position = HintOf(button).toInt();
  {
    const QSignalBlocker quiet(button);
    button->setChecked(true);
  }
  session_.link().SendParam(id, position);
  if (id == kAccessLevelId) {
    // The choice is made: it locks again until the system password unlocks it.
    SetEnabledBecause(session_.pages().FindControl(QStringLiteral("SysUserMangerGrop")), false,
                      kUnlockReason);
    if (QWidget* unlocked = session_.pages().FindControl(QStringLiteral("SysUnlockedLabel"))) {
      unlocked->hide();
    }
  }
  ApplyAccessEnabling();
  if (id >= kFirstSlopeId && id <= kLastSlopeId) session_.RedrawSection();
}

void EditorHandlers::ApplyAccessEnabling() {
  PageRefresher::ShowAdministratorOnly(session_.pages(),
                                       session_.store().Working(kAccessLevelId) != 0);
}

void EditorHandlers::SubMusHPTypeChange(QComboBox* box) {
  const int item = box->currentIndex();
  session_.link().SendParam(TagOf(box), item);
  const QString name = box->objectName();
  const bool high_pass = name == QLatin1String("SubMusHPType");
  if (!high_pass && name != QLatin1String("SubMusLPType")) return;
  // The user-Q slider serves the two USER types only.
  PageRefresher::ShowUserQ(session_.pages(), box);
  session_.DrawSectionCurve(high_pass ? kSubHighPassSlot : kSubLowPassSlot, kSubwooferBlock);
}

}  // namespace kc
