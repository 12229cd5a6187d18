// FGSetParam and FGGetParam with any name, any value records and any count, on
// an open instance. The operations are called as the host calls them.
#include <cstddef>
#include <cstdint>

#include "fuzz_session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace grabline::fuzz;
  Input in(data, size);
  Session &session = Session::Get();
  tarvel::Instance &instance = session.Instance();
  const uint8_t op = in.Byte();
  const std::string name = in.Text(256);
  std::vector<std::string> texts;
  std::vector<Tcpar> records = Records(in, &texts);
  if (!Affordable(name, records)) return -1;
  TFgClass &fg_class = session.plugin().fg_class();
  if ((op & 1) == 0) {
    // The count may claim fewer records than given, or none with records behind it.
    int32_t num = static_cast<int32_t>(records.size());
    if ((op & 2) != 0 && num > 0) num -= 1;
    fg_class.param_ops.set_param(session.plugin().proc(), &instance.record(), name.c_str(),
                                 records.empty() ? nullptr : records.data(), num);
  } else {
    // Get answers into a host-sized array, as the host passes it.
    std::vector<Tcpar> out(64, Tcpar{});
    int32_t num = 0;
    const Terr result = fg_class.param_ops.get_param(session.plugin().proc(), &instance.record(),
                                                     name.c_str(), out.data(), &num);
    if (result == T_MSG_OK && (num < 0 || num > 64))
      Finding("get answered a count beyond the array");
    for (int32_t i = 0; result == T_MSG_OK && i < num && i < 64; ++i) {
      if (out[i].type == TPAR_STRING && out[i].par.s != nullptr) {
        volatile size_t length = std::strlen(out[i].par.s);  // must be a readable text
        (void)length;
      }
    }
  }
  return 0;
}
