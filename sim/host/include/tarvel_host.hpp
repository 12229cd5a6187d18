// tarvel_host.hpp — the host library's side that applications, tools and tests
// use: the books the host keeps of what plug-ins do, fault injection, and the
// application API that loads a plug-in and drives its class operations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvel.h"

// The host library is built with hidden visibility; everything declared here is its public API.
#pragma GCC visibility push(default)

namespace tarvel {

// ---- books -----------------------------------------------------------------------
struct Allocation {
  size_t bytes = 0;
  bool traced = false;  // made with TXAllocMemCheck
  std::string file;     // where, when traced
  int32_t line = 0;
  bool free_refused = false;  // a free of it was refused (FailFree): it is still the host's
};
size_t OutstandingAllocations();
size_t OutstandingBytes();
std::vector<Allocation> Outstanding();
// Images whose pixels the host allocated and that are not yet released.
size_t OutstandingImages();

std::vector<std::string> PrintedMessages();  // IOPrintErrorMessage texts
struct HookCall {
  std::string text;
  Terr code = 0;
  int32_t line = 0;
  std::string file;
};
std::vector<HookCall> ErrorHookCalls();  // TProcessErr calls
std::vector<HookCall> SpyCalls();        // IOSpyProcCall calls (code 0)
// Frees of pointers the allocator did not hand out (or handed out and took back already).
std::vector<Allocation> RejectedFrees();
// Clears messages, hook and spy calls, rejected frees and the call log (its sequence
// and thread numbers start again); allocations stay on the books.
void ClearLogs();
// Host mutexes initialised and not yet destroyed.
size_t OutstandingMutexes();

// The call log: the host calls a plug-in makes, in the order they took effect (a lock
// when it is taken, an unlock before it lets another thread in, a free before its
// memory can be handed out again). Off by default; bounded, dropping the oldest.
struct HostCall {
  uint64_t sequence = 0;  // 1, 2, 3... since ClearLogs; a gap means entries were dropped
  uint32_t thread = 0;    // 1, 2, 3... by each thread's first logged call since ClearLogs
  std::string_view name;  // the host call, e.g. "TXAlloc"
  // What the call was, by name; unused fields are 0. Pointers are their addresses;
  // a mutex is its serial number, given at init and never reused (0: not a live mutex).
  //   TXAlloc           size, pointer handed out
  //   TXAllocMemCheck   size, pointer handed out, line, id       text: file
  //   TXFree            pointer
  //   TXFreeMemCheck    pointer, line                             text: file
  //   TNewImage         kind, width, height, 0
  //   TNewImagePtr      kind, width, height, 1 when laid over the caller's data (no copy)
  //   TAccessGlVar      var, mode, value read or written (0 when refused)
  //   TpThreadMutexInit, TpThreadMutexDestroy, TpThreadMutexLock, TpThreadMutexUnlock
  //                     mutex
  //   TProcessErr       code, line                                text: text
  //   IOSpyProcCall     line                                      text: text
  //   IOPrintErrorMessage                                         text: text
  //   TFgGetDefaults    number of values, pointer to them
  // IOGetSpyProcCallSwitch is left out: a plug-in asks it before every traced call.
  std::array<int64_t, 4> fields{};
  std::string text;
  Terr result = 0;  // what the call answered; T_MSG_OK for calls that answer nothing
};
void RecordHostCalls(bool on);
std::vector<HostCall> HostCalls();
// The log so far, leaving it empty; sequence and thread numbers go on.
std::vector<HostCall> TakeHostCalls();
std::vector<HostCall> HostCallsOf(uint32_t thread, const std::vector<HostCall> &calls);
std::vector<std::string> HostCallNames(const std::vector<HostCall> &calls);

// ---- switches ---------------------------------------------------------------------
void SetSpying(bool on);       // IOGetSpyProcCallSwitch, or both TROInfo flags
void SetTraceMemory(bool on);  // TTraceMemory
void SetLowError(bool on);     // TDoLowError
// What TProcessErr answers: by default the code it is given.
void SetProcessErrResult(std::optional<Terr> result);
// Host global variable 64 as TAccessGlVar reads and writes it.
int64_t GlobalVariable64();
void SetGlobalVariable64(int64_t value);

// ---- injection ----------------------------------------------------------------------
// The nth call (1 = the next one) from now fails: an allocation with T_ERR_MEM,
// an image creation with T_ERR_IMAGE, a mutex call (init, destroy, lock or
// unlock) with T_ERR_MUTEX, or with the code given. A failed allocation hands out
// nothing; a failed image creation or mutex call changes nothing.
void FailAllocation(uint32_t nth);
void FailAllocation(uint32_t nth, Terr code);
void FailImageCreation(uint32_t nth);
void FailImageCreation(uint32_t nth, Terr code);
void FailMutexCall(uint32_t nth);
void FailMutexCall(uint32_t nth, Terr code);
// The nth allocation from now hands out its block and puts it on the books as usual, yet
// answers `code`: some hosts do, and the plug-in must free the block all the same. (One
// that cannot be made fails as it would.) TFgGetDefaults takes such a block back and
// only passes the code on.
void FailAllocationFilled(uint32_t nth, Terr code);
// The nth TXFree or TXFreeMemCheck from now answers `code` and frees nothing: the block
// stays outstanding, marked free_refused, as with a host that refuses. ClearInjections
// releases such blocks (a later free of one is then rejected).
void FailFree(uint32_t nth, Terr code);
void ClearInjections();
// Calls counted since the process started, for sweeping failure points.
uint64_t AllocationCalls();
uint64_t FreeCalls();
uint64_t ImageCalls();
uint64_t MutexCalls();

// ---- images ----------------------------------------------------------------------------
// An image the application received; releases host-owned pixels when destroyed.
class Image {
 public:
  Image() = default;
  explicit Image(const Timage &record);
  Image(Image &&other) noexcept;
  Image &operator=(Image &&other) noexcept;
  Image(const Image &) = delete;
  Image &operator=(const Image &) = delete;
  ~Image();

  const Timage &record() const { return record_; }
  int32_t kind() const { return record_.kind; }
  int32_t width() const { return record_.width; }
  int32_t height() const { return record_.height; }
  bool owned() const { return record_.owns_pixels != 0; }
  const void *data() const { return record_.pixel.raw; }
  int significant_bits() const;  // 16-bit images: the count; else 8 or 32
  size_t bytes_per_pixel() const;
  // Pixel value at (x, y) widened to 64 bits.
  int64_t at(int32_t x, int32_t y) const;

 private:
  Timage record_{};
};

// Writes one gray channel or three channels (red, green, blue in the order given) of equal
// size and kind as a PNG file: BYTE_IMAGE as 8 bits, UINT2_IMAGE as 16 bits. On failure
// returns false and fills `error`.
bool WritePng(const std::string &path, const std::vector<const Image *> &channels,
              std::string *error);

// A parameter value as the application gives and receives it.
struct Value {
  enum class Type { kInt, kDouble, kString } type = Type::kInt;
  int64_t i = 0;
  double d = 0;
  std::string s;
  static Value Int(int64_t v);
  static Value Double(double v);
  static Value Str(std::string_view v);
};

// ---- application API ----------------------------------------------------------------------
class Instance;

class Plugin {
 public:
  // Loads the plug-in `name` (e.g. "grablinexl") with the system's loader, from the
  // directory in TARVEL_PLUGIN_PATH or beside the host library, and calls its
  // FGInit. Returns null and fills `error` when that fails.
  static std::unique_ptr<Plugin> Load(std::string_view name, std::string *error = nullptr);
  ~Plugin();
  Plugin(const Plugin &) = delete;
  Plugin &operator=(const Plugin &) = delete;

  TFgClass &fg_class() { return *fg_class_; }
  Terr init_result() const { return init_result_; }
  Tproc_handle proc() const { return proc_; }

  struct Info {
    Terr result = 0;
    std::string description;
    std::vector<Value> values;
  };
  Info Query(int32_t kind);

  // Open parameters, initialised from the class defaults.
  struct OpenParams;
  OpenParams Defaults() const;
  // Allocates a slot and opens an instance. On failure returns null and the
  // code in `result`.
  std::unique_ptr<Instance> Open(const OpenParams &params, Terr *result);

 private:
  Plugin() = default;
  void *library_ = nullptr;
  std::unique_ptr<TFgClass> fg_class_;
  Terr init_result_ = 0;
  Tproc_handle proc_ = nullptr;
};

struct Plugin::OpenParams {
  int32_t horizontal_resolution = 1;
  int32_t vertical_resolution = 1;
  int32_t image_width = 0;
  int32_t image_height = 0;
  int32_t start_row = 0;
  int32_t start_column = 0;
  int32_t field = 4;
  int32_t bits_per_channel = -1;
  std::string color_space = "gray";
  float gain = 1.0f;
  bool external_trigger = false;
  std::string camera_type = "default";
  std::string device = "default";
  int32_t port = 0;
  int32_t line_in = 1;
  std::vector<Value> generic;
};

class Instance {
 public:
  ~Instance();  // closes if still open
  Instance(const Instance &) = delete;
  Instance &operator=(const Instance &) = delete;

  TFgInstance &record() { return *record_; }
  Terr Close();
  Terr Grab(std::vector<Image> *images);
  Terr GrabStart(double max_age);
  Terr GrabAsync(double max_age, std::vector<Image> *images);
  Terr SetParam(std::string_view name, const std::vector<Value> &values);
  Terr SetParam(std::string_view name, const Value &value) {
    return SetParam(name, std::vector<Value>{value});
  }
  Terr GetParam(std::string_view name, std::vector<Value> *values);
  Terr SetLut(const std::vector<int64_t> &red, const std::vector<int64_t> &green,
              const std::vector<int64_t> &blue);
  Terr GetLut(std::vector<int64_t> *red, std::vector<int64_t> *green, std::vector<int64_t> *blue);
  Terr SetCallback(std::string_view type, TFgCallback function, void *context);
  Terr GetCallback(std::string_view type, TFgCallback *function, void **context);

 private:
  friend class Plugin;
  Instance(Plugin *plugin, TFgInstance **slot);
  Plugin *plugin_;
  std::unique_ptr<TFgInstance> record_;
  std::vector<Tcpar> generic_;
  std::vector<std::string> generic_text_;
  TFgInstance **slot_;
  bool open_ = false;
};

}  // namespace tarvel

#pragma GCC visibility pop
