// The application side of loading a plug-in: the system's loader, FGInit into a
// class record of the host's, information queries and opening instances.
#include <cstdlib>
#include <cstring>

#include "host_internal.hpp"
#include "host_library.hpp"

// The procedure handle is opaque to plug-ins; the host only needs a stable address.
struct TprocRec {
  int32_t unused;
};

namespace tarvel {
namespace {

TprocRec proc_record{};

std::string PluginDirectory() {
  const char *path = std::getenv("TARVEL_PLUGIN_PATH");
  if (path != nullptr && path[0] != '\0') return path;
  // Plug-ins are installed beside the host library.
  std::string beside = internal::HostDirectory();
  return beside.empty() ? "." : beside;
}

void SetError(std::string *error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

std::string BoundedText(const char (&text)[TARVEL_FG_TEXT]) {
  return std::string(text, strnlen(text, sizeof(text)));
}

// Texts that do not fit their field are refused rather than cut: a cut device or
// camera file name would open something else.
bool CopyText(const std::string &text, char (&field)[TARVEL_FG_TEXT]) {
  if (text.size() >= sizeof(field) || text.find('\0') != std::string::npos) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

// The slot must lie inside the class record's instance array and be free; a slot
// anywhere else would have the host write over memory it does not own.
bool UsableSlot(const TFgClass &fg_class, TFgInstance **slot) {
  auto first = reinterpret_cast<uintptr_t>(&fg_class.instance[0]);
  auto address = reinterpret_cast<uintptr_t>(slot);
  if (address < first || (address - first) % sizeof(TFgInstance *) != 0) return false;
  if ((address - first) / sizeof(TFgInstance *) >= TARVEL_MAX_FG_INSTANCES) return false;
  return !internal::Written(*slot);
}

}  // namespace

std::unique_ptr<Plugin> Plugin::Load(std::string_view name, std::string *error) {
  // A name is a file name, never a path, on either system.
  if (name.empty() || name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
    SetError(error, "invalid plug-in name '" + std::string(name) + "'");
    return nullptr;
  }
  std::string path = PluginDirectory() + "/" + internal::PluginFileName(name);
  std::string why;
  void *library = internal::OpenLibrary(path, &why);
  if (library == nullptr) {
    SetError(error, "cannot load plug-in " + path + ": " + why);
    return nullptr;
  }
  auto init = reinterpret_cast<TFgInitProc>(internal::LibrarySymbol(library, "FGInit"));
  if (init == nullptr) {
    SetError(error, "plug-in " + path + " has no FGInit");
    internal::CloseLibrary(library);
    return nullptr;
  }
  std::unique_ptr<Plugin> plugin(new Plugin());
  plugin->library_ = library;
  plugin->proc_ = &proc_record;
  plugin->fg_class_ = std::make_unique<TFgClass>();
  std::memset(plugin->fg_class_.get(), internal::kUnwrittenByte, sizeof(TFgClass));
  plugin->init_result_ = init(plugin->proc_, plugin->fg_class_.get());
  return plugin;
}

Plugin::~Plugin() {
  if (library_ != nullptr) internal::CloseLibrary(library_);
}

Plugin::Info Plugin::Query(int32_t kind) {
  Info info;
  TFgInfoOp op = fg_class_->param_ops.info;
  if (!internal::Written(op)) {
    info.result = T_ERR_ARGUMENT;
    return info;
  }
  const char *description = nullptr;
  Tcpar *values = nullptr;
  int32_t num_values = 0;
  info.result = op(proc_, kind, &description, &values, &num_values);
  if (description != nullptr) info.description = description;
  if (values != nullptr) {
    if (!internal::FromRecords(values, num_values, &info.values) && info.result == T_MSG_OK) {
      info.result = T_ERR_ARGUMENT;
    }
    // The array is the host's once handed over; a pointer the allocator does not know
    // shows up among the rejected frees. Freed as the host, not as a call of the plug-in.
    internal::HostFree(values);
  }
  return info;
}

Plugin::OpenParams Plugin::Defaults() const {
  const TFgClass &c = *fg_class_;
  OpenParams params;
  params.horizontal_resolution = c.horizontal_resolution;
  params.vertical_resolution = c.vertical_resolution;
  params.image_width = c.image_width;
  params.image_height = c.image_height;
  params.start_row = c.start_row;
  params.start_column = c.start_column;
  params.field = c.field;
  params.bits_per_channel = c.bits_per_channel;
  params.color_space = BoundedText(c.color_space);
  params.gain = c.gain;
  params.external_trigger = c.external_trigger != 0;
  params.camera_type = BoundedText(c.camera_type);
  params.device = BoundedText(c.device);
  params.port = c.port;
  params.line_in = c.line_in;
  return params;
}

std::unique_ptr<Instance> Plugin::Open(const OpenParams &params, Terr *result) {
  Terr ignored = 0;
  if (result == nullptr) result = &ignored;
  TFgClass &c = *fg_class_;
  if (!internal::Written(c.ops.alloc_instance) || !internal::Written(c.ops.open)) {
    *result = T_ERR_ARGUMENT;
    return nullptr;
  }
  std::unique_ptr<Instance> instance(new Instance(this, nullptr));
  instance->record_ = std::make_unique<TFgInstance>();
  TFgInstance &record = *instance->record_;
  std::memset(&record, 0, sizeof(record));
  record.fgclass = &c;
  record.horizontal_resolution = params.horizontal_resolution;
  record.vertical_resolution = params.vertical_resolution;
  record.image_width = params.image_width;
  record.image_height = params.image_height;
  record.start_row = params.start_row;
  record.start_column = params.start_column;
  record.field = params.field;
  record.bits_per_channel = params.bits_per_channel;
  record.gain = params.gain;
  record.external_trigger = params.external_trigger ? 1 : 0;
  record.port = params.port;
  record.line_in = params.line_in;
  if (!CopyText(params.color_space, record.color_space) ||
      !CopyText(params.camera_type, record.camera_type) ||
      !CopyText(params.device, record.device) || params.generic.size() > INT32_MAX) {
    *result = T_ERR_ARGUMENT;
    return nullptr;
  }
  internal::ParamRecords generic;
  internal::ToRecords(params.generic, &generic);
  // Moving the vectors hands over their buffers, so the record pointers stay valid.
  instance->generic_ = std::move(generic.records);
  instance->generic_text_ = std::move(generic.texts);
  record.generic = instance->generic_.empty() ? nullptr : instance->generic_.data();
  record.num_generic = static_cast<int32_t>(instance->generic_.size());

  TFgInstance **slot = c.ops.alloc_instance(proc_, &record);
  if (slot == nullptr) {
    *result = T_ERR_NO_INSTANCE;
    return nullptr;
  }
  if (!UsableSlot(c, slot)) {
    *result = T_ERR_ARGUMENT;
    return nullptr;
  }
  *slot = &record;
  Terr opened = c.ops.open(proc_, &record);
  if (opened != T_MSG_OK) {
    *slot = nullptr;
    *result = opened;
    return nullptr;
  }
  instance->slot_ = slot;
  instance->open_ = true;
  ++c.instances_num;
  *result = T_MSG_OK;
  return instance;
}

}  // namespace tarvel
