// Parameters and limits of the box that several layers act on by name: the editor's pages, the
// link, the mode files and karaoke-ctl all read them from here.
#pragma once

namespace kc {

// The audio blocks, 0 .. kAudioBlocks - 1; the system block (kSystemBlock) comes after them. A
// whole-block transfer and a mode file carry exactly the audio blocks.
inline constexpr int kAudioBlocks = 9;

// Block 0, index 0: the Music EQ's automatic (0) or manual (1) control.
inline constexpr int kAutoManualId = 0x0000;
// Block 0, index 1: the scene, Sing (0) or Disco (1); the twin settings follow it.
inline constexpr int kSingDiscoId = 0x0001;
// System block, index 12: the access level, user (0) or administrator (1).
inline constexpr int kAccessLevelId = 0x090C;

// The box keeps this many modes, numbered 1..15 on the System page (0..14 on the wire).
inline constexpr int kModeCount = 15;
// A mode's name: at most this many printable ASCII characters.
inline constexpr int kModeNameMaxLength = 20;
// The system password has this many digits, the key-lock password this many.
inline constexpr int kSystemPasswordLength = 6;
inline constexpr int kKeylockPasswordLength = 4;

}  // namespace kc
