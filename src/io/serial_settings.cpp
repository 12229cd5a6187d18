// Line settings of the serial port: the settings string of do_comm_param,
// its checks and codes, and the baud rate by itself.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "io/serial.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

constexpr uint32_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200, 230400};

constexpr char kTimeoutMessage[] = "Timeout value must be greater that zero.";
constexpr char kBaudMessage[] =
    "Invalid baud rate.\nSupported baud rates are: 9600, 19200, 38400, 57600, 115200, and 230400";
constexpr char kDataBitsMessage[] = "Invalid data bits.\nSupported data bits are: 5, 6, 7, and 8";
constexpr char kStopBitsMessage[] = "Invalid stop bits.\nSupported stop bits are: 1, 15, and 2";
constexpr char kParityMessage[] = "Invalid parity.\nSupported parity values are: N, O, and E";

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

enum class Scan : uint8_t { kMatch, kNoMatch, kTooLong };

// An unsigned decimal number at the start (after blanks, an optional '+');
// what follows is ignored. A minus sign is no unsigned number.
Scan ScanUnsigned(std::string_view text, uint32_t *out) {
  text = SkipBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  uint64_t value = 0;
  size_t digits = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    value = value * 10 + static_cast<uint64_t>(text[digits] - '0');
    if (value > UINT32_MAX) return Scan::kTooLong;
  }
  if (digits == 0) return Scan::kNoMatch;
  *out = static_cast<uint32_t>(value);
  return Scan::kMatch;
}

// A word at the start, after blanks: the characters up to the next blank.
Scan ScanWord(std::string_view text, char (&out)[kCommParityMax + 1]) {
  text = SkipBlanks(text);
  size_t length = 0;
  while (length < text.size() && !IsBlank(text[length])) ++length;
  if (length == 0) return Scan::kNoMatch;
  if (length > kCommParityMax) return Scan::kTooLong;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return Scan::kMatch;
}

// One token against the five keywords. Returns kNoMatch when none fits.
Scan MatchToken(std::string_view token, CommTokens &tokens, bool &parity_too_long) {
  struct Number {
    std::string_view keyword;
    std::optional<uint32_t> CommTokens::*field;
  };
  static constexpr Number kNumbers[] = {
      {"timeout", &CommTokens::timeout},
      {"baud_rate", &CommTokens::baud_rate},
      {"data_bits", &CommTokens::data_bits},
      {"stop_bits", &CommTokens::stop_bits},
  };
  for (const Number &number : kNumbers) {
    if (!token.starts_with(number.keyword)) continue;
    uint32_t value = 0;
    const Scan scan = ScanUnsigned(token.substr(number.keyword.size()), &value);
    if (scan == Scan::kMatch) tokens.*number.field = value;
    return scan;
  }
  constexpr std::string_view kParity = "parity";
  if (!token.starts_with(kParity)) return Scan::kNoMatch;
  const Scan scan = ScanWord(token.substr(kParity.size()), tokens.parity);
  parity_too_long = scan == Scan::kTooLong;
  return scan;
}

std::optional<uint32_t> BaudCode(uint32_t rate) {
  for (size_t i = 0; i < std::size(kBaudRates); ++i) {
    if (kBaudRates[i] == rate) return 1u << i;
  }
  return std::nullopt;
}

std::optional<uint32_t> ParityCode(const char *parity) {
  if (EqualsIgnoreCase(parity, "N")) return BF_SERIAL_PARITY_NONE;
  if (EqualsIgnoreCase(parity, "O")) return BF_SERIAL_PARITY_ODD;
  if (EqualsIgnoreCase(parity, "E")) return BF_SERIAL_PARITY_EVEN;
  return std::nullopt;
}

std::optional<uint32_t> StopBitsCode(uint32_t stop_bits) {
  switch (stop_bits) {
    case 1:
      return BF_SERIAL_STOP_1;
    case 15:
      return BF_SERIAL_STOP_1_5;
    case 2:
      return BF_SERIAL_STOP_2;
    default:
      return std::nullopt;
  }
}

Terr Refuse(const char *message) {
  PrintError(message);
  return FG_ERR_PARAM_VALUE;
}

}  // namespace

CommParse ParseCommParam(std::string_view text, CommTokens *tokens) {
  if (text.size() > kCommParamMax) return CommParse::kTooLong;
  bool matched = false;
  while (!text.empty()) {
    const size_t colon = text.find(':');
    const std::string_view token = text.substr(0, colon);
    text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    bool parity_too_long = false;
    switch (MatchToken(token, *tokens, parity_too_long)) {
      case Scan::kMatch:
        matched = true;
        break;
      case Scan::kNoMatch:
        break;
      case Scan::kTooLong:
        return parity_too_long ? CommParse::kParityTooLong : CommParse::kTooLong;
    }
  }
  return matched ? CommParse::kOk : CommParse::kNoToken;
}

Terr SetCommParam(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();

  // Scanning stops one past the longest string taken, whatever the host passed.
  const std::string_view text(value.par.s, strnlen(value.par.s, kCommParamMax + 1));
  CommTokens tokens;
  switch (ParseCommParam(text, &tokens)) {
    case CommParse::kOk:
      break;
    case CommParse::kParityTooLong:
      return Refuse(kParityMessage);
    case CommParse::kNoToken:
    case CommParse::kTooLong:
      return FG_ERR_PARAM_VALUE;
  }

  // What the tokens name is stored; a check that fails takes back only its
  // own field, so the others reach the port with the next good settings.
  const uint32_t old_timeout = port.timeout_ms;
  const uint32_t old_baud_rate = port.baud_rate;
  const uint32_t old_data_bits = port.data_bits;
  const uint32_t old_stop_bits = port.stop_bits;
  char old_parity[sizeof port.parity];
  std::memcpy(old_parity, port.parity, sizeof old_parity);
  if (tokens.timeout) port.timeout_ms = *tokens.timeout;
  if (tokens.baud_rate) port.baud_rate = *tokens.baud_rate;
  if (tokens.data_bits) port.data_bits = *tokens.data_bits;
  if (tokens.stop_bits) port.stop_bits = *tokens.stop_bits;
  if (tokens.parity[0] != '\0') std::memcpy(port.parity, tokens.parity, sizeof tokens.parity);

  if (port.timeout_ms == 0) {
    port.timeout_ms = old_timeout;
    return Refuse(kTimeoutMessage);
  }
  const std::optional<uint32_t> baud = BaudCode(port.baud_rate);
  if (!baud) {
    port.baud_rate = old_baud_rate;
    return Refuse(kBaudMessage);
  }
  if (port.data_bits < 5 || port.data_bits > 8) {
    port.data_bits = old_data_bits;
    return Refuse(kDataBitsMessage);
  }
  const std::optional<uint32_t> stop_bits = StopBitsCode(port.stop_bits);
  if (!stop_bits) {
    port.stop_bits = old_stop_bits;
    return Refuse(kStopBitsMessage);
  }
  const std::optional<uint32_t> parity = ParityCode(port.parity);
  if (!parity) {
    std::memcpy(port.parity, old_parity, sizeof old_parity);
    return Refuse(kParityMessage);
  }

  if (clBFSerialSettings(port.port_ref, *baud, port.data_bits - 5, *parity, *stop_bits) !=
      CL_ERR_NO_ERR) {
    PrintError("Error changing comm settings.");
    return FG_ERR_SERIAL_SETTINGS;
  }
  return FG_OK;
}

Terr SetSerialBaudrate(SetCall &call) {
  // Another type's bits would read as some number; refuse it instead.
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  char text[48];
  std::snprintf(text, sizeof text, "baud_rate %" PRId64, call.first().par.l);
  Tcpar setting{};
  setting.type = TPAR_STRING;
  setting.par.s = text;
  return FGSetParam(call.proc_id, call.fginst, "do_comm_param", &setting, 1);
}

Terr GetSerialBaudrate(GetCall &call) {
  const SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();
  uint32_t code = 0;
  if (clBFGetBaudRate(port.port_ref, &code) != CL_ERR_NO_ERR) return FG_ERR_GET_FAILED;
  for (size_t i = 0; i < std::size(kBaudRates); ++i) {
    if (code == (1u << i)) {
      AnswerInt(call, kBaudRates[i]);
      return FG_OK;
    }
  }
  PrintError("Could not determine baud rate.");
  return FG_ERR_GET_FAILED;
}

}  // namespace grabline
