// Application values and the parameter records plug-ins read and write.
#include <cstring>

#include "host_internal.hpp"

namespace tarvel {

Value Value::Int(int64_t v) {
  Value value;
  value.type = Type::kInt;
  value.i = v;
  return value;
}

Value Value::Double(double v) {
  Value value;
  value.type = Type::kDouble;
  value.d = v;
  return value;
}

Value Value::Str(std::string_view v) {
  Value value;
  value.type = Type::kString;
  value.s = std::string(v);
  return value;
}

namespace internal {

void ToRecords(const std::vector<Value> &values, ParamRecords *out) {
  out->texts.clear();
  // Texts are filled completely before any pointer into them is taken: growing the
  // vector afterwards would move short strings and leave the records dangling.
  out->texts.reserve(values.size());
  for (const Value &value : values) {
    out->texts.push_back(value.type == Value::Type::kString ? value.s : std::string());
  }
  out->records.assign(values.size(), Tcpar{});
  for (size_t k = 0; k < values.size(); ++k) {
    Tcpar &record = out->records[k];
    std::memset(&record, 0, sizeof(record));
    switch (values[k].type) {
      case Value::Type::kInt:
        record.type = TPAR_INT;
        record.par.l = values[k].i;
        break;
      case Value::Type::kDouble:
        record.type = TPAR_DOUBLE;
        record.par.d = values[k].d;
        break;
      case Value::Type::kString:
        record.type = TPAR_STRING;
        record.par.s = out->texts[k].data();
        break;
    }
  }
}

bool FromRecords(const Tcpar *records, int32_t num, std::vector<Value> *out) {
  out->clear();
  if (records == nullptr || num <= 0) return true;
  out->reserve(size_t(num));
  for (int32_t k = 0; k < num; ++k) {
    const Tcpar &record = records[k];
    switch (record.type) {
      case TPAR_INT:
        out->push_back(Value::Int(record.par.l));
        break;
      case TPAR_DOUBLE:
        out->push_back(Value::Double(record.par.d));
        break;
      case TPAR_STRING:
        out->push_back(Value::Str(record.par.s != nullptr ? record.par.s : ""));
        break;
      default:
        return false;
    }
  }
  return true;
}

}  // namespace internal
}  // namespace tarvel
