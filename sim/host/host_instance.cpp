// An open instance: the class operations on one host instance record, with the
// images they return wrapped into host image objects.
#include <climits>

#include "host_internal.hpp"

namespace tarvel {
namespace {

constexpr int32_t kMaxImagesPerGrab = 4;
// Room the host offers for one parameter answer: the largest serial block read
// answers one record per byte, up to 32767.
constexpr int32_t kMaxParamValues = 32768;
constexpr int32_t kMaxLutEntries = 65536;

// Wraps what a grab left in the records. Images the plug-in made but the result does
// not hand over (a failure, or records beyond the count) are released here so the
// host's books balance.
Terr TakeImages(Terr result, Timage (&records)[kMaxImagesPerGrab], int32_t num,
                std::vector<Image> *images) {
  if (images != nullptr) images->clear();
  bool count_ok = num >= 0 && num <= kMaxImagesPerGrab;
  for (int32_t k = 0; k < kMaxImagesPerGrab; ++k) {
    Image image(records[k]);
    if (result == T_MSG_OK && count_ok && k < num && images != nullptr) {
      images->push_back(std::move(image));
    }
  }
  if (result == T_MSG_OK && !count_ok) return T_ERR_ARGUMENT;
  return result;
}

}  // namespace

Instance::Instance(Plugin *plugin, TFgInstance **slot) : plugin_(plugin), slot_(slot) {}

Instance::~Instance() {
  if (open_) Close();
}

// After close the record is gone from the class whatever the plug-in answered: the
// application cannot do anything sensible with a half-closed instance.
Terr Instance::Close() {
  if (!open_) return T_ERR_ARGUMENT;
  TFgClass &c = plugin_->fg_class();
  Terr result =
      internal::Written(c.ops.close) ? c.ops.close(plugin_->proc(), record_.get()) : T_ERR_ARGUMENT;
  *slot_ = nullptr;
  --c.instances_num;
  open_ = false;
  return result;
}

Terr Instance::Grab(std::vector<Image> *images) {
  TFgGrabOp op = plugin_->fg_class().ops.grab;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  Timage records[kMaxImagesPerGrab] = {};
  int32_t num = 0;
  Terr result = op(plugin_->proc(), record_.get(), records, &num);
  return TakeImages(result, records, num, images);
}

Terr Instance::GrabStart(double max_age) {
  TFgGrabStartOp op = plugin_->fg_class().ops.grab_start;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  return op(plugin_->proc(), record_.get(), max_age);
}

Terr Instance::GrabAsync(double max_age, std::vector<Image> *images) {
  TFgGrabAsyncOp op = plugin_->fg_class().ops.grab_async;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  Timage records[kMaxImagesPerGrab] = {};
  int32_t num = 0;
  Terr result = op(plugin_->proc(), record_.get(), max_age, records, &num);
  return TakeImages(result, records, num, images);
}

Terr Instance::SetParam(std::string_view name, const std::vector<Value> &values) {
  TFgSetParamOp op = plugin_->fg_class().param_ops.set_param;
  if (!open_ || !internal::Written(op) || values.size() > INT32_MAX) return T_ERR_ARGUMENT;
  std::string name_text(name);
  internal::ParamRecords records;
  internal::ToRecords(values, &records);
  return op(plugin_->proc(), record_.get(), name_text.c_str(), records.records.data(),
            static_cast<int32_t>(records.records.size()));
}

Terr Instance::GetParam(std::string_view name, std::vector<Value> *values) {
  TFgGetParamOp op = plugin_->fg_class().param_ops.get_param;
  if (!open_ || !internal::Written(op) || values == nullptr) return T_ERR_ARGUMENT;
  values->clear();
  std::string name_text(name);
  std::vector<Tcpar> records(kMaxParamValues, Tcpar{});
  int32_t num = 0;
  Terr result = op(plugin_->proc(), record_.get(), name_text.c_str(), records.data(), &num);
  if (result != T_MSG_OK) return result;
  // Strings may point into buffers the next call overwrites: copy them out now.
  if (num < 0 || num > kMaxParamValues || !internal::FromRecords(records.data(), num, values)) {
    values->clear();
    return T_ERR_ARGUMENT;
  }
  return result;
}

Terr Instance::SetLut(const std::vector<int64_t> &red, const std::vector<int64_t> &green,
                      const std::vector<int64_t> &blue) {
  TFgSetLutOp op = plugin_->fg_class().param_ops.set_lut;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  if (red.size() != green.size() || red.size() != blue.size() || red.size() > INT32_MAX) {
    return T_ERR_ARGUMENT;
  }
  // The operation takes mutable tables; hand it copies.
  std::vector<int64_t> r = red, g = green, b = blue;
  return op(plugin_->proc(), record_.get(), r.data(), g.data(), b.data(),
            static_cast<int32_t>(r.size()));
}

Terr Instance::GetLut(std::vector<int64_t> *red, std::vector<int64_t> *green,
                      std::vector<int64_t> *blue) {
  TFgGetLutOp op = plugin_->fg_class().param_ops.get_lut;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  if (red == nullptr || green == nullptr || blue == nullptr) return T_ERR_ARGUMENT;
  red->assign(kMaxLutEntries, 0);
  green->assign(kMaxLutEntries, 0);
  blue->assign(kMaxLutEntries, 0);
  int32_t num = 0;
  Terr result = op(plugin_->proc(), record_.get(), red->data(), green->data(), blue->data(), &num);
  if (result == T_MSG_OK && (num < 0 || num > kMaxLutEntries)) result = T_ERR_ARGUMENT;
  size_t kept = result == T_MSG_OK ? size_t(num) : 0;
  red->resize(kept);
  green->resize(kept);
  blue->resize(kept);
  return result;
}

#if defined(TARVEL_BUILD_PAR)
// The par class record has no callback operations.
Terr Instance::SetCallback(std::string_view, TFgCallback, void *) { return T_ERR_ARGUMENT; }
Terr Instance::GetCallback(std::string_view, TFgCallback *, void **) { return T_ERR_ARGUMENT; }
#else
Terr Instance::SetCallback(std::string_view type, TFgCallback function, void *context) {
  TFgSetCallbackOp op = plugin_->fg_class().param_ops.set_callback;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  std::string type_text(type);
  return op(plugin_->proc(), record_.get(), type_text.c_str(), function, context);
}

Terr Instance::GetCallback(std::string_view type, TFgCallback *function, void **context) {
  TFgGetCallbackOp op = plugin_->fg_class().param_ops.get_callback;
  if (!open_ || !internal::Written(op)) return T_ERR_ARGUMENT;
  std::string type_text(type);
  return op(plugin_->proc(), record_.get(), type_text.c_str(), function, context);
}
#endif

}  // namespace tarvel
