// Builders of the eight editor pages, shared by editor_pages.cpp and the per-page sources.
#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <span>

#include "ui/pages/control_factory.h"

namespace kc {

// Colours of the editor.
inline constexpr int kBackgroundRgb[3] = {245, 242, 242};
inline constexpr int kGraphBackgroundRgb[3] = {21, 21, 21};

// Height of the band of sections above the graph panel, in page coordinates.
inline constexpr int kSectionTop = 2;
inline constexpr int kSectionHeight = 206;
// x of the one-pixel divider between a page's sections and the volume panel (page coordinates).
inline constexpr int kDividerX = 905;

// A slider with a caption above it, a value pane beside it and, for levels, a phase button.
// Names may hold "%1" for the page prefix (Main, Center, Sur, Sub).
// The slider's range and the pane's display kind (its Hint) come from the parameter table, by
// the slider's name.
struct ValueRow {
  const char* caption;
  const char* slider;  // the pane is the slider's name with "Bar" replaced by "Pane"
  const char* text;    // starting text of the pane
  bool phase = false;  // a "+" phase button to the right
  int position = 1;    // starting position of the slider
};

// Height taken by one value row inside a group.
inline constexpr int kValueRowHeight = 36;

// Adds one value row at y inside a group whose inner width is group_width. Returns the slider.
QWidget* AddValueRow(ControlFactory& make, QWidget* group, const ValueRow& row,
                     const QString& prefix, int y, int group_width);

// A titleless group of value rows, one below the other from the top.
void AddRowGroup(ControlFactory& make, QWidget* page, const QRect& rect,
                 std::span<const ValueRow> rows, const QString& prefix = QString());

// Phase-button name that goes with a level slider (PaneNameOf names its pane).
QString PhaseNameOf(const QString& slider);

// A vertical one-pixel line that separates the page's sections from the volume panel.
void AddDivider(QWidget* page);

// Names of the controls of one EQ band column (band counted from 1) on page 0..6 besides its
// value controls, whose names (MusFreEdit1, MusGainEdit1, MusQEdit1, MusModeBox1) are the
// parameter table's. The builder creates the controls under these names and the control map
// binds them by them. Empty names outside the page's bands.
struct BandColumnNames {
  std::array<QString, 3> type_buttons;  // P, LS, HS: MusPEQBtn1, MusLSQBtn1, MusHSQBtn1
  QString gain_slider;                  // MusEQGainBar1
  QString gain_frame;                   // MusGainGrop1 (MIcGainGrop1 on the Microphone page)
  QString frequency_frame;              // MusFreGrop1
  QString frequency_spin;               // MusFreUpDownBtn1
  QString q_frame;                      // MusQGrop1
  QString q_spin;                       // MusQUpDownBtn1
  QString point_label;                  // MusEQPointLabel1 (EffEQPointLabel1 on the Effect page)
};
BandColumnNames BandColumnNamesOf(int page, int band);
// The slider that scrolls the band columns of page 0..6 (MusPanScrollBar, EffPanScrollBar).
QString PanScrollBarName(int page);

// The EQ group of an audio page (0..6), its scroll slider and its bypass/reset strip.
void BuildEqSection(ControlFactory& make, QWidget* page, int page_index);

void BuildMusicPage(ControlFactory& make, QWidget* page);
void BuildMicrophonePage(ControlFactory& make, QWidget* page);
void BuildEffectPage(ControlFactory& make, QWidget* page);
// Main output (3), Centre (4) and Rear (6) share one layout.
void BuildOutputPage(ControlFactory& make, QWidget* page, int page_index);
void BuildSubwooferPage(ControlFactory& make, QWidget* page);
void BuildSystemPage(ControlFactory& make, QWidget* page);

}  // namespace kc
