// The editor's two hot paths on the real pages (offscreen): the whole-mode repaint after a
// download, and one slider edit from its change event to the send it hands the link.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>
#include <QTableWidget>
#include <memory>

#include "box-sim/box_model.h"
#include "ui/binding/control_map.h"
#include "ui/binding/page_refresh.h"
#include "ui/compare/sync_window.h"
#include "ui/editing/edit_link.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/handlers.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

// Stores like the link and counts what it would send.
class CountingLink : public EditLink {
 public:
  explicit CountingLink(ParameterStore& store) : store_(store) {}
  void SendParam(int id, int32_t value) override {
    store_.StoreValue(id, value);
    if (!suppress_) ++sends;
  }
  void SendEqBand(int id, int32_t value) override { SendParam(id, value); }
  bool send_suppress() const override { return suppress_; }
  void set_send_suppress(bool raised) override { suppress_ = raised; }
  bool ready() const override { return true; }
  bool busy() const override { return false; }
  void StoreMode(int, const std::string&) override {}
  void SendPassword(int, const std::string&) override {}
  std::string mode_name(int n) const override { return "Mode" + std::to_string(n); }
  std::string system_password() const override { return {}; }
  std::string keylock_password() const override { return {}; }
  std::string device_id() const override { return {}; }
  long sends = 0;

 private:
  ParameterStore& store_;
  bool suppress_ = false;
};

// No graph and no message boxes: the edit measured is the store's and the box's part.
struct NoView : SessionView {
  void DrawSectionCurve(int, int) override {}
  void ShowMessage(const QString&) override {}
};

// The editor's editing stack holding the simulated box's whole state, as after a download.
struct Editor {
  Editor() : link(store) {
    pages.show();
    map = BuildControlMap(pages);
    RefreshHooks hooks;
    hooks.send_suppress = [this] { return link.send_suppress(); };
    hooks.set_send_suppress = [this](bool raised) { link.set_send_suppress(raised); };
    hooks.mode_name = [this](int n) { return link.mode_name(n); };
    refresher = std::make_unique<PageRefresher>(pages, store, map, hooks);
    session = std::make_unique<EditSession>(pages, store, map, *refresher, link, view);
    handlers = std::make_unique<EditorHandlers>(*session);
    handlers->Connect();
    const boxsim::BoxModel box;
    for (int block = 0; block < kBlockCount; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        store.SetDevice(block, slot, box.Slot(block, slot));
      }
    }
    store.set_disco(box.disco());
    refresher->RefreshPages(kAllBlocks);
    pages.tab_button(2)->click();  // the Effect page, whose sliders the edit works
  }

  EditorPages pages;
  ParameterStore store;
  ControlMap map;
  CountingLink link;
  NoView view;
  std::unique_ptr<PageRefresher> refresher;
  std::unique_ptr<EditSession> session;
  std::unique_ptr<EditorHandlers> handlers;
};

// Made once and kept to the end: the pages must not outlive the application object.
Editor& TheEditor() {
  static Editor* editor = new Editor;
  return *editor;
}

// Two whole states to alternate between, so that every repaint changes what the controls show:
// the box's content and the same with every value one step higher.
void LoadState(Editor& editor, bool shifted) {
  const boxsim::BoxModel box;
  for (int block = 0; block < kBlockCount; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      editor.store.SetDevice(block, slot, box.Slot(block, slot) + (shifted ? 1 : 0));
    }
  }
}

void RefreshPages(benchmark::State& state, bool paint) {
  Editor& editor = TheEditor();
  bool shifted = false;
  for (auto _ : state) {
    state.PauseTiming();
    shifted = !shifted;
    LoadState(editor, shifted);
    state.ResumeTiming();
    editor.refresher->RefreshPages(kAllBlocks);
    // The repaint the event loop does next, for the page on show.
    if (paint) editor.pages.repaint();
  }
}
void BM_RefreshPagesAll(benchmark::State& state) { RefreshPages(state, false); }
void BM_RefreshPagesAllAndPaint(benchmark::State& state) { RefreshPages(state, true); }
BENCHMARK(BM_RefreshPagesAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshPagesAllAndPaint)->Unit(benchmark::kMillisecond);

void BM_SliderEditToSend(benchmark::State& state) {
  Editor& editor = TheEditor();
  auto* slider = editor.pages.Find<QSlider>(QStringLiteral("EchoEffLevelBar"));
  // Alternates between two positions, starting away from the present one, so every set moves.
  const int low = slider->value() == slider->maximum() ? slider->value() - 1 : slider->value();
  int position = low;
  const long before = editor.link.sends;
  for (auto _ : state) {
    position = position == low ? low + 1 : low;
    slider->setValue(position);  // the change event, as a drag or a key makes it
  }
  if (editor.link.sends - before != static_cast<long>(state.iterations())) {
    state.SkipWithError("an edit did not reach the link");
  }
}
BENCHMARK(BM_SliderEditToSend)->Unit(benchmark::kMicrosecond);

// The list of the editor's changes after a connection, for 200 differing rows: naming the rows
// against the pages, filling the list and showing it (goal: 50 ms).
void BM_SyncList200Rows(benchmark::State& state) {
  Editor& editor = TheEditor();
  ParameterStore changed = editor.store;
  changed.set_observer(nullptr);
  int rows = 0;
  for (int block = 0; block < kAudioBlocks && rows < 230; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots && rows < 230; ++slot, ++rows) {
      changed.SetDevice(block, slot, editor.store.Device(block, slot) + 1);
    }
  }
  QWidget window;
  window.resize(1106, 579);
  window.show();
  SyncWindow list(&window);
  std::size_t shown = 0;
  for (auto _ : state) {
    std::vector<SyncRow> named = SyncRows(changed, editor.store, &editor.pages);
    if (named.size() > 200) named.resize(200);
    shown = named.size();
    list.Offer(std::move(named), true, QStringLiteral("1A2B3C4D"));
    list.repaint();
    state.PauseTiming();
    list.keep_button()->click();
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(shown);
  if (shown != 200 || list.list()->rowCount() != 200) state.SkipWithError("not 200 rows");
}
BENCHMARK(BM_SyncList200Rows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kc

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
