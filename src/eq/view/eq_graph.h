// The EQ graph of the editor window: the frame (background, grid and axis labels), the summed
// response curve of the section on show with one point per band and pass filter, the label of
// the selected band, the dragging of the points and the 10 ms timer that transmits dragged
// values and redraws the curve after any EQ change.
//
// The graph draws on widgets the editor already owns (GraphWidgets) and reaches the rest of the
// editor only through GraphHost: the working table, the control map, ApplyValue, the page on
// show and the band selection. It knows nothing of the editor's pages.
//
// While the mouse is over the graph, a small readout (EQReadout) shows the frequency under the
// cursor and the summed response there. The wheel over a band point steps its Q, a double click
// puts its gain to 0 dB; both go through the host, so the editor's own controls do the edit.
//
// Coordinates: everything is in Image1's logical pixels, Image1 sitting at (0, 0) of the inner
// panel. The bitmap has Image1's size times the screen's device pixel ratio and is painted in
// logical coordinates, so the geometry is the same on every screen and only the detail grows.
// x follows frequency on a logarithmic axis with the scale latched at the last frame build
// (width / 512), y follows gain from +12 dB (row 0) to -24 dB (row height - 1).
//
// Painting (eq_layers.cpp): the frame (background and grid) is painted once per size into a
// cached image and the axis labels are placed with it; the comparison overlay's curve, which
// changes only with its file, size or colour, is kept stroked over a copy of it. A redraw then
// repaints only the columns where the curve moved: inside them, the pixels the old curve covered
// come back from the cached layer and the curve's Bézier segments over them (and a few beyond,
// so that every pixel of the columns gets the coverage the whole curve gives it) are stroked
// inside a clip. The pixels are those a paint of the whole frame and curves gives;
// PaintMode::kEveryTime keeps that whole paint on every redraw, as the benchmarks' baseline.
//
// While a mode file is compared (SetOverlay), its curve of the section on show is drawn under
// the editor's in a dimmer colour, a legend names both, and the readout gives both values.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QTimer>
#include <array>
#include <utility>
#include <vector>

#include "eq/filter_response.h"
#include "eq/section_layout.h"
#include "eq/view/apply_step.h"
#include "model/parameter_store.h"

class QLabel;
class QPainter;
class QWidget;

namespace kc {

struct GraphWidgets {
  QWidget* outer;                             // AdvPanel1: parent of the 21 axis labels
  QWidget* inner;                             // AdvPanel2
  QLabel* image;                              // Image1: the drawing surface, filling AdvPanel2
  std::array<QLabel*, kHandleCount> handles;  // EP1..EP15, HPF, LPF; Tag = position
  QLabel* eq_label;                           // EQlabel
  QLabel* pass_label;                         // EQPassLabel
};

// What the graph needs from the editor; the editor implements it, tests fake it.
class GraphHost {
 public:
  virtual ~GraphHost() = default;
  virtual const ParameterStore& store() const = 0;  // working table
  // Control-map primary control of an identifier; nullptr for none.
  virtual QWidget* PrimaryOf(int id) const = 0;
  // Control-map secondary control (a slider's value pane); nullptr for none.
  virtual QWidget* SecondaryOf(int id) const = 0;
  // The editor's ApplyValue(control, step, display_only, x): shows, stores, sends, and records
  // the last change. step is kStepSet, kStepUp or kStepDown (apply_step.h). The graph never
  // passes a null control.
  virtual void ApplyValue(QWidget* control, int step, bool display_only, double x) = 0;
  virtual int page_selector() const = 0;  // block * 256 + page of the page on show
  virtual int current_band(int page) const = 0;
  virtual bool bulk_refresh() const = 0;       // nothing is drawn while it is raised
  virtual int eq_bypass(int block) const = 0;  // EQPassLabel shown while set
  virtual QColor curve_colour() const = 0;
  virtual QColor label_colour() const = 0;
  // (id, value) recorded by ApplyValue; id -1 before any.
  virtual std::pair<int, int> last_change() const = 0;
  // A press on band point `band` (0-based) of a page: select the band as a click on its
  // numbered point label does.
  virtual void SelectBand(int page, int band) = 0;
  virtual bool ready() const = 0;  // editor creation finished; points do nothing before
  // The mouse wheel over band point `band` (0-based) of a page: one Q table step up or down, as
  // a click on that band's Q spin buttons does, within the band's Q limit.
  virtual void StepBandQ(int /*page*/, int /*band*/, bool /*up*/) {}
  // A double click on band point `band` of a page: the band's gain to 0 dB through its gain edit
  // box, shown, stored and sent as any edit of that box.
  virtual void SetBandGainToZero(int /*page*/, int /*band*/) {}
};

// Controls bound to the values of a point: frequency, gain and Q (none for the gain and Q of a
// pass filter).
struct SlotControls {
  QWidget* frequency = nullptr;
  QWidget* gain = nullptr;
  QWidget* q = nullptr;
};

// The state of a point drag; one for the window.
struct DragState {
  bool dragging = false;
  int pressed_index = -1;  // handle index of the pressed point, -1 for none
  QPoint press_position;   // in the point's own coordinates
  float frequency = 0.0f;  // Hz under the point's centre, 19..20600
  float gain = 0.0f;       // dB under the point's centre, -24..+12
  int dragged_index = -1;  // handle whose indices are pending
  // The controls of the dragged point's band in the section it was dragged on: values still
  // pending when another page comes up go to that band, not to the new page's.
  SlotControls controls;
  float pending_frequency_index = 0.0f;
  float pending_gain_index = 0.0f;
  // The indices applied last; -1 from a press until that drag's first tick applies its own.
  float applied_frequency_index = 0.0f;
  float applied_gain_index = 0.0f;
};

class EqGraph : public QObject {
  Q_OBJECT

 public:
  // Gives the handles their Tags, watches their mouse events and the inner panel's size, and
  // builds the frame with its axis labels. The timer is left stopped until Start().
  EqGraph(GraphWidgets widgets, GraphHost& host, QObject* parent = nullptr);
  ~EqGraph() override;
  EqGraph(const EqGraph&) = delete;
  EqGraph& operator=(const EqGraph&) = delete;

  // Background, grid and axis labels over the whole image; the axis labels are created on the
  // first call with create_labels and only moved afterwards.
  void DrawGraphFrame(bool create_labels);
  // Image1 made to fill the inner panel, a new bitmap of its size, the frame, then the section
  // on show: every slot, then the page's current band. Runs by itself when the inner panel
  // changes size.
  void Rebuild();

  // Fills the slots of a block's section and returns its layout (kept in layout()); nullptr for
  // a block without a section (Reverb, System).
  const SectionLayout* LoadSectionLayout(int block);
  // Redraws the section of a block: selection 0..16 recomputes that slot and shows its values
  // in EQlabel, kAllSlots (20) recomputes every slot and leaves EQlabel alone.
  void DrawSectionCurve(int selection, int block);

  // The 10 ms tick: the drag transmission step, then the redraw check.
  void Timer1Timer();
  QTimer& Timer1() { return timer1_; }
  void Start() { timer1_.start(); }
  // First step of a tick: applies the pending indices of the dragged point that differ from
  // the applied ones, one band transmission at most.
  void DragTransmission();
  // Second step of a tick: redraws the changed band's section when the last change recorded by
  // ApplyValue differs from the last one drawn.
  void RedrawCheck();

  // Mouse handlers of the 17 points, reached through the event filter.
  void EP1MouseDown(QLabel* point, QPoint position);
  void EP1MouseMove(QLabel* point, QPoint position);
  void EP1MouseUp(QLabel* point);
  // The wheel over a point, angle_delta in eighths of a degree (120 a notch); true when the point
  // took it (a band point that answers). Part notches add up until they make a whole one.
  bool EP1MouseWheel(QLabel* point, int angle_delta);
  // A double click on a point (after its press): a band point that answers goes to 0 dB and the
  // double click starts no drag. True when the gain was set.
  bool EP1DblClick(QLabel* point);

  // How a redraw paints (see the top of this file); kCached unless a benchmark asks otherwise.
  enum class PaintMode { kCached, kEveryTime };
  void set_paint_mode(PaintMode mode);
  PaintMode paint_mode() const { return paint_mode_; }
  // Device pixels the last redraw painted; empty when the bitmap already showed the curve.
  QRect last_painted() const { return last_painted_; }

  // The comparison overlay: the section on show as `image` holds it (a mode file's image, read
  // under the editor's Sing/Disco set and microphone group), drawn under the editor's curve;
  // `name` is the file's name for the legend and the readout. Null takes the overlay away. The
  // image must stay valid until the overlay is taken away.
  void SetOverlay(const ParameterStore* image, const QString& name);
  bool overlay_on() const { return overlay_image_ != nullptr; }
  const std::vector<QPointF>& overlay_points() const { return overlay_points_; }
  double OverlayResponseAt(double x) const;
  // "EQLegend": the two curves' colours and names, at the top right of the image.
  QLabel* legend() const { return legend_; }
  // The overlay's colour for an editor curve colour: half way to the graph's background.
  static QColor OverlayColour(const QColor& curve);

  // The readout: shown for a mouse at x of Image1 (once a curve has been drawn), hidden when the
  // mouse leaves the graph. ResponseAt is the summed response at x, between grid points linear.
  void ShowReadout(double x);
  void HideReadout();
  double ResponseAt(double x) const;
  QLabel* readout() const { return readout_; }
  // "EQAutoHint": shown over the Music page's graph while its EQ is automatic, when the points
  // do not answer, saying that "手动" makes them editable.
  QLabel* automatic_hint() const { return automatic_hint_; }
  void UpdateAutomaticHint();

  // The mappings at the last frame build's scale and the image's current height.
  double scale() const { return scale_; }
  double FrequencyToX(double frequency_hz) const;
  double XToFrequency(double x) const;
  double GainToY(double gain_db) const;
  double YToGain(double y) const;

  // What was drawn, for tests and benchmarks.
  // The bitmap in device pixels; bitmap().devicePixelRatio() is the ratio it was painted for.
  const QImage& bitmap() const { return bitmap_; }
  const SectionLayout& layout() const { return layout_; }
  const SectionResponse& responses() const { return responses_; }
  const std::vector<QPointF>& curve_points() const { return curve_points_; }
  const DragState& drag() const { return drag_; }
  // Where a point's top lies on the gain axis. A point at +12 dB or -24 dB is drawn inside the
  // image (its widget moved in by up to half its height) while dragging goes on from this place.
  int handle_top(int handle) const;
  std::pair<int, int> last_drawn() const { return last_drawn_; }
  QLabel* axis_label(int i) const;
  const GraphWidgets& widgets() const { return widgets_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int Width() const;
  int Height() const;
  qreal DevicePixelRatio() const;
  void EnsureBitmap();
  void PaintFrame();
  void PaintFrameOn(QImage& image);
  void BuildAxisLabels(bool create);
  void PlaceHandle(int handle, const BandSlot& slot);
  // Puts a point's widget at (left, top), its top kept inside the image; top is remembered.
  void MoveHandle(int handle, int left, int top);
  // From a point's widget to its place on the gain axis (nothing but at the image's edges): mouse
  // positions in the widget's coordinates are moved by it into the place's.
  QPoint ShownOffset(int index) const;
  void CreateAutomaticHint();
  void FillEqLabel(int slot);
  void PaintCurve(int last);
  void Publish();
  // The summed response of the slots up to `last` as points on the bitmap's pixels.
  void ComputeCurvePoints(int last);
  // The overlay's section of the block on show, summed into overlay_sum_ and its points; none
  // (and no points) while no overlay is set.
  void ComputeOverlay(int block);
  // Cached painting: the frame image (rebuilt, with the axis labels placed, when the size or
  // scale changed), then the columns whose curve changed; publishes what it painted.
  void EnsureFrame();
  void PaintChanges();
  // Gives back the cached layer's pixels wherever, inside the device columns of `strip`, the
  // curve on show (segments first..last) may have covered them.
  void RestoreUnderShownCurve(const QRect& strip, int first, int last);
  // The x of the curve's points on the bitmap's pixels, for the image's width and pixel ratio.
  const std::vector<double>& CurveXs();
  // Strokes the curve through `points` (segments first..last) in a colour.
  void StrokeCurve(QPainter& painter, const std::vector<QPointF>& points, int first, int last,
                   const QColor& colour) const;
  void PlaceLegend();
  int HandleIndexOf(const QObject* point) const;
  bool AutomaticEq() const;
  // A band point of the section on show that may be edited now: the editor is ready and, on the
  // Music page, the EQ is manual.
  bool BandPointAnswers(int index) const;
  void CreateReadout();
  // Readout and wheel/double-click handling of the event filter; true when consumed.
  bool FilterImageEvent(QEvent* event);
  bool FilterPointEvent(QLabel* point, QEvent* event);
  // The page rules of a move; false when the whole move is ignored.
  bool ApplyPageRules(int index, double p, int half, int& dx, int& dy, int& left) const;

  GraphWidgets widgets_;
  GraphHost& host_;
  QTimer timer1_;

  QImage bitmap_;
  double scale_ = 1.0;
  std::vector<QLabel*> axis_labels_;

  SectionLayout layout_;
  // The section whose values every slot's response array was last computed from (-1 for none):
  // the slots are shared by all sections, so a redraw of one slot is only right while the other
  // slots hold the same section.
  int slots_section_ = -1;
  SectionResponse responses_;
  ResponseArray sum_{};
  std::vector<QPointF> curve_points_;
  std::array<SlotControls, kHandleCount> handle_controls_{};
  std::array<int, kHandleCount> handle_tops_{};
  QColor applied_label_colour_;

  DragState drag_;
  std::pair<int, int> last_drawn_{-1, 0};

  QLabel* readout_ = nullptr;
  QLabel* automatic_hint_ = nullptr;
  double readout_x_ = 0.0;
  bool curve_drawn_ = false;
  int wheel_handle_ = -1;
  int wheel_remainder_ = 0;

  PaintMode paint_mode_ = PaintMode::kCached;
  // The cached frame and what it was painted for.
  QImage frame_;
  // The frame with the overlay's curve stroked over it; shares frame_'s pixels without overlay.
  QImage under_;
  bool frame_valid_ = false;
  // CurveXs() and what it was computed for.
  std::vector<double> curve_xs_;
  int curve_xs_width_ = -1;
  double curve_xs_ratio_ = 0.0;
  // Per device column of a strip: the first and last row to give back (scratch of
  // RestoreUnderShownCurve).
  std::vector<int> restore_top_;
  std::vector<int> restore_bottom_;
  QPoint frame_panel_;
  // What the bitmap shows beyond the frame, for the next redraw to compare with.
  struct Shown {
    bool valid = false;
    QColor colour;
    std::vector<QPointF> points;
    std::vector<QPointF> overlay;
  };
  Shown shown_;
  QRect last_painted_;

  const ParameterStore* overlay_image_ = nullptr;
  QString overlay_name_;
  SectionResponse overlay_responses_;
  ResponseArray overlay_sum_{};
  std::vector<QPointF> overlay_points_;
  // The overlay's section is read again only when the block or the set on show changes.
  int overlay_key_ = -1;
  QLabel* legend_ = nullptr;
};

}  // namespace kc
