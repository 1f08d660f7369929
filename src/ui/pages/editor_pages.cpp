#include "ui/pages/editor_pages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QWindow>

#include "model/mode_view.h"
#include "ui/pages/page_builders.h"

namespace kc {
namespace {

struct TabLayout {
  const char* name;
  int x;
  int tag;
};

// In strip order; the free part of the strip between 795 and 1007 moves the window.
constexpr TabLayout kTabs[] = {
    {"FormTabBtn1", 0, 0},   {"FormTabBtn2", 99, 1},  {"FormTabBtn9", 198, 8},
    {"FormTabBtn3", 298, 2}, {"FormTabBtn4", 397, 3}, {"FormTabBtn7", 497, 6},
    {"FormTabBtn5", 596, 4}, {"FormTabBtn6", 696, 5}, {"FormTabBtn8", 1007, 7},
};

// A tab's caption is its page's caption (Tag 8 leads to microphone group B); a two-character
// caption is spaced out across the button ("音 乐").
QString TabCaptionOf(int tag) {
  const QString caption = QString::fromStdString(
      tag == 8 ? BlockTabCaption(2) : std::string(TabCaption(EditorPages::PageOfTab(tag))));
  return caption.size() == 2 ? caption.left(1) + QLatin1Char(' ') + caption.right(1) : caption;
}

constexpr int kTabWidth = 99;
constexpr int kTabHeight = 31;

// Sheet titles, short on purpose ("话筒" holds both groups); tabs use TabCaption ("麦克风A").
constexpr const char* kSheetCaptions[EditorPages::kPageCount] = {"音乐", "话筒",   "效果", "主输出",
                                                                 "中置", "超低音", "后置", "系统"};

constexpr char kTabStyle[] =
    "QPushButton { border: 1px solid rgb(90,90,90); color: black;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(236,236,236),"
    " stop:1 rgb(196,196,196)); }"
    "QPushButton:checked { color: white;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(96,96,96),"
    " stop:1 rgb(40,40,40)); }";

// Grey of the window border and of the separator line under the tab strip.
constexpr int kFrameLineRgb[3] = {128, 128, 128};

QColor Rgb(const int (&rgb)[3]) { return QColor(rgb[0], rgb[1], rgb[2]); }

// The window's 1-pixel border. The editor fills the frameless window, and its tab strip and
// page area reach every edge, so the border is a child above all of them: it paints and takes
// only the outermost ring of pixels, and lets every mouse event through to what lies beneath.
class WindowBorder : public QWidget {
 public:
  explicit WindowBorder(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(parent->rect());
    const QRegion whole(rect());
    setMask(whole.subtracted(QRegion(rect().adjusted(1, 1, -1, -1))));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(Rgb(kFrameLineRgb));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

void FillBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QPixmap StripPicture() {
  QPixmap picture(EditorPages::kWidth, kTabHeight);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, 0, kTabHeight);
  gradient.setColorAt(0, QColor(70, 70, 70));
  gradient.setColorAt(1, QColor(25, 25, 25));
  painter.fillRect(picture.rect(), gradient);
  return picture;
}

}  // namespace

EditorPages::EditorPages(QWidget* parent) : QWidget(parent) {
  setFixedSize(kWidth, kHeight);
  FillBackground(this, Rgb(kBackgroundRgb));
  // Every page inherits it: the fields of an automatic Music EQ, a locked input gain and the
  // other disabled controls stay readable.
  QPalette readable = palette();
  SetReadableDisabledTexts(readable);
  setPalette(readable);
  QFont base = font();
  base.setFamilies({"WenQuanYi Zen Hei", "Noto Sans CJK SC", "Sans Serif"});
  base.setPixelSize(12);
  setFont(base);

  ControlFactory make(&controls_);
  BuildTabStrip(make);

  auto* separator = make.Group(this, "RzGroupBox1", QRect(-2, 32, 1111, 5), QString());
  separator->setFlat(true);
  // Its frame line: grey with a white line beneath, an etched line between strip and pages.
  const QColor line_colours[] = {Rgb(kFrameLineRgb), Qt::white};
  for (int i = 0; i < 2; ++i) {
    auto* line = new QWidget(separator);
    line->setGeometry(0, 1 + i, separator->width(), 1);
    FillBackground(line, line_colours[i]);
  }

  pages_ = new QStackedWidget(this);
  make.Register(pages_, "RzPageControl1");
  pages_->setGeometry(-1, 36, 1108, 543);
  for (int p = 0; p < kPageCount; ++p) {
    auto* sheet = new QWidget;
    make.Register(sheet, QString("AdvTabSheet%1").arg(p + 1));
    sheet->setWindowTitle(QString::fromUtf8(kSheetCaptions[p]));
    FillBackground(sheet, Rgb(kBackgroundRgb));
    pages_->addWidget(sheet);
  }
  BuildMusicPage(make, page(0));
  BuildMicrophonePage(make, page(1));
  BuildEffectPage(make, page(2));
  BuildOutputPage(make, page(3), 3);
  BuildOutputPage(make, page(4), 4);
  BuildSubwooferPage(make, page(5));
  BuildOutputPage(make, page(6), 6);
  BuildSystemPage(make, page(7));

  // The single-band panel lies beneath the graph panel, so it is built first.
  BuildSingleBandPanel(make);
  BuildGraphPanel(make);
  BuildVolumePanel(make);
  BuildSceneStrip(make);
  BuildHidden(make);
  device_id_ = Find<QLabel>("DeviceIDLabel");
  border_ = new WindowBorder(this);
  // A style sheet gives the widgets it styles palettes of their own, made from what they had
  // when it was applied; the band columns got theirs before they had a parent. Those widgets
  // take the readable disabled texts here; the others inherit them.
  const QColor disabled_text = readable.color(QPalette::Disabled, QPalette::Text);
  for (QWidget* child : findChildren<QWidget*>()) {
    if (child->palette().color(QPalette::Disabled, QPalette::Text) == disabled_text) continue;
    QPalette own = child->palette();
    SetReadableDisabledTexts(own);
    child->setPalette(own);
  }

  SelectTab(0);
}

QWidget* EditorPages::page(int page) const {
  return page >= 0 && page < kPageCount ? pages_->widget(page) : nullptr;
}

int EditorPages::current_page() const { return pages_->currentIndex(); }

bool EditorPages::SharedAreaShownOn(const QWidget* area, int page) const {
  if (area == scene_strip_) return page == 0 || (page >= 3 && page <= 6);
  return page != kSystemPage;
}

void EditorPages::ShowPage(int page) {
  if (page < 0 || page >= kPageCount) return;
  pages_->setCurrentIndex(page);
  for (QWidget* area : {static_cast<QWidget*>(volume_panel_), graph_outer_,
                        static_cast<QWidget*>(single_band_), static_cast<QWidget*>(scene_strip_)}) {
    area->setVisible(SharedAreaShownOn(area, page));
  }
  border_->raise();  // stays above whatever a page switch brings forward
}

int EditorPages::PageShowing(const QWidget* control) const {
  for (const QWidget* up = control; up != nullptr && up != this; up = up->parentWidget()) {
    if (up->parentWidget() == pages_) return pages_->indexOf(const_cast<QWidget*>(up));
    if (up == volume_panel_ || up == graph_outer_ || up == single_band_ || up == scene_strip_) {
      for (int page = 0; page < kPageCount; ++page) {
        if (SharedAreaShownOn(up, page)) return page;
      }
    }
  }
  return -1;
}

QPushButton* EditorPages::tab_button(int tag) const {
  return tag >= 0 && tag < kTabCount ? tabs_[tag] : nullptr;
}

int EditorPages::PageOfTab(int tag) { return tag == 8 ? 1 : tag; }

void EditorPages::SelectTab(int tag) {
  if (tag < 0 || tag >= kTabCount) return;
  tabs_[tag]->setChecked(true);
  selected_tab_ = tag;
  ShowPage(PageOfTab(tag));
}

bool EditorPages::eventFilter(QObject* watched, QEvent* event) {
  // The strip's free surface moves the borderless editor window.
  if (watched == tab_picture_ && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (QWindow* handle = window()->windowHandle()) handle->startSystemMove();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void EditorPages::BuildTabStrip(ControlFactory& make) {
  QLabel* picture = make.Label(this, "Image3", QRect(0, 0, kWidth, kTabHeight), QString());
  picture->setPixmap(StripPicture());
  picture->setScaledContents(true);
  picture->installEventFilter(this);
  tab_picture_ = picture;

  QFont tab_font = font();
  tab_font.setFamilies({"宋体", "WenQuanYi Zen Hei"});
  tab_font.setPointSize(12);
  auto* group = new QButtonGroup(this);
  for (const TabLayout& tab : kTabs) {
    QPushButton* button = make.TwoState(this, tab.name, QRect(tab.x, 0, kTabWidth, kTabHeight),
                                        TabCaptionOf(tab.tag), QString(), tab.tag);
    button->setFont(tab_font);
    button->setStyleSheet(kTabStyle);
    group->addButton(button, tab.tag);
    tabs_[tab.tag] = button;
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int tag) {
    SelectTab(tag);
    emit TabClicked(tag);
  });
}

void EditorPages::BuildGraphPanel(ControlFactory& make) {
  auto* outer = new QFrame(this);
  make.Register(outer, "AdvPanel1");
  outer->setGeometry(2, 246, 1104, 311);
  FillBackground(outer, Rgb(kGraphBackgroundRgb));
  graph_outer_ = outer;

  auto* inner = new QFrame(outer);
  make.Register(inner, "AdvPanel2");
  inner->setGeometry(40, 13, 1049, 273);
  FillBackground(inner, Rgb(kGraphBackgroundRgb));
  graph_inner_ = inner;

  graph_image_ = make.Label(inner, "Image1", QRect(0, 0, 1049, 273), QString());
  QPixmap blank(1049, 273);
  blank.fill(Rgb(kGraphBackgroundRgb));
  graph_image_->setPixmap(blank);

  QLabel* eq_label =
      make.Label(inner, "EQlabel", QRect(480, 110, 90, 48), "+12dB\nQ:128.00\n12000.00Hz");
  QFont bold = eq_label->font();
  bold.setBold(true);
  eq_label->setFont(bold);
  eq_label->setAlignment(Qt::AlignCenter);
  eq_label->setStyleSheet("color: rgb(199,255,255); background: transparent;");

  QLabel* pass = make.Label(inner, "EQPassLabel", QRect(420, 100, 220, 60), "EQ PASS");
  QFont large = bold;
  large.setPixelSize(36);
  pass->setFont(large);
  pass->setAlignment(Qt::AlignCenter);
  pass->setStyleSheet("color: white; background: transparent;");
  pass->hide();

  make.Label(inner, "Label3", QRect(0, 0, 60, 14), QString())->hide();

  // Point handles: fifteen band points and the two pass-filter points, placed by the graph.
  for (int i = 0; i < kPointHandleCount; ++i) {
    const bool band = i < kHighPassHandle;
    const QString name = QString::fromStdString(HandleName(i));
    const int size = band ? 14 : 24;
    const QRect place(20 + i * 60, 120, size, size);
    QLabel* handle;
    if (band) {
      handle = new BandPoint(QString::number(i + 1), inner);
      make.Register(handle, name);
      handle->setGeometry(place);
    } else {
      handle = make.Label(inner, name, place, name.left(1));
      handle->setStyleSheet("background: rgb(255,177,106); color: black; border-radius: 12px;");
    }
    SetTag(handle, i);
    handle->setAlignment(Qt::AlignCenter);
    handle->hide();
    handles_[i] = handle;
  }
  // The selected band's values lie over every point.
  eq_label->raise();
}

void EditorPages::BuildVolumePanel(ControlFactory& make) {
  volume_panel_ = make.Group(this, "MainVolGropBox", QRect(918, 38, 186, 204), " 音量控制  ");
  struct VolumeLayout {
    const char* slider;
    const char* caption;
    int position;
  };
  static constexpr VolumeLayout kVolumes[] = {
      {"SysMusNormalVolBar", "音乐", 0},
      {"SysMicNormalVolBar", "话筒", 60},
      {"SysEffNormalVolBar", "效果", 10},
  };
  for (int i = 0; i < 3; ++i) {
    const int x = 8 + i * 58;
    const QString slider = QString::fromLatin1(kVolumes[i].slider);
    make.Pane(volume_panel_, PaneNameOf(slider), QRect(x, 22, 50, 20), "10", "0");
    QSlider* bar = make.Slider(volume_panel_, slider, QRect(x + 14, 46, 22, 130), 84,
                               kVolumes[i].position, Qt::Vertical);
    SetHint(bar, "0");
    QLabel* caption =
        make.Label(volume_panel_, QString(), QRect(x, 180, 50, 16), kVolumes[i].caption);
    caption->setAlignment(Qt::AlignCenter);
  }
}

void EditorPages::BuildSceneStrip(ControlFactory& make) {
  scene_strip_ = make.Group(this, "SingleDiscoGrop", QRect(406, 557, 692, 24), QString());
  scene_strip_->setFlat(true);
  // Only the buttons are seen: a frame would run empty from the strip's left end to "手动".
  scene_strip_->setStyleSheet("QGroupBox#SingleDiscoGrop { border: none; margin: 0px; }");
  struct SceneButton {
    const char* name;
    const char* caption;
    const char* hint;
    int tag;
    int x;
  };
  // Two exclusive pairs: Manual/Auto and Sing/Disco; Auto and Sing are the starting choices.
  static constexpr SceneButton kButtons[] = {
      {"ManulModeBtn", "手动", "1", 0, 384},
      {"AutoModeBtn", "自动", "0", 0, 458},
      {"SingModeBtn", "唱歌", "1", 1, 540},
      {"DiscoModeBtn", "舞蹈", "1", 1, 614},
  };
  QButtonGroup* pair = nullptr;
  for (int i = 0; i < 4; ++i) {
    const SceneButton& entry = kButtons[i];
    if (i % 2 == 0) pair = new QButtonGroup(scene_strip_);
    QPushButton* button = make.TwoState(scene_strip_, entry.name, QRect(entry.x, 1, 70, 20),
                                        entry.caption, entry.hint, entry.tag);
    pair->addButton(button);
  }
  Find<QPushButton>("AutoModeBtn")->setChecked(true);
  Find<QPushButton>("SingModeBtn")->setChecked(true);
}

void EditorPages::BuildSingleBandPanel(ControlFactory& make) {
  single_band_ = make.Group(this, "EQCotrolGrop", QRect(2, 246, 420, 180), QString());
  make.Label(single_band_, QString(), QRect(10, 8, 200, 16), "调节当前EQ段：1");
  make.Slider(single_band_, "ComEQGainBar", QRect(10, 30, 22, 122), 180, 0, Qt::Vertical);
  make.Slider(single_band_, "ComEQQvalueBar", QRect(40, 30, 22, 122), 100, 10, Qt::Vertical);
  make.Slider(single_band_, "ComEQFreBar", QRect(76, 150, 320, 20), 361, 10);
  struct ReadOnlyEdit {
    const char* edit;
    const char* spin;
  };
  static constexpr ReadOnlyEdit kEdits[] = {
      {"ComEQGainEdit", "ComEQGainUpDownBtn"},
      {"ComEQQvalueEdit", "ComEQQvalueUpDownBtn"},
      {"ComEQFreEdit", "ComEQFreUpDownBtn"},
  };
  for (int i = 0; i < 3; ++i) {
    const int y = 30 + i * 36;
    make.Edit(single_band_, kEdits[i].edit, QRect(76, y, 90, 22), QString())->setReadOnly(true);
    make.Spin(single_band_, kEdits[i].spin, QRect(168, y, 14, 22), Qt::Vertical);
  }
}

void EditorPages::BuildHidden(ControlFactory& make) {
  link_label_ = make.Label(this, "LinkLabel", QRect(0, 0, 120, 16), "设备未连接");
  link_button_ = make.Button(this, "LinkBtn", QRect(0, 0, 60, 20), "联机");
  unlink_button_ = make.Button(this, "UnLinkBtn", QRect(0, 0, 60, 20), "断开");
  port_list_ = make.DropDown(this, "ComComboBox1", QRect(0, 0, 100, 20), {}, -1);
  auto* memo1 = new QPlainTextEdit(this);
  make.Register(memo1, "Memo1");
  memo2_ = new QPlainTextEdit(this);
  make.Register(memo2_, "Memo2");
  auto* files = new QListWidget(this);
  make.Register(files, "FileListBox1");
  QWidget* placeholders[] = {
      make.Button(this, "ExampleBtn", QRect(0, 0, 60, 20), "Example", QString(), 7),
      make.Edit(this, "Example", QRect(0, 0, 60, 20), "0Example", "0"),
      make.Slider(this, "MusEQTrackBar1", QRect(0, 0, 100, 20), 361, 0),
      make.Button(this, "MusEQBmpBtn1", QRect(0, 0, 60, 20), "频率"),
  };
  for (QWidget* hidden : {static_cast<QWidget*>(link_label_), static_cast<QWidget*>(link_button_),
                          static_cast<QWidget*>(unlink_button_), static_cast<QWidget*>(port_list_),
                          static_cast<QWidget*>(memo1), static_cast<QWidget*>(memo2_),
                          static_cast<QWidget*>(files)}) {
    hidden->hide();
  }
  for (QWidget* hidden : placeholders) hidden->hide();
}

}  // namespace kc
