// Pages 3 Main output, 4 Centre, 5 Subwoofer and 6 Rear.
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "ui/pages/page_builders.h"

namespace kc {
namespace {

// Level and compressor rows, alike on the four output pages; %1 is the page prefix.
constexpr ValueRow kLevelRows[] = {
    {"音乐音量：", "%1MusLevelBar", "100", true},
    {"直达声音量：", "%1MicLevelBar", "100", true},
    {"回声效果音量：", "%1EchoLevelBar", "100", true},
    {"混响效果音量：", "%1RvbLevelBar", "100", true},
};
constexpr ValueRow kCompressorRows[] = {
    {"启动电平：", "%1RmsLevelBar", "-20"},
    {"启动时间：", "%1RmsAttackBar", "90.0"},
    {"释放时间：", "%1RmsReleaseBar", "32"},
    {"压缩比例：", "%1RmsRatioBar", "100.0"},
};

struct MuteLayout {
  const char* caption;
  const char* name;  // nullptr: no button
};

// The channel group of the Main output, Centre and Rear pages.
struct ChannelLayout {
  int page;
  const char* prefix;
  std::array<MuteLayout, 2> mutes;
  std::array<ValueRow, 2> delays;  // slider nullptr: no row
  const char* slope;               // first button of the high-pass slope pair, or nullptr
};

constexpr ChannelLayout kChannels[] = {
    {3,
     "Main",
     {{{"左：", "MainLmuteBtn"}, {"右：", "MainRmuteBtn"}}},
     {{{"左通道延时时间：", "MainLdelayBar", "100"}, {"右通道延时时间：", "MainRdelayBar", "100"}}},
     "MainMusHPslope"},
    {4,
     "Center",
     {{{"中置：", "CentermuteBtn"}, {nullptr, nullptr}}},
     {{{"中置延时时间：", "CenterdelayBar", "100"}, {nullptr, nullptr, nullptr}}},
     "CenterMusHPslope"},
    {6,
     "Sur",
     {{{"左：", "SurLmuteBtn"}, {"右：", "SurRmuteBtn"}}},
     {{{"左通道延时时间：", "SurLdelayBar", "100"}, {"右通道延时时间：", "SurRdelayBar", "100"}}},
     nullptr},
};

constexpr int kLevelX = 2;
constexpr int kLevelWidth = 160;
constexpr int kCompressorX = 166;
constexpr int kCompressorWidth = 140;
constexpr int kChannelX = 310;
constexpr int kChannelWidth = 200;

// A row of one or two captions, each with a "静音" mute button; returns the next free y.
int AddMuteRow(ControlFactory& make, QWidget* group, const std::array<MuteLayout, 2>& mutes,
               int y) {
  for (int i = 0; i < 2; ++i) {
    if (!mutes[i].name) continue;
    const int x = 8 + i * 92;
    make.Label(group, QString(), QRect(x, y + 2, 40, 16), QString::fromUtf8(mutes[i].caption));
    make.TwoState(group, mutes[i].name, QRect(x + 40, y, 48, 20), "静音", "0");
  }
  return y + 26;
}

void BuildChannelGroup(ControlFactory& make, QWidget* page, const ChannelLayout& entry) {
  QGroupBox* group = make.Group(
      page, QString(), QRect(kChannelX, kSectionTop, kChannelWidth, kSectionHeight), QString());
  int y = AddMuteRow(make, group, entry.mutes, 18);
  for (const ValueRow& row : entry.delays) {
    if (!row.slider) continue;
    AddValueRow(make, group, row, QString(), y, kChannelWidth);
    y += kValueRowHeight;
  }
  if (entry.slope) {
    make.Label(group, QString(), QRect(8, y + 4, 76, 16), "波特率斜率：");
    auto* slope = new QButtonGroup(group);
    const QString first = QString::fromLatin1(entry.slope);
    QRadioButton* gentle =
        make.Radio(group, slope, first, QRect(84, y + 2, 56, 20), "12dB", "0", 0);
    gentle->setChecked(true);
    SetOwnTip(gentle, "高通斜率：每倍频程 12 分贝");
    SetOwnTip(make.Radio(group, slope, first + "2", QRect(140, y + 2, 56, 20), "24dB", "1", 0),
              "高通斜率：每倍频程 24 分贝");
    y += 26;
  }
  const ValueRow high_pass = {"高通：", "%1MusHPFreBar", "500.0Hz"};
  AddValueRow(make, group, high_pass, QString::fromLatin1(entry.prefix), y, kChannelWidth);
}

}  // namespace

void BuildOutputPage(ControlFactory& make, QWidget* page, int page_index) {
  for (const ChannelLayout& entry : kChannels) {
    if (entry.page != page_index) continue;
    const QString prefix = QString::fromLatin1(entry.prefix);
    AddRowGroup(make, page, QRect(kLevelX, kSectionTop, kLevelWidth, kSectionHeight), kLevelRows,
                prefix);
    AddRowGroup(make, page, QRect(kCompressorX, kSectionTop, kCompressorWidth, kSectionHeight),
                kCompressorRows, prefix);
    BuildChannelGroup(make, page, entry);
  }
  BuildEqSection(make, page, page_index);
  AddDivider(page);
}

void BuildSubwooferPage(ControlFactory& make, QWidget* page) {
  static constexpr ValueRow kSubLevels[] = {
      {"音乐音量：", "SubMusLevelBar", "100", true},
      {"直达声音量：", "SubMicLevelBar", "100", true},
  };
  QGroupBox* levels = make.Group(
      page, QString(), QRect(kLevelX, kSectionTop, kLevelWidth, kSectionHeight), QString());
  int y = 18;
  for (const ValueRow& row : kSubLevels) {
    AddValueRow(make, levels, row, QString(), y, kLevelWidth);
    y += kValueRowHeight;
  }
  y = AddMuteRow(make, levels, {{{"超低：", "SubmuteBtn"}, {nullptr, nullptr}}}, y + 2);
  const ValueRow delay = {"超低延时时间：", "SubdelayBar", "100"};
  AddValueRow(make, levels, delay, QString(), y, kLevelWidth);

  AddRowGroup(make, page, QRect(kCompressorX, kSectionTop, kCompressorWidth, kSectionHeight),
              kCompressorRows, "Sub");

  // High-pass and low-pass groups: frequency, user Q and filter type.
  struct FilterLayout {
    const char* frequency_caption;
    const char* frequency;
    const char* user_q;
    const char* type;
    int type_index;
    int x;
  };
  static constexpr FilterLayout kFilters[] = {
      {"高通频点：", "SubMusHPFreBar", "SubMusHPuserQBar", "SubMusHPType", 1, 310},
      {"低通频点：", "SubMusLPFreBar", "SubMusLPuserQBar", "SubMusLPType", 0, 480},
  };
  static const QStringList kFilterTypes = {"Besell 24dB", "Butterworth 24dB", "Link Riley 24dB",
                                           "USER 12dB", "USER 24dB"};
  constexpr int kFilterWidth = 166;
  for (const FilterLayout& filter : kFilters) {
    QGroupBox* group = make.Group(
        page, QString(), QRect(filter.x, kSectionTop, kFilterWidth, kSectionHeight), QString());
    const ValueRow frequency = {filter.frequency_caption, filter.frequency, "500.0Hz"};
    const ValueRow user_q = {"滤波器Q值：", filter.user_q, "1.0"};
    AddValueRow(make, group, frequency, QString(), 18, kFilterWidth);
    AddValueRow(make, group, user_q, QString(), 18 + kValueRowHeight, kFilterWidth);
    make.Label(group, QString(), QRect(8, 18 + 2 * kValueRowHeight + 2, 150, 16), "滤波器类型：");
    QComboBox* type =
        make.DropDown(group, filter.type, QRect(6, 18 + 2 * kValueRowHeight + 20, 154, 22),
                      kFilterTypes, filter.type_index);
    // Besell, Butterworth and Link Riley are fixed slopes; USER takes the Q above.
    SetOwnTip(type, "滤波器类型：USER 使用上方的滤波器Q值");
  }

  BuildEqSection(make, page, 5);
  AddDivider(page);
}

}  // namespace kc
