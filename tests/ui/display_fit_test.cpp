// What the value controls and phase buttons show must be readable: the widest text a control's
// display kind can produce fits its text area whole, and a phase button's sign is a dark, centred
// mark of several pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "model/value_scales.h"
#include "qt_app.h"
#include "ui/control_factory.h"
#include "ui/control_map.h"
#include "ui/editor_pages.h"

namespace kc {
namespace {

// The rectangle a line edit lays its text in: the style's contents rectangle, less the text
// margins and the two pixels QLineEdit keeps clear on either side.
QRect LineEditTextRect(const QLineEdit* edit) {
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.rect = edit->contentsRect();
  option.lineWidth = edit->hasFrame()
                         ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                         : 0;
  option.state |= QStyle::State_Sunken;
  const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
  return contents.marginsRemoved(edit->textMargins()).adjusted(2, 0, -2, 0);
}

TEST(DisplayFit, WidestTextOfEveryBoundValueControlFitsItsTextArea) {
  test::EnsureApplication();
  EditorPages editor;
  const ControlMap map = BuildControlMap(editor);
  editor.show();

  QSet<QWidget*> seen;
  for (int block = 0; block < kBlockCount; ++block) {
    for (int index = 0; index < kWorkingColumns; ++index) {
      const ControlEntry& entry = map.At(block, index);
      auto* edit = qobject_cast<QLineEdit*>(entry.primary);
      auto* slider = qobject_cast<QSlider*>(entry.primary);
      auto* pane = slider ? qobject_cast<QLabel*>(entry.secondary) : nullptr;
      QWidget* control = edit ? static_cast<QWidget*>(edit) : pane;
      if (!control || map.IsPlaceholder(control) || seen.contains(control)) continue;
      const auto kind = KindOfHint(HintOf(control).toStdString());
      if (!kind || !KindShowsText(*kind)) continue;  // volume panes show slider positions
      seen.insert(control);
      control->ensurePolished();  // hidden pages are not polished by show()
      SCOPED_TRACE(control->objectName().toStdString());

      // A pane shows only what its slider can reach, where that is less than the kind's range.
      KindRange range = RangeOfKind(*kind).value();
      if (slider) range.high = std::min(range.high, slider->maximum());
      const QFontMetrics metrics = control->fontMetrics();
      QString widest;
      for (int x = range.low; x <= range.high; ++x) {
        const QString text = QString::fromStdString(FormatValue(*kind, x).value());
        if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(widest)) widest = text;
      }
      // A line edit scrolls unless the text plus its cursor column fits; a label just clips.
      const QRect room = edit
                             ? LineEditTextRect(edit)
                             : pane->contentsRect().marginsRemoved(QMargins(
                                   pane->margin(), pane->margin(), pane->margin(), pane->margin()));
      const int needed = metrics.horizontalAdvance(widest) + (edit ? 1 : 0);
      EXPECT_LE(needed, room.width()) << '"' << widest.toStdString() << '"';
      EXPECT_LE(metrics.height(), room.height()) << "text taller than its box";
    }
  }
  // 46 bands with a gain, a frequency and a Q box; 59 value sliders with a pane of kind 6..19.
  EXPECT_EQ(seen.size(), 46 * 3 + 59);
}

TEST(DisplayFit, PhaseButtonShowsItsSignDarkAndCentred) {
  test::EnsureApplication();
  EditorPages editor;
  editor.SelectTab(2);
  editor.show();
  struct SignCase {
    const char* caption;
    bool enabled;
    bool vertical_stroke;
  };
  const SignCase cases[] = {
      {"+", true, true}, {"-", true, false}, {"+", false, true}, {"-", false, false}};
  auto* button = editor.Find<QPushButton>("EchoEffPhaseBtn");
  ASSERT_NE(button, nullptr);
  for (const SignCase& c : cases) {
    SCOPED_TRACE(std::string(c.caption) + (c.enabled ? " enabled" : " disabled"));
    button->setText(c.caption);
    button->setEnabled(c.enabled);
    const QImage image = button->grab().toImage();
    ASSERT_EQ(image.size(), QSize(15, 15));
    // Bounding box of the near-black pixels.
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) < 64) ink |= QRect(x, y, 1, 1);
      }
    }
    ASSERT_FALSE(ink.isEmpty()) << "no dark caption at all";
    EXPECT_GE(ink.width(), 5);
    if (c.vertical_stroke) {
      EXPECT_GE(ink.height(), 5);
    } else {
      EXPECT_LE(ink.height(), 3) << "a minus, not a plus";
    }
    // Centred within a pixel both ways (centre of the 15-pixel face: 7.5).
    EXPECT_LE(std::abs(ink.left() + ink.right() + 1 - 15), 2) << ink.left() << ".." << ink.right();
    EXPECT_LE(std::abs(ink.top() + ink.bottom() + 1 - 15), 2) << ink.top() << ".." << ink.bottom();
  }
}

}  // namespace
}  // namespace kc
