// Camera Link serial communication through the loader: the port, its
// settings, writes, reads, and the simulated camera at the other end.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using Messages = std::vector<std::string>;
using tarvel::Value;
using testing::PluginTest;

constexpr char kInvalidHandle[] = "Invalid serial handle.";
constexpr char kBaudMessage[] =
    "Invalid baud rate.\nSupported baud rates are: 9600, 19200, 38400, 57600, 115200, and 230400";
constexpr char kParityMessage[] = "Invalid parity.\nSupported parity values are: N, O, and E";

// The serial and configuration calls among those recorded: the instance's
// own threads may call the SDK meanwhile.
std::vector<bfsim::Call> SerialCalls() {
  std::vector<bfsim::Call> calls;
  for (bfsim::Call &call : bfsim::TakeCalls()) {
    const std::string_view name = call.function;
    if (name.starts_with("cl") || name.starts_with("BFGetCfg") || name == "BFFreeCfgDevices" ||
        name == "BFIsCL") {
      calls.push_back(std::move(call));
    }
  }
  return calls;
}

class Serial : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance_ = OpenOk();
    ASSERT_NE(instance_, nullptr);
  }
  void TearDown() override {
    PluginTest::TearDown();
    EXPECT_EQ(bfsim::OpenSerialHandles(), 0u) << "closing the instance closes its port";
  }

  Terr Set(const std::string &name, const Value &value) { return instance_->SetParam(name, value); }
  Terr Set(const std::string &name, const std::vector<Value> &values) {
    return instance_->SetParam(name, values);
  }
  Terr Action(const std::string &name) { return instance_->SetParam(name, std::vector<Value>{}); }
  std::vector<Value> Get(const std::string &name, Terr expected = kOk) {
    std::vector<Value> values;
    EXPECT_EQ(instance_->GetParam(name, &values), expected) << name;
    return values;
  }
  int64_t GetInt(const std::string &name) {
    const auto values = Get(name);
    return values.size() == 1 ? values[0].i : -1;
  }
  std::string Message(Terr expected = kOk) {
    const auto values = Get("serial_message", expected);
    return values.size() == 1 ? values[0].s : "";
  }
  // Messages printed since the last call.
  Messages Printed() {
    Messages printed = tarvel::PrintedMessages();
    tarvel::ClearLogs();
    return printed;
  }

  tarvel::Instance *instance_ = nullptr;
};

TEST_F(Serial, ExchangeWithTheCamera) {
  bfsim::SetSerialCameraLine(0, bfsim::SerialLine{115200, 8, 'E', 1});
  ASSERT_EQ(Action("do_comm_open"), kOk);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 1u);

  // Still at 9600 baud the camera hears nothing.
  ASSERT_EQ(Set("serial_timeout", Value::Int(20)), kOk);
  ASSERT_EQ(Set("serial_message", Value::Str("ID?\r")), kOk);
  EXPECT_EQ(Message(FG_ERR_TIMEOUT), "");

  ASSERT_EQ(Set("do_comm_param", Value::Str("timeout 1000:baud_rate 115200:parity E:stop_bits 1")),
            kOk);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{115200, 8, 'E', 1}));
  EXPECT_EQ(GetInt("serial_baudrate"), 115200);
  EXPECT_EQ(GetInt("serial_timeout"), 1000);

  ASSERT_EQ(Set("serial_message", Value::Str("ID?\r")), kOk);
  EXPECT_EQ(Message(), "GRABLINE-SIM-CAM\r");
  ASSERT_EQ(Set("do_comm_write", {Value::Str("EXP 250"), Value::Int(13)}), kOk);
  EXPECT_EQ(Message(), "OK\r");
  ASSERT_EQ(Set("serial_message", Value::Str("EXP?\r")), kOk);
  EXPECT_EQ(Message(), "250\r");
  EXPECT_EQ(bfsim::SerialCamera(0)->exposure_us, 250u);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "ID?\rID?\rEXP 250\rEXP?\r");

  ASSERT_EQ(Action("do_comm_close"), kOk);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
}

TEST_F(Serial, EveryPortOperationOnAClosedPortGives5251) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Action("do_comm_close"), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Action("do_comm_flush"), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Set("do_comm_write", Value::Str("ID?\r")), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Set("serial_message", Value::Str("ID?\r")), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Set("do_comm_param", Value::Str("baud_rate 19200")), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Set("serial_baudrate", Value::Int(19200)), FG_ERR_SERIAL_HANDLE);
  for (const char *read : {"do_comm_read", "do_comm_read_int", "comm_read_int", "do_comm_read_str",
                           "comm_read_str", "serial_message", "serial_baudrate"}) {
    Get(read, FG_ERR_SERIAL_HANDLE);
  }
  EXPECT_EQ(Printed(), Messages(13, kInvalidHandle));
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "");

  // The stored settings need no port, and start from their open values.
  const std::pair<const char *, int64_t> stored[] = {{"serial_timeout", 1000},
                                                     {"serial_write_delay", 0},
                                                     {"serial_terminate_code", 10},
                                                     {"serial_message_buf_size", 1024},
                                                     {"read_buf_size", 0}};
  for (const auto &[name, value] : stored) EXPECT_EQ(GetInt(name), value) << name;
  ASSERT_EQ(Set("serial_timeout", Value::Int(0x1'0000'0007)), kOk);  // the low 32 bits
  ASSERT_EQ(Set("serial_write_delay", Value::Int(3)), kOk);
  ASSERT_EQ(Set("serial_terminate_code", Value::Int(255)), kOk);
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(16)), kOk);
  ASSERT_EQ(Set("read_buf_size", Value::Int(8)), kOk);
  EXPECT_EQ(GetInt("serial_timeout"), 7);
  EXPECT_EQ(GetInt("serial_write_delay"), 3);
  EXPECT_EQ(GetInt("serial_terminate_code"), 255);
  EXPECT_EQ(GetInt("serial_message_buf_size"), 16);
  EXPECT_EQ(GetInt("read_buf_size"), 8);
  EXPECT_TRUE(Printed().empty());
}

TEST_F(Serial, WritesStringsAndSingleBytes) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  ASSERT_EQ(Set("do_comm_write", {Value::Str("ABC"), Value::Int(13)}), kOk);
  ASSERT_EQ(Set("do_comm_write", Value::Int(256 + 65)), kOk);
  ASSERT_EQ(Set("do_comm_write", Value::Int(-1)), kOk);
  const auto writes = bfsim::TakeSerialWrites(0);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].bytes, "ABC");
  EXPECT_EQ(writes[1].bytes, "\r");
  EXPECT_EQ(writes[2].bytes, "A");
  EXPECT_EQ(writes[3].bytes, "\xff");

  // A value of another type ends the write; what came before it went out.
  EXPECT_EQ(Set("do_comm_write", {Value::Str("X"), Value::Double(1.5), Value::Str("Y")}),
            FG_ERR_PARAM_TYPE);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "X");
  EXPECT_EQ(Set("serial_message", Value::Int(65)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Set("serial_message", {Value::Str("ID?\r"), Value::Str("ignored")}), kOk);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "ID?\r");

  // Without a delay an empty string is one write of nothing; with one it is no write.
  const uint64_t writes_before = bfsim::CallCount("clSerialWrite");
  ASSERT_EQ(Set("do_comm_write", Value::Str("")), kOk);
  EXPECT_EQ(bfsim::CallCount("clSerialWrite"), writes_before + 1);
  ASSERT_EQ(Set("serial_write_delay", Value::Int(1)), kOk);
  ASSERT_EQ(Set("do_comm_write", Value::Str("")), kOk);
  EXPECT_EQ(bfsim::CallCount("clSerialWrite"), writes_before + 1);
}

TEST_F(Serial, AWriteDelayPacesEachCharacterAndEachValue) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  ASSERT_EQ(Set("serial_write_delay", Value::Int(5)), kOk);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Set("do_comm_write", Value::Str("ABC")), kOk);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const auto writes = bfsim::TakeSerialWrites(0);
  ASSERT_EQ(writes.size(), 3u);
  for (size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].bytes, std::string(1, static_cast<char>('A' + i)));
    if (i > 0) {
      EXPECT_GE(writes[i].at_us - writes[i - 1].at_us, 5000u);
    }
  }
  // A pause after every character, and one more after the value.
  EXPECT_GE(elapsed, std::chrono::milliseconds(20));
}

TEST_F(Serial, WriteFailures) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  tarvel::SetLowError(true);
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kFail);
  EXPECT_EQ(Set("do_comm_write", Value::Str("ID?\r")), FG_ERR_SERIAL_WRITE);
  EXPECT_TRUE(Printed().empty());
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kStall);
  ASSERT_EQ(Set("serial_timeout", Value::Int(10)), kOk);
  EXPECT_EQ(Set("serial_message", Value::Str("ID?\r")), FG_ERR_TIMEOUT);
  EXPECT_EQ(Printed(), Messages{"Timed out writing message."});
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kNone);

  // With a delay the first failing character ends the write.
  ASSERT_EQ(Set("serial_write_delay", Value::Int(1)), kOk);
  bfsim::FailCall("clSerialWrite", 2, static_cast<uint32_t>(CL_ERR_LINE_FAULT));
  EXPECT_EQ(Set("do_comm_write", {Value::Str("ABC"), Value::Str("D")}), FG_ERR_SERIAL_WRITE);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "A");
}

TEST_F(Serial, MessageReadsStopAtTheTerminationCode) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  bfsim::QueueSerialBytes(0, "OK\r\n");
  EXPECT_EQ(Message(), "OK\r");

  ASSERT_EQ(Set("serial_terminate_code", Value::Int(200)), kOk);
  bfsim::QueueSerialBytes(0,
                          "AB\xc8"
                          "CD");
  EXPECT_EQ(Message(), "AB");
  EXPECT_EQ(bfsim::SerialPending(0), 2u);
  ASSERT_EQ(Action("do_comm_flush"), kOk);
  EXPECT_EQ(bfsim::SerialPending(0), 0u);

  // A buffer of n bytes takes at most n - 1; size 1 reads nothing at all.
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(4)), kOk);
  bfsim::QueueSerialBytes(0, "ABCDEF\xc8");
  EXPECT_EQ(Message(), "ABC");
  EXPECT_EQ(bfsim::SerialPending(0), 4u);
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(1)), kOk);
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(bfsim::SerialPending(0), 4u);

  // Nothing more comes: the bytes read before the time-out are lost with it.
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(32)), kOk);
  ASSERT_EQ(Set("serial_terminate_code", Value::Int(10)), kOk);
  ASSERT_EQ(Set("serial_timeout", Value::Int(10)), kOk);
  tarvel::SetLowError(true);
  Message(FG_ERR_TIMEOUT);
  EXPECT_EQ(Printed(), Messages{"Timed out reading message."});
  EXPECT_EQ(bfsim::SerialPending(0), 0u);
}

TEST_F(Serial, BlockReadsReturnReadBufSizeBytes) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  tarvel::SetLowError(true);
  Get("do_comm_read", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Printed(), Messages{"Read buffer size must be set before reading."});

  ASSERT_EQ(Set("read_buf_size", Value::Int(4)), kOk);
  for (const char *name : {"do_comm_read", "do_comm_read_int", "comm_read_int"}) {
    bfsim::QueueSerialBytes(0, std::string("\x01\xff\x00"
                                           "A",
                                           4));
    const auto values = Get(name);
    ASSERT_EQ(values.size(), 4u) << name;
    EXPECT_EQ(values[0].i, 1);
    EXPECT_EQ(values[1].i, 255);
    EXPECT_EQ(values[2].i, 0);
    EXPECT_EQ(values[3].i, 65);
  }
  for (const char *name : {"do_comm_read_str", "comm_read_str"}) {
    bfsim::QueueSerialBytes(0, "WXYZ");
    const auto values = Get(name);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].s, "WXYZ");
  }
  bfsim::QueueSerialBytes(0, std::string("Q\0RS", 4));  // a zero byte ends the string early
  EXPECT_EQ(Get("comm_read_str").at(0).s, "Q");

  ASSERT_EQ(Set("serial_timeout", Value::Int(10)), kOk);
  bfsim::QueueSerialBytes(0, "AB");
  Get("do_comm_read", FG_ERR_TIMEOUT);
  EXPECT_EQ(Printed(), Messages{"Timed out reading message."});
  bfsim::FailCall("clSerialRead", 1, static_cast<uint32_t>(CL_ERR_INVALID_REFERENCE));
  Get("comm_read_str", FG_ERR_SERIAL_BUFFER);
  EXPECT_TRUE(Printed().empty());
}

TEST_F(Serial, ReadBufSizeLimitsAndTheLargestRead) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Set("read_buf_size", Value::Int(32768)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("read_buf_size", Value::Int(0)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("read_buf_size", Value::Int(int64_t{1} << 32)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("read_buf_size", Value::Double(4)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Printed(), (Messages{"Read buffer size must be smaller than 32768.",
                                 "Read buffer size must be greater than zero.",
                                 "Read buffer size must be smaller than 32768."}));
  EXPECT_EQ(GetInt("read_buf_size"), 0);
  ASSERT_EQ(Set("read_buf_size", Value::Int(32767)), kOk);
  EXPECT_EQ(GetInt("read_buf_size"), 32767);

  ASSERT_EQ(Action("do_comm_open"), kOk);
  std::string block(32767, 'x');
  block.back() = 'z';
  bfsim::QueueSerialBytes(0, block);
  EXPECT_EQ(Get("comm_read_str").at(0).s, block);
  bfsim::QueueSerialBytes(0, block);
  const auto values = Get("comm_read_int");
  ASSERT_EQ(values.size(), 32767u);
  EXPECT_EQ(values.back().i, 'z');
}

TEST_F(Serial, SettingsStringKeepsWhatParsed) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  tarvel::SetLowError(true);
  bfsim::RecordCalls(true);
  // The rate alone sends the stored data bits, parity and stop bits with it.
  ASSERT_EQ(Set("do_comm_param", Value::Str("baud_rate 19200")), kOk);
  auto calls = SerialCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "clBFSerialSettings");
  EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{2, 3, 2, 0}));

  // A bad rate is refused; the data bits parsed beside it stay and go out next time.
  EXPECT_EQ(Set("do_comm_param", Value::Str("baud_rate 14400:data_bits 7")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Printed(), Messages{kBaudMessage});
  EXPECT_TRUE(SerialCalls().empty());
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{19200, 8, 'N', 1}));
  ASSERT_EQ(Set("do_comm_param", Value::Str("parity e")), kOk);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{19200, 7, 'E', 1}));
  ASSERT_EQ(Set("do_comm_param", Value::Str("stop_bits 15:data_bits 5:parity O")), kOk);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{19200, 5, 'O', 15}));
  bfsim::RecordCalls(false);

  const std::pair<const char *, const char *> refused[] = {
      {"timeout 0", "Timeout value must be greater that zero."},
      {"stop_bits 3", "Invalid stop bits.\nSupported stop bits are: 1, 15, and 2"},
      {"data_bits 9", "Invalid data bits.\nSupported data bits are: 5, 6, 7, and 8"},
      {"parity X", kParityMessage},
      {"baud_rate 0", kBaudMessage},
  };
  for (const auto &[text, message] : refused) {
    EXPECT_EQ(Set("do_comm_param", Value::Str(text)), FG_ERR_PARAM_VALUE) << text;
    EXPECT_EQ(Printed(), Messages{message}) << text;
  }
  // No token at all, or none that names a setting: refused without a word.
  for (const char *text : {"", ":::", "speed 9600", "baud_rate", "baud_rate -9600", " parity E"}) {
    EXPECT_EQ(Set("do_comm_param", Value::Str(text)), FG_ERR_PARAM_VALUE) << text;
  }
  EXPECT_TRUE(Printed().empty());
  EXPECT_EQ(Set("do_comm_param", Value::Int(9600)), FG_ERR_PARAM_TYPE);
  // Blanks are optional and what follows a number is ignored.
  ASSERT_EQ(Set("do_comm_param", Value::Str("baud_rate38400 fast::data_bits  8bits:parity\tN one")),
            kOk);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{38400, 8, 'N', 15}));
  EXPECT_EQ(GetInt("serial_baudrate"), 38400);

  bfsim::FailCall("clBFSerialSettings", 1, static_cast<uint32_t>(CL_ERR_BAD_SETTING));
  EXPECT_EQ(Set("do_comm_param", Value::Str("baud_rate 9600")), FG_ERR_SERIAL_SETTINGS);
  EXPECT_EQ(Printed(), Messages{"Error changing comm settings."});
}

TEST_F(Serial, OverlongSettingsAreRefusedWholly) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  tarvel::SetLowError(true);
  const uint64_t settings = bfsim::CallCount("clBFSerialSettings");
  // Too long for the working copy, however harmless its tokens.
  std::string padded = "data_bits 6:";
  padded.append(1024 - padded.size(), ':');
  EXPECT_EQ(Set("do_comm_param", Value::Str(padded)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("do_comm_param", Value::Str("data_bits 6:baud_rate 4294967296")),
            FG_ERR_PARAM_VALUE);
  EXPECT_TRUE(Printed().empty());
  // A parity word longer than its field: nothing of the string is kept.
  EXPECT_EQ(Set("do_comm_param", Value::Str("data_bits 6:parity EVEN")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Printed(), Messages{kParityMessage});
  EXPECT_EQ(bfsim::CallCount("clBFSerialSettings"), settings);

  // The longest string taken still works, and none of the data bits above was stored.
  std::string longest = "stop_bits 2:";
  longest.append(1023 - longest.size(), ':');
  ASSERT_EQ(Set("do_comm_param", Value::Str(longest)), kOk);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{9600, 8, 'N', 2}));
}

TEST_F(Serial, BaudRateByItself) {
  tarvel::SetLowError(true);
  ASSERT_EQ(Action("do_comm_open"), kOk);
  ASSERT_EQ(Set("serial_baudrate", Value::Int(57600)), kOk);
  EXPECT_EQ(GetInt("serial_baudrate"), 57600);
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{57600, 8, 'N', 1}));
  EXPECT_EQ(Set("serial_baudrate", Value::Int(14400)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Printed(), Messages{kBaudMessage});
  EXPECT_EQ(Set("serial_baudrate", Value::Int(int64_t{1} << 32 | 9600)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("serial_baudrate", Value::Str("9600")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Set("serial_baudrate", Value::Double(9600)), FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(Printed().empty());

  bfsim::SetSerialPortBaudCode(0, 3);
  Get("serial_baudrate", FG_ERR_GET_FAILED);
  EXPECT_EQ(Printed(), Messages{"Could not determine baud rate."});
  bfsim::FailCall("clBFGetBaudRate", 1, static_cast<uint32_t>(CL_ERR_INVALID_REFERENCE));
  Get("serial_baudrate", FG_ERR_GET_FAILED);
  EXPECT_TRUE(Printed().empty());
}

TEST_F(Serial, StoredSettingLimits) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Set("serial_terminate_code", Value::Int(256)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("serial_terminate_code", Value::Int(-1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("serial_message_buf_size", Value::Int(32768)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("serial_message_buf_size", Value::Int(0)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Printed(),
            (Messages{"The serial termination code must be a number between 0 and 255",
                      "The serial termination code must be a number between 0 and 255",
                      "The buffer size is too big. The max. size for the serial buffer is 32767.",
                      "The buffer size must be at least 1."}));
  for (const char *name : {"serial_terminate_code", "serial_message_buf_size", "serial_timeout",
                           "serial_write_delay", "read_buf_size"}) {
    EXPECT_EQ(Set(name, Value::Str("1")), FG_ERR_PARAM_TYPE) << name;
  }
  EXPECT_EQ(GetInt("serial_terminate_code"), 10);
  EXPECT_EQ(GetInt("serial_message_buf_size"), 1024);
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(32767)), kOk);
  ASSERT_EQ(Set("serial_terminate_code", Value::Int(0)), kOk);
  EXPECT_EQ(GetInt("serial_terminate_code"), 0);
}

TEST_F(Serial, FlushFailureAndReopening) {
  tarvel::SetLowError(true);
  ASSERT_EQ(Action("do_comm_open"), kOk);
  bfsim::FailCall("clFlushPort", 1, static_cast<uint32_t>(CL_ERR_INVALID_REFERENCE));
  EXPECT_EQ(Action("do_comm_flush"), FG_ERR_SERIAL_HANDLE);
  EXPECT_EQ(Printed(), Messages{"Error flushing buffer."});

  // Opening again replaces the port instead of leaving the old one open.
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(8)), kOk);
  ASSERT_EQ(Action("do_comm_open"), kOk);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 1u);
  bfsim::QueueSerialBytes(0, "0123456789\n");
  EXPECT_EQ(Message(), "0123456");
  ASSERT_EQ(Action("do_comm_close"), kOk);
  EXPECT_EQ(Action("do_comm_close"), FG_ERR_SERIAL_HANDLE);
}

TEST_F(Serial, ClosingTheInstanceClosesThePort) {
  ASSERT_EQ(Action("do_comm_open"), kOk);
  ASSERT_EQ(Set("read_buf_size", Value::Int(2)), kOk);
  EXPECT_EQ(Close(instance_), kOk);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
  // A new instance starts from the open values and a closed port.
  instance_ = OpenOk();
  EXPECT_EQ(GetInt("read_buf_size"), 0);
  EXPECT_EQ(Set("do_comm_write", Value::Str("ID?\r")), FG_ERR_SERIAL_HANDLE);
  // A message buffer made while the port is closed goes with the instance too.
  ASSERT_EQ(Set("serial_message_buf_size", Value::Int(100)), kOk);
}

// ---- opening, per build --------------------------------------------------------------

// Camera Link boards at positions 0 (R64:0), 1 (RoadRunner:0) and 3 (R64:1);
// the configured devices by family: RoadRunner:0, Raven:0, R64:0, R64:1.
constexpr std::string_view kSerialSystem =
    "family=R64 model=R64-CL kinds=cl\n"
    "family=RoadRunner model=RR-CL kinds=cl\n"
    "family=Raven model=RV\n"
    "family=R64 model=R64-CL2 kinds=cl\n";

constexpr const char *kInitCall =
    kProfile.serial_by_board_handle ? "clBFSerialInitFromBoardHandle" : "clSerialInit";
constexpr const char *kRefCall =
    kProfile.serial_by_board_handle ? "clBFGetSerialRefFromBoardHandle" : "clBFGetSerialRef";

class SerialOpen : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_EQ(bfsim::LoadSystem(kSerialSystem), "");
    lists_ = bfsim::LiveDeviceLists();
  }
  void TearDown() override {
    PluginTest::TearDown();
    EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
    EXPECT_EQ(bfsim::LiveDeviceLists(), lists_) << "configuration lists leaked";
  }
  tarvel::Instance *OpenDevice(const char *device) {
    tarvel::Plugin::OpenParams params = Params();
    params.device = device;
    Terr code = 0;
    tarvel::Instance *instance = Open(params, &code);
    EXPECT_EQ(code, kOk) << device;
    return instance;
  }
  uint32_t lists_ = 0;
};

TEST_F(SerialOpen, OpensThePortOfItsOwnBoard) {
  tarvel::Instance *instance = OpenDevice("R64:1");
  ASSERT_NE(instance, nullptr);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetParam("do_comm_open", std::vector<Value>{}), kOk);
  bfsim::RecordCalls(false);
  std::vector<std::string> names;
  for (const bfsim::Call &call : SerialCalls()) {
    names.push_back(call.function);
    // By index, the board comes after RoadRunner:0 and R64:0, which have ports.
    if (call.function == "clSerialInit" || call.function == "clBFGetSerialRef") {
      EXPECT_EQ(call.args, std::vector<uint64_t>{2});
    }
    if (call.function == "BFGetCfgDevicesSorted") {
      EXPECT_EQ(call.args, (std::vector<uint64_t>{16, 112, 1}));
    }
  }
  using Names = std::vector<std::string>;
  if constexpr (kProfile.serial_by_board_handle) {
    EXPECT_EQ(names, (Names{"BFIsCL", kInitCall, kRefCall}));
  } else {
    EXPECT_EQ(names, (Names{"BFIsCL", "BFGetCfgBoardVFO", "BFGetCfgDevicesSorted",
                            "BFFreeCfgDevices", kInitCall, kRefCall}));
  }
  ASSERT_EQ(instance->SetParam("do_comm_write", Value::Str("ID?\r")), kOk);
  EXPECT_EQ(bfsim::TakeSerialWritten(3), "ID?\r");
  EXPECT_EQ(bfsim::TakeSerialWritten(0) + bfsim::TakeSerialWritten(1), "");
  ASSERT_EQ(instance->SetParam("do_comm_param", Value::Str("baud_rate 230400")), kOk);
  EXPECT_EQ(bfsim::SerialPortLine(3)->baud, 230400u);
  EXPECT_EQ(bfsim::SerialPortLine(0)->baud, 9600u);
}

TEST_F(SerialOpen, FailuresLeaveThePortClosed) {
  tarvel::SetLowError(true);
  tarvel::Instance *raven = OpenDevice("Raven:0");
  ASSERT_NE(raven, nullptr);
  EXPECT_EQ(raven->SetParam("do_comm_open", std::vector<Value>{}), FG_ERR_SERIAL_NOT_CL);

  tarvel::Instance *instance = OpenDevice("R64:0");
  ASSERT_NE(instance, nullptr);
  std::vector<std::string> failing = {kInitCall, kRefCall};
  if constexpr (!kProfile.serial_by_board_handle) {
    failing.insert(failing.end(), {"BFGetCfgBoardVFO", "BFGetCfgDevicesSorted"});
  }
  for (const std::string &call : failing) {
    bfsim::FailCall(call, 1, static_cast<uint32_t>(CL_ERR_PORT_IN_USE));
    EXPECT_EQ(instance->SetParam("do_comm_open", std::vector<Value>{}), FG_ERR_SERIAL_INIT) << call;
    // A port opened half is closed again, never left counting as open.
    EXPECT_EQ(bfsim::OpenSerialHandles(), 0u) << call;
    EXPECT_EQ(instance->SetParam("do_comm_write", Value::Str("x")), FG_ERR_SERIAL_HANDLE) << call;
  }
  EXPECT_EQ(tarvel::PrintedMessages(), Messages(failing.size(), kInvalidHandle));
  ASSERT_EQ(instance->SetParam("do_comm_open", std::vector<Value>{}), kOk);
}

}  // namespace
}  // namespace grabline
