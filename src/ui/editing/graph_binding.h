// The EQ graph's view of the editor: the working table, the control map, ApplyValue, the page
// on show, the flags and colours of the editing session, and band selection through the
// numbered band labels, exactly as a click on a label selects a band. The wheel and the double
// click on a band point reach the band's own Q spin buttons and gain edit box.
#pragma once

#include <functional>

#include "eq/view/eq_graph.h"

namespace kc {

class CompareWindow;
class EditHistory;
class EditSession;
class EditorHandlers;
class EditorPages;
class MessageBoxes;

class SessionGraphHost : public GraphHost {
 public:
  // ready tells whether the editor's creation has finished.
  SessionGraphHost(EditSession& session, EditorHandlers& handlers, std::function<bool()> ready);

  const ParameterStore& store() const override;
  QWidget* PrimaryOf(int id) const override;
  QWidget* SecondaryOf(int id) const override;
  void ApplyValue(QWidget* control, int step, bool display_only, double x) override;
  int page_selector() const override;
  int current_band(int page) const override;
  bool bulk_refresh() const override;
  int eq_bypass(int block) const override;
  QColor curve_colour() const override;
  QColor label_colour() const override;
  std::pair<int, int> last_change() const override;
  void SelectBand(int page, int band) override;
  // The band's Q spin buttons, up or down: one Q table step committed from the Q edit box.
  void StepBandQ(int page, int band, bool up) override;
  // ApplyValue on the band's gain edit box with 0 dB (step 120), transmitted.
  void SetBandGainToZero(int page, int band) override;
  bool ready() const override { return ready_ && ready_(); }

 private:
  // Identifier of field 0..4 of a band on a page (0..6), band counted from 0, in the section of
  // the page's numbered band label (as a click on the label finds it); -1 for none.
  int BandFieldIdOnPage(int page, int band, int field) const;

  EditSession& session_;
  EditorHandlers& handlers_;
  std::function<bool()> ready_;
};

// The graph's widgets as the editor's pages hold them.
GraphWidgets GraphWidgetsOf(EditorPages& pages);

// The EQ tools around the graph, once the editor's parts exist: "复制EQ"/"粘贴EQ" on every page
// with a graph (an EqClipboard owned by the graph), and the comparison's overlay: while the
// comparison window shows a mode file, the graph draws the file's curve of the section on show
// under the editor's.
void BindGraphTools(EqGraph& graph, EditSession& session, EditHistory& history, MessageBoxes& boxes,
                    CompareWindow& compare);

}  // namespace kc
