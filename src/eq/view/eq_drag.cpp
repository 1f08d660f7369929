// Pressing and dragging the graph's points, and the 10 ms timer that transmits the dragged
// values and redraws the curve after an EQ change.
//
// A drag only moves the point and works out table indices (pending); the next tick applies
// them through ApplyValue with the point's own controls, exactly as an edit of those controls
// would, and the redraw check then puts the point on the table value that was applied.
#include <QCursor>
#include <QLabel>
#include <QString>
#include <algorithm>

#include "eq/graph_axes.h"
#include "eq/view/eq_graph.h"
#include "model/parameter_store.h"
#include "model/rounding.h"
#include "model/value_scales.h"

namespace kc {
namespace {

// Limits of a dragged point.
constexpr double kLowestFrequency = 19.0;
constexpr double kHighestFrequency = 20600.0;
// Where the pass-filter points stop: the top of the output and microphone high-pass ranges
// (kMaxHighPassStep), and the two ends of the echo filters (kMaxEffectHighPassStep,
// kEchoLowPassPinStep).
constexpr double kHighPassPin = 309.0;
constexpr double kEchoHighPassPin = 2000.0;
constexpr double kEchoLowPassPin = 500.0;
constexpr int kEchoLowPassPinStep = kLowPassFirstFrequencyStep;

// The echo low-pass pane counts from table step kLowPassFirstFrequencyStep and reads
// kLowPassOffStep as off (table step kMaxFrequencyStep).
constexpr char kEchoLowPassPane[] = "EchoLPFrePane";

// Stops a running timer for the duration of a tick's work and starts it again afterwards.
class TimerPause {
 public:
  explicit TimerPause(QTimer& timer) : timer_(timer), was_active_(timer.isActive()) {
    timer_.stop();
  }
  ~TimerPause() {
    if (was_active_) timer_.start();
  }
  TimerPause(const TimerPause&) = delete;
  TimerPause& operator=(const TimerPause&) = delete;

 private:
  QTimer& timer_;
  bool was_active_;
};

// The number given to a frequency control for frequency table step i.
double FrequencyValue(const QWidget* control, float step) {
  if (control != nullptr && control->objectName() == QLatin1String(kEchoLowPassPane)) {
    const int i = Trunc(step);
    return i == kMaxFrequencyStep ? kLowPassOffStep : i - kEchoLowPassPinStep;
  }
  return step;
}

}  // namespace

bool EqGraph::AutomaticEq() const { return host_.store().Working(0, 0) == 0; }

QPoint EqGraph::ShownOffset(int index) const {
  if (index < 0 || index >= kHandleCount) return {};
  return {0, widgets_.handles[index]->y() - handle_tops_[index]};
}

// ---------------------------------------------------------------------------------------------
// Mouse

void EqGraph::EP1MouseDown(QLabel* point, QPoint position) {
  point->setCursor(Qt::CrossCursor);
  drag_.pressed_index = HandleIndexOf(point);
  drag_.press_position = position + ShownOffset(drag_.pressed_index);
  drag_.dragging = true;
  if (drag_.pressed_index < 0 || !host_.ready()) return;

  // Values still pending from the last drag go out first. Then the new drag starts from no
  // applied values, so that its first tick sends whatever it settles on even where that
  // matches the indices the last drag left behind (a band dragged onto the frequency of the
  // band dragged before it, or back to a value typed in since).
  DragTransmission();
  drag_.dragged_index = -1;
  drag_.applied_frequency_index = -1.0f;
  drag_.applied_gain_index = -1.0f;

  const int selector = host_.page_selector();
  const int page = selector & 0xFF;
  const int block = selector >> 8;
  const int index = drag_.pressed_index;
  if (index < kHighPassHandle) {
    if (page == kMusicPage && AutomaticEq()) return;
    host_.SelectBand(page, index);
    return;
  }
  switch (block) {
    case 1:
    case 2:  // the Microphone page draws block 1 for either group
      DrawSectionCurve(kHighPassHandle, 1);
      break;
    case 3:
    case 6:
      DrawSectionCurve(index - 12, block);  // slot 3 (high-pass) or 4 (low-pass)
      break;
    case 5:
    case 7:
    case 8:
      DrawSectionCurve(5, block);
      break;
    default:
      break;
  }
}

bool EqGraph::ApplyPageRules(int index, double p, int half, int& dx, int& dy, int& left) const {
  auto pin = [&](double frequency) {
    dx = 0;
    left = RoundCoordinate(FrequencyToX(frequency) - half);
  };
  switch (host_.page_selector() & 0xFF) {
    case kMusicPage:
      return !AutomaticEq();
    case kMicrophonePage:
      if (index >= kHighPassHandle) {
        dy = 0;
        if (p >= kMaxHighPassStep) pin(kHighPassPin);
      }
      return true;
    case kEffectPage:
      if (index >= 3) {
        dy = 0;
        if (p >= kMaxEffectHighPassStep && index == kHighPassHandle) {
          pin(kEchoHighPassPin);
        } else if (p <= kEchoLowPassPinStep && index == kLowPassHandle) {
          pin(kEchoLowPassPin);
        }
      }
      return true;
    case kMainPage:
    case kCentrePage:
    case kRearPage:
    case kSubwooferPage: {
      const int first_pass = (host_.page_selector() & 0xFF) == kSubwooferPage ? 3 : 5;
      if (index >= first_pass) {
        dy = 0;
        if (AutomaticEq()) return false;
        if (p >= kMaxHighPassStep) pin(kHighPassPin);
      }
      return true;
    }
    default:
      return true;
  }
}

void EqGraph::EP1MouseMove(QLabel* /*point*/, QPoint position) {
  if (!drag_.dragging || !host_.ready() || drag_.pressed_index < 0) return;
  const int index = drag_.pressed_index;
  QLabel* h = widgets_.handles[index];
  const int s = h->height();
  const int half = s / 2;
  position += ShownOffset(index);
  int dx = position.x() - drag_.press_position.x();
  int dy = position.y() - drag_.press_position.y();
  int left = h->x();
  int top = handle_tops_[index];

  // The frequency step under the point's prospective centre.
  const double p = ParseEditValue(kKindFrequency, XToFrequency(left + dx + half));
  if (!ApplyPageRules(index, p, half, dx, dy, left)) return;
  if (dx != 0) left += dx;
  if (dy != 0) top += dy;

  // The centre stays within the image's rows.
  const QRect image = widgets_.image->geometry();
  if (top < image.top() - half) top = image.top() - half;
  if (top > image.top() + image.height() - half) top = image.top() + image.height() - half;
  if (index == kLowPassHandle) {
    const int right = image.left() + image.width();
    if (left > right - half) {
      left = right - half;
    } else if (left > right - s) {
      left = right - s;
    }
  }
  if (left < FrequencyToX(kLowestFrequency) - half) {
    left = RoundCoordinate(FrequencyToX(kLowestFrequency)) - half;
  }

  float frequency = static_cast<float>(RoundHalfEven(XToFrequency(left + half)));
  float gain = static_cast<float>(YToGain(top + half));
  if (frequency < kLowestFrequency) frequency = kLowestFrequency;
  if (frequency > kHighestFrequency) {
    frequency = kHighestFrequency;
    left = RoundCoordinate(FrequencyToX(kHighestFrequency) - half);
  }
  gain = std::clamp(gain, static_cast<float>(kGainBottom), static_cast<float>(kGainTop));
  MoveHandle(index, left, top);

  drag_.frequency = frequency;
  drag_.gain = gain;
  drag_.dragged_index = index;
  drag_.controls = handle_controls_[index];
  drag_.pending_frequency_index = static_cast<float>(ParseEditValue(kKindFrequency, frequency));
  drag_.pending_gain_index = static_cast<float>(ParseEditValue(kKindGain, gain));
}

void EqGraph::EP1MouseUp(QLabel* point) {
  drag_.dragging = false;
  point->unsetCursor();
}

// ---------------------------------------------------------------------------------------------
// Timer

void EqGraph::Timer1Timer() {
  DragTransmission();
  RedrawCheck();
  // The switch to manual or automatic redraws nothing; the hint follows it here.
  UpdateAutomaticHint();
}

void EqGraph::DragTransmission() {
  const int k = drag_.dragged_index;
  if (k < 0 || k >= kHandleCount) return;
  const bool frequency_differs = drag_.pending_frequency_index != drag_.applied_frequency_index;
  const bool gain_differs = drag_.pending_gain_index != drag_.applied_gain_index;
  if (!frequency_differs && !gain_differs) return;
  // The drag moved the point itself: the redraw check puts it on the values applied now also
  // where the same values were drawn last (the band dragged the same way before).
  last_drawn_ = {-1, 0};

  TimerPause pause(timer1_);
  const SlotControls controls = drag_.controls;
  auto apply = [this](QWidget* control, bool display_only, double x) {
    if (control != nullptr) host_.ApplyValue(control, kStepSet, display_only, x);
  };
  const double frequency_value = FrequencyValue(controls.frequency, drag_.pending_frequency_index);
  if (frequency_differs && gain_differs) {
    if (controls.gain != nullptr) {
      // The gain's band transmission carries the band's new frequency from the store as well.
      apply(controls.frequency, true, frequency_value);
      drag_.applied_frequency_index = drag_.pending_frequency_index;
      drag_.applied_gain_index = drag_.pending_gain_index;
      apply(controls.gain, false, drag_.pending_gain_index);
    } else {
      apply(controls.frequency, false, frequency_value);
      drag_.applied_frequency_index = drag_.pending_frequency_index;
      drag_.applied_gain_index = drag_.pending_gain_index;
    }
  } else if (frequency_differs) {
    apply(controls.frequency, false, frequency_value);
    drag_.applied_frequency_index = drag_.pending_frequency_index;
  } else {
    drag_.applied_gain_index = drag_.pending_gain_index;
    apply(controls.gain, false, drag_.pending_gain_index);
  }
}

void EqGraph::RedrawCheck() {
  const std::pair<int, int> change = host_.last_change();
  if (change == last_drawn_) return;
  TimerPause pause(timer1_);
  last_drawn_ = change;
  if (change.first < 0) return;
  // A change of a section that is not on show (the commit of a band box on the page being left,
  // a drag applied after its page was left) is drawn when its page comes up; drawn now, its
  // slot would be put among the slots of the section on show.
  const std::optional<int> changed = SectionBlockOf(change.first / 256);
  if (!changed || changed != SectionBlockOf(host_.page_selector() >> 8)) return;
  const int band = LocateBand(change.first) >> 8;
  if (band != 0xFF) DrawSectionCurve(band, change.first / 256);
}

}  // namespace kc
