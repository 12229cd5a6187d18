// The serial port's pure parts: the settings string, and what happens when
// the process heap refuses a serial buffer.
#include "io/serial.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bfsim_control.hpp"
#include "params/handlers.hpp"
#include "tarvel_host.hpp"

namespace grabline {
namespace {

TEST(SerialSettingsString, TokensAndTheirFields) {
  CommTokens t;
  ASSERT_EQ(ParseCommParam("baud_rate 115200:parity E:stop_bits 15:data_bits7:timeout  +20", &t),
            CommParse::kOk);
  EXPECT_EQ(t.baud_rate, 115200u);
  EXPECT_STREQ(t.parity, "E");
  EXPECT_EQ(t.stop_bits, 15u);
  EXPECT_EQ(t.data_bits, 7u);
  EXPECT_EQ(t.timeout, 20u);

  CommTokens later;
  ASSERT_EQ(ParseCommParam("parity N:junk:parity odd:baud_rate 9600x:baud_rate 00019200", &later),
            CommParse::kOk);
  EXPECT_STREQ(later.parity, "odd");  // checked later, not here
  EXPECT_EQ(later.baud_rate, 19200u);
  EXPECT_FALSE(later.timeout.has_value());
  EXPECT_FALSE(later.data_bits.has_value());
}

TEST(SerialSettingsString, WhatMatchesNothing) {
  for (const char *text : {"", ":", "::", "speed 1", "timeout", "timeout -1", "timeout x",
                           " timeout 1", "TIMEOUT 1", "parity", "parity   "}) {
    CommTokens t;
    EXPECT_EQ(ParseCommParam(text, &t), CommParse::kNoToken) << text;
  }
}

TEST(SerialSettingsString, BoundsOfStringsWordsAndNumbers) {
  CommTokens t;
  EXPECT_EQ(ParseCommParam("timeout 4294967295", &t), CommParse::kOk);
  EXPECT_EQ(t.timeout, 4294967295u);
  EXPECT_EQ(ParseCommParam("timeout 4294967296", &t), CommParse::kTooLong);
  EXPECT_EQ(ParseCommParam("stop_bits 1:data_bits 99999999999999999999999", &t),
            CommParse::kTooLong);
  EXPECT_EQ(ParseCommParam("parity abc", &t), CommParse::kOk);
  EXPECT_STREQ(t.parity, "abc");
  EXPECT_EQ(ParseCommParam("parity abcd", &t), CommParse::kParityTooLong);
  EXPECT_STREQ(t.parity, "abc");  // a refused word is not copied

  std::string text = "parity O:";
  text.append(kCommParamMax - text.size(), ':');
  EXPECT_EQ(ParseCommParam(text, &t), CommParse::kOk);
  text.push_back(':');
  EXPECT_EQ(ParseCommParam(text, &t), CommParse::kTooLong);
}

// ---- buffers from a heap that can refuse -----------------------------------------------

struct CountingHeap {
  static inline int fail_at = 0;  // the allocation that fails, counted from 1; 0 none
  static inline int allocations = 0;
  static inline int live = 0;
  static void *Allocate(size_t size) {
    if (++allocations == fail_at) return nullptr;
    ++live;
    return std::malloc(size);
  }
  static void Release(void *block) {
    --live;
    std::free(block);
  }
};

class SerialBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    bfsim::Reset();
    tarvel::ClearLogs();
    tarvel::SetLowError(true);
    CountingHeap::fail_at = 0;
    CountingHeap::allocations = 0;
    CountingHeap::live = 0;
    SetSerialHeap({CountingHeap::Allocate, CountingHeap::Release});
    CiENTRY entry{};
    ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), 0u);
    ASSERT_EQ(CiBrdOpen(&entry, &board_.handle, 257, "default"), 0u);
    inst_.board = &board_;
  }
  void TearDown() override {
    CloseSerialPort(inst_);
    EXPECT_EQ(CountingHeap::live, 0) << "serial buffers leaked";
    EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
    SetSerialHeap({nullptr, nullptr});
    tarvel::SetLowError(false);
    CiBrdClose(board_.handle);
  }
  Terr Run(SetHandler handler, const char *name, Tcpar *value = nullptr) {
    SetCall call{{nullptr, nullptr, &inst_, name, 0, {}}, value, value ? 1 : 0};
    return handler(call);
  }
  Terr Open() { return Run(SetCommOpen, "do_comm_open"); }
  Terr MessageSize(int64_t size) {
    Tcpar value{};
    value.type = TPAR_INT;
    value.par.l = size;
    return Run(SetSerialMessageBufSize, "serial_message_buf_size", &value);
  }
  Terr ReadMessage() {
    Tcpar answer{};
    int32_t count = 1;
    GetCall call{{nullptr, nullptr, &inst_, "serial_message", 0, {}}, &answer, &count};
    return GetSerialMessage(call);
  }
  std::vector<std::string> Printed() {
    auto printed = tarvel::PrintedMessages();
    tarvel::ClearLogs();
    return printed;
  }

  BoardInfo board_{};
  InstanceRecord inst_;
};

TEST_F(SerialBuffers, AnOpenWhoseBufferFailsLeavesThePortClosed) {
  CountingHeap::fail_at = 1;
  EXPECT_EQ(Open(), FG_ERR_SERIAL_BUFFER);
  EXPECT_EQ(Printed(), std::vector<std::string>{"Unable to allocate memory for read buffer."});
  EXPECT_FALSE(SerialPortOpen(inst_));
  EXPECT_EQ(inst_.serial.port_ref, nullptr);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);

  CountingHeap::fail_at = 3;  // the message buffer of the second open
  EXPECT_EQ(Open(), FG_ERR_SERIAL_BUFFER);
  EXPECT_EQ(Printed(),
            std::vector<std::string>{"Unable to allocate memory for serial message buffer."});
  EXPECT_FALSE(SerialPortOpen(inst_));
  EXPECT_EQ(inst_.serial.read_buffer, nullptr);
  EXPECT_EQ(CountingHeap::live, 0);
  EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);

  EXPECT_EQ(Open(), FG_OK);
  EXPECT_EQ(CountingHeap::live, 2);
  CloseSerialPort(inst_);
  EXPECT_EQ(CountingHeap::live, 0);
  EXPECT_FALSE(SerialPortOpen(inst_));
}

TEST_F(SerialBuffers, AFailedResizeLeavesNoMessageBufferUntilTheNextGoodOne) {
  ASSERT_EQ(Open(), FG_OK);
  CountingHeap::fail_at = CountingHeap::allocations + 1;
  EXPECT_EQ(MessageSize(64), FG_ERR_SERIAL_BUFFER);
  EXPECT_EQ(inst_.serial.message_size, 0u);
  EXPECT_EQ(inst_.serial.message_buffer, nullptr);
  EXPECT_EQ(ReadMessage(), FG_ERR_SERIAL_BUFFER);
  EXPECT_EQ(Printed(),
            (std::vector<std::string>{"Unable to allocate memory for serial message buffer.",
                                      "No serial message buffer."}));

  // Opening again works, still without a message buffer to read into.
  ASSERT_EQ(Open(), FG_OK);
  EXPECT_EQ(CountingHeap::live, 1);
  EXPECT_EQ(ReadMessage(), FG_ERR_SERIAL_BUFFER);
  ASSERT_EQ(MessageSize(8), FG_OK);
  bfsim::QueueSerialBytes(0, "ok\n");
  EXPECT_EQ(ReadMessage(), FG_OK);
}

TEST_F(SerialBuffers, AMessageBufferMadeWhileClosedIsFreedWithThePort) {
  ASSERT_EQ(MessageSize(100), FG_OK);
  EXPECT_FALSE(SerialPortOpen(inst_));
  EXPECT_EQ(CountingHeap::live, 1);
  CloseSerialPort(inst_);
  EXPECT_EQ(CountingHeap::live, 0);
  EXPECT_EQ(inst_.serial.message_size, 100u);  // the size stays for the next open
}

}  // namespace
}  // namespace grabline
