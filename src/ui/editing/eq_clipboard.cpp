#include "ui/editing/eq_clipboard.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

#include "eq/section_layout.h"
#include "model/mode_view.h"
#include "model/parameter_table.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_history.h"
#include "ui/editing/edit_session.h"
#include "ui/message_boxes.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

constexpr char kCopyButton[] = "EqCopyBtn";
constexpr char kPasteButton[] = "EqPasteBtn";

// Sections whose copies fit one another: the three full-range outputs, the two microphone
// groups, the two Music sets. Echo and Subwoofer only take their own.
int KindOf(int block) {
  switch (block) {
    case 5:
    case 7:
    case 8:
      return 5;
    case 2:
      return 1;
    default:
      return block;
  }
}

QString Join(const std::vector<EqSectionRef>& sections) {
  QStringList names;
  for (const EqSectionRef& s : sections) names << EqSectionCaption(s);
  return names.join(QStringLiteral("、"));
}

}  // namespace

const std::vector<EqSectionRef>& EqSections() {
  static const std::vector<EqSectionRef> sections = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {3, 0},
                                                     {5, 0}, {8, 0}, {7, 0}, {6, 0}};
  return sections;
}

QString EqSectionCaption(EqSectionRef section) {
  switch (section.block) {
    case 0:
      return section.set == 0 ? QStringLiteral("音乐（唱歌）") : QStringLiteral("音乐（舞蹈）");
    case 1:
      return QString::fromStdString(BlockTabCaption(section.set == 0 ? 1 : 2));
    default: {
      const BlockInfo* info = InfoOfBlock(section.block);
      return info != nullptr ? QString::fromStdString(BlockTabCaption(section.block)) : QString();
    }
  }
}

std::vector<int> PassFilterIndices(int block) {
  switch (block) {
    case 1:
    case 2:
      return {0};
    case 3:
      return {4, 5};
    case 5:
    case 7:
      return {16, 18};
    case 8:
      return {16};
    case 6:
      return {8, 10, 12, 14, 16, 18};
    default:
      return {};
  }
}

bool EqSectionsFit(EqSectionRef from, EqSectionRef to) {
  const BlockInfo* a = InfoOfBlock(from.block);
  const BlockInfo* b = InfoOfBlock(to.block);
  if (a == nullptr || b == nullptr || a->eq_bands == 0) return false;
  return a->eq_bands == b->eq_bands && KindOf(from.block) == KindOf(to.block);
}

std::vector<EqSectionRef> FittingSections(EqSectionRef from) {
  std::vector<EqSectionRef> fitting;
  for (const EqSectionRef& s : EqSections()) {
    if (EqSectionsFit(from, s)) fitting.push_back(s);
  }
  return fitting;
}

EqCopy CopyEqSection(const ParameterStore& store, EqSectionRef section) {
  EqCopy copy;
  copy.from = section;
  const BlockInfo* info = InfoOfBlock(section.block);
  if (info == nullptr) return copy;
  for (int k = 0; k < info->eq_bands; ++k) {
    std::array<int32_t, 5> band{};
    for (int f = 0; f < kBandFieldCount; ++f) {
      band[f] = store.Working(section.block, info->first_eq + 5 * k + f);
    }
    copy.bands.push_back(band);
  }
  for (int index : PassFilterIndices(section.block)) {
    copy.pass.emplace_back(index, store.Working(section.block, index));
  }
  return copy;
}

EqClipboard::EqClipboard(EditSession& session, EditHistory& history, MessageBoxes& boxes,
                         QObject* parent)
    : QObject(parent), session_(session), history_(history), boxes_(boxes) {
  EditorPages& pages = session_.pages();
  for (int page = 0; page <= kLastEqPage; ++page) {
    QWidget* sheet = pages.page(page);
    if (sheet == nullptr) continue;
    if (auto* copy = sheet->findChild<QPushButton*>(QLatin1String(kCopyButton))) {
      copy_buttons_.push_back(copy);
      connect(copy, &QAbstractButton::clicked, this, &EqClipboard::Copy);
    }
    if (auto* paste = sheet->findChild<QPushButton*>(QLatin1String(kPasteButton))) {
      paste_buttons_.push_back(paste);
      connect(paste, &QAbstractButton::clicked, this, &EqClipboard::Paste);
    }
  }
  // After the handlers (connected before), which switch the page, set or group.
  connect(&pages, &EditorPages::TabClicked, this, &EqClipboard::UpdateButtons);
  for (const char* name : {"SingModeBtn", "DiscoModeBtn", "MicABtn", "MicBBtn"}) {
    if (auto* button = pages.Find<QAbstractButton>(QString::fromLatin1(name))) {
      connect(button, &QAbstractButton::clicked, this, &EqClipboard::UpdateButtons);
    }
  }
  UpdateButtons();
}

std::optional<EqSectionRef> EqClipboard::SectionOnShow() const {
  const int page = session_.page();
  if (page < 0 || page > kLastEqPage) return std::nullopt;
  const std::optional<int> block = SectionBlockOf(session_.block());
  if (!block) return std::nullopt;
  const ParameterStore& store = session_.store();
  const int set = *block == 0 ? store.disco() : (*block == 1 ? store.mic_group() : 0);
  return EqSectionRef{*block, set};
}

void EqClipboard::Copy() {
  const std::optional<EqSectionRef> section = SectionOnShow();
  if (!section) return;
  copy_ = CopyEqSection(session_.store(), *section);
  UpdateButtons();
}

bool EqClipboard::Paste() {
  UpdateButtons();
  const std::optional<EqSectionRef> to = SectionOnShow();
  if (!copy_ || !to || !EqSectionsFit(copy_->from, *to)) return false;
  const QString question =
      QStringLiteral("将%1的EQ粘贴到%2?").arg(EqSectionCaption(copy_->from), EqSectionCaption(*to));
  if (!boxes_.YesNo(kHintCaption, question)) return false;
  // The question's own loop may have let the press's gesture end; the paste is a step of its
  // own whatever came before.
  history_.BeginGesture();
  Apply(*copy_, *to);
  history_.EndGesture();
  return true;
}

void EqClipboard::Apply(const EqCopy& copy, EqSectionRef to) {
  ParameterStore& store = session_.store();
  EditLink& link = session_.link();
  const BlockInfo& info = *InfoOfBlock(to.block);
  const int b = to.block;
  for (int k = 0; k < info.eq_bands && k < static_cast<int>(copy.bands.size()); ++k) {
    const int first = info.first_eq + 5 * k;
    bool changed = false;
    for (int f = 0; f < kBandFieldCount; ++f) {
      changed = changed || store.Working(b, first + f) != copy.bands[k][f];
    }
    if (!changed) continue;
    // Fields 0..3 into the store; the band frame that the last field's send makes carries the
    // whole band from there.
    for (int f = 0; f < kBandFieldCount - 1; ++f) {
      store.StoreValue(MakeId(b, first + f), copy.bands[k][f]);
    }
    link.SendEqBand(MakeId(b, first + kBandFieldCount - 1), copy.bands[k][kBandFieldCount - 1]);
  }
  const std::vector<int> own = PassFilterIndices(b);
  for (const auto& [index, value] : copy.pass) {
    if (std::find(own.begin(), own.end(), index) == own.end()) continue;
    if (store.Working(b, index) == value) continue;
    link.SendParam(MakeId(b, index), value);
  }
  session_.refresher().RefreshPages(b);
  session_.RedrawSection();
}

void EqClipboard::UpdateButtons() {
  const std::optional<EqSectionRef> on_show = SectionOnShow();
  QString tip;
  bool fits = false;
  if (!copy_) {
    tip = QStringLiteral("先在一个EQ页面按“复制EQ”，再到形状相同的页面粘贴");
  } else if (on_show && EqSectionsFit(copy_->from, *on_show)) {
    fits = true;
    tip = QStringLiteral("将%1的EQ（各频段与高/低通）粘贴到%2")
              .arg(EqSectionCaption(copy_->from), EqSectionCaption(*on_show));
  } else {
    tip = QStringLiteral("%1的EQ只能粘贴到：%2")
              .arg(EqSectionCaption(copy_->from), Join(FittingSections(copy_->from)));
  }
  for (QPushButton* paste : paste_buttons_) {
    paste->setEnabled(fits);
    paste->setToolTip(tip);
  }
  const QString copy_tip =
      on_show ? QStringLiteral("复制%1的EQ：各频段的类型、频率、增益、Q值，以及高/低通滤波器")
                    .arg(EqSectionCaption(*on_show))
              : QString();
  for (QPushButton* copy : copy_buttons_) copy->setToolTip(copy_tip);
}

}  // namespace kc
