// The parameter table against the editor's real pages: every name is a control there, and the
// kinds, ranges and choice captions that karaoke-ctl prints are the ones the pages carry, so the
// command line and the editor cannot drift apart.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

#include "model/parameter_table.h"
#include "model/value_scales.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

QString Name(const std::string& name) { return QString::fromStdString(name); }

TEST(ParameterTableOnThePages, NamesKindsRangesAndChoicesAreThePages) {
  EditorPages pages;
  for (const ParameterInfo& info : ParameterTable()) {
    SCOPED_TRACE(info.name);
    QWidget* control = pages.FindControl(Name(info.name));
    ASSERT_NE(control, nullptr);
    if (!info.secondary.empty()) EXPECT_NE(pages.FindControl(Name(info.secondary)), nullptr);
    switch (info.form) {
      case ValueForm::kScale:
        if (auto* slider = qobject_cast<QSlider*>(control)) {
          EXPECT_EQ(slider->minimum(), 0);
          EXPECT_EQ(slider->maximum(), info.max);
          QString pane = Name(info.name);
          pane.replace(pane.size() - 3, 3, QStringLiteral("Pane"));
          QWidget* pane_control = pages.FindControl(pane);
          ASSERT_NE(pane_control, nullptr);
          if (info.kind != kKindNone) EXPECT_EQ(HintOf(pane_control), QString::number(info.kind));
        } else {
          ASSERT_NE(qobject_cast<QLineEdit*>(control), nullptr);
          EXPECT_EQ(HintOf(control), QString::number(info.kind));
        }
        break;
      case ValueForm::kPeqQ:
      case ValueForm::kShelfQ:
        ASSERT_NE(qobject_cast<QLineEdit*>(control), nullptr);
        EXPECT_EQ(HintOf(control), QString::number(kKindQ));
        break;
      case ValueForm::kBandType:
      case ValueForm::kList: {
        auto* box = qobject_cast<QComboBox*>(control);
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->count(), static_cast<int>(info.choices.size()));
        for (int i = 0; i < box->count(); ++i) {
          EXPECT_EQ(box->itemText(i).toStdString(), info.choices[static_cast<size_t>(i)]);
        }
        break;
      }
      case ValueForm::kRadio: {
        auto* first = qobject_cast<QAbstractButton*>(control);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(first->group(), nullptr);
        int matched = 0;
        for (QAbstractButton* button : first->group()->buttons()) {
          const int position = HintOf(button).toInt();
          if (button->text().isEmpty()) continue;  // hidden buttons without a caption
          ASSERT_LT(position, static_cast<int>(info.choices.size()));
          EXPECT_EQ(button->text().toStdString(), info.choices[static_cast<size_t>(position)]);
          ++matched;
        }
        EXPECT_EQ(matched, static_cast<int>(info.choices.size()));
        break;
      }
      case ValueForm::kPair: {
        // The first choice is the button that stands for 0.
        auto* zero = qobject_cast<QAbstractButton*>(
            pages.FindControl(Name(info.name == "AutoModeBtn" ? info.name : info.secondary)));
        auto* other = qobject_cast<QAbstractButton*>(
            pages.FindControl(Name(info.name == "AutoModeBtn" ? info.secondary : info.name)));
        ASSERT_TRUE(zero && other);
        EXPECT_EQ(zero->text().toStdString(), info.choices[0]);
        EXPECT_EQ(other->text().toStdString(), info.choices[1]);
        break;
      }
      case ValueForm::kPhase:
      case ValueForm::kSwitch:
        EXPECT_NE(qobject_cast<QAbstractButton*>(control), nullptr);
        break;
      case ValueForm::kModeNumber:
        EXPECT_NE(qobject_cast<QComboBox*>(control), nullptr);
        break;
    }
  }
}

}  // namespace
}  // namespace kc

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
