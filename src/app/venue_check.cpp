#include "app/venue_check.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cli/box_session.h"
#include "cli/local_files.h"
#include "link/box_image.h"
#include "link/link.h"
#include "modes/mode_file.h"
#include "venue/plan.h"

namespace kc {
namespace {

// A box backup is a few kilobytes; anything much larger is not one.
constexpr std::uintmax_t kBaselineByteLimit = 8u << 20;

}  // namespace

std::optional<Baseline> ReadBaseline(const std::filesystem::path& path, bool* missing,
                                     std::string* error) {
  std::error_code code;
  *missing = !std::filesystem::exists(path, code);
  if (*missing) {
    *error = path.string() + ": no baseline";
    return std::nullopt;
  }
  Baseline baseline;
  if (IsBoxBackupPath(path.string())) {
    if (std::filesystem::file_size(path, code) > kBaselineByteLimit || code) {
      *error = path.string() + ": cannot read (missing, a folder or over 8 MiB)";
      return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
      *error = path.string() + ": cannot read";
      return std::nullopt;
    }
    const std::optional<BoxBackup> backup = ParseBoxBackup(text, path.string(), error);
    if (!backup) return std::nullopt;
    baseline.image = StoreOfBackup(*backup);
    baseline.with_system = true;
    return baseline;
  }
  const ModeFileCheck check = ReadModeFile(path);
  if (!check.ok()) {
    *error = path.string() + ": " + std::string(ModeStatusChinese(check.status()));
    return std::nullopt;
  }
  ApplyModeEntries(check.entries, baseline.image);
  baseline.image.set_disco(baseline.image.Device(0, 1));
  baseline.image.RebuildWorkingTable();
  return baseline;
}

BoxBackup BackupOfBox(const ParameterStore& store, const Link& link, const std::string& venue,
                      const std::string& room) {
  BoxBackup backup;
  backup.program_version = QCoreApplication::applicationVersion().toStdString();
  QDateTime now = QDateTime::currentDateTime();
  now.setOffsetFromUtc(now.offsetFromUtc());
  backup.date = now.toString(Qt::ISODate).toStdString();
  backup.venue = venue;
  backup.room = room;
  backup.identity = link.device_id();
  backup.current_mode = store.Device(kSystemBlock, 0x02);
  backup.mode_names = link.mode_names();
  for (int item : kUserSystemItems) backup.system_items[item] = store.Device(kSystemBlock, item);
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      backup.blocks[block][slot] = store.Device(block, slot);
    }
  }
  return backup;
}

bool SaveBoxBackup(const std::filesystem::path& path, const BoxBackup& backup, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(path.parent_path(), code);
  if (code) {
    *error = path.parent_path().string() + ": " + code.message();
    return false;
  }
  // karaoke-ctl's writer: beside its name, created exclusively, renamed into place when whole.
  cli::StagedFile file;
  if (!file.Open(path.string(), error)) return false;
  file.stream() << WriteBoxBackup(backup);
  return file.Commit(error);
}

std::filesystem::path FreshBackupPath(const std::filesystem::path& folder,
                                      const std::string& identity) {
  const std::string stamp =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss")).toStdString();
  std::filesystem::path path = folder / (identity + "_" + stamp + std::string(kBoxBackupExtension));
  for (int n = 2; std::filesystem::exists(path); ++n) {
    path = folder /
           (identity + "_" + stamp + "_" + std::to_string(n) + std::string(kBoxBackupExtension));
  }
  return path;
}

RoomCheck::RoomCheck(VenueRoom room, std::filesystem::path baseline, QObject* parent)
    : QObject(parent), room_(std::move(room)), baseline_(std::move(baseline)) {}

RoomCheck::~RoomCheck() = default;

void RoomCheck::Start() {
  bool missing = false;
  std::string error;
  const std::optional<Baseline> baseline = ReadBaseline(baseline_, &missing, &error);
  if (!baseline) {
    // Nothing to compare with: the box is not read at all. Reported once the caller has its
    // check back, as every result is.
    const Result result = missing ? Result::kNoBaseline : Result::kBadBaseline;
    const QString detail = QString::fromStdString(error);
    QTimer::singleShot(0, this, [this, result, detail] { Finish(result, 0, detail); });
    return;
  }
  session_ = std::make_unique<cli::BoxSession>(room_.port, nullptr);
  session_->SetExpectedIdentity(room_.identity);
  session_->SetFinished(
      [this, image = baseline->image, with_system = baseline->with_system](cli::BoxSession& done) {
        if (!done.ok()) {
          Finish(Result::kUnreadable, 0, QString::fromStdString(done.failure()));
          return;
        }
        const Plan plan = MakePlan(done.store(), image, with_system);
        const int count = static_cast<int>(plan.differences.size());
        Finish(count == 0 ? Result::kSame : Result::kDifferent, count,
               QString::fromStdString(baseline_.string()));
      });
  session_->StartDownload();
}

void RoomCheck::Finish(Result result, int differences, QString detail) {
  if (done_) return;
  done_ = true;
  result_ = result;
  differences_ = differences;
  detail_ = std::move(detail);
  if (finished_) finished_(*this);
}

QString RoomCheck::Words() const {
  switch (result_) {
    case Result::kUnchecked:
      return QStringLiteral("未检查");
    case Result::kSame:
      return QStringLiteral("一致");
    case Result::kDifferent:
      return QStringLiteral("%1 项不同").arg(differences_);
    case Result::kNoBaseline:
      return QStringLiteral("无基准");
    case Result::kBadBaseline:
      return QStringLiteral("基准文件损坏");
    case Result::kUnreadable:
      break;
  }
  return QStringLiteral("无法读取");
}

}  // namespace kc
