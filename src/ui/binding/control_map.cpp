#include "ui/binding/control_map.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "model/parameter_table.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"
#include "ui/pages/page_builders.h"

namespace kc {
namespace {

constexpr char kPlaceholderName[] = "Example";

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
      entry.secondary = Find(PaneNameOf(primary));
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

void ControlMap::ForEachBound(
    const std::function<void(int id, const ControlEntry& entry)>& fn) const {
  for (int block = 0; block < kBlockCount; ++block) {
    const BlockInfo* info = InfoOfBlock(block);
    for (int index = 0; index < info->parameters; ++index) {
      const ControlEntry& entry = At(block, index);
      if (!IsPlaceholder(entry.primary)) fn(MakeId(block, index), entry);
    }
  }
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

  // Every parameter the table lists is bound to the control of its name. The EQ band fields
  // also bring the frame, spin buttons, gain slider and type buttons of their band.
  for (const ParameterInfo& p : ParameterTable()) {
    ControlEntry& entry = map.entries_[p.block][p.index];
    if (p.band < 0) {
      fill.Bind(entry, QString::fromStdString(p.name), QString::fromStdString(p.secondary));
      entry.info = &p;
      continue;
    }
    const BandColumnNames band = BandColumnNamesOf(p.page, p.band + 1);
    const QString name = QString::fromStdString(p.name);
    switch (p.field) {
      case kBandTypeField:
        entry.primary = fill.Find(name);
        entry.type_buttons = {fill.Find(band.type_buttons[0]), fill.Find(band.type_buttons[1]),
                              fill.Find(band.type_buttons[2])};
        if (p.block == 0 && p.band == 0) {
          entry.secondary = fill.Find(QStringLiteral("MusModeBtn1"));
          entry.tertiary = fill.Find(QStringLiteral("MusEQBmpBtn1"));
        }
        break;
      case kBandFrequencyField:
        entry = {
            fill.Find(name), fill.Find(band.frequency_frame), fill.Find(band.frequency_spin), {}};
        break;
      case kBandGainField:
        entry = {fill.Find(name), fill.Find(band.gain_frame), fill.Find(band.gain_slider), {}};
        break;
      default:
        // Both Q fields share one box; the type of the band decides which one it shows.
        entry = {fill.Find(name), fill.Find(band.q_frame), fill.Find(band.q_spin), {}};
        break;
    }
    entry.info = &p;
  }

  for (int page = 0; page < ControlMap::kEqPages; ++page) {
    for (int band = 1; band <= EqBandsOfPage(page); ++band) {
      map.band_labels_[page][band - 1] =
          qobject_cast<QLabel*>(fill.Find(BandColumnNamesOf(page, band).point_label));
    }
    map.pan_bars_[page] = fill.Find(PanScrollBarName(page));
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
