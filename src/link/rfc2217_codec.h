// The byte stream of the box's serial line reached through a Telnet server with the COM Port
// Control option (RFC 2217). The codec sets the server's port to the line settings the box uses,
// escapes and unescapes the Telnet byte 0xFF (the box's frames contain it) and answers the
// server's option requests. It does no I/O: the caller writes Greeting(), Escape()d data and
// the replies to the socket and feeds what it reads to Receive(). Standard library only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kc {

class Rfc2217Codec {
 public:
  explicit Rfc2217Codec(uint32_t baud_rate = 57600);

  // Bytes the client sends as soon as the TCP connection is up: IAC WILL COM-PORT-OPTION,
  // IAC WILL BINARY, IAC DO BINARY, IAC DO SUPPRESS-GO-AHEAD, then the line settings
  // (SET-BAUDRATE, SET-DATASIZE 8, SET-PARITY NONE, SET-STOPSIZE 1, SET-CONTROL no flow control,
  // SET-CONTROL DTR on, SET-CONTROL RTS on), each as IAC SB 44 <cmd> <value...> IAC SE.
  //
  // The settings go out at once, without waiting for the server's DO COM-PORT-OPTION: servers
  // accept them this way, and waiting would cost a round trip and a second code path for the
  // servers that never answer. The codec counts the four requests as already sent from
  // construction, so the caller must send this first, before anything Receive() replies.
  // DTR and RTS are asked for and never waited for: servers in front of pseudo-terminals
  // cannot set them and may not confirm.
  std::vector<uint8_t> Greeting() const;

  // Data for the line, ready for the socket: every 0xFF doubled.
  static std::vector<uint8_t> Escape(const uint8_t* data, std::size_t size);

  // Feeds bytes received from the server, in any chunking (a command may be split across calls).
  // Appends the line's data bytes to *data (IAC IAC -> one 0xFF; commands and subnegotiations
  // removed) and any answer the client owes the server to *reply.
  void Receive(const uint8_t* bytes, std::size_t size, std::vector<uint8_t>* data,
               std::vector<uint8_t>* reply);

  // True once the server has agreed to COM-PORT-OPTION (IAC DO 44 received).
  bool com_port_accepted() const { return com_port_accepted_; }
  // True once the server refused it (IAC DONT 44): the line's settings are then the server's own.
  bool com_port_refused() const { return com_port_refused_; }
  // Baud rate the server reported back for SET-BAUDRATE (0 until it answered).
  uint32_t reported_baud_rate() const { return reported_baud_rate_; }

 private:
  enum class State { kData, kIac, kOption, kSubnegotiation, kSubnegotiationIac };

  // One side of one option: whether it is on and whether the client asked for it and awaits
  // the answer. Keeping the "asked" mark is what stops an answer from being answered again.
  struct OptionSide {
    bool enabled = false;
    bool asked = false;
  };

  void HandleCommand(uint8_t command, std::vector<uint8_t>* data);
  void HandleOption(uint8_t verb, uint8_t option, std::vector<uint8_t>* reply);
  void HandleSubnegotiation();

  uint32_t baud_rate_;
  State state_ = State::kData;
  uint8_t verb_ = 0;
  std::vector<uint8_t> subnegotiation_;
  std::array<OptionSide, 256> local_{};   // options the client performs (WILL/WONT)
  std::array<OptionSide, 256> remote_{};  // options the server performs (DO/DONT)
  bool com_port_accepted_ = false;
  bool com_port_refused_ = false;
  uint32_t reported_baud_rate_ = 0;
};

}  // namespace kc
