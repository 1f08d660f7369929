// The content of the editor window: the tab strip with its nine buttons, the eight pages with
// every section and control, the volume panel, the EQ graph panel, the scene strip and the hidden
// controls. The window itself (frameless, topmost, centred) belongs to the application; it embeds
// this widget as its whole client area.
//
// Every control is built from tables with its object name, caption, range, starting position or
// text, Tag and Hint (see control_factory.h for the classes used and for the Tag/Hint
// properties). Handlers find controls by name through FindControl() and tell them apart by Tag
// and Hint, exactly as they would on the finished window.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "eq/section_layout.h"
#include "model/parameter_store.h"
#include "ui/pages/control_factory.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace kc {

class EditorPages : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 1106;
  static constexpr int kHeight = 579;
  static constexpr int kPageCount = kc::kPageCount;
  static constexpr int kSystemPage = kc::kSystemPage;
  static constexpr int kTabCount = 9;
  static constexpr int kPointHandleCount = kHandleCount;

  explicit EditorPages(QWidget* parent = nullptr);

  // The page control RzPageControl1; its pages are AdvTabSheet1..AdvTabSheet8 (index = page).
  QStackedWidget* pages() const { return pages_; }
  QWidget* page(int page) const;
  int current_page() const;

  // Shows a page (0..7) and applies what is visible with it: on the System page the volume
  // panel, the graph panel, the scene strip and the single-band panel are hidden; the scene
  // strip is hidden on pages 1 and 2 as well; on the other pages all of them are shown.
  // Out-of-range pages are ignored.
  void ShowPage(int page);
  // The first page (0..7) on which a control is on show: the page that holds it or, for a
  // control of a shared area (the volume panel, the scene strip), the first page that shows the
  // area; -1 for a control on no page (the hidden ones).
  int PageShowing(const QWidget* control) const;

  // The tab buttons, by Tag 0..8 (FormTabBtn1..7 carry Tags 0..6, FormTabBtn8 Tag 7,
  // FormTabBtn9 Tag 8). nullptr for any other Tag.
  QPushButton* tab_button(int tag) const;
  // The page a tab leads to: the Tag itself, except Tag 8 (microphone group B) which leads to 1.
  static int PageOfTab(int tag);
  // Marks the tab as selected (white text) and the others not, and shows its page. A click on a
  // tab button runs this and then emits TabClicked, where the page handlers (microphone group,
  // curve colour, redraw) hook in.
  void SelectTab(int tag);
  int selected_tab() const { return selected_tab_; }

  // Any named control of the editor, or nullptr.
  QWidget* FindControl(const QString& name) const { return controls_.value(name, nullptr); }
  template <class T>
  T* Find(const QString& name) const {
    return qobject_cast<T*>(FindControl(name));
  }
  const ControlRegistry& controls() const { return controls_; }

  // The EQ graph: the outer panel AdvPanel1 (dark, holds the axis labels) and the inner panel
  // AdvPanel2 (1049 x 273) where the graph widget goes; Image1 fills AdvPanel2.
  QWidget* graph_outer_panel() const { return graph_outer_; }
  QWidget* graph_panel() const { return graph_inner_; }
  QLabel* graph_image() const { return graph_image_; }
  // The handles EP1..EP15, HPF, LPF in this order, children of AdvPanel2, Tag = position.
  const std::array<QLabel*, kPointHandleCount>& point_handles() const { return handles_; }

  // Hidden controls the link and the application use.
  QPlainTextEdit* diagnostic_log() const { return memo2_; }      // Memo2
  QLabel* link_label() const { return link_label_; }             // LinkLabel
  QLabel* device_id_label() const { return device_id_; }         // DeviceIDLabel
  QComboBox* port_list() const { return port_list_; }            // ComComboBox1
  QPushButton* link_button() const { return link_button_; }      // LinkBtn
  QPushButton* unlink_button() const { return unlink_button_; }  // UnLinkBtn

  // Shared areas, for tests and handlers.
  QGroupBox* volume_panel() const { return volume_panel_; }      // MainVolGropBox
  QGroupBox* scene_strip() const { return scene_strip_; }        // SingleDiscoGrop
  QGroupBox* single_band_panel() const { return single_band_; }  // EQCotrolGrop

 signals:
  void TabClicked(int tag);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildTabStrip(ControlFactory& make);
  void BuildGraphPanel(ControlFactory& make);
  void BuildVolumePanel(ControlFactory& make);
  void BuildSceneStrip(ControlFactory& make);
  void BuildSingleBandPanel(ControlFactory& make);
  void BuildHidden(ControlFactory& make);
  // Whether ShowPage(page) shows one of the shared areas.
  bool SharedAreaShownOn(const QWidget* area, int page) const;

  ControlRegistry controls_;
  QStackedWidget* pages_ = nullptr;
  std::array<QPushButton*, kTabCount> tabs_{};
  int selected_tab_ = 0;
  QWidget* tab_picture_ = nullptr;
  QWidget* graph_outer_ = nullptr;
  QWidget* graph_inner_ = nullptr;
  QLabel* graph_image_ = nullptr;
  std::array<QLabel*, kPointHandleCount> handles_{};
  QPlainTextEdit* memo2_ = nullptr;
  QLabel* link_label_ = nullptr;
  QLabel* device_id_ = nullptr;
  QComboBox* port_list_ = nullptr;
  QPushButton* link_button_ = nullptr;
  QPushButton* unlink_button_ = nullptr;
  QGroupBox* volume_panel_ = nullptr;
  QGroupBox* scene_strip_ = nullptr;
  QGroupBox* single_band_ = nullptr;
  QWidget* border_ = nullptr;  // the 1-pixel window border, above every other child
};

}  // namespace kc
