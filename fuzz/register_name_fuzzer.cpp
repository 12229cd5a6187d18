// Register names: the simulator's table look-up and the plug-in's peek by name
// (a read changes nothing, so inputs stay independent).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace grabline::fuzz;
  if (size > 512) return -1;
  const std::string name(reinterpret_cast<const char *>(data), size);
  bfsim::RegisterByName(name);
  tarvel::Instance &instance = Session::Get().Instance();
  std::vector<tarvel::Value> values;
  instance.GetParam("register_peek:" + name, &values);
  instance.GetParam("register_index_peek:" + name, &values);
  return 0;
}
