// Loading a plug-in, and the application API driving class operations. The
// operations are test fakes written into the class record of the loaded plug-in,
// so these tests check the host's side whatever the plug-in's state.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host_fixture.hpp"
#include "support/test_os.hpp"

namespace tarvel::testing {
namespace {

#if defined(TARVEL_BUILD_PAR)
constexpr const char *kHostLibrary = "partarvel";
#elif defined(TARVEL_BUILD_XL)
constexpr const char *kHostLibrary = "tarvelxl";
#else
constexpr const char *kHostLibrary = "tarvel";
#endif

using grabline::testing::ScopedEnv;

TEST(HostPluginLoad, MissingLibraryNamesIt) {
  ScopedEnv path("TARVEL_PLUGIN_PATH", "/nonexistent/plugins");
  std::string error;
  EXPECT_EQ(Plugin::Load("no_such_plugin", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/plugins/" + grabline::testing::LibraryFile("no_such_plugin")),
            std::string::npos)
      << error;
  EXPECT_EQ(Plugin::Load("../escape", &error), nullptr);
  EXPECT_NE(error.find("'../escape'"), std::string::npos) << error;
  EXPECT_EQ(Plugin::Load("", nullptr), nullptr);
}

TEST(HostPluginLoad, LibraryWithoutEntryPointBesideTheHost) {
  ScopedEnv path("TARVEL_PLUGIN_PATH", nullptr);  // the directory of the host library itself
  std::string error;
  EXPECT_EQ(Plugin::Load(kHostLibrary, &error), nullptr);
  EXPECT_NE(error.find(grabline::testing::LibraryFile(kHostLibrary) + " has no FGInit"),
            std::string::npos)
      << error;
}

// ---- fake class operations ------------------------------------------------------------

struct Fake {
  TFgClass *fg_class = nullptr;
  TFgInstance **slot = nullptr;
  Terr open_result = T_MSG_OK;
  int alloc_calls = 0;
  int close_calls = 0;
  std::string device_seen;
  std::vector<Value> generic_seen;
  int images_made = 0;
  int32_t num_reported = 0;
  Terr grab_result = T_MSG_OK;
  double max_age = 0;
  std::string name_seen;
  std::vector<Value> values_seen;
  std::vector<int64_t> lut_seen;
};
Fake fake;
char answer_text[32];

TFgInstance **FakeAlloc(Tproc_handle, TFgInstance *) {
  ++fake.alloc_calls;
  return fake.slot;
}

Terr FakeOpen(Tproc_handle, TFgInstance *record) {
  fake.device_seen = record->device;
  std::vector<Value> generic;
  for (int32_t k = 0; k < record->num_generic; ++k) {
    const Tcpar &p = record->generic[k];
    generic.push_back(p.type == TPAR_STRING   ? Value::Str(p.par.s)
                      : p.type == TPAR_DOUBLE ? Value::Double(p.par.d)
                                              : Value::Int(p.par.l));
  }
  fake.generic_seen = generic;
  return fake.open_result;
}

Terr FakeClose(Tproc_handle, TFgInstance *) {
  ++fake.close_calls;
  return T_MSG_OK;
}

Terr FakeGrab(Tproc_handle proc, TFgInstance *, Timage *images, int32_t *num) {
  for (int k = 0; k < fake.images_made; ++k) {
    if (TNewImage(proc, &images[k], BYTE_IMAGE, 2, 2) != T_MSG_OK) return T_ERR_IMAGE;
    images[k].pixel.b[3] = uint8_t(10 + k);
  }
  *num = fake.num_reported;
  return fake.grab_result;
}

Terr FakeGrabStart(Tproc_handle, TFgInstance *, double max_age) {
  fake.max_age = max_age;
  return T_MSG_OK;
}

Terr FakeGrabAsync(Tproc_handle proc, TFgInstance *fginst, double max_age, Timage *images,
                   int32_t *num) {
  fake.max_age = max_age;
  return FakeGrab(proc, fginst, images, num);
}

Terr FakeInfo(Tproc_handle proc, int32_t query, const char **info, Tcpar **values, int32_t *num) {
  *info = query == 2 ? "TARVEL interface for tests." : "Value list.";
  if (query == 2) return T_MSG_OK;
  void *block = nullptr;
  if (TXAlloc(proc, 2 * sizeof(Tcpar), &block) != T_MSG_OK) return T_ERR_MEM;
  auto *records = static_cast<Tcpar *>(block);
  std::memset(records, 0, 2 * sizeof(Tcpar));
  records[0].type = TPAR_INT;
  records[0].par.l = 7;
  records[1].type = query == 9 ? 3 : TPAR_STRING;  // 9: a tag no host knows
  records[1].par.s = const_cast<char *>("gray");
  *values = records;
  *num = 2;
  return T_MSG_OK;
}

Terr FakeSetParam(Tproc_handle, TFgInstance *, const char *name, Tcpar *value, int32_t num) {
  fake.name_seen = name;
  fake.values_seen.clear();
  for (int32_t k = 0; k < num; ++k) {
    fake.values_seen.push_back(value[k].type == TPAR_STRING ? Value::Str(value[k].par.s)
                                                            : Value::Int(value[k].par.l));
  }
  return T_MSG_OK;
}

Terr FakeGetParam(Tproc_handle, TFgInstance *, const char *name, Tcpar *value, int32_t *num) {
  if (std::strcmp(name, "too_many") == 0) {
    *num = 1 << 20;
    return T_MSG_OK;
  }
  std::snprintf(answer_text, sizeof(answer_text), "%s", "enable");
  value[0].type = TPAR_STRING;
  value[0].par.s = answer_text;
  value[1].type = TPAR_DOUBLE;
  value[1].par.d = 2.5;
  *num = 2;
  return T_MSG_OK;
}

Terr FakeSetLut(Tproc_handle, TFgInstance *, int64_t *red, int64_t *, int64_t *, int32_t num) {
  fake.lut_seen.assign(red, red + num);
  return T_MSG_OK;
}

Terr FakeGetLut(Tproc_handle, TFgInstance *, int64_t *red, int64_t *green, int64_t *blue,
                int32_t *num) {
  for (int32_t k = 0; k < 256; ++k) red[k] = green[k] = blue[k] = k;
  *num = 256;
  return T_MSG_OK;
}

#if !defined(TARVEL_BUILD_PAR)
std::string callback_type;
TFgCallback callback_function = nullptr;
void *callback_context = nullptr;

Terr FakeSetCallback(Tproc_handle, TFgInstance *, const char *type, TFgCallback function,
                     void *context) {
  callback_type = type;
  callback_function = function;
  callback_context = context;
  return T_MSG_OK;
}

Terr FakeGetCallback(Tproc_handle, TFgInstance *, const char *type, TFgCallback *function,
                     void **context) {
  if (callback_type != type) return 5334;
  *function = callback_function;
  *context = callback_context;
  return T_MSG_OK;
}

void SomeCallback(void *, void *, void *) {}
#endif

class HostInstance : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    std::string error;
    plugin_ = Plugin::Load(GRABLINE_PLUGIN_NAME, &error);
    ASSERT_NE(plugin_, nullptr) << error;
    TFgClass &c = plugin_->fg_class();
    fake = Fake{};
    fake.fg_class = &c;
    fake.slot = &c.instance[3];
    c.instances_num = 0;
    c.ops.alloc_instance = FakeAlloc;
    c.ops.open = FakeOpen;
    c.ops.close = FakeClose;
    c.ops.grab = FakeGrab;
    c.ops.grab_start = FakeGrabStart;
    c.ops.grab_async = FakeGrabAsync;
    c.param_ops.info = FakeInfo;
    c.param_ops.set_param = FakeSetParam;
    c.param_ops.get_param = FakeGetParam;
    c.param_ops.set_lut = FakeSetLut;
    c.param_ops.get_lut = FakeGetLut;
#if !defined(TARVEL_BUILD_PAR)
    c.param_ops.set_callback = FakeSetCallback;
    c.param_ops.get_callback = FakeGetCallback;
#endif
    allocations_ = OutstandingAllocations();
    images_ = OutstandingImages();
  }

  void TearDown() override {
    EXPECT_EQ(OutstandingAllocations(), allocations_);
    EXPECT_EQ(OutstandingImages(), images_);
    HostTest::TearDown();
  }

  std::unique_ptr<Instance> Open(Terr *result) {
    Plugin::OpenParams params;
    params.device = "R64:1";
    params.generic = {Value::Str("show_error_dlg:0"), Value::Int(-3), Value::Double(0.5)};
    return plugin_->Open(params, result);
  }

  std::unique_ptr<Plugin> plugin_;
  size_t allocations_ = 0;
  size_t images_ = 0;
};

TEST_F(HostInstance, ClassRecordStartsFilledAndProcIsSet) {
  uintptr_t bits = 0;
  std::memcpy(&bits, &plugin_->fg_class().instance[5], sizeof(bits));
  EXPECT_EQ(bits, 0xA5A5A5A5A5A5A5A5u);
  EXPECT_NE(plugin_->proc(), nullptr);
  EXPECT_EQ(plugin_->init_result(), T_MSG_OK);
}

TEST_F(HostInstance, OpenFillsTheSlotAndCloseClearsIt) {
  Terr result = 0;
  std::unique_ptr<Instance> instance = Open(&result);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(result, T_MSG_OK);
  TFgClass &c = plugin_->fg_class();
  EXPECT_EQ(c.instance[3], &instance->record());
  EXPECT_EQ(c.instances_num, 1);
  EXPECT_EQ(instance->record().fgclass, &c);
  EXPECT_EQ(fake.device_seen, "R64:1");
  ASSERT_EQ(fake.generic_seen.size(), 3u);
  EXPECT_EQ(fake.generic_seen[0].s, "show_error_dlg:0");
  EXPECT_EQ(fake.generic_seen[1].i, -3);
  EXPECT_EQ(fake.generic_seen[2].d, 0.5);

  EXPECT_EQ(instance->Close(), T_MSG_OK);
  EXPECT_EQ(c.instance[3], nullptr);
  EXPECT_EQ(c.instances_num, 0);
  EXPECT_EQ(instance->Close(), T_ERR_ARGUMENT);
  EXPECT_EQ(fake.close_calls, 1);
}

TEST_F(HostInstance, OpenFailuresLeaveNoInstance) {
  Terr result = 0;
  fake.slot = nullptr;
  EXPECT_EQ(Open(&result), nullptr);
  EXPECT_EQ(result, T_ERR_NO_INSTANCE);

  fake.slot = &plugin_->fg_class().instance[3];
  fake.open_result = 5302;
  EXPECT_EQ(Open(&result), nullptr);
  EXPECT_EQ(result, 5302);
  EXPECT_EQ(plugin_->fg_class().instance[3], nullptr);
  EXPECT_EQ(plugin_->fg_class().instances_num, 0);

  // A slot outside the class record's array is never written.
  TFgInstance *elsewhere = nullptr;
  fake.slot = &elsewhere;
  EXPECT_EQ(Open(&result), nullptr);
  EXPECT_EQ(result, T_ERR_ARGUMENT);

  // A device name longer than its field is refused before the plug-in sees it.
  const int alloc_calls = fake.alloc_calls;
  Plugin::OpenParams params;
  params.device = std::string(TARVEL_FG_TEXT, 'd');
  EXPECT_EQ(plugin_->Open(params, &result), nullptr);
  EXPECT_EQ(result, T_ERR_ARGUMENT);
  EXPECT_EQ(fake.alloc_calls, alloc_calls);
}

TEST_F(HostInstance, DefaultsComeFromTheClassRecord) {
  TFgClass &c = plugin_->fg_class();
  c.image_width = 640;
  c.field = 4;
  std::strcpy(c.color_space, "rgb");
  c.external_trigger = 1;
  std::memset(c.device, 'x', sizeof(c.device));  // unterminated: read bounded
  Plugin::OpenParams params = plugin_->Defaults();
  EXPECT_EQ(params.image_width, 640);
  EXPECT_EQ(params.color_space, "rgb");
  EXPECT_TRUE(params.external_trigger);
  EXPECT_EQ(params.device.size(), size_t(TARVEL_FG_TEXT));
}

TEST_F(HostInstance, GrabWrapsImagesAndReleasesWhatItDoesNotHandOver) {
  Terr result = 0;
  std::unique_ptr<Instance> instance = Open(&result);
  ASSERT_NE(instance, nullptr);
  std::vector<Image> images;
  fake.images_made = 3;
  fake.num_reported = 2;  // the third image is the host's to drop
  ASSERT_EQ(instance->Grab(&images), T_MSG_OK);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[1].at(1, 1), 11);
  EXPECT_EQ(OutstandingImages(), images_ + 2);
  images.clear();

  fake.grab_result = 5306;
  EXPECT_EQ(instance->Grab(&images), 5306);
  EXPECT_TRUE(images.empty());
  EXPECT_EQ(OutstandingImages(), images_);

  fake.grab_result = T_MSG_OK;
  fake.num_reported = 5;
  EXPECT_EQ(instance->Grab(&images), T_ERR_ARGUMENT);
  EXPECT_TRUE(images.empty());

  fake.images_made = 1;
  fake.num_reported = 1;
  EXPECT_EQ(instance->GrabStart(250.0), T_MSG_OK);
  ASSERT_EQ(instance->GrabAsync(-1.0, &images), T_MSG_OK);
  EXPECT_EQ(fake.max_age, -1.0);
  EXPECT_EQ(images.size(), 1u);
}

TEST_F(HostInstance, ParametersConvertBothWays) {
  Terr result = 0;
  std::unique_ptr<Instance> instance = Open(&result);
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", {Value::Int(5000), Value::Str("x")}), T_MSG_OK);
  EXPECT_EQ(fake.name_seen, "grab_timeout");
  ASSERT_EQ(fake.values_seen.size(), 2u);
  EXPECT_EQ(fake.values_seen[0].i, 5000);
  EXPECT_EQ(fake.values_seen[1].s, "x");

  std::vector<Value> values;
  ASSERT_EQ(instance->GetParam("volatile", &values), T_MSG_OK);
  std::strcpy(answer_text, "overwritten");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].type, Value::Type::kString);
  EXPECT_EQ(values[0].s, "enable");
  EXPECT_EQ(values[1].d, 2.5);
  EXPECT_EQ(instance->GetParam("too_many", &values), T_ERR_ARGUMENT);
  EXPECT_TRUE(values.empty());
}

TEST_F(HostInstance, QueryConvertsAndFreesTheArray) {
  Plugin::Info info = plugin_->Query(10);
  EXPECT_EQ(info.result, T_MSG_OK);
  EXPECT_EQ(info.description, "Value list.");
  ASSERT_EQ(info.values.size(), 2u);
  EXPECT_EQ(info.values[0].i, 7);
  EXPECT_EQ(info.values[1].s, "gray");

  info = plugin_->Query(9);
  EXPECT_EQ(info.result, T_ERR_ARGUMENT);
  info = plugin_->Query(2);
  EXPECT_EQ(info.description, "TARVEL interface for tests.");
  EXPECT_TRUE(info.values.empty());
  EXPECT_TRUE(RejectedFrees().empty());
}

TEST_F(HostInstance, LutsCallbacksAndUnwrittenOperations) {
  Terr result = 0;
  std::unique_ptr<Instance> instance = Open(&result);
  ASSERT_NE(instance, nullptr);
  // Host integers are 64 bits wide: no entry is cut or shifted on the way.
  EXPECT_EQ(instance->SetLut({1, int64_t{1} << 40, -3}, {0, 0, 0}, {0, 0, 0}), T_MSG_OK);
  EXPECT_EQ(fake.lut_seen, (std::vector<int64_t>{1, int64_t{1} << 40, -3}));
  EXPECT_EQ(instance->SetLut({1, 2}, {0}, {0, 0}), T_ERR_ARGUMENT);
  std::vector<int64_t> red, green, blue;
  ASSERT_EQ(instance->GetLut(&red, &green, &blue), T_MSG_OK);
  EXPECT_EQ(blue.size(), 256u);
  EXPECT_EQ(blue[255], 255);

  TFgCallback function = nullptr;
  void *context = nullptr;
#if defined(TARVEL_BUILD_PAR)
  EXPECT_EQ(instance->SetCallback("transfer_end", nullptr, nullptr), T_ERR_ARGUMENT);
  EXPECT_EQ(instance->GetCallback("transfer_end", &function, &context), T_ERR_ARGUMENT);
#else
  int context_value = 0;
  ASSERT_EQ(instance->SetCallback("transfer_end", SomeCallback, &context_value), T_MSG_OK);
  ASSERT_EQ(instance->GetCallback("transfer_end", &function, &context), T_MSG_OK);
  EXPECT_EQ(function, &SomeCallback);
  EXPECT_EQ(context, &context_value);
  EXPECT_EQ(instance->GetCallback("exposure_end", &function, &context), 5334);
  plugin_->fg_class().param_ops.set_callback = nullptr;
  EXPECT_EQ(instance->SetCallback("transfer_end", nullptr, nullptr), T_ERR_ARGUMENT);
#endif
  // An operation the plug-in never wrote still holds the fill byte.
  std::memset(&plugin_->fg_class().ops.grab_start, 0xA5, sizeof(TFgGrabStartOp));
  EXPECT_EQ(instance->GrabStart(0.0), T_ERR_ARGUMENT);
}

}  // namespace
}  // namespace tarvel::testing
