// The editor's editing stack on real pages, without the windows around it: pages, store, control
// map, repaint, session and handlers, with a recording link in place of the box.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "eq/view/eq_graph.h"
#include "qt_app.h"
#include "recording_edit_link.h"
#include "ui/binding/control_map.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/handlers.h"
#include "ui/pages/editor_pages.h"

namespace kc::test {

class EditorFixture {
 public:
  EditorFixture() : link(store) {
    EnsureApplication();
    map = BuildControlMap(pages);
    RefreshHooks hooks;
    hooks.send_suppress = [this] { return link.send_suppress(); };
    hooks.set_send_suppress = [this](bool raised) { link.set_send_suppress(raised); };
    hooks.mode_name = [this](int n) { return link.mode_name(n); };
    hooks.set_eq_bypass = [this](int block, int state) { session->set_eq_bypass(block, state); };
    hooks.redraw_curve = [this] { session->DrawSectionCurve(20, session->block()); };
    refresher = std::make_unique<PageRefresher>(pages, store, map, hooks);
    session = std::make_unique<EditSession>(pages, store, map, *refresher, link, view);
    handlers = std::make_unique<EditorHandlers>(*session);
    handlers->Connect();
    store.set_observer(&store_events);
    store.ResetEq(kAllBlocks);
    pages.show();
    pages.tab_button(0)->click();
    link.sent.clear();
    draws.clear();
  }

  template <class T = QWidget>
  T* W(const char* name) const {
    return pages.Find<T>(QString::fromLatin1(name));
  }
  QString Text(const char* name) const {
    QWidget* w = W(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return QStringLiteral("<no text>");
  }
  // Clicks tab button n (FormTabBtn1..9).
  void ClickTab(int n) { QTest::mouseClick(pages.tab_button(n - 1), Qt::LeftButton); }
  // Puts a value in the store and repaints every page from it, as a download does.
  void Load(int id, int value) {
    store.StoreValue(id, value);
    refresher->RefreshPages(kAllBlocks);
    link.sent.clear();
  }

  EditorPages pages;
  ParameterStore store;
  ControlMap map;
  RecordingEditLink link;
  std::unique_ptr<PageRefresher> refresher;
  std::unique_ptr<EditSession> session;
  std::unique_ptr<EditorHandlers> handlers;
  // What the session asked its view for: curves drawn (also on graph_for_curves once a test
  // has made one) and messages shown.
  std::vector<std::pair<int, int>> draws;
  std::vector<QString> messages;
  EqGraph* graph_for_curves = nullptr;

 private:
  // The store's side effects go where the editor sends them.
  struct StoreEvents : StoreObserver {
    explicit StoreEvents(EditorFixture& fixture) : fixture(fixture) {}
    void SendEqBand(int id, int32_t value) override { fixture.link.SendEqBand(id, value); }
    void RefreshPages(int selection) override { fixture.refresher->RefreshPages(selection); }
    EditorFixture& fixture;
  };
  StoreEvents store_events{*this};
  struct View : SessionView {
    explicit View(EditorFixture& fixture) : fixture(fixture) {}
    void DrawSectionCurve(int selection, int block) override {
      fixture.draws.emplace_back(selection, block);
      if (fixture.graph_for_curves) fixture.graph_for_curves->DrawSectionCurve(selection, block);
    }
    void ShowMessage(const QString& text) override { fixture.messages.push_back(text); }
    EditorFixture& fixture;
  };
  View view{*this};
};

}  // namespace kc::test
