// TFgGetDefaults: the class record's default open fields as parameter records.
#include <cstring>
#include <iterator>

#include "host_internal.hpp"

namespace {

constexpr int32_t kNumDefaults = 15;

bool Terminated(const char (&text)[TARVEL_FG_TEXT]) {
  return std::memchr(text, '\0', sizeof(text)) != nullptr;
}

Tcpar IntRecord(int64_t v) {
  Tcpar record;
  std::memset(&record, 0, sizeof(record));
  record.type = TPAR_INT;
  record.par.l = v;
  return record;
}

Tcpar DoubleRecord(double v) {
  Tcpar record;
  std::memset(&record, 0, sizeof(record));
  record.type = TPAR_DOUBLE;
  record.par.d = v;
  return record;
}

// The records never write through their strings; the tag promises text only.
Tcpar TextRecord(const char *text) {
  Tcpar record;
  std::memset(&record, 0, sizeof(record));
  record.type = TPAR_STRING;
  record.par.s = const_cast<char *>(text);
  return record;
}

Terr GetDefaults(TFgClass *fg_class, Tcpar **values, int32_t *num_values) {
  if (fg_class == nullptr || values == nullptr || num_values == nullptr) return T_ERR_ARGUMENT;
  // Strings point into the class record; one left without its terminator would send
  // every reader past the field.
  if (!Terminated(fg_class->color_space) || !Terminated(fg_class->camera_type) ||
      !Terminated(fg_class->device)) {
    return T_ERR_ARGUMENT;
  }
  // The host's own allocation, not a call of the plug-in's: the log shows this call only.
  void *block = nullptr;
  if (Terr made = tarvel::internal::HostAllocate(sizeof(Tcpar) * kNumDefaults, &block);
      made != T_MSG_OK) {
    // A block handed out with a failure would be lost to a plug-in that rightly
    // trusts nothing of a failed call.
    if (block != nullptr) tarvel::internal::HostFree(block);
    return made;
  }
  const TFgClass &c = *fg_class;
  const Tcpar records[] = {
      IntRecord(c.horizontal_resolution),
      IntRecord(c.vertical_resolution),
      IntRecord(c.image_width),
      IntRecord(c.image_height),
      IntRecord(c.start_row),
      IntRecord(c.start_column),
      IntRecord(c.field),
      IntRecord(c.bits_per_channel),
      TextRecord(c.color_space),
      DoubleRecord(c.gain),
      TextRecord(c.external_trigger != 0 ? "true" : "false"),
      TextRecord(c.camera_type),
      TextRecord(c.device),
      IntRecord(c.port),
      IntRecord(c.line_in),
  };
  static_assert(std::size(records) == kNumDefaults);
  std::memcpy(block, records, sizeof(records));
  *values = static_cast<Tcpar *>(block);
  *num_values = kNumDefaults;
  return T_MSG_OK;
}

}  // namespace

extern "C" Terr TFgGetDefaults(Tproc_handle, TFgClass *fg_class, Tcpar **values,
                               int32_t *num_values) {
  Terr result = GetDefaults(fg_class, values, num_values);
  if (tarvel::internal::RecordingHostCalls()) {
    bool made = result == T_MSG_OK;
    tarvel::internal::RecordHostCall(
        "TFgGetDefaults",
        {made ? *num_values : 0, made ? tarvel::internal::Address(*values) : 0, 0, 0}, nullptr,
        result);
  }
  return result;
}
