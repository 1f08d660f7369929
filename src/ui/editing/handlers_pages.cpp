// Page-level handlers: the tabs, Auto/Manual, Sing/Disco, the microphone group buttons, the band
// scroll of the Microphone page, the EQ reset buttons and the numbered band labels.
#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>

#include "model/parameter_ids.h"
#include "model/parameter_table.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/handlers.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr int kMicGroupBTab = 8;
// Block shown by the tabs 0..7 (page = tag).
constexpr int kBlockOfTab[] = {0, 1, 3, 5, 7, 6, 8, 9};
// Width of one band column of the EQ sections, the step of the band scroll.
constexpr int kBandColumnWidth = 69;
// EQ reset buttons of pages 0..6.
constexpr const char* kResetButtons[] = {"EQResetBtn",    "RzBmpButton6",  "RzBmpButton8",
                                         "RzBmpButton12", "RzBmpButton13", "RzBmpButton14",
                                         "RzBmpButton15"};

}  // namespace

EditorHandlers::EditorHandlers(EditSession& session, QObject* parent)
    : QObject(parent), session_(session) {}

EditorHandlers::~EditorHandlers() { session_.refresher().set_control_shown(nullptr); }

void EditorHandlers::Connect() {
  ConnectPages();
  ConnectValues();
  ConnectButtons();
  session_.refresher().set_control_shown([this](QWidget* control) { ControlShown(control); });
}

void EditorHandlers::ControlShown(QWidget* control) {
  if (auto* slider = qobject_cast<QSlider*>(control)) {
    auto previous = volume_previous_.find(slider);
    if (previous != volume_previous_.end()) *previous = slider->value();
  } else if (control != nullptr && control == session_.current_edit()) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) session_.set_last_good_text(edit->text());
  }
}

void EditorHandlers::ConnectPages() {
  EditorPages& pages = session_.pages();
  connect(&pages, &EditorPages::TabClicked, this, &EditorHandlers::FormTabBtn1Click);

  struct Pair {
    const char* name;
    int value;
    void (EditorHandlers::*handler)(int);
  };
  for (const Pair& pair : {Pair{"AutoModeBtn", 0, &EditorHandlers::AutoModeBtnClick},
                           Pair{"ManulModeBtn", 1, &EditorHandlers::AutoModeBtnClick},
                           Pair{"SingModeBtn", 0, &EditorHandlers::SingModeBtnClick},
                           Pair{"DiscoModeBtn", 1, &EditorHandlers::SingModeBtnClick}}) {
    if (auto* button = pages.Find<QAbstractButton>(QString::fromLatin1(pair.name))) {
      connect(button, &QAbstractButton::clicked, this,
              [this, pair] { (this->*pair.handler)(pair.value); });
    }
  }
  for (const char* name : {"MicABtn", "MicBBtn"}) {
    if (auto* button = pages.Find<QAbstractButton>(QString::fromLatin1(name))) {
      connect(button, &QAbstractButton::clicked, this, [this, button] { MicABtnClick(button); });
    }
  }
  for (const char* name : {"MusPanScrollBar", "MicPanScrollBar"}) {
    if (auto* bar = pages.Find<QSlider>(QString::fromLatin1(name))) {
      connect(bar, &QSlider::valueChanged, this, [this, bar] { MicPanScrollBarChange(bar); });
    }
  }
  for (const char* name : kResetButtons) {
    if (auto* button = pages.Find<QAbstractButton>(QString::fromLatin1(name))) {
      connect(button, &QAbstractButton::clicked, this, &EditorHandlers::EQResetBtnClick);
    }
  }
  const ControlMap& map = session_.map();
  for (int page = 0; page < ControlMap::kEqPages; ++page) {
    for (int band = 1; band <= ControlMap::kMaxBandsOfPage; ++band) {
      if (QLabel* label = map.BandLabel(page, band)) label->installEventFilter(this);
    }
  }
}

void EditorHandlers::FormTabBtn1Click(int tag) {
  if (tag < 0 || tag > kMicGroupBTab) return;
  EditorPages& pages = session_.pages();
  const int page = EditorPages::PageOfTab(tag);
  const int block = tag == kMicGroupBTab ? 1 : kBlockOfTab[tag];
  // A click shows the tab selected and its page; the start-up path takes the same road.
  if (pages.selected_tab() != tag || pages.current_page() != page) pages.SelectTab(tag);
  session_.set_page_selector(block, page);
  if (tag == 1) session_.store().set_mic_group(0);
  if (tag == kMicGroupBTab) session_.store().set_mic_group(1);
  session_.SetCurveColours(tag == kMicGroupBTab);
  if (tag == 1 || tag == kMicGroupBTab) {
    ShowPair("MicABtn", "MicBBtn", tag == kMicGroupBTab ? 1 : 0);
    session_.refresher().RefreshPages(1);
    session_.RedrawCurrentBand();
  } else {
    session_.RedrawSection();
  }
}

void EditorHandlers::ShowPair(const char* first, const char* second, int value) {
  EditorPages& pages = session_.pages();
  auto* a = pages.Find<QAbstractButton>(QString::fromLatin1(first));
  auto* b = pages.Find<QAbstractButton>(QString::fromLatin1(second));
  for (auto [button, on] : {std::pair{a, value == 0}, std::pair{b, value != 0}}) {
    if (button == nullptr) continue;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
  }
}

void EditorHandlers::AutoModeBtnClick(int value) {
  ShowPair("AutoModeBtn", "ManulModeBtn", value);
  session_.link().SendParam(kAutoManualId, value);
  // Enables the manual-only controls and re-applies the Subwoofer user-Q rule.
  session_.refresher().ShowAutoManual(value != 0);
}

void EditorHandlers::SingModeBtnClick(int value) {
  ShowPair("SingModeBtn", "DiscoModeBtn", value);
  session_.link().SendParam(kSingDiscoId, value);
  session_.store().set_disco(value);
  session_.refresher().RefreshPages(kAllBlocks);
  session_.RedrawCurrentBand();
}

void EditorHandlers::MicABtnClick(QAbstractButton* sender) {
  const bool group_b = sender != nullptr && sender->objectName() == QLatin1String("MicBBtn");
  ShowPair("MicABtn", "MicBBtn", group_b ? 1 : 0);
  session_.SetCurveColours(group_b && session_.page() == 1);
  session_.refresher().RefreshPages(1);
  session_.RedrawCurrentBand();
}

void EditorHandlers::MicPanScrollBarChange(QSlider* bar) {
  if (bar == nullptr || bar->objectName() != QLatin1String("MicPanScrollBar")) return;
  if (auto* box = session_.pages().Find<QScrollArea>(QStringLiteral("MicScrollBox"))) {
    box->horizontalScrollBar()->setValue(kBandColumnWidth * bar->value());
  }
}

void EditorHandlers::EQResetBtnClick() {
  ParameterStore& store = session_.store();
  if (session_.page() == 0 && store.Working(kAutoManualId) == 0) return;
  int block = session_.block();
  if (block >= kSystemBlock) return;
  if (block == 1 && store.mic_group() == 1) block = 2;
  store.ResetEq(block);
  session_.DrawSectionCurve(session_.current_band(session_.page()), session_.block());
}

void EditorHandlers::MusEQPointLabel1Click(QLabel* label) {
  if (label == nullptr) return;
  // The label carries its section's block (Tag) and its band (the Band property); the band is
  // selected through its frequency box.
  const QVariant band = label->property(kBandProperty);
  if (!band.isValid()) return;
  const int id = BandFieldId(TagOf(label), band.toInt(), kBandFrequencyField);
  if (id < 0) return;
  auto* edit = qobject_cast<QLineEdit*>(session_.map().Of(id).primary);
  if (edit == nullptr || session_.map().IsPlaceholder(edit) || !edit->isEnabled()) return;
  MusFreEdit1Click(edit);
}

bool EditorHandlers::eventFilter(QObject* watched, QEvent* event) {
  if (auto* label = qobject_cast<QLabel*>(watched)) {
    // The band is selected on the release: the press has by then taken the focus from the box
    // being left (which commits it), and the band's frequency box keeps the focus it is given.
    if (event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::MouseButtonRelease) {
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        MusEQPointLabel1Click(label);
      }
      return true;
    }
    return false;
  }
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit == nullptr) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::Drop:
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu:
      // Every edit of the text happens while one of these is handled; what it puts in is told
      // from this text (MusFreEdit1Edited).
      edit_texts_.insert(edit, edit->text());
      break;
    default:
      break;
  }
  switch (event->type()) {
    case QEvent::MouseButtonRelease:
      // As a click: the box that had the focus has been left (and committed) by the press.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) MusFreEdit1Click(edit);
      return false;
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      session_.set_current_edit(edit);
      switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_Left:
          MusFreEdit1KeyDown(key->key());
          return true;
        case Qt::Key_Escape:
          session_.DropTypedText();
          return true;
        default:
          break;
      }
      // With Ctrl held a key is a command (paste, select all, undo), not a typed character;
      // what a paste puts in is filtered as it arrives (MusFreEdit1Edited).
      const QString text = key->text();
      const bool command = (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
      if (text.size() == 1 && !command && !MusFreEdit1KeyPress(edit, text.at(0))) return true;
      return false;
    }
    case QEvent::FocusIn:
      // A popup closing gives the focus back to a box the user is still typing in.
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        MusFreEdit1Enter(edit);
      }
      return false;
    case QEvent::FocusOut:
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
          session_.current_edit() == edit) {
        MusFreEdit1Exit();
      }
      return false;
    default:
      return false;
  }
}

}  // namespace kc
