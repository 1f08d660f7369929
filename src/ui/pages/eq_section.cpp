// The EQ group of the audio pages: four row captions, a scroll box with one column per band, the
// slider that scrolls it, and the EQ strip (bypass and reset) at the bottom of the page.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <iterator>
#include <tuple>

#include "model/parameter_store.h"
#include "model/parameter_table.h"
#include "ui/pages/page_builders.h"

namespace kc {
namespace {

// Name prefixes of a page's EQ controls besides the band controls' own (the table's BandPrefix).
struct EqNames {
  const char* frame;  // frames and spin buttons of the edit boxes (MIcFreGrop1 on page 1)
  const char* label;  // band point labels (EffEQPointLabel1 on page 2)
  const char* pan;    // scroll box and pan scroll bar
};

struct EqSectionLayout {
  EqNames names;
  const char* group;   // name of the EQ group
  const char* bypass;  // the EQ bypass button
  const char* reset;   // the EQ reset button
  int bands;
  int scroll_max;          // range of the scroll slider
  int visible;             // band columns in view
  int x;                   // left of the group in page coordinates
  int label_tag;           // block of the page, carried by the band-number labels
  const char* label_hint;  // index of band 1's frequency field
};

// Index = page 0..6.
// clang-format off
constexpr EqSectionLayout kEqSections[] = {
    {{"Mus", "Mus", "Mus"}, "MusEQGrop", "MusEQAllpassBtn", "EQResetBtn", 10, 5, 10, 172, 0, "5"},
    {{"MIc", "Mic", "Mic"}, "MicEQGropx", "MicEQAllpassBtn", "RzBmpButton6", 15, 5, 10, 172, 1,
     "5"},
    {{"Echo", "Eff", "Eff"}, "AdvGroupBox2", "EchoEQAllpassBtn", "RzBmpButton8", 3, 0, 3, 652, 3,
     "14"},
    {{"Main", "Main", "Main"}, "MainEQGrop", "MainEQAllpassBtn", "RzBmpButton12", 5, 2, 5, 514, 5,
     "31"},
    {{"Center", "Center", "Center"}, "CenterEQGrop", "CenterEQAllpassBtn", "RzBmpButton13", 5, 2,
     5, 514, 7, "29"},
    {{"Sub", "Sub", "Sub"}, "SubEQGrop", "SubEQAllpassBtn", "RzBmpButton14", 3, 0, 3, 652, 6,
     "29"},
    {{"Sur", "Sur", "Sur"}, "SurEQGrop", "SurEQAllpassBtn", "RzBmpButton15", 5, 2, 5, 514, 8,
     "29"},
};
// clang-format on

// Geometry of one band column inside the scroll box.
constexpr int kColumnWidth = 69;
constexpr int kColumnHeight = 152;
constexpr int kCaptionWidth = 30;
constexpr int kScrollTop = 18;
constexpr int kGainBarHeight = 122;
constexpr int kGainBarWidth = 15;
constexpr int kFrameLeft = 16;
constexpr int kFrameWidth = 52;
constexpr int kFrameHeight = 24;
constexpr int kGainFrameTop = 18;
constexpr int kTypeButtonsTop = 46;
constexpr int kModeBoxTop = 62;
constexpr int kFreFrameTop = 94;
constexpr int kQRowTop = 126;
constexpr int kQFrameInset = 11;

// Look of the band columns: frames in the normal (not highlighted) frame colour, borderless
// edit boxes in the narrow value face (a 50-pixel box keeps 46 pixels for "18000.0Hz"), type
// buttons in their unselected colours, compact type lists.
constexpr char kColumnStyle[] =
    "* { font-family: \"%2\"; font-size: 10px; }"
    "QGroupBox { border: 1px solid rgb(206,98,0); margin: 0px; padding: 0px;"
    " background: white; }"
    "QLineEdit { padding: 0px; border: none; background: white;"
    " font-family: \"%1\"; font-size: %3px; }"
    "QPushButton { padding: 0px; border: 1px solid rgb(201,203,203);"
    " background: rgb(161,161,161); color: white; font-size: 9px; }"
    "QComboBox { padding: 0px 0px 0px 3px; }"
    "QComboBox::drop-down { width: 12px; }";

const QStringList& BandTypeItems() {
  static const QStringList items = {"PEQ", "LSEQ", "HSEQ"};
  return items;
}

// A frame with its edit box filling it.
QLineEdit* FramedEdit(ControlFactory& make, QWidget* column_parent, const QString& frame_name,
                      const QString& edit_name, const QRect& frame_rect, const QString& text,
                      const QString& hint) {
  QGroupBox* frame = make.Group(column_parent, frame_name, frame_rect, QString());
  QLineEdit* edit = make.Edit(
      frame, edit_name, QRect(1, 2, frame_rect.width() - 2, frame_rect.height() - 4), text, hint);
  edit->setFrame(false);
  edit->setAlignment(Qt::AlignCenter);
  return edit;
}

void BuildBandColumn(ControlFactory& make, QWidget* content, const EqSectionLayout& entry,
                     int page_index, int band) {
  const QString n = QString::number(band);
  const BandColumnNames names = BandColumnNamesOf(page_index, band);
  const auto field_name = [&](int field) {
    const ParameterInfo* info =
        FindParameter(entry.label_tag, IndexOf(BandFieldId(entry.label_tag, band - 1, field)));
    return info != nullptr ? QString::fromStdString(info->name) : QString();
  };
  const int x0 = (band - 1) * kColumnWidth;

  // The microphone bands 1 and 2 start as high and low shelves at 0 dB.
  const bool first_two = band <= 2;
  const int gain_position = (page_index == 1 && first_two) ? 120 : 0;
  QSlider* gain =
      make.Slider(content, names.gain_slider, QRect(x0 + 1, 2, kGainBarWidth, kGainBarHeight), 180,
                  gain_position, Qt::Vertical);
  SetHint(gain, "0");

  QLabel* point = make.Label(content, names.point_label,
                             QRect(x0 + kFrameLeft + kFrameWidth - 16, 1, 16, 14), n);
  point->setAlignment(Qt::AlignCenter);
  point->setStyleSheet("background: rgb(68,134,255); color: white;");
  point->setAutoFillBackground(false);
  SetTag(point, entry.label_tag);
  SetHint(point, QString::fromLatin1(entry.label_hint));
  point->setProperty(kBandProperty, band - 1);
  point->hide();

  FramedEdit(make, content, names.gain_frame, field_name(kBandGainField),
             QRect(x0 + kFrameLeft, kGainFrameTop, kFrameWidth, kFrameHeight), "-24.0dB", "3");

  static constexpr const char* kTypeCaptions[] = {"P", "LS", "HS"};
  static constexpr const char* kTypeTips[] = {
      "P：峰值（钟形）滤波，在频率点附近提升或衰减，宽窄由Q值决定",
      "LS：低架滤波，提升或衰减频率点以下的全部低频",
      "HS：高架滤波，提升或衰减频率点以上的全部高频"};
  for (int t = 0; t < 3; ++t) {
    const int w = kFrameWidth / 3;
    QPushButton* type = make.Button(
        content, names.type_buttons[t],
        QRect(x0 + kFrameLeft + t * w, kTypeButtonsTop, w + (t == 2 ? kFrameWidth % 3 : 0), 14),
        QString::fromLatin1(kTypeCaptions[t]), QString::number(t));
    type->setToolTip(QString::fromUtf8(kTypeTips[t]));
  }
  QComboBox* mode = make.DropDown(content, field_name(kBandTypeField),
                                  QRect(x0 + kFrameLeft, kModeBoxTop, kFrameWidth, 20),
                                  BandTypeItems(), first_two ? 2 : 0, "1");
  if (page_index == 3 && band == 1) mode->hide();
  if (page_index == 0 && band == 1) {
    make.Button(content, "MusModeBtn1",
                QRect(x0 + kFrameLeft + kFrameWidth - 14, kModeBoxTop + 21, 14, 9), QString());
  }

  const QRect fre_rect(x0 + kFrameLeft, kFreFrameTop, kFrameWidth, kFrameHeight);
  QLineEdit* fre = FramedEdit(make, content, names.frequency_frame, field_name(kBandFrequencyField),
                              fre_rect, "20000.00", "2");
  make.Spin(fre->parentWidget(), names.frequency_spin,
            QRect(kFrameWidth - 12, 2, 10, kFrameHeight - 4), Qt::Vertical)
      ->hide();

  make.Spin(content, names.q_spin, QRect(x0 + 1, kQRowTop, kColumnWidth - 2, kFrameHeight),
            Qt::Horizontal);
  FramedEdit(
      make, content, names.q_frame, field_name(kBandPeqQField),
      QRect(x0 + 1 + kQFrameInset, kQRowTop, kColumnWidth - 2 - 2 * kQFrameInset, kFrameHeight),
      "128.00", "4");
}

}  // namespace

BandColumnNames BandColumnNamesOf(int page, int band) {
  if (page < 0 || page >= static_cast<int>(std::size(kEqSections)) || band < 1 ||
      band > kEqSections[page].bands) {
    return {};
  }
  const EqNames& names = kEqSections[page].names;
  const QString n = QString::number(band);
  const QString b = QString::fromLatin1(BandPrefix(page));
  const QString f = QString::fromLatin1(names.frame);
  return {{b + "PEQBtn" + n, b + "LSQBtn" + n, b + "HSQBtn" + n},
          b + "EQGainBar" + n,
          f + "GainGrop" + n,
          f + "FreGrop" + n,
          f + "FreUpDownBtn" + n,
          f + "QGrop" + n,
          f + "QUpDownBtn" + n,
          QString::fromLatin1(names.label) + "EQPointLabel" + n};
}

QString PanScrollBarName(int page) {
  if (page < 0 || page >= static_cast<int>(std::size(kEqSections))) return {};
  return QString::fromLatin1(kEqSections[page].names.pan) + "PanScrollBar";
}

void BuildEqSection(ControlFactory& make, QWidget* page, int page_index) {
  const EqSectionLayout& entry = kEqSections[page_index];
  const QString pan = QString::fromLatin1(entry.names.pan);
  const int view_width = entry.visible * kColumnWidth + 2;
  const int width = kCaptionWidth + view_width + 8;
  QGroupBox* group = make.Group(page, QString::fromLatin1(entry.group),
                                QRect(entry.x, kSectionTop, width, kSectionHeight), "EQ");

  struct RowCaption {
    const char* text;
    int y;
  };
  static constexpr RowCaption kRowCaptions[] = {
      {"增益", kGainFrameTop + 4},
      {"类型", kTypeButtonsTop + 14},
      {"频率", kFreFrameTop + 4},
      {"Q值", kQRowTop + 4},
  };
  for (const RowCaption& caption : kRowCaptions) {
    make.Label(group, QString(), QRect(4, kScrollTop + caption.y, kCaptionWidth - 4, 16),
               QString::fromUtf8(caption.text));
  }

  auto* box = new QScrollArea(group);
  make.Register(box, pan + "ScrollBox");
  box->setGeometry(kCaptionWidth, kScrollTop, view_width, kColumnHeight + 2);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setFrameShape(QFrame::StyledPanel);
  auto* content = new QWidget;
  content->setFixedSize(entry.bands * kColumnWidth, kColumnHeight);
  content->setStyleSheet(QString::fromLatin1(kColumnStyle)
                             .arg(QLatin1String(kValueFontFamily), QLatin1String(kCjkFontFamily))
                             .arg(kValueFontPixelSize));
  box->setWidget(content);
  for (int band = 1; band <= entry.bands; ++band) {
    BuildBandColumn(make, content, entry, page_index, band);
  }

  QSlider* pan_bar = make.Slider(
      group, PanScrollBarName(page_index),
      QRect(kCaptionWidth, kScrollTop + kColumnHeight + 6, view_width, 18), entry.scroll_max, 0);
  pan_bar->setToolTip(
      entry.scroll_max > 0
          ? QStringLiteral("滚动EQ频段：共%1段，一次显示%2段").arg(entry.bands).arg(entry.visible)
          : QStringLiteral("全部%1个EQ频段都已显示").arg(entry.bands));

  // EQ strip at the bottom left of the page, below the graph panel.
  make.TwoState(page, QString::fromLatin1(entry.bypass), QRect(6, 522, 96, 20), "EQ 旁通", "0");
  make.Button(page, QString::fromLatin1(entry.reset), QRect(108, 522, 96, 20), "EQ重置");
  // Copy and paste of the section's EQ, beside the strip and left of the scene strip (the pages
  // share one name for each; EqClipboard finds them on each page). Not in the control registry,
  // which holds one control per name.
  const QRect copy_place(212, 522, 88, 20);
  const QRect paste_place(304, 522, 88, 20);
  for (const auto& [name, caption, place] : {std::tuple{"EqCopyBtn", "复制EQ", copy_place},
                                             std::tuple{"EqPasteBtn", "粘贴EQ", paste_place}}) {
    auto* button = new QPushButton(QString::fromUtf8(caption), page);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place);
    button->setFocusPolicy(Qt::NoFocus);
  }
}

}  // namespace kc
