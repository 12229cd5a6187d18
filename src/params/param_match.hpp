// param_match.hpp — how parameter names and value words are matched, and the
// context every parameter branch receives.
#pragma once

#include <cstdint>
#include <string_view>

#include "board/records.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

// ASCII letters compared without regard to case, other bytes exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The branch a name selected, with the part parsed out of a family name.
struct ParamCall {
  Tproc_handle proc_id;
  TFgInstance *fginst;
  InstanceRecord *inst;
  const char *name;
  int64_t number = 0;      // "out:%d", "register_index_poke:%d", "cxp_poke:%x", ...
  std::string_view word;   // "register_poke:%s": the register name
};

struct SetCall : ParamCall {
  Tcpar *values;
  int32_t count;
  const Tcpar &first() const { return values[0]; }
};

struct GetCall : ParamCall {
  Tcpar *values;
  int32_t *count;
};

using SetHandler = Terr (*)(SetCall &call);
using GetHandler = Terr (*)(GetCall &call);

// How a catalogue entry's name is matched.
enum class Match : uint8_t {
  kName,      // the whole name, without regard to case
  kDecimal,   // a case-sensitive prefix, then "<literal>%d"
  kUnsigned,  // ... then "<literal>%u"
  kHex,       // ... then "<literal>%x"
  kWord,      // ... then "<literal>%s"
};

struct ParamKey {
  const char *name;  // the whole name, or a family's literal part ("out:")
  Match match = Match::kName;
  uint8_t prefix_length = 0;  // leading characters compared with case (families)
};

// Matches `name` against one key; for families fills call.number or
// call.word. Returns 1 on a match, 0 on no match, -1 when a family prefix
// matched but the rest does not parse (the name is then unsupported).
int MatchKey(const ParamKey &key, const char *name, ParamCall &call);

// Values of 2147483648 and above print "Value must be less than 0x7fffffff."
// and are refused (false).
bool CheckInt32Range(int64_t value);

// ---- value helpers of the branches ----------------------------------------------
// The type of the first value, or FG_ERR_PARAM_TYPE.
inline Terr ExpectType(const Tcpar &value, int32_t type) {
  return value.type == type ? FG_OK : FG_ERR_PARAM_TYPE;
}
// Reads a flag written as one of two words; FG_ERR_PARAM_TYPE for a
// non-string, FG_ERR_PARAM_VALUE for another word.
Terr ReadFlag(const Tcpar &value, const char *on, const char *off, bool *flag);
// ReadFlag into a byte field (plain or atomic): 1 for `on`, 0 for `off`.
template <typename Field>
Terr StoreFlag(const Tcpar &value, const char *on, const char *off, Field &field) {
  bool flag = false;
  const Terr result = ReadFlag(value, on, off, &flag);
  if (result == FG_OK) field = flag ? 1 : 0;
  return result;
}
// Integer values for 32-bit fields that share the 0x7fffffff limit.
Terr ReadInt32Limited(const Tcpar &value, int32_t *out);
template <typename Field>
Terr StoreInt32Limited(const Tcpar &value, Field &field) {
  int32_t number = 0;
  const Terr result = ReadInt32Limited(value, &number);
  if (result == FG_OK) field = static_cast<uint32_t>(number);
  return result;
}

// Answers of the get branches.
inline void AnswerInt(GetCall &call, int64_t value) {
  call.values[0].type = TPAR_INT;
  call.values[0].par.l = value;
}
inline void AnswerDouble(GetCall &call, double value) {
  call.values[0].type = TPAR_DOUBLE;
  call.values[0].par.d = value;
}
// `text` must outlive the call: static text or a buffer of the plug-in.
inline void AnswerText(GetCall &call, const char *text, int index = 0) {
  call.values[index].type = TPAR_STRING;
  call.values[index].par.s = const_cast<char *>(text);
}
inline void AnswerFlag(GetCall &call, bool flag, const char *on, const char *off) {
  AnswerText(call, flag ? on : off);
}

}  // namespace grabline
