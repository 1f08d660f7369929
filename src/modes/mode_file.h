// Mode files: one complete mode of the box (blocks 0 to 8 of the device image) kept on the PC as
// scrambled text lines with an entry count and a one-byte checksum, plus the folders they live in.
//
// Plain lines of a file, each stored scrambled and ended by CR LF:
//   0        "W4 "      + (device code 0xB1 XOR header mask)
//   1        "Tovak "   + (1 XOR header mask)
//   2..N+1   "A B" with A = (block*256 + slot) XOR k, B = value XOR k, k = the line number
//   N+2      "Intoal: " + (N+2), the number of this very line
//   N+3      "CCCCK: "  + checksum of the sum of the values
// Only the numbers are read back; the words before them are never looked at.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

inline constexpr int kModeDeviceCode = 0xB1;
inline constexpr int kModeHeaderMask = 0x3C;
// A mode file holds the audio blocks; the system block never travels.
inline constexpr int kModeBlocks = kAudioBlocks;
inline constexpr std::string_view kModeFileExtension = ".Nddt";
inline constexpr std::string_view kModeRootName = "Mode";
inline constexpr std::string_view kModeLibraryName = "QT415Mode";
inline constexpr std::string_view kModeMarkerName = "mod.dat";

// Outcome of a save or a load. Every outcome but kOk comes with exactly one message.
enum class ModeStatus {
  kOk,
  kFileMissing,  // the file cannot be opened
  kFormatError,  // lines 0 and 1 do not carry the device header
  kCorrupt,      // bad count, checksum, entry, digit or number below the header
  kBadName,      // the name is a path or a name no platform stores as a plain file
  kWriteFailed,  // the platform's file layer refused the write
  kReadFailed,   // the file is there but could not be opened or read to its end
};

// The message pair of an outcome (empty for kOk). The program's language is Chinese.
std::string_view ModeStatusChinese(ModeStatus status);
std::string_view ModeStatusEnglish(ModeStatus status);

// What loading and saving need from the editor and the link; any of them may be left empty.
struct ModeHooks {
  // A modal message, caption "提示", one OK button.
  std::function<void(const std::string& text)> show_message;
  // The diagnostic log, which is cleared by a verification and then gets one line per entry.
  std::function<void()> clear_log;
  std::function<void(const std::string& line)> append_log;
  // Asks the link to upload blocks 0 to 8 of the device image (it ignores this unless Ready).
  std::function<void()> start_upload;
};

// Writes the whole of `data` to a new file at `path`, made there exclusively: an existing name (a
// symbolic link among them) fails with EEXIST and is left alone. On failure returns false and
// sets `error` to the platform's message. Replaceable so tests can make a write fail half-way.
using ModeFileWriter = std::function<bool(const std::filesystem::path& path, std::string_view data,
                                          std::string* error)>;
bool WriteWholeFile(const std::filesystem::path& path, std::string_view data, std::string* error);

// No mode file is this large (a complete one is about 16 KB); a larger file is refused unread.
inline constexpr std::uintmax_t kModeFileByteLimit = 8u << 20;

// One entry of a mode file, already decoded.
struct ModeEntry {
  int block;
  int slot;
  int32_t value;
};

// The one result of reading and checking a mode file: why it was refused and on which line, with
// what was read. The editor, karaoke-ctl and the tests all read it; the message pair a user sees
// follows status().
struct ModeFileCheck {
  enum class Reason {
    kOk,
    kNoFile,          // nothing to read at the path (a folder counts as none)
    kUnreadable,      // the file is there but could not be opened or read to its end
    kTooLarge,        // larger than kModeFileByteLimit; not read
    kNoHeader,        // line 0 or 1 is missing or not scrambled text
    kWrongDevice,     // line 0 carries no number, or not this box's device code
    kNoVersion,       // line 1 carries no number
    kTooShort,        // the count or checksum line is missing
    kUnreadableLine,  // a line below the header is not scrambled text
    kWrongCount,      // the count line's number is missing or is not its own line number
    kNoChecksum,      // the last line carries no number
    kBadEntry,        // an entry line without its two decimals
    kNoSuchSlot,      // an entry that names no slot of blocks 0..8
    kWrongChecksum,   // the values do not add up to the checksum
  };

  Reason reason = Reason::kOk;
  // The line the check stopped at, numbered from 0 as in the layout above (so it indexes
  // plain_lines when that line is there); -1 when the file was not read.
  int line = -1;
  std::vector<std::string> plain_lines;  // unscrambled lines read before the check ended
  std::vector<ModeEntry> entries;        // every entry, in file order, when the check passed

  bool ok() const { return reason == Reason::kOk; }
  // The outcome as the user is told it: a missing file, a read failure, a format error (the
  // header) or a damaged file (everything below it, and a file past the size limit).
  ModeStatus status() const;
};

// The checksum byte of a value sum: ((S XOR 0xFFFF) + 1) rem 256, remainder signed like S.
int ModeChecksum(int32_t sum);

// Number of entries of a complete file (513) and the slots each block carries: 0 up to and
// including the block's device-slot count.
int ModeEntryCount();

// The stored (scrambled) lines of the mode held in the store's device image.
std::vector<std::string> BuildModeLines(const ParameterStore& store);
// The same lines joined, each ended by CR LF: the bytes of a mode file.
std::string BuildModeText(const ParameterStore& store);

// Reads and checks a whole file's text. Lines end at LF, a CR before it is dropped. Nothing is
// applied: an entry must name block 0..8 and a slot inside the device-image row, and the count and
// checksum must agree, before any value can reach a store.
ModeFileCheck CheckModeText(std::string_view text);

// Reads a mode file, at most kModeFileByteLimit bytes of it, and checks its text: the one way a
// mode file is read, by the editor and by karaoke-ctl. The path may be built from any bytes the
// platform takes as a file name. A file that cannot be read has no lines.
ModeFileCheck ReadModeFile(const std::filesystem::path& path);

// Writes a checked file's entries into the store's device image, in file order: the one way a
// mode reaches a store. `applied` (if given) sees each entry once it is in the store.
void ApplyModeEntries(const std::vector<ModeEntry>& entries, ParameterStore& store,
                      const std::function<void(const ModeEntry&)>& applied = {});

// Checks the text and, only when every check passes, writes its entries into the store's device
// image. The log hooks see the applied entries; no message is shown and no upload is requested.
ModeStatus LoadModeText(std::string_view text, ParameterStore& store, const ModeHooks& hooks = {});

// False for a name that would not be a plain file in the library folder: one holding "/" or "\",
// control characters or any of <>:"|?*, "." and "..", device names (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with or without an extension, any letter case). A trailing dot or space is kept, as
// ".Nddt" follows it. The empty name is accepted: it stores the file ".Nddt".
bool IsValidModeName(std::string_view name);

// The three places of the mode files.
struct ModeFolders {
  std::filesystem::path root;     // "Mode" below the program folder (or the user data folder)
  std::filesystem::path library;  // root + "QT415Mode": every mode file
  std::filesystem::path marker;   // root + "mod.dat": only its presence is tested
};

// Makes sure the mode folders exist. They hang below `program_folder`; where that cannot be
// written (a system-wide install) they hang below `user_data_folder` instead. Returns nullopt,
// with the platform's message in `error`, when neither place can hold them.
std::optional<ModeFolders> PrepareModeFolders(const std::filesystem::path& program_folder,
                                              const std::filesystem::path& user_data_folder,
                                              std::string* error = nullptr);

// Saving and loading mode files of one library folder against one parameter store.
class ModeFiles {
 public:
  ModeFiles(std::filesystem::path library, ParameterStore& store, ModeHooks hooks = {});

  // Writes the device image's mode to library/name.Nddt, replacing a file of that name only once
  // the new one is complete. The store is never changed.
  ModeStatus SaveModeFile(std::string_view name);
  // Reads, checks and applies library/name.Nddt, then requests the upload. A failed load shows
  // one message and leaves the store untouched.
  ModeStatus LoadModeFile(std::string_view name);

  // Path of the file a name stands for (the name is not checked here).
  std::filesystem::path PathOf(std::string_view name) const;
  const std::filesystem::path& library() const { return library_; }

  // The working copy: the stored lines last written or the plain lines last read.
  const std::vector<std::string>& working_copy() const { return working_copy_; }

  void set_writer(ModeFileWriter writer) { writer_ = std::move(writer); }

 private:
  ModeStatus Fail(ModeStatus status, const std::string& detail = {});

  std::filesystem::path library_;
  ParameterStore& store_;
  ModeHooks hooks_;
  ModeFileWriter writer_;
  std::vector<std::string> working_copy_;
};

// Stem of the temporary file a save writes before it replaces the mode file: the stem, a dot and
// 16 random hexadecimal digits. It never matches "*.Nddt*", so a left-over one is not listed as
// a mode.
inline constexpr std::string_view kModeTempName = "~mode-save.tmp";
// A name for a temporary file in `folder` that nobody can know beforehand.
std::filesystem::path FreshTempPath(const std::filesystem::path& folder);

}  // namespace kc
