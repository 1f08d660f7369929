// A stand-in for the editor around the EQ graph: its own parameter store, one edit box per EQ
// field and one value pane per pass-filter frequency (Tag = identifier, Hint = display kind),
// an ApplyValue that clamps, stores, records the last change and logs every call, and the
// graph's widgets laid out as the editor lays them out.
#pragma once

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "eq/view/eq_graph.h"
#include "model/parameter_store.h"
#include "model/rounding.h"
#include "model/value_scales.h"

namespace kc::test {

struct AppliedCall {
  QWidget* control;
  int id;
  int step;
  bool display_only;
  double x;
};

// Block shown by each page 0..6.
inline int BlockOfPage(int page) {
  static constexpr int kBlocks[] = {0, 1, 3, 5, 7, 6, 8};
  return page >= 0 && page < 7 ? kBlocks[page] : kSystemBlock;
}

class FakeGraphHost : public GraphHost {
 public:
  FakeGraphHost() : controls_(std::make_unique<QWidget>()) {
    store_.ResetEq(kAllBlocks);
    store_.RebuildWorkingTable();
    store_.StoreValue(MakeId(0, 0), 1);    // manual EQ
    store_.StoreValue(MakeId(3, 5), 194);  // echo low-pass off
    for (int block : {0, 1, 3, 5, 6, 7, 8}) {
      const BlockInfo& info = *InfoOfBlock(block);
      for (int i = 0; i < info.eq_bands; ++i) {
        const int a = info.first_eq + 5 * i;
        AddEdit(MakeId(block, a + 1), kKindFrequency);
        AddEdit(MakeId(block, a + 2), kKindGain);
        AddEdit(MakeId(block, a + 3), kKindQ);
      }
    }
    AddPane(0x0100, "MicHPFrePane", kKindHighPass);
    AddPane(0x0304, "EchoHPFrePane", kKindEffectHighPass);
    AddPane(0x0305, "EchoLPFrePane", kKindLowPass);
    AddPane(0x0510, "MainMusHPFrePane", kKindHighPass);
    AddPane(0x0710, "CenterMusHPFrePane", kKindHighPass);
    AddPane(0x0810, "SurMusHPFrePane", kKindHighPass);
    AddPane(0x060A, "SubMusHPFrePane", kKindHighPass);
    AddPane(0x0610, "SubMusLPFrePane", kKindHighPass);
  }

  // GraphHost
  const ParameterStore& store() const override { return store_; }
  QWidget* PrimaryOf(int id) const override { return primary_.value(id, nullptr); }
  QWidget* SecondaryOf(int id) const override { return secondary_.value(id, nullptr); }
  void ApplyValue(QWidget* control, int step, bool display_only, double x) override {
    const int tag = control->property("Tag").toInt();
    const int kind = control->property("Hint").toString().toInt();
    const int id = store_.QFieldOf(tag);
    calls.push_back({control, id, step, display_only, x});
    if (kind == kKindQ) {
      const int limit = QLimitOfBandType(store_.Working(id - (LocateBand(id) & 0xFF)));
      x = std::clamp(x, 0.0, static_cast<double>(limit));
    } else if (!display_only || kind >= kKindHighPass) {
      x = ClampToKind(kind, x);
    }
    const int v = Trunc(x);
    store_.StoreValue(id, v);
    if (!display_only) ++transmissions;
    if ((kind < 8 || kind == 13 || kind == 19) && !bulk) last = {id, v};
  }
  int page_selector() const override { return BlockOfPage(page) * 256 + page; }
  int current_band(int p) const override { return p >= 0 && p < 8 ? bands[p] : 0; }
  bool bulk_refresh() const override { return bulk; }
  int eq_bypass(int block) const override { return bypass[block]; }
  QColor curve_colour() const override { return curve; }
  QColor label_colour() const override { return label; }
  std::pair<int, int> last_change() const override { return last; }
  void SelectBand(int p, int band) override {
    selections.push_back({p, band});
    // A click on the band's frequency box commits it again without sending: the band's
    // frequency becomes the last change.
    const int block = BlockOfPage(p);
    const int id = MakeId(block, InfoOfBlock(block)->first_eq + 5 * band + 1);
    last = {id, store_.Working(id)};
  }
  bool ready() const override { return is_ready; }
  void StepBandQ(int p, int band, bool up) override { q_steps.push_back({p, band, up}); }
  void SetBandGainToZero(int p, int band) override { zeroed.push_back({p, band}); }

  // Test side.
  ParameterStore& mutable_store() { return store_; }
  void Set(int block, int index, int value) { store_.StoreValue(MakeId(block, index), value); }
  int Get(int block, int index) const { return store_.Working(block, index); }
  int TransmittedCalls() const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [](const AppliedCall& c) { return !c.display_only; }));
  }

  std::vector<AppliedCall> calls;
  int transmissions = 0;
  std::vector<std::pair<int, int>> selections;
  struct QStep {
    int page, band;
    bool up;
    bool operator==(const QStep&) const = default;
  };
  std::vector<QStep> q_steps;
  std::vector<std::pair<int, int>> zeroed;
  int page = 0;
  std::array<int, 8> bands{};
  bool bulk = false;
  std::array<int, kBlockCount> bypass{};
  QColor curve{0, 204, 255};
  QColor label{199, 255, 255};
  std::pair<int, int> last{-1, 0};
  bool is_ready = true;

 private:
  void AddEdit(int id, int kind) {
    auto* edit = new QLineEdit(controls_.get());
    edit->setProperty("Tag", id);
    edit->setProperty("Hint", QString::number(kind));
    primary_.insert(id, edit);
  }
  void AddPane(int id, const char* name, int kind) {
    auto* pane = new QLabel(controls_.get());
    pane->setObjectName(name);
    pane->setProperty("Tag", id);
    pane->setProperty("Hint", QString::number(kind));
    secondary_.insert(id, pane);
  }

  ParameterStore store_;
  std::unique_ptr<QWidget> controls_;
  QHash<int, QWidget*> primary_;
  QHash<int, QWidget*> secondary_;
};

// The graph's widgets as the editor builds them: AdvPanel1 with AdvPanel2 (1049 x 273) at
// (40, 13), Image1 filling it, EQlabel, EQPassLabel and the 17 points, in a window of their own.
struct GraphWindow {
  GraphWindow() : window(std::make_unique<QWidget>()) {
    window->resize(1110, 320);
    outer = new QFrame(window.get());
    outer->setObjectName("AdvPanel1");
    outer->setGeometry(2, 2, 1104, 311);
    outer->setStyleSheet("QFrame#AdvPanel1, QFrame#AdvPanel2 { background: rgb(21,21,21); }");
    inner = new QFrame(outer);
    inner->setObjectName("AdvPanel2");
    inner->setGeometry(40, 13, 1049, 273);
    image = new QLabel(inner);
    image->setObjectName("Image1");
    image->setGeometry(0, 0, 1049, 273);
    eq_label = new QLabel("+12dB\nQ:128.00\n12000.00Hz", inner);
    eq_label->setObjectName("EQlabel");
    eq_label->setGeometry(480, 110, 90, 48);
    eq_label->setAlignment(Qt::AlignCenter);
    pass_label = new QLabel("EQ PASS", inner);
    pass_label->setObjectName("EQPassLabel");
    pass_label->setGeometry(420, 100, 220, 60);
    pass_label->setAlignment(Qt::AlignCenter);
    pass_label->setStyleSheet(
        "color: white; background: transparent; font-weight: bold; font-size: 36px;");
    pass_label->hide();
    for (int i = 0; i < kHandleCount; ++i) {
      const bool band = i < kHighPassHandle;
      const int size = band ? 14 : 24;
      auto* handle = new QLabel(inner);
      handle->setObjectName(QString::fromStdString(HandleName(i)));
      handle->setGeometry(20 + i * 60, 120, size, size);
      handle->setStyleSheet(band ? "background: rgb(0,204,255); border-radius: 7px;"
                                 : "background: rgb(255,177,106); border-radius: 12px;");
      handle->hide();
      handles[i] = handle;
    }
  }
  GraphWidgets widgets() const { return {outer, inner, image, handles, eq_label, pass_label}; }

  std::unique_ptr<QWidget> window;
  QWidget* outer;
  QWidget* inner;
  QLabel* image;
  QLabel* eq_label;
  QLabel* pass_label;
  std::array<QLabel*, kHandleCount> handles{};
};

}  // namespace kc::test
