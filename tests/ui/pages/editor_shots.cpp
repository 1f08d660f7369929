// Saves a picture of every editor page into the folder KC_SHOTS_DIR names (scripts/screenshots
// runs it; the test run does not). The pages show a mode with the longest texts they carry:
// five-digit frequencies in every band, four-digit filter frequencies and times in the panes.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QSlider>

#include "model/parameter_store.h"
#include "model/value_scales.h"
#include "qt_app.h"
#include "ui/binding/control_map.h"
#include "ui/binding/page_refresh.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

// A raw value with a long text for a control of a kind; n varies it from control to control.
int LongValue(int kind, int n, int slider_max) {
  switch (kind) {
    case kKindFrequency:
      return 324 + (n * 7) % 38;  // 10100.0Hz .. 20600.0Hz
    case kKindGain:
      return (n * 37) % 181;
    case kKindLowPass:
      return n % 2 ? 193 : 66;  // 20600.0Hz, 1780.0Hz
    case kKindEffectHighPass:
      return n % 2 ? 235 : 241;  // 1780.0Hz, 2000.0Hz
    case kKindThreshold:
      return 9;  // -11dBu
    default:
      return slider_max;
  }
}

// Fills the store through the control map: every bound edit box and value slider gets a value
// with a long text, manual operation is on, and every other phase is "+".
void FillWithLongTexts(const ControlMap& map, ParameterStore& store) {
  int n = 0;
  for (int block = 0; block < kBlockCount; ++block) {
    for (int index = 0; index < kWorkingColumns; ++index) {
      const ControlEntry& entry = map.At(block, index);
      if (map.IsPlaceholder(entry.primary)) continue;
      const int id = MakeId(block, index);
      ++n;
      if (qobject_cast<QLineEdit*>(entry.primary)) {
        store.StoreValue(id, LongValue(KindOfHint(HintOf(entry.primary).toStdString()).value_or(0),
                                       n, kMaxPeqQStep));
      } else if (auto* slider = qobject_cast<QSlider*>(entry.primary)) {
        const int kind = KindOfHint(HintOf(entry.secondary).toStdString()).value_or(0);
        store.StoreValue(id, kind >= kKindHighPass ? LongValue(kind, n, slider->maximum()) : 60);
      } else if (entry.primary->objectName().endsWith("PhaseBtn")) {
        store.StoreValue(id, n % 2);
      }
    }
  }
  store.StoreValue(MakeId(0, 0), 1);  // manual operation
}

TEST(EditorScreenshots, SavesEveryPageWhenAsked) {
  const QString dir = qEnvironmentVariable("KC_SHOTS_DIR");
  ASSERT_FALSE(dir.isEmpty()) << "set KC_SHOTS_DIR to the folder for the pictures";
  test::EnsureApplication();
  ASSERT_TRUE(QDir().mkpath(dir));
  EditorPages editor;
  const ControlMap map = BuildControlMap(editor);
  ParameterStore store;
  PageRefresher refresher(editor, store, map);
  FillWithLongTexts(map, store);
  refresher.RefreshPages(kAllBlocks);
  editor.show();
  for (int page = 0; page < EditorPages::kPageCount; ++page) {
    editor.SelectTab(page);  // tab Tags 0..7 lead to pages 0..7
    const QString file = QDir(dir).filePath(QString("page%1.png").arg(page));
    EXPECT_TRUE(editor.grab().save(file)) << file.toStdString();
  }
}

}  // namespace
}  // namespace kc
