// Pages 0 Music, 1 Microphone and 2 Effect, and the value-row helper every audio page uses.
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <span>

#include "model/parameter_table.h"
#include "model/value_scales.h"
#include "ui/pages/page_builders.h"

namespace kc {

namespace {

constexpr int kPaneWidth = 48;
constexpr int kPhaseSize = 15;
constexpr int kFirstRowY = 18;

}  // namespace

QString PhaseNameOf(const QString& slider) {
  QString phase = slider;
  return phase.replace("LevelBar", "PhaseBtn");
}

QWidget* AddValueRow(ControlFactory& make, QWidget* group, const ValueRow& row,
                     const QString& prefix, int y, int group_width) {
  QString slider_name = QString::fromLatin1(row.slider);
  slider_name.replace("%1", prefix);
  const int extra = row.phase ? kPhaseSize + 4 : 0;
  const int slider_width = group_width - 6 - 2 - kPaneWidth - extra - 6;
  make.Label(group, QString(), QRect(8, y, group_width - 12, 15), QString::fromUtf8(row.caption));
  // Every value row shows a parameter of the table; its range and kind are the table's.
  const ParameterInfo* info = FindParameterByName(slider_name.toStdString());
  const int max = info != nullptr ? info->max : 0;
  const int kind = info != nullptr ? info->kind : kKindNone;
  QSlider* slider =
      make.Slider(group, slider_name, QRect(6, y + 15, slider_width, 18), max, row.position);
  const int pane_x = 6 + slider_width + 2;
  make.Pane(group, PaneNameOf(slider_name), QRect(pane_x, y + 15, kPaneWidth, 18),
            QString::fromLatin1(row.text), QString::number(kind));
  if (row.phase) {
    make.Sign(group, PhaseNameOf(slider_name),
              QRect(pane_x + kPaneWidth + 4, y + 16, kPhaseSize, kPhaseSize), "+", "0");
  }
  return slider;
}

void AddDivider(QWidget* page) {
  auto* line = new QFrame(page);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Plain);
  line->setLineWidth(1);
  line->setGeometry(kDividerX, kSectionTop + 4, 1, 198);
}

void AddRowGroup(ControlFactory& make, QWidget* page, const QRect& rect,
                 std::span<const ValueRow> rows, const QString& prefix) {
  QGroupBox* group = make.Group(page, QString(), rect, QString());
  int y = kFirstRowY;
  for (const ValueRow& row : rows) {
    AddValueRow(make, group, row, prefix, y, rect.width());
    y += kValueRowHeight;
  }
}

void BuildMusicPage(ControlFactory& make, QWidget* page) {
  QGroupBox* input =
      make.Group(page, QString(), QRect(2, kSectionTop, 166, kSectionHeight), "音乐输入");
  make.Label(input, QString(), QRect(10, 24, 150, 16), "音乐输入端口：");
  auto* port_group = new QButtonGroup(input);
  QRadioButton* port1 =
      make.Radio(input, port_group, "SysInput", QRect(20, 46, 56, 22), "1", "0", 0);
  port1->setChecked(true);
  SetOwnTip(port1, "音乐输入端口 1");
  SetOwnTip(make.Radio(input, port_group, "SysInput2", QRect(86, 46, 56, 22), "2", "1", 2318),
            "音乐输入端口 2");

  make.Label(input, QString(), QRect(10, 84, 150, 16), "音乐输入增益：");
  // Enabled only in administrator mode; the window starts in user mode.
  QGroupBox* sign = make.Group(input, "SignRzGroup", QRect(8, 104, 150, 40), QString());
  SetEnabledBecause(sign, false, kAdministratorReason);
  make.DropDown(sign, "SysMusInputLevelBox", QRect(10, 9, 100, 22), {"0dB", "3dB", "6dB"}, 0);
  auto* level_group = new QButtonGroup(sign);
  static constexpr const char* kLevelNames[] = {"SysMusInputLevel", "SysMusInputLevel2",
                                                "SysMusInputLevel3"};
  for (int i = 0; i < 3; ++i) {
    make.Radio(sign, level_group, kLevelNames[i], QRect(10 + 40 * i, 9, 36, 20), QString(),
               QString::number(i), 2307)
        ->hide();
  }

  BuildEqSection(make, page, 0);
  AddDivider(page);
}

void BuildMicrophonePage(ControlFactory& make, QWidget* page) {
  QGroupBox* group =
      make.Group(page, QString(), QRect(2, kSectionTop, 166, kSectionHeight), QString());
  make.Label(group, QString(), QRect(10, 10, 150, 16), "麦克风反馈抑制：");
  auto* fbe = new QButtonGroup(group);
  // "OFF" needs a wider button than the digits.
  static constexpr const char* kFbeCaptions[] = {"OFF", "1", "2", "3"};
  static constexpr const char* kFbeTips[] = {"反馈抑制：关闭", "反馈抑制：1 档（最弱）",
                                             "反馈抑制：2 档", "反馈抑制：3 档（最强）"};
  static constexpr int kFbeX[] = {8, 60, 96, 132};
  static constexpr int kFbeWidth[] = {50, 34, 34, 34};
  for (int i = 0; i < 4; ++i) {
    QRadioButton* radio =
        make.Radio(group, fbe, QString("MicFBERadioBtn%1").arg(i + 1),
                   QRect(kFbeX[i], 30, kFbeWidth[i], 20), kFbeCaptions[i], QString::number(i), 257);
    SetOwnTip(radio, QString::fromUtf8(kFbeTips[i]));
    if (i == 0) radio->setChecked(true);
  }

  static constexpr ValueRow kHighPass = {"麦克风高通：", "MicHPFreBar", "500.0Hz", false, 100};
  AddValueRow(make, group, kHighPass, QString(), 60, 166);

  make.Label(group, QString(), QRect(10, 112, 150, 16), "麦克风(组选择):");
  QPushButton* a = make.TwoState(group, "MicABtn", QRect(8, 134, 74, 24), "麦克风A组", "0", 256);
  QPushButton* b = make.TwoState(group, "MicBBtn", QRect(86, 134, 74, 24), "麦克风B组", "1", 256);
  auto* pair = new QButtonGroup(group);
  pair->addButton(a);
  pair->addButton(b);
  a->setChecked(true);

  BuildEqSection(make, page, 1);
  AddDivider(page);
}

void BuildEffectPage(ControlFactory& make, QWidget* page) {
  static constexpr ValueRow kEchoLevels[] = {
      {"回声效果音量：", "EchoEffLevelBar", "100", true},
      {"回声直达声音量：", "EchoDirectLevelBar", "100", true},
      {"回声高通：", "EchoHPFreBar", "500.0Hz"},
      {"回声低通：", "EchoLPFreBar", "500.0Hz"},
  };
  static constexpr ValueRow kEchoDelays[] = {
      {"回声预延时：", "EchoPreDelayBar", "-20"},
      {"回声延时：", "EchoTimeBar", "90.0"},
      {"回声重复比率：", "EchoRepeatBar", "32"},
      {"回声右通道预延时：", "EchoRPreDelayBar", "100.0"},
      {"回声右通道延时：", "EchoRTimeBar", "100.0"},
  };
  static constexpr ValueRow kReverbLevels[] = {
      {"混响效果音量：", "RvbEffLevelBar", "100", true},
      {"混响直达声音量：", "RvbDirectLevelBar", "100", true},
      {"混响高通：", "RvbHPFreBar", "500.0Hz"},
      {"混响低通：", "RvbLPFreBar", "500.0Hz"},
  };
  static constexpr ValueRow kReverbTime[] = {
      {"混响预延时：", "RvbPreDelayBar", "-20"},
      {"混响时间：", "RvbTimeBar", "90.0"},
  };
  constexpr int kWidth = 160;
  AddRowGroup(make, page, QRect(2, kSectionTop, kWidth, kSectionHeight), kEchoLevels);
  AddRowGroup(make, page, QRect(164, kSectionTop, kWidth, kSectionHeight), kEchoDelays);
  AddRowGroup(make, page, QRect(326, kSectionTop, kWidth, kSectionHeight), kReverbLevels);
  AddRowGroup(make, page, QRect(488, kSectionTop, kWidth, kSectionHeight), kReverbTime);
  BuildEqSection(make, page, 2);
  AddDivider(page);
}

}  // namespace kc
