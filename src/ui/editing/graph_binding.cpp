#include "ui/editing/graph_binding.h"

#include <QLabel>
#include <QLineEdit>

#include "model/parameter_table.h"
#include "model/value_scales.h"
#include "ui/compare/compare_window.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/eq_clipboard.h"
#include "ui/editing/handlers.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {

SessionGraphHost::SessionGraphHost(EditSession& session, EditorHandlers& handlers,
                                   std::function<bool()> ready)
    : session_(session), handlers_(handlers), ready_(std::move(ready)) {}

const ParameterStore& SessionGraphHost::store() const { return session_.store(); }

QWidget* SessionGraphHost::PrimaryOf(int id) const {
  QWidget* control = session_.map().Of(id).primary;
  return session_.map().IsPlaceholder(control) ? nullptr : control;
}

QWidget* SessionGraphHost::SecondaryOf(int id) const {
  QWidget* control = session_.map().Of(id).secondary;
  return session_.map().IsPlaceholder(control) ? nullptr : control;
}

void SessionGraphHost::ApplyValue(QWidget* control, int step, bool display_only, double x) {
  session_.ApplyValue(control, step, display_only, x);
}

int SessionGraphHost::page_selector() const { return session_.page_selector(); }
int SessionGraphHost::current_band(int page) const { return session_.current_band(page); }
bool SessionGraphHost::bulk_refresh() const { return session_.bulk_refresh(); }
int SessionGraphHost::eq_bypass(int block) const { return session_.eq_bypass(block); }
QColor SessionGraphHost::curve_colour() const { return session_.curve_colour(); }
QColor SessionGraphHost::label_colour() const { return session_.label_colour(); }

std::pair<int, int> SessionGraphHost::last_change() const {
  const LastChange change = session_.last_change();
  return {change.id, change.value};
}

void SessionGraphHost::SelectBand(int page, int band) {
  handlers_.MusEQPointLabel1Click(session_.map().BandLabel(page, band + 1));
}

int SessionGraphHost::BandFieldIdOnPage(int page, int band, int field) const {
  const QLabel* label = session_.map().BandLabel(page, band + 1);
  if (label == nullptr) return -1;
  return BandFieldId(TagOf(label), band, field);
}

void SessionGraphHost::StepBandQ(int page, int band, bool up) {
  const int q = BandFieldIdOnPage(page, band, kBandPeqQField);
  if (q < 0) return;
  // A band's two Q fields (peaking and shelf) share one edit box and one pair of spin buttons.
  QWidget* spin = session_.map().Of(q).tertiary;
  QWidget* edit = session_.map().Of(q).primary;
  if (session_.map().IsPlaceholder(spin) || !spin->isEnabled()) return;
  if (qobject_cast<QLineEdit*>(edit) == nullptr || !edit->isEnabled()) return;
  handlers_.MusFreUpDownBtn1Click(spin, up);
}

void SessionGraphHost::SetBandGainToZero(int page, int band) {
  const int gain_id = BandFieldIdOnPage(page, band, kBandGainField);
  if (gain_id < 0) return;
  QWidget* gain = session_.map().Of(gain_id).primary;
  if (qobject_cast<QLineEdit*>(gain) == nullptr || session_.map().IsPlaceholder(gain) ||
      !gain->isEnabled()) {
    return;
  }
  session_.ApplyValue(gain, kStepSet, false, ParseEditValue(kKindGain, 0.0));
}

GraphWidgets GraphWidgetsOf(EditorPages& pages) {
  GraphWidgets widgets{};
  widgets.outer = pages.graph_outer_panel();
  widgets.inner = pages.graph_panel();
  widgets.image = pages.graph_image();
  for (std::size_t i = 0; i < widgets.handles.size(); ++i) {
    widgets.handles[i] = pages.point_handles()[i];
  }
  widgets.eq_label = pages.Find<QLabel>(QStringLiteral("EQlabel"));
  widgets.pass_label = pages.Find<QLabel>(QStringLiteral("EQPassLabel"));
  return widgets;
}

void BindGraphTools(EqGraph& graph, EditSession& session, EditHistory& history, MessageBoxes& boxes,
                    CompareWindow& compare) {
  new EqClipboard(session, history, boxes, &graph);
  QObject::connect(&compare, &CompareWindow::FileShown, &graph, [&graph, &compare] {
    graph.SetOverlay(compare.file_image(), compare.file_name());
  });
  QObject::connect(&compare, &CompareWindow::ComparisonEnded, &graph,
                   [&graph] { graph.SetOverlay(nullptr, QString()); });
}

}  // namespace kc
