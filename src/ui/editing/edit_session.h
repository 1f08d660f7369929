// The editing state of the editor window and the road of one edit from a control to the store and
// the box: ApplyValue, CommitEdit and the band highlight, with the state they keep (the current
// edit box and its last good text, the last change that the graph timer redraws from, the page on
// show, the current band of each page, the EQ bypass flags and the curve colours).
//
// Handlers of every family, the graph and the System page work through one session; the session
// reaches the box only through the narrow EditLink, and the graph and message boxes through its
// SessionView.
#pragma once

#include <QColor>
#include <QString>
#include <array>

#include "eq/view/apply_step.h"
#include "model/parameter_store.h"
#include "ui/binding/control_map.h"
#include "ui/editing/edit_link.h"
#include "ui/editing/session_view.h"

class QWidget;

namespace kc {

class EditorPages;
class PageRefresher;

// The last (identifier, value) that ApplyValue recorded for the EQ graph; id -1 before any.
struct LastChange {
  int id = -1;
  int value = 0;
  bool operator==(const LastChange&) const = default;
};

// Frame colours of the groups around EQ edit boxes: the highlighted band's and the others'.
inline const QColor kHighlightFrameColour(68, 134, 255);
inline const QColor kNormalFrameColour(206, 98, 0);
// Dynamic property of a frame group holding its frame colour (a QColor).
inline constexpr char kFrameColourProperty[] = "FlatColor";
// Curve and EQlabel colours: in general, and for microphone group B on the Microphone page.
inline const QColor kCurveColour(0, 204, 255);
inline const QColor kCurveColourGroupB(255, 102, 0);
inline const QColor kLabelColour(199, 255, 255);
inline const QColor kLabelColourGroupB(255, 102, 0);

// Step arguments of ApplyValue and CommitEdit: kStepSet, kStepUp, kStepDown (apply_step.h).

class EditSession {
 public:
  // Every argument must outlive the session.
  EditSession(EditorPages& pages, ParameterStore& store, const ControlMap& map,
              PageRefresher& refresher, EditLink& link, SessionView& view);
  EditSession(const EditSession&) = delete;
  EditSession& operator=(const EditSession&) = delete;

  EditorPages& pages() { return pages_; }
  ParameterStore& store() { return store_; }
  const ControlMap& map() const { return map_; }
  PageRefresher& refresher() { return refresher_; }
  EditLink& link() { return link_; }

  // Shows raw value x on a value control (edit box, value pane of kind kKindHighPass and above,
  // band type box), moves the slider of the same parameter, stores the value and, unless
  // display_only, sends it. step: kStepSet, kStepUp or kStepDown (edit boxes only).
  void ApplyValue(QWidget* control, int step, bool display_only, double x);
  // Reads, parses and applies the text of the current edit box; an unreadable text puts the last
  // good text back and changes nothing. When leaving the box (Enter, the focus going elsewhere)
  // the value is sent only if it differs from the store, so that selecting another band or page
  // sends nothing.
  void CommitEdit(int step, bool leaving = false);
  // Drops a half-typed text of the current edit box: its last good text is put back.
  void DropTypedText();
  // Marks the band of an EQ edit box on a page (frame colour, opaque band label, pan bar kept in
  // view) and returns the band counted from 0; 0 while a bulk refresh runs.
  int HighlightBand(QWidget* edit, int page);

  // The edit box that the last key, click, spin button or focus went to; nullptr for none.
  // The last good text always belongs to it: a box that becomes current brings its own shown
  // text, and every value shown in it later becomes the last good text.
  QWidget* current_edit() const { return current_edit_; }
  void set_current_edit(QWidget* edit);
  const QString& last_good_text() const { return last_good_text_; }
  void set_last_good_text(const QString& text) { last_good_text_ = text; }
  // True when the control is an edit box that is the primary control of its own Tag.
  bool IsBoundEdit(const QWidget* control) const;

  LastChange last_change() const { return last_change_; }
  void set_last_change(LastChange change) { last_change_ = change; }

  // Raised while ApplyValue moves a slider, so that the slider's own handler ignores the move.
  bool programmatic_change() const { return programmatic_change_; }
  bool bulk_refresh() const;

  // The page on show and its block: block * 256 + page.
  int page_selector() const { return page_selector_; }
  void set_page_selector(int block, int page) { page_selector_ = block * 256 + page; }
  int page() const { return page_selector_ & 0xFF; }
  int block() const { return page_selector_ >> 8; }

  // The band last highlighted on each page, counted from 0.
  int current_band(int page) const;
  void set_current_band(int page, int band);

  // EQ bypass flag of each block.
  int eq_bypass(int block) const;
  void set_eq_bypass(int block, int state);

  // Curve and EQlabel colours: group B's while the Microphone page shows group B.
  QColor curve_colour() const { return curve_colour_; }
  QColor label_colour() const { return label_colour_; }
  void SetCurveColours(bool group_b);

  // The EQ graph: redraw of a section with one slot selected (a point handle) or every slot
  // (kAllSlots), through the view. Nothing is drawn while a bulk refresh runs.
  void DrawSectionCurve(int selection, int block);
  // Every slot of the section on show, then only the current band of the page (which places the
  // band's label).
  void RedrawSection();
  void RedrawCurrentBand();

  // The page (0..kLastEqPage) that shows a block's EQ, -1 for none.
  static int PageOfBlock(int block);

 private:
  void Apply(QWidget* control, int step, bool display_only, double x, bool send_unchanged);
  void ApplyToEditBox(QWidget* control, int kind, int step, bool display_only, double& x, int id);
  void MoveSlider(int id, double x);

  EditorPages& pages_;
  ParameterStore& store_;
  const ControlMap& map_;
  PageRefresher& refresher_;
  EditLink& link_;
  SessionView& view_;

  QWidget* current_edit_ = nullptr;
  QWidget* highlighted_edit_ = nullptr;
  QString last_good_text_;
  LastChange last_change_;
  bool programmatic_change_ = false;
  int page_selector_ = 0;
  std::array<int, 8> current_band_{};
  std::array<int, kBlockCount> eq_bypass_{};
  QColor curve_colour_ = kCurveColour;
  QColor label_colour_ = kLabelColour;
};

}  // namespace kc
