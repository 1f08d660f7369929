// Value handlers: sliders with a value pane, the EQ gain sliders, the volume sliders of the
// System page, the EQ edit boxes and the spin buttons.
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

#include "model/value_scales.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/handlers.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

// Roles of the volume sliders, kept in their Hint.
constexpr int kNormalVolume = 0;
constexpr int kStartVolume = 1;
constexpr int kMaximumVolume = 2;

// The three volume sliders of one source (Mus, Mic or Eff) by role.
struct VolumeSet {
  QSlider* normal;
  QSlider* start;
  QSlider* maximum;
};

VolumeSet VolumesOf(EditorPages& pages, const QSlider* slider) {
  const QString source = slider->objectName().mid(3, 3);
  auto find = [&](const char* role) {
    return pages.Find<QSlider>(QStringLiteral("Sys") + source + QString::fromLatin1(role));
  };
  return {find("NormalVolBar"), find("StartVolBar"), find("MaxVolBar")};
}

QLabel* PaneOf(EditorPages& pages, const QSlider* slider) {
  return pages.Find<QLabel>(PaneNameOf(slider->objectName()));
}

// Lowers a slider to a limit; its own change handling then runs as for a user move.
void LimitTo(QSlider* slider, int limit) {
  if (slider != nullptr && slider->value() > limit) slider->setValue(limit);
}

// The characters an EQ edit box takes, typed or put in by other means.
bool IsEditCharacter(QChar c) {
  return c == QLatin1Char('-') || c == QLatin1Char('.') ||
         (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

}  // namespace

void EditorHandlers::ConnectValues() {
  session_.map().ForEachBound([this](int id, const ControlEntry& entry) {
    const int block = BlockOf(id);
    if (auto* slider = qobject_cast<QSlider*>(entry.primary)) {
      if (block == kSystemBlock) {
        volume_previous_.insert(slider, slider->value());
        connect(slider, &QSlider::valueChanged, this,
                [this, slider] { SysMusNormalVolBarChange(slider); });
      } else if (qobject_cast<QLabel*>(entry.secondary) != nullptr) {
        connect(slider, &QSlider::valueChanged, this,
                [this, slider] { MicHPFreBarChange(slider); });
      }
      return;
    }
    auto* edit = qobject_cast<QLineEdit*>(entry.primary);
    if (edit == nullptr) return;
    // A Q box serves two indices; connect it once.
    if (edit->property("EditConnected").toBool()) return;
    edit->setProperty("EditConnected", true);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { MusFreEdit1Edited(edit); });
    if (auto* gain = qobject_cast<QSlider*>(entry.tertiary)) {
      connect(gain, &QSlider::valueChanged, this, [this, gain] { MainEQGainBar1Change(gain); });
    } else if (auto* spin = qobject_cast<SpinButtons*>(entry.tertiary)) {
      connect(spin, &SpinButtons::DownLeftClick, this,
              [this, spin] { MusFreUpDownBtn1Click(spin, false); });
      connect(spin, &SpinButtons::UpRightClick, this,
              [this, spin] { MusFreUpDownBtn1Click(spin, true); });
    }
  });
}

void EditorHandlers::MicHPFreBarChange(QSlider* slider) {
  if (session_.programmatic_change()) return;
  QWidget* pane = session_.map().Of(TagOf(slider)).secondary;
  if (qobject_cast<QLabel*>(pane) != nullptr && !session_.map().IsPlaceholder(pane)) {
    session_.ApplyValue(pane, kStepSet, false, slider->value());
  }
  session_.set_current_edit(nullptr);
}

void EditorHandlers::MainEQGainBar1Change(QSlider* slider) {
  if (session_.programmatic_change()) return;
  QWidget* edit = session_.map().Of(TagOf(slider)).primary;
  if (qobject_cast<QLineEdit*>(edit) == nullptr) return;
  session_.set_current_edit(edit);
  session_.ApplyValue(edit, kStepSet, false, slider->value());
}

void EditorHandlers::SysMusNormalVolBarChange(QSlider* slider) {
  EditorPages& pages = session_.pages();
  QLabel* pane = PaneOf(pages, slider);
  const bool suppressed = session_.link().send_suppress();
  if (pane != nullptr && !suppressed) {
    // A volume rises by at most one step per change event, so a slip of the mouse cannot blast
    // the loudspeakers; lowering is free.
    const int previous = volume_previous_.value(slider, 0);
    if (slider->value() > previous + 1) {
      const QSignalBlocker quiet(slider);
      slider->setValue(previous + 1);
    }
  }
  if (!suppressed) {
    const VolumeSet set = VolumesOf(pages, slider);
    const int role = HintOf(slider).toInt();
    if (set.maximum != nullptr) {
      const int maximum = set.maximum->value();
      if (role == kNormalVolume && slider->value() > maximum) {
        const QSignalBlocker quiet(slider);
        slider->setValue(maximum);
      } else if (role == kStartVolume && slider->value() > maximum) {
        const QSignalBlocker quiet(slider);
        slider->setValue(maximum);
      } else if (role == kMaximumVolume) {
        // The start and normal volumes follow the maximum down, each through its own handling
        // (pane, previous position, sending).
        LimitTo(set.start, maximum);
        LimitTo(set.normal, maximum);
      }
    }
  }
  const int position = slider->value();
  volume_previous_.insert(slider, position);
  if (pane != nullptr) pane->setText(QString::number(position));
  session_.link().SendParam(TagOf(slider), position);
}

void EditorHandlers::MusFreEdit1Click(QLineEdit* edit) {
  if (!session_.IsBoundEdit(edit)) return;
  // A click into the text being typed only places the cursor.
  if (edit == session_.current_edit() && edit->hasFocus() &&
      edit->text() != session_.last_good_text()) {
    return;
  }
  // The box that had the focus is left (and committed) before this one is entered.
  edit->setFocus(Qt::MouseFocusReason);
  MusFreEdit1Enter(edit);
  // Shows the value anew and records it for the graph, without sending.
  const SendSuppressed quiet(session_.link());
  session_.CommitEdit(kStepSet);
}

void EditorHandlers::MusFreEdit1Enter(QLineEdit* edit) {
  if (!session_.IsBoundEdit(edit)) return;
  session_.set_current_edit(edit);
  session_.set_last_good_text(edit->text());
}

bool EditorHandlers::MusFreEdit1KeyPress(QLineEdit* edit, QChar character) {
  session_.set_current_edit(edit);
  if (character == QLatin1Char('\r') || character == QLatin1Char('\n')) {
    MusFreEdit1Exit();
    return false;
  }
  if (character == QLatin1Char('\b') || IsEditCharacter(character)) return true;
  // Other control characters (Delete, Tab, ...) are keys, not text; only printable text is
  // dropped.
  return !character.isPrint();
}

void EditorHandlers::MusFreEdit1Edited(QLineEdit* edit) {
  // What the edit put in (a paste, a drop, an input method's text) lies between the start and
  // the end that the texts before and after it share; it passes the same filter as typed keys.
  const QString before = edit_texts_.value(edit);
  const QString after = edit->text();
  const qsizetype shared = std::min(before.size(), after.size());
  qsizetype head = 0;
  while (head < shared && before[head] == after[head]) ++head;
  qsizetype tail = 0;
  while (tail < shared - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  const QString put_in = after.mid(head, after.size() - head - tail);
  QString kept;
  for (QChar c : put_in) {
    if (IsEditCharacter(c)) kept += c;
  }
  if (kept.size() != put_in.size()) {
    edit->setText(after.left(head) + kept + after.right(tail));
    edit->setCursorPosition(static_cast<int>(head + kept.size()));
  }
  edit_texts_.insert(edit, edit->text());
}

void EditorHandlers::MusFreEdit1KeyDown(int key) {
  if (session_.current_edit() == nullptr) return;
  if (key == Qt::Key_Up || key == Qt::Key_Right) session_.CommitEdit(kStepUp);
  if (key == Qt::Key_Down || key == Qt::Key_Left) session_.CommitEdit(kStepDown);
}

void EditorHandlers::MusFreEdit1Exit() {
  auto* edit = qobject_cast<QLineEdit*>(session_.current_edit());
  if (edit == nullptr) return;
  if (edit->text().isEmpty()) {
    edit->setText(session_.last_good_text());
  } else {
    session_.CommitEdit(kStepSet, /*leaving=*/true);
  }
}

void EditorHandlers::MusFreUpDownBtn1Click(QWidget* spin, bool up) {
  QWidget* primary = session_.map().Of(TagOf(spin)).primary;
  if (session_.map().IsPlaceholder(primary)) return;
  if (auto* edit = qobject_cast<QLineEdit*>(primary)) {
    // The box that had the focus is left (and committed) before this one steps.
    edit->setFocus(Qt::OtherFocusReason);
    session_.set_current_edit(edit);
    session_.CommitEdit(up ? kStepUp : kStepDown);
  } else if (auto* slider = qobject_cast<QSlider*>(primary)) {
    slider->setValue(slider->value() + (up ? 1 : -1));
  }
}

}  // namespace kc
