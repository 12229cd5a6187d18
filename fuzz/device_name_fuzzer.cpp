// Device names and the generic open string at FGOpen. The input is the device
// name, optionally followed by a newline and the generic string.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace grabline::fuzz;
  if (size > 600) return -1;
  const std::string input(reinterpret_cast<const char *>(data), size);
  const size_t newline = input.find('\n');
  tarvel::Plugin &plugin = Session::Get().plugin();
  tarvel::Plugin::OpenParams params = plugin.Defaults();
  params.device = input.substr(0, newline);
  if (newline != std::string::npos) {
    params.generic.push_back(tarvel::Value::Str(input.substr(newline + 1)));
  }
  Terr code = 0;
  auto instance = plugin.Open(params, &code);
  if (instance && instance->Close() != T_MSG_OK) Finding("close of a fresh instance failed");
  instance.reset();
  if (tarvel::OutstandingAllocations() != 0) Finding("allocations outstanding after open/close");
  return 0;
}
