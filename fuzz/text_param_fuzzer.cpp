// One parameter whose value is a text the plug-in tokenises (the name comes
// from the build: do_comm_param, ctab_fill, set_exposure_and_rate,
// quick_switch_set_roi). The whole input is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace grabline::fuzz;
  if (size > 4096) return -1;
  tarvel::Instance &instance = Session::Get().Instance();
  const std::string text(reinterpret_cast<const char *>(data), size);
  instance.SetParam(GRABLINE_FUZZ_PARAM, tarvel::Value::Str(text));
  return 0;
}
