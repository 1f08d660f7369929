// Saves a picture of every editor page when KC_SHOTS_DIR names a folder; skipped otherwise, so the
// normal test run writes nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>

#include "qt_app.h"
#include "ui/editor_pages.h"

namespace kc {
namespace {

TEST(EditorScreenshots, SavesEveryPageWhenAsked) {
  const QString dir = qEnvironmentVariable("KC_SHOTS_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "KC_SHOTS_DIR not set";
  test::EnsureApplication();
  ASSERT_TRUE(QDir().mkpath(dir));
  EditorPages editor;
  editor.show();
  for (int page = 0; page < EditorPages::kPageCount; ++page) {
    editor.SelectTab(page);  // tab Tags 0..7 lead to pages 0..7
    const QString file = QDir(dir).filePath(QString("page%1.png").arg(page));
    EXPECT_TRUE(editor.grab().save(file)) << file.toStdString();
  }
}

}  // namespace
}  // namespace kc
