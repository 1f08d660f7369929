#include "modes/mode_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "modes/scramble.h"

namespace kc {

namespace fs = std::filesystem;

namespace {

// A complete mode is about 16 KB; a file a few hundred times that size cannot be one, and reading
// it whole would only waste memory.
constexpr std::uintmax_t kMaxModeFileBytes = kModeFileByteLimit;

std::string PlatformError(int error_number, std::string_view fallback) {
  // errno values are generic codes; the system category would read them as the platform's own.
  if (error_number != 0) return std::generic_category().message(error_number);
  return std::string(fallback);
}

// Lines end at LF; the CR of a CR LF end is dropped. A final LF does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

// Word 1 of a plain line as a decimal, if the line has it.
std::optional<int32_t> NumberAfterWord(std::string_view plain) {
  const std::vector<std::string_view> words = SplitWords(plain);
  if (words.size() < 2) return std::nullopt;
  return ParseDecimal(words[1]);
}

int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Applies the entries with the diagnostic log the editor keeps of them.
void ApplyEntries(const std::vector<ModeEntry>& entries, ParameterStore& store,
                  const ModeHooks& hooks) {
  if (hooks.clear_log) hooks.clear_log();
  if (!hooks.append_log) {
    ApplyModeEntries(entries, store);
    return;
  }
  ApplyModeEntries(entries, store, [&hooks](const ModeEntry& entry) {
    hooks.append_log(std::to_string(MakeId(entry.block, entry.slot)) + " " +
                     std::to_string(entry.value));
  });
}

// Reads a file's bytes into `text`, stopping one byte past kModeFileByteLimit.
ModeFileCheck::Reason ReadWholeText(const fs::path& path, std::string* text) {
  using Reason = ModeFileCheck::Reason;
  text->clear();
  std::error_code ec;
  if (fs::is_directory(path, ec)) return Reason::kNoFile;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    // A file that is there but does not open (no permission, a lock) is not missing.
    return fs::exists(path, ec) ? Reason::kUnreadable : Reason::kNoFile;
  }
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > kMaxModeFileBytes) return Reason::kTooLarge;
  // Read no more than one byte past the limit even where the size is not known beforehand (a
  // pipe, a device, a file that grows while it is read).
  char chunk[64 * 1024];
  while (in && text->size() <= kMaxModeFileBytes) {
    in.read(chunk, sizeof chunk);
    text->append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return Reason::kUnreadable;
  if (text->size() > kMaxModeFileBytes) {
    text->clear();
    return Reason::kTooLarge;
  }
  return Reason::kOk;
}

bool IsDeviceName(std::string_view name) {
  // The part before the first dot, with trailing spaces dropped, is what the platform compares.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper;
  for (char c : stem) upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kPlain) {
    if (upper == device) return true;
  }
  if (upper.size() < 4) return false;
  const std::string_view prefix = std::string_view(upper).substr(0, 3);
  if (prefix != "COM" && prefix != "LPT") return false;
  const std::string_view digit = std::string_view(upper).substr(3);
  if (digit.size() == 1) return digit[0] >= '1' && digit[0] <= '9';
  // Superscript one, two and three count as digits there as well.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::string_view ModeStatusChinese(ModeStatus status) {
  switch (status) {
    case ModeStatus::kOk:
      return {};
    case ModeStatus::kFileMissing:
      return "文件不存在";
    case ModeStatus::kFormatError:
      return "文件格式错误!";
    case ModeStatus::kCorrupt:
      return "数据文件损坏!";
    case ModeStatus::kBadName:
      return "文件名无效!";
    case ModeStatus::kWriteFailed:
      return "文件写入失败!";
    case ModeStatus::kReadFailed:
      return "文件读取失败!";
  }
  return {};
}

std::string_view ModeStatusEnglish(ModeStatus status) {
  switch (status) {
    case ModeStatus::kOk:
      return {};
    case ModeStatus::kFileMissing:
      return "File not find!";
    case ModeStatus::kFormatError:
      return "File format error!";
    case ModeStatus::kCorrupt:
      return "Data file is corrupted!";
    case ModeStatus::kBadName:
      return "Invalid file name!";
    case ModeStatus::kWriteFailed:
      return "File write failed!";
    case ModeStatus::kReadFailed:
      return "File read failed!";
  }
  return {};
}

ModeStatus ModeFileCheck::status() const {
  switch (reason) {
    case Reason::kOk:
      return ModeStatus::kOk;
    case Reason::kNoFile:
      return ModeStatus::kFileMissing;
    case Reason::kUnreadable:
      return ModeStatus::kReadFailed;
    case Reason::kNoHeader:
    case Reason::kWrongDevice:
    case Reason::kNoVersion:
      return ModeStatus::kFormatError;
    case Reason::kTooLarge:
    case Reason::kTooShort:
    case Reason::kUnreadableLine:
    case Reason::kWrongCount:
    case Reason::kNoChecksum:
    case Reason::kBadEntry:
    case Reason::kNoSuchSlot:
    case Reason::kWrongChecksum:
      return ModeStatus::kCorrupt;
  }
  return ModeStatus::kCorrupt;
}

bool WriteWholeFile(const fs::path& path, std::string_view data, std::string* error) {
  errno = 0;
  // "x": the file is made here or not at all; an existing name, a symbolic link among them, is
  // never opened.
  std::FILE* out = std::fopen(path.c_str(), "wbx");
  if (out == nullptr) {
    if (error) *error = PlatformError(errno, "cannot open the file for writing");
    return false;
  }
  const bool whole = data.empty() || std::fwrite(data.data(), 1, data.size(), out) == data.size();
  const bool flushed = std::fflush(out) == 0;
  const int reason = errno;
  if (std::fclose(out) != 0 || !whole || !flushed) {
    if (error)
      *error =
          PlatformError(reason != 0 ? reason : errno, "the file could not be written completely");
    return false;
  }
  return true;
}

fs::path FreshTempPath(const fs::path& folder) {
  // Nothing can be planted at a name nobody knows; the writer makes the file only where none
  // is, and the save tries another name when one is taken.
  static std::mt19937_64 random(std::random_device{}());
  char suffix[20];
  std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(random()));
  return folder / (std::string(kModeTempName) + suffix);
}

int ModeChecksum(int32_t sum) {
  const int32_t flipped = static_cast<int32_t>((static_cast<uint32_t>(sum) ^ 0xFFFFu) + 1u);
  return flipped % 256;
}

int ModeEntryCount() {
  int count = 0;
  for (int block = 0; block < kModeBlocks; ++block) count += InfoOfBlock(block)->device_slots + 1;
  return count;
}

std::vector<std::string> BuildModeLines(const ParameterStore& store) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(ModeEntryCount()) + 4);
  lines.push_back(ScrambleLine("W4 " + std::to_string(kModeDeviceCode ^ kModeHeaderMask)));
  lines.push_back(ScrambleLine("Tovak " + std::to_string(1 ^ kModeHeaderMask)));
  int32_t k = 1;
  int32_t sum = 0;
  for (int block = 0; block < kModeBlocks; ++block) {
    // Each block carries one slot past its end; it travels along and is put back on reading.
    const int last_slot = InfoOfBlock(block)->device_slots;
    for (int slot = 0; slot <= last_slot; ++slot) {
      ++k;
      const int32_t value = store.Device(block, slot);
      lines.push_back(
          ScrambleLine(std::to_string(MakeId(block, slot) ^ k) + " " + std::to_string(value ^ k)));
      sum = WrappingAdd(sum, value);
    }
  }
  ++k;
  lines.push_back(ScrambleLine("Intoal: " + std::to_string(k)));
  lines.push_back(ScrambleLine("CCCCK: " + std::to_string(ModeChecksum(sum))));
  return lines;
}

std::string BuildModeText(const ParameterStore& store) {
  std::string text;
  for (const std::string& line : BuildModeLines(store)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

ModeFileCheck CheckModeText(std::string_view text) {
  using Reason = ModeFileCheck::Reason;
  ModeFileCheck check;
  const std::vector<std::string_view> stored = SplitLines(text);
  std::vector<bool> readable;
  readable.reserve(stored.size());
  check.plain_lines.reserve(stored.size());
  for (std::string_view line : stored) {
    std::optional<std::string> plain = UnscrambleLine(line);
    readable.push_back(plain.has_value());
    check.plain_lines.push_back(plain ? std::move(*plain) : std::string());
  }
  const auto fail = [&check](Reason reason, int32_t line) {
    check.reason = reason;
    check.line = line;
    check.entries.clear();
    return check;
  };
  const auto lines = static_cast<int32_t>(stored.size());

  // Header: only the numbers after the first words count.
  for (int32_t k = 0; k < 2; ++k) {
    if (k >= lines || !readable[k]) return fail(Reason::kNoHeader, k);
  }
  const std::optional<int32_t> device = NumberAfterWord(check.plain_lines[0]);
  if (!device || (*device ^ kModeHeaderMask) != kModeDeviceCode) {
    return fail(Reason::kWrongDevice, 0);
  }
  if (!NumberAfterWord(check.plain_lines[1])) return fail(Reason::kNoVersion, 1);

  if (lines < 4) return fail(Reason::kTooShort, lines);
  for (int32_t k = 2; k < lines; ++k) {
    if (!readable[k]) return fail(Reason::kUnreadableLine, k);
  }

  const int32_t last = lines - 1;
  const std::optional<int32_t> count = NumberAfterWord(check.plain_lines[last - 1]);
  if (!count || *count != last - 1) return fail(Reason::kWrongCount, last - 1);
  const std::optional<int32_t> check_number = NumberAfterWord(check.plain_lines[last]);
  if (!check_number) return fail(Reason::kNoChecksum, last);

  int32_t sum = 0;
  check.entries.reserve(static_cast<size_t>(last - 3));
  for (int32_t k = 2; k <= last - 2; ++k) {
    const std::vector<std::string_view> words = SplitWords(check.plain_lines[k]);
    if (words.size() < 2) return fail(Reason::kBadEntry, k);
    const std::optional<int32_t> coded_id = ParseDecimal(words[0]);
    const std::optional<int32_t> coded_value = ParseDecimal(words[1]);
    if (!coded_id || !coded_value) return fail(Reason::kBadEntry, k);
    const int32_t id = *coded_id ^ k;
    const int32_t value = *coded_value ^ k;
    // An entry outside blocks 0..8 or past the end of a device-image row would write where no
    // slot is; such a file is damaged.
    if (id < 0) return fail(Reason::kNoSuchSlot, k);
    const int32_t block = id / 256;
    const int32_t slot = id % 256;
    if (block >= kModeBlocks || slot >= kDeviceColumns) return fail(Reason::kNoSuchSlot, k);
    check.entries.push_back({block, slot, value});
    sum = WrappingAdd(sum, value);
  }
  if (ModeChecksum(sum) != *check_number) return fail(Reason::kWrongChecksum, last);
  check.reason = Reason::kOk;
  check.line = -1;
  return check;
}

ModeFileCheck ReadModeFile(const fs::path& path) {
  std::string text;
  const ModeFileCheck::Reason read = ReadWholeText(path, &text);
  if (read != ModeFileCheck::Reason::kOk) {
    ModeFileCheck failed;
    failed.reason = read;
    return failed;
  }
  return CheckModeText(text);
}

void ApplyModeEntries(const std::vector<ModeEntry>& entries, ParameterStore& store,
                      const std::function<void(const ModeEntry&)>& applied) {
  for (const ModeEntry& entry : entries) {
    store.SetDevice(entry.block, entry.slot, entry.value);
    if (applied) applied(entry);
  }
}

ModeStatus LoadModeText(std::string_view text, ParameterStore& store, const ModeHooks& hooks) {
  const ModeFileCheck check = CheckModeText(text);
  if (check.ok()) ApplyEntries(check.entries, store, hooks);
  return check.status();
}

bool IsValidModeName(std::string_view name) {
  if (name.empty()) return true;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos) return false;
  }
  // ".Nddt" follows the name, so a trailing dot or space is no end of a file name; only the two
  // names that read as folders are refused.
  if (name == "." || name == "..") return false;
  return !IsDeviceName(name);
}

std::optional<ModeFolders> PrepareModeFolders(const fs::path& program_folder,
                                              const fs::path& user_data_folder,
                                              std::string* error) {
  std::string last_error;
  for (const fs::path& base : {program_folder, user_data_folder}) {
    if (base.empty()) continue;
    ModeFolders folders;
    folders.root = base / kModeRootName;
    folders.library = folders.root / kModeLibraryName;
    folders.marker = folders.root / kModeMarkerName;
    std::error_code ec;
    if (!fs::exists(folders.marker, ec)) fs::create_directories(folders.root, ec);
    if (!ec) fs::create_directories(folders.library, ec);
    if (ec) {
      last_error = ec.message();
      continue;
    }
    // The folders may exist yet refuse new files (an install owned by another user).
    const fs::path probe = FreshTempPath(folders.library);
    if (!WriteWholeFile(probe, {}, &last_error)) continue;
    fs::remove(probe, ec);
    return folders;
  }
  if (error) *error = last_error;
  return std::nullopt;
}

ModeFiles::ModeFiles(fs::path library, ParameterStore& store, ModeHooks hooks)
    : library_(std::move(library)),
      store_(store),
      hooks_(std::move(hooks)),
      writer_(WriteWholeFile) {}

fs::path ModeFiles::PathOf(std::string_view name) const {
  // Names are UTF-8 text; build the path from UTF-8 so Chinese names work on every platform.
  std::u8string file_name(name.begin(), name.end());
  file_name.append(kModeFileExtension.begin(), kModeFileExtension.end());
  return library_ / fs::path(file_name);
}

ModeStatus ModeFiles::Fail(ModeStatus status, const std::string& detail) {
  if (hooks_.show_message) {
    hooks_.show_message(detail.empty() ? std::string(ModeStatusChinese(status)) : detail);
  }
  return status;
}

ModeStatus ModeFiles::SaveModeFile(std::string_view name) {
  if (!IsValidModeName(name)) return Fail(ModeStatus::kBadName);
  working_copy_ = BuildModeLines(store_);
  std::string text;
  for (const std::string& line : working_copy_) {
    text += line;
    text += "\r\n";
  }
  // The old file of this name is replaced only by a complete new one: write a temporary file
  // beside it, then rename it over the old one.
  const fs::path target = PathOf(name);
  std::error_code ec;
  // A rename replaces even a write-protected file; such a file must stay as it is.
  const fs::file_status status = fs::status(target, ec);
  constexpr fs::perms kAnyWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if (!ec && fs::is_regular_file(status) && (status.permissions() & kAnyWrite) == fs::perms::none) {
    return Fail(ModeStatus::kWriteFailed,
                std::make_error_code(std::errc::permission_denied).message());
  }
  std::string error;
  fs::path temp;
  bool written = false;
  for (int attempt = 0; attempt < 8 && writer_; ++attempt) {
    temp = FreshTempPath(library_);
    error.clear();
    errno = 0;
    written = writer_(temp, text, &error);
    if (written || errno != EEXIST) break;
  }
  if (!written) {
    // Only a file this save made is removed: a name that was taken is left alone.
    if (errno != EEXIST && !temp.empty()) fs::remove(temp, ec);
    return Fail(ModeStatus::kWriteFailed, error);
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Fail(ModeStatus::kWriteFailed, ec.message());
  }
  return ModeStatus::kOk;
}

ModeStatus ModeFiles::LoadModeFile(std::string_view name) {
  working_copy_.clear();
  if (!IsValidModeName(name)) return Fail(ModeStatus::kBadName);
  ModeFileCheck check = ReadModeFile(PathOf(name));
  working_copy_ = std::move(check.plain_lines);
  if (!check.ok()) return Fail(check.status());
  ApplyEntries(check.entries, store_, hooks_);
  if (hooks_.start_upload) hooks_.start_upload();
  return ModeStatus::kOk;
}

}  // namespace kc
