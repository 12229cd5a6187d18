// serial.hpp — the Camera Link serial port of an instance: what closing the
// instance needs, the parsing of the settings string, and the heap the two
// serial buffers come from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "board/records.hpp"
#include "io/serial_state.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

inline constexpr uint32_t kCommReadBufferSize = 32768;  // one more than the largest block read
inline constexpr uint32_t kCommMaxSize = 32767;         // block reads and the message buffer
inline constexpr size_t kCommParamMax = 1023;           // characters of a settings string
inline constexpr size_t kCommParityMax = 3;             // characters of a parity word
static_assert(sizeof(SerialPortState::parity) == kCommParityMax + 1,
              "a parity word that parses must fit the stored one");

// The serial buffers come from the process heap, not the host's allocator.
// Tests replace it to make an allocation fail; null functions restore the
// default (malloc and free).
struct SerialHeap {
  void *(*allocate)(size_t size);
  void (*release)(void *block);
};
void SetSerialHeap(const SerialHeap &heap);

// Closes an open port and frees both serial buffers, whether the port is
// open or not (a message buffer may exist while it is closed).
void CloseSerialPort(InstanceRecord &inst);

// The port counts as open exactly while its handle is set.
inline bool SerialPortOpen(const SerialPortState &port) { return port.handle != nullptr; }
inline bool SerialPortOpen(const InstanceRecord &inst) { return SerialPortOpen(inst.serial); }
// The answer to every port operation on a closed port.
Terr SerialHandleError();

// The tokens of a settings string ("baud_rate 115200:parity E:stop_bits 1").
struct CommTokens {
  std::optional<uint32_t> timeout;
  std::optional<uint32_t> baud_rate;
  std::optional<uint32_t> data_bits;
  std::optional<uint32_t> stop_bits;
  char parity[kCommParityMax + 1] = {};  // empty when no token names it
};
enum class CommParse : uint8_t {
  kOk,
  kNoToken,        // no token matched any keyword
  kTooLong,        // the string, or a number, does not fit its field
  kParityTooLong,  // a parity word longer than the field holds
};
// Splits at ':' and matches each token against "timeout %u", "baud_rate %u",
// "parity %s", "data_bits %u" and "stop_bits %u": the keyword at the start,
// optional blanks, an unsigned decimal number (or for parity a word), and
// anything after it ignored. A later token naming the same setting wins.
CommParse ParseCommParam(std::string_view text, CommTokens *tokens);

}  // namespace grabline
