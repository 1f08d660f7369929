#include "ui/editing/edit_session.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <optional>

#include "eq/section_layout.h"
#include "model/rounding.h"
#include "model/value_scales.h"
#include "ui/binding/page_refresh.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr int kNoBand = 255;

// Frame of an EQ edit box, normal or highlighted; the rest of the look comes from the column.
QString FrameStyle(const QColor& colour) {
  return QStringLiteral(
             "QGroupBox { border: 1px solid %1; margin: 0px; padding: 0px;"
             " background: white; }")
      .arg(colour.name());
}

constexpr char kLabelOpaqueStyle[] = "background: rgb(68,134,255); color: white;";
constexpr char kLabelClearStyle[] = "background: transparent; color: rgb(68,134,255);";

void SetFrameColour(QWidget* control, const QColor& colour) {
  auto* group = qobject_cast<QGroupBox*>(control);
  if (group == nullptr) return;
  group->setProperty(kFrameColourProperty, colour);
  group->setStyleSheet(FrameStyle(colour));
}

std::optional<int> KindOfControl(const QWidget* control) {
  return KindOfHint(HintOf(control).toStdString());
}

}  // namespace

EditSession::EditSession(EditorPages& pages, ParameterStore& store, const ControlMap& map,
                         PageRefresher& refresher, EditLink& link, SessionView& view)
    : pages_(pages), store_(store), map_(map), refresher_(refresher), link_(link), view_(view) {}

bool EditSession::bulk_refresh() const { return refresher_.bulk_refresh(); }

void EditSession::set_current_edit(QWidget* edit) {
  if (map_.IsPlaceholder(edit)) edit = nullptr;
  if (edit == current_edit_) return;
  current_edit_ = edit;
  // A box that becomes current falls back to its own text, never to another box's.
  auto* line = qobject_cast<QLineEdit*>(edit);
  last_good_text_ = line != nullptr ? line->text() : QString();
}

bool EditSession::IsBoundEdit(const QWidget* control) const {
  return qobject_cast<const QLineEdit*>(control) != nullptr && !map_.IsPlaceholder(control) &&
         map_.Of(TagOf(control)).primary == control;
}

int EditSession::current_band(int page) const {
  return page >= 0 && page < static_cast<int>(current_band_.size()) ? current_band_[page] : 0;
}

void EditSession::set_current_band(int page, int band) {
  if (page >= 0 && page < static_cast<int>(current_band_.size())) current_band_[page] = band;
}

int EditSession::eq_bypass(int block) const {
  return block >= 0 && block < kBlockCount ? eq_bypass_[block] : 0;
}

void EditSession::set_eq_bypass(int block, int state) {
  if (block < 0 || block >= kBlockCount) return;
  eq_bypass_[block] = state ? 1 : 0;
}

void EditSession::SetCurveColours(bool group_b) {
  curve_colour_ = group_b ? kCurveColourGroupB : kCurveColour;
  label_colour_ = group_b ? kLabelColourGroupB : kLabelColour;
}

void EditSession::DrawSectionCurve(int selection, int block) {
  if (bulk_refresh()) return;
  view_.DrawSectionCurve(selection, block);
}

void EditSession::RedrawSection() {
  DrawSectionCurve(kAllSlots, block());
  RedrawCurrentBand();
}

void EditSession::RedrawCurrentBand() { DrawSectionCurve(current_band(page()), block()); }

int EditSession::PageOfBlock(int block) {
  const BlockInfo* info = InfoOfBlock(block);
  return info != nullptr && info->page <= 6 ? info->page : -1;
}

void EditSession::ApplyValue(QWidget* control, int step, bool display_only, double x) {
  Apply(control, step, display_only, x, true);
}

void EditSession::Apply(QWidget* control, int step, bool display_only, double x,
                        bool send_unchanged) {
  if (control == nullptr || map_.IsPlaceholder(control)) return;
  // Which controls take a value, and with which kind.
  int kind = 0;
  if (qobject_cast<QLineEdit*>(control) != nullptr) {
    kind = KindOfControl(control).value_or(0);
  } else if (qobject_cast<QLabel*>(control) != nullptr) {
    kind = KindOfControl(control).value_or(0);
    if (kind < kKindHighPass) return;
  } else if (qobject_cast<QComboBox*>(control) != nullptr) {
    if (HintOf(control).isEmpty()) return;
    kind = KindOfControl(control).value_or(0);
  } else {
    return;
  }
  const int id = store_.QFieldOf(TagOf(control));

  if (kind == kKindBandType) {
    auto* box = qobject_cast<QComboBox*>(control);
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(Trunc(x));
  } else if (kind >= kKindFrequency && kind <= kKindQ) {
    ApplyToEditBox(control, kind, step, display_only, x, id);
  } else if (kind >= kKindHighPass && kind <= kKindUserQ) {
    x = ClampToKind(kind, x);
    if (auto* pane = qobject_cast<QLabel*>(control)) {
      if (auto text = FormatValue(kind, x)) pane->setText(QString::fromStdString(*text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      if (auto text = FormatValue(kind, x)) edit->setText(QString::fromStdString(*text));
    }
  }

  const int v = Trunc(x);
  const bool changed = store_.Working(id) != v;
  MoveSlider(id, x);
  if (kind <= kKindQ) store_.StoreValue(id, v);
  if (!display_only && (changed || send_unchanged)) {
    if (kind <= kKindQ) {
      link_.SendEqBand(id, v);
    } else {
      link_.SendParam(id, v);
    }
  }
  const bool graph_value = kind < kKindPercent || kind == kKindEffectHighPass || kind == kKindUserQ;
  if (graph_value && !bulk_refresh()) last_change_ = {id, v};
}

void EditSession::ApplyToEditBox(QWidget* control, int kind, int step, bool display_only, double& x,
                                 int id) {
  auto* edit = qobject_cast<QLineEdit*>(control);
  if (!display_only) {
    if (step == kStepUp) x += 1;
    if (step == kStepDown) x -= 1;
  }
  if (kind == kKindQ) {
    if (display_only) {
      x = store_.Working(id);
    } else {
      // Field 0 of the band holds its type; a shelf allows Q steps up to 28 only.
      const int band = LocateBand(id);
      const int type_index = IndexOf(id) - (band & 0xFF);
      const int limit = QLimitOfBandType(store_.Working(BlockOf(id), type_index));
      if (x > limit) x = limit;
      if (x < 0) x = 0;
    }
  } else if (!display_only) {
    x = ClampToKind(kind, x);
  }
  if (edit != nullptr) {
    const std::optional<std::string> text =
        kind == kKindGain ? FormatValue(kind, x) : FormatValue(kind, Trunc(x));
    if (text) {
      const QSignalBlocker quiet(edit);
      edit->setText(QString::fromStdString(*text));
    }
  }
  if (kind == kKindFrequency) {
    QWidget* bound = map_.Of(id).primary;
    if (qobject_cast<QLineEdit*>(bound) != nullptr) set_current_edit(bound);
  }
  if (edit != nullptr && edit == current_edit_) last_good_text_ = edit->text();
  const int page = PageOfBlock(BlockOf(id));
  if (page >= 0) HighlightBand(edit, page);
}

void EditSession::MoveSlider(int id, double x) {
  const ControlEntry& entry = map_.Of(id);
  auto* slider = qobject_cast<QSlider*>(entry.primary);
  if (slider == nullptr) slider = qobject_cast<QSlider*>(entry.tertiary);
  if (slider == nullptr) return;
  const bool previous = programmatic_change_;
  programmatic_change_ = true;
  slider->setValue(RoundHalfEven(x));
  programmatic_change_ = previous;
}

void EditSession::DropTypedText() {
  if (auto* edit = qobject_cast<QLineEdit*>(current_edit_)) edit->setText(last_good_text_);
}

void EditSession::CommitEdit(int step, bool leaving) {
  QWidget* control = current_edit_;
  auto* edit = qobject_cast<QLineEdit*>(control);
  if (edit == nullptr || !IsBoundEdit(edit)) return;
  const std::optional<double> number = ExtractEditNumber(edit->text().toStdString());
  if (!number) {
    edit->setText(last_good_text_);
    return;
  }
  const std::optional<int> kind = KindOfControl(edit);
  if (!kind) {
    view_.ShowMessage(QStringLiteral("error"));
    edit->setText(last_good_text_);
    return;
  }
  Apply(edit, step, false, ParseEditValue(*kind, *number), !leaving);
  last_good_text_ = edit->text();
}

int EditSession::HighlightBand(QWidget* edit, int page) {
  if (bulk_refresh() || qobject_cast<QLineEdit*>(edit) == nullptr) return 0;
  int band = LocateBand(TagOf(edit)) >> 8;
  if (band == kNoBand) band = 0;
  set_current_band(page, band);

  for (int n = 1; n <= ControlMap::kMaxBandsOfPage; ++n) {
    QLabel* label = map_.BandLabel(page, n);
    if (label == nullptr) continue;
    const bool opaque = n - 1 == band;
    label->setStyleSheet(QString::fromLatin1(opaque ? kLabelOpaqueStyle : kLabelClearStyle));
    label->setAutoFillBackground(opaque);
    label->show();
  }

  if (current_edit_ != highlighted_edit_) {
    if (current_edit_ != nullptr) {
      SetFrameColour(map_.Of(TagOf(current_edit_)).secondary, kHighlightFrameColour);
    }
    if (highlighted_edit_ != nullptr) {
      SetFrameColour(map_.Of(TagOf(highlighted_edit_)).secondary, kNormalFrameColour);
    }
    highlighted_edit_ = current_edit_;
  }

  if (page >= 0 && page <= 6) {
    if (auto* bar = qobject_cast<QSlider*>(map_.PanScrollBar(page))) {
      const int p = bar->value();
      if (p + 10 < band) {
        bar->setValue(band - 9);
      } else if (p > band) {
        bar->setValue(band);
      }
    }
  }
  return band;
}

}  // namespace kc
