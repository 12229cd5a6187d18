// grabline param: --set and --get in the order given on one open instance.
#include <cstdio>

#include "commands.hpp"
#include "session.hpp"

namespace grabline::tool {

int RunParam(const Options &options, const ToolContext &context) {
  if (options.list_params) return RunParamList(options, context);
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return kExitFailed;
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, nullptr);
  if (instance == nullptr) return kExitFailed;
  for (const ParamOp &op : options.ops) {
    if (!op.get) {
      if (!SetParam(*instance, op.name, op.values)) return kExitFailed;
      continue;
    }
    std::vector<ParamValue> values;
    if (!GetParam(*instance, op.name, &values)) return kExitFailed;
    if (values.empty()) {
      // A success that carries no value (e.g. a timer the SDK version lacks).
      std::printf("%s = (no value)\n", op.name.c_str());
    } else {
      const std::string text = FormatParamValues(values);
      std::printf("%s =%s%s\n", op.name.c_str(), text.empty() ? "" : " ", text.c_str());
    }
    std::fflush(stdout);
  }
  StartOperation();
  const Terr closed = instance->Close();
  if (!Succeeded(closed)) {
    ReportFailure("close", closed);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace grabline::tool
