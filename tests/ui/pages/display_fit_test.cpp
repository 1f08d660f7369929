// What the value controls and phase buttons show must be readable: the widest text a control's
// display kind can produce fits its text area whole, and a phase button's sign is a dark, centred
// mark of several pixels.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

#include "editor_fixture.h"
#include "model/value_scales.h"
#include "qt_app.h"
#include "ui/binding/control_map.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

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

TEST(DisplayFit, PhaseButtonShowsItsSignCentredBlackOrInTheDisabledColour) {
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
    // Bounding box of the sign's pixels: black on an enabled button, the disabled text grey
    // (80, 80, 80) on a disabled one, which no frame or face pixel has.
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const int grey = qGray(image.pixel(x, y));
        if (c.enabled ? grey < 64 : std::abs(grey - 80) <= 8) ink |= QRect(x, y, 1, 1);
        if (!c.enabled) EXPECT_GE(grey, 72) << "black left on a disabled sign at " << x << "," << y;
      }
    }
    ASSERT_FALSE(ink.isEmpty()) << "no sign at all";
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

// WCAG contrast ratio of two colours.
double Luminance(const QColor& c) {
  auto channel = [](double v) {
    v /= 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The commonest colour of an area (its background) and the colour that differs most from it
// (the strongest pixel of its text).
std::pair<QColor, QColor> BackgroundAndInk(const QImage& image, const QRect& area) {
  QMap<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
  }
  QRgb background = 0;
  int most = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > most) {
      most = it.value();
      background = it.key();
    }
  }
  QColor ink = QColor::fromRgb(background);
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (Contrast(QColor::fromRgb(it.key()), QColor::fromRgb(background)) >
        Contrast(ink, QColor::fromRgb(background))) {
      ink = QColor::fromRgb(it.key());
    }
  }
  return {QColor::fromRgb(background), ink};
}

class DisabledTexts : public ::testing::Test, public test::EditorFixture {};

TEST_F(DisabledTexts, ReadAtFourAndAHalfToOneOrBetter) {
  Load(MakeId(0, 0), 0);  // automatic: the Music EQ fields are disabled
  struct Case {
    const char* name;
    int tab;  // FormTabBtn number
  };
  const Case cases[] = {
      {"MusFreEdit1", 1}, {"MusGainEdit3", 1},        {"MusQEdit10", 1},
      {"MusModeBox2", 1}, {"SysMusInputLevelBox", 1}, {"RzBmpButton138", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClickTab(c.tab);
    QWidget* control = W(c.name);
    ASSERT_NE(control, nullptr);
    ASSERT_FALSE(control->isEnabled());
    const QImage shot = control->grab().toImage();
    // The text area: inside the frame, clear of a list's arrow.
    const QRect area = shot.rect().adjusted(2, 2, qobject_cast<QComboBox*>(control) ? -18 : -2, -2);
    const auto [background, ink] = BackgroundAndInk(shot, area);
    EXPECT_GE(Contrast(background, ink), 4.5)
        << "ink " << ink.name().toStdString() << " on " << background.name().toStdString();
    // Still told apart from an enabled text, which is black.
    EXPECT_GT(qGray(ink.rgb()), 40);
  }
}

TEST(DisplayFit, BandNumbersAreLightOnADarkPointAndFitIt) {
  test::EnsureApplication();
  EditorPages editor;
  editor.show();
  struct Case {
    int handle;
    const char* number;
  };
  const Case cases[] = {{0, "1"}, {8, "9"}, {9, "10"}, {10, "11"}, {14, "15"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    QLabel* point = editor.point_handles()[c.handle];
    ASSERT_EQ(point->text(), QString::fromLatin1(c.number));
    ASSERT_EQ(point->size(), QSize(14, 14));
    point->show();
    // On the graph's background, as it is seen; the face is the commonest colour.
    QImage shot(point->size(), QImage::Format_RGB32);
    shot.fill(QColor(21, 21, 21));
    {
      QPainter painter(&shot);
      painter.drawImage(0, 0, point->grab().toImage());
    }
    const auto [face, ink] = BackgroundAndInk(shot, shot.rect());
    EXPECT_GE(Contrast(face, ink), 4.5)
        << ink.name().toStdString() << " on " << face.name().toStdString();
    EXPECT_GT(qGray(ink.rgb()), qGray(face.rgb())) << "light digits on a dark face";
    // The digits' pixels (within half the way from face to ink) lie inside the ring.
    QRect digits;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        if (qGray(shot.pixel(x, y)) > (qGray(face.rgb()) + qGray(ink.rgb())) / 2 &&
            QRect(2, 2, 10, 10).contains(x, y)) {
          digits |= QRect(x, y, 1, 1);
        }
      }
    }
    ASSERT_FALSE(digits.isEmpty());
    EXPECT_GE(digits.height(), 6) << "digits too small to read";
    EXPECT_GE(digits.left(), 2);
    EXPECT_LE(digits.right(), 11);
  }
}

TEST(DisplayFit, ModeNamesOfTwentyCharactersFitTheModeList) {
  test::EnsureApplication();
  EditorPages editor;
  editor.SelectTab(7);
  editor.show();
  auto* box = editor.Find<QComboBox>("SysModeBox");
  ASSERT_NE(box, nullptr);
  box->ensurePolished();
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = false;
  const QRect field =
      box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
  // Item texts as the list shows them: number, dash, a name of up to 20 characters.
  const char* const items[] = {"15-Large Room Evening 2", "12-KTV Room Party Mix 3",
                               "9-Outdoor Stage Live 4", "14-Small Room Ballads 1"};
  for (const char* item : items) {
    SCOPED_TRACE(item);
    const QString text = QString::fromLatin1(item);
    ASSERT_EQ(text.mid(text.indexOf('-') + 1).size(), 20);
    EXPECT_LE(box->fontMetrics().horizontalAdvance(text), field.width());
  }
}

}  // namespace
}  // namespace kc
