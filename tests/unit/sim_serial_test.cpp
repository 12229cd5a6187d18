// The simulated serial ports and their camera, and the configuration query.
#include <chrono>
#include <string>
#include <thread>

#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

// Camera Link boards at positions 0 (R64:0), 1 (RoadRunner:0) and 3 (R64:1);
// a Raven without a port at 2. By serial index: RoadRunner:0, R64:0, R64:1.
constexpr std::string_view kSerialSystem =
    "family=R64 model=R64-CL kinds=cl\n"
    "family=RoadRunner model=RR-CL kinds=cl\n"
    "family=Raven model=RV\n"
    "family=R64 model=R64-CL2 kinds=cl\n";

class SimSerial : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Load(kSerialSystem);
    board_ = Open(CISYS_TYPE_R64, 0);
    ASSERT_EQ(clBFSerialInitFromBoardHandle(board_, &serial_), CL_ERR_NO_ERR);
    ASSERT_EQ(clBFGetSerialRefFromBoardHandle(board_, &port_), CL_ERR_NO_ERR);
  }
  void TearDown() override {
    if (serial_ != nullptr) clSerialClose(serial_);
    EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
    SimTest::TearDown();
  }
  CLINT32 Write(std::string_view text, uint32_t timeout_ms = 1000) {
    uint32_t size = static_cast<uint32_t>(text.size());
    return clSerialWrite(serial_, text.data(), &size, timeout_ms);
  }
  // Reads `size` bytes; the result's code in `code`.
  std::string Read(uint32_t size, uint32_t timeout_ms = 1000, CLINT32 *code = nullptr) {
    std::string bytes(size, '\0');
    CLINT32 result = clSerialRead(serial_, bytes.data(), &size, timeout_ms);
    if (code != nullptr) *code = result;
    bytes.resize(size);
    return bytes;
  }
  // Writes `input` and takes everything the camera answered.
  std::string Ask(std::string_view input) {
    EXPECT_EQ(Write(input), CL_ERR_NO_ERR);
    return Read(static_cast<uint32_t>(bfsim::SerialPending(0)));
  }
  Bd board_ = nullptr;
  void *serial_ = nullptr;
  void *port_ = nullptr;
};

TEST_F(SimSerial, TheCameraAnswersItsCommandSet) {
  EXPECT_EQ(Ask("ID?\r"), "GRABLINE-SIM-CAM\r\n");
  EXPECT_EQ(Ask("ID?\r\n"), "GRABLINE-SIM-CAM\r\n");
  EXPECT_EQ(Ask("EXP?\rEXP  250\rEXP?\r"), "1000\r\nOK\r\n250\r\n");
  EXPECT_EQ(Ask("EXP 9\rEXP 1000001\rEXP 12x\rEXP\rEXP?\r"),
            "ERR VALUE\r\nERR VALUE\r\nERR VALUE\r\nERR UNKNOWN\r\n250\r\n");
  EXPECT_EQ(Ask("GAIN 16\rGAIN?\rGAIN 0\rGAIN 17\r"), "OK\r\n16\r\nERR VALUE\r\nERR VALUE\r\n");
  EXPECT_EQ(bfsim::SerialCamera(0)->gain, 16u);
  EXPECT_EQ(Ask("ECHO  two words\rECHO\r"), " two words\r\n\r\n");
  EXPECT_EQ(Ask("id?\rSTATUS\r\r\n\r"), "ERR UNKNOWN\r\nERR UNKNOWN\r\n");
  // A command is answered at its CR, however the bytes were split.
  EXPECT_EQ(Ask("I"), "");
  EXPECT_EQ(Ask("D?"), "");
  EXPECT_EQ(Ask("\r"), "GRABLINE-SIM-CAM\r\n");
  // Over-long lines are dropped with one answer.
  const std::string line(64, 'A');
  EXPECT_EQ(Ask("ECHO " + line + "\rID?\r"), "ERR LONG\r\nGRABLINE-SIM-CAM\r\n");
  EXPECT_EQ(Ask("ECHO " + line.substr(5) + "\r"), line.substr(5) + "\r\n");
}

TEST_F(SimSerial, ExchangeWithTheCameraAndWhatTheControlApiSees) {
  ASSERT_EQ(Write("ID?\r"), CL_ERR_NO_ERR);
  ASSERT_EQ(Write("EXP 250\r"), CL_ERR_NO_ERR);
  EXPECT_EQ(bfsim::SerialPending(0), 22u);
  EXPECT_EQ(Read(18), "GRABLINE-SIM-CAM\r\n");
  EXPECT_EQ(Read(4), "OK\r\n");
  EXPECT_EQ(bfsim::SerialCamera(0)->exposure_us, 250u);
  EXPECT_EQ(bfsim::SerialCamera(0)->gain, 1u);

  const auto writes = bfsim::TakeSerialWrites(0);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].bytes, "ID?\r");
  EXPECT_EQ(writes[1].bytes, "EXP 250\r");
  EXPECT_LE(writes[0].at_us, writes[1].at_us);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "");  // taken

  // Queued bytes are read in order, after what the camera said.
  bfsim::QueueSerialBytes(0, std::string("\0\xff", 2));
  ASSERT_EQ(Write("GAIN?\r"), CL_ERR_NO_ERR);
  EXPECT_EQ(Read(5), std::string("\0\xff"
                                 "1\r\n",
                                 5));
  // A write of nothing sends nothing.
  EXPECT_EQ(Write(""), CL_ERR_NO_ERR);
  const auto last = bfsim::TakeSerialWrites(0);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].bytes, "GAIN?\r");
}

TEST_F(SimSerial, ACameraOnAnotherLineHearsNothing) {
  // baud, data bits, parity, stop bits: each one differing is enough.
  const uint32_t other[][4] = {{CL_BAUDRATE_19200, 3, BF_SERIAL_PARITY_NONE, BF_SERIAL_STOP_1},
                               {CL_BAUDRATE_9600, 2, BF_SERIAL_PARITY_NONE, BF_SERIAL_STOP_1},
                               {CL_BAUDRATE_9600, 3, BF_SERIAL_PARITY_EVEN, BF_SERIAL_STOP_1},
                               {CL_BAUDRATE_9600, 3, BF_SERIAL_PARITY_NONE, BF_SERIAL_STOP_1_5}};
  for (const auto &codes : other) {
    ASSERT_EQ(clBFSerialSettings(port_, codes[0], codes[1], codes[2], codes[3]), CL_ERR_NO_ERR);
    ASSERT_EQ(Write("ID?\r"), CL_ERR_NO_ERR);
    CLINT32 code = 0;
    EXPECT_EQ(Read(1, 5, &code), "");
    EXPECT_EQ(code, CL_ERR_TIMEOUT);
  }
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "ID?\rID?\rID?\rID?\r");  // the port sent them all

  // The camera moved to the port's last line: it answers.
  bfsim::SetSerialCameraLine(0, bfsim::SerialLine{9600, 8, 'N', 15});
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{9600, 8, 'N', 15}));
  ASSERT_EQ(Write("ID?\r"), CL_ERR_NO_ERR);
  EXPECT_EQ(Read(18), "GRABLINE-SIM-CAM\r\n");
}

TEST_F(SimSerial, SettingsAndBaudRate) {
  uint32_t baud = 0;
  ASSERT_EQ(clBFGetBaudRate(port_, &baud), CL_ERR_NO_ERR);
  EXPECT_EQ(baud, uint32_t{CL_BAUDRATE_9600});
  ASSERT_EQ(clBFSerialSettings(port_, CL_BAUDRATE_230400, 0, BF_SERIAL_PARITY_ODD, 2), 0);
  ASSERT_EQ(clBFGetBaudRate(port_, &baud), CL_ERR_NO_ERR);
  EXPECT_EQ(baud, uint32_t{CL_BAUDRATE_230400});
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{230400, 5, 'O', 2}));

  // Codes that select no line change nothing.
  for (const auto &codes : {std::array<uint32_t, 4>{3, 3, 2, 0},
                            {64, 3, 2, 0},
                            {1, 4, 2, 0},
                            {1, 3, 3, 0},
                            {1, 3, 2, 3}}) {
    EXPECT_EQ(clBFSerialSettings(port_, codes[0], codes[1], codes[2], codes[3]),
              CL_ERR_BAD_SETTING);
  }
  EXPECT_EQ(bfsim::SerialPortLine(0), (bfsim::SerialLine{230400, 5, 'O', 2}));
  bfsim::SetSerialPortBaudCode(0, 3);
  ASSERT_EQ(clBFGetBaudRate(port_, &baud), CL_ERR_NO_ERR);
  EXPECT_EQ(baud, 3u);
  EXPECT_EQ(bfsim::SerialPortLine(0), std::nullopt);

  EXPECT_EQ(clBFGetBaudRate(port_, nullptr), CL_ERR_INVALID_PTR);
  EXPECT_EQ(clBFGetBaudRate(nullptr, &baud), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clBFSerialSettings(serial_, 1, 3, 2, 0), CL_ERR_INVALID_REFERENCE);
}

TEST_F(SimSerial, ReadsTimeOutHandingOverWhatArrived) {
  bfsim::QueueSerialBytes(0, "AB");
  CLINT32 code = 0;
  EXPECT_EQ(Read(4, 10, &code), "AB");
  EXPECT_EQ(code, CL_ERR_TIMEOUT);
  EXPECT_EQ(bfsim::SerialPending(0), 0u);
  EXPECT_EQ(Read(0, 0, &code), "");
  EXPECT_EQ(code, CL_ERR_NO_ERR);

  bfsim::QueueSerialBytes(0, "stale");
  EXPECT_EQ(clFlushPort(serial_), CL_ERR_NO_ERR);
  EXPECT_EQ(bfsim::SerialPending(0), 0u);

  // A port overruns rather than growing without bound.
  bfsim::QueueSerialBytes(0, std::string(70 * 1024, 'x'));
  EXPECT_EQ(bfsim::SerialPending(0), 64u * 1024);
}

TEST_F(SimSerial, WriteFaults) {
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kFail);
  uint32_t size = 4;
  EXPECT_EQ(clSerialWrite(serial_, "ID?\r", &size, 1000), CL_ERR_LINE_FAULT);
  EXPECT_EQ(size, 0u);
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kStall);
  EXPECT_EQ(Write("ID?\r", 10), CL_ERR_TIMEOUT);
  EXPECT_TRUE(bfsim::TakeSerialWrites(0).empty());
  EXPECT_EQ(bfsim::SerialPending(0), 0u);
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kNone);
  EXPECT_EQ(Write("ID?\r"), CL_ERR_NO_ERR);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "ID?\r");
}

TEST_F(SimSerial, PortsOpenOnceAndByIndexInFamilyOrder) {
  EXPECT_EQ(bfsim::OpenSerialHandles(), 1u);
  void *again = nullptr;
  EXPECT_EQ(clBFSerialInitFromBoardHandle(board_, &again), CL_ERR_PORT_IN_USE);
  EXPECT_EQ(clSerialInit(1, &again), CL_ERR_PORT_IN_USE);  // R64:0 is second by index
  EXPECT_EQ(again, nullptr);

  void *roadrunner = nullptr;
  ASSERT_EQ(clSerialInit(0, &roadrunner), CL_ERR_NO_ERR);
  uint32_t size = 4;
  ASSERT_EQ(clSerialWrite(roadrunner, "ID?\r", &size, 1000), CL_ERR_NO_ERR);
  EXPECT_EQ(bfsim::TakeSerialWritten(1), "ID?\r");
  EXPECT_EQ(bfsim::OpenSerialHandles(), 2u);
  EXPECT_EQ(clSerialClose(roadrunner), CL_ERR_NO_ERR);
  EXPECT_EQ(clSerialClose(roadrunner), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clSerialWrite(roadrunner, "ID?\r", &size, 1000), CL_ERR_INVALID_REFERENCE);

  void *ref = nullptr;
  ASSERT_EQ(clBFGetSerialRef(1, &ref), CL_ERR_NO_ERR);
  EXPECT_EQ(ref, port_);  // one port, one reference
  ASSERT_EQ(clBFGetSerialRef(2, &ref), CL_ERR_NO_ERR);
  ASSERT_EQ(clBFSerialSettings(ref, CL_BAUDRATE_57600, 3, 2, 0), CL_ERR_NO_ERR);
  EXPECT_EQ(bfsim::SerialPortLine(3)->baud, 57600u);
  EXPECT_EQ(clBFGetSerialRef(3, &ref), CL_ERR_INVALID_INDEX);
  EXPECT_EQ(clSerialInit(3, &ref), CL_ERR_INVALID_INDEX);
  EXPECT_EQ(clSerialInit(0, nullptr), CL_ERR_INVALID_PTR);

  // A board without a serial port, and a handle that names no board.
  Bd raven = Open(CISYS_TYPE_RV, 0);
  EXPECT_EQ(clBFSerialInitFromBoardHandle(raven, &again), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clBFGetSerialRefFromBoardHandle(raven, &ref), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clBFSerialInitFromBoardHandle(nullptr, &again), CL_ERR_INVALID_REFERENCE);
  EXPECT_FALSE(bfsim::SerialCamera(2).has_value());
}

TEST_F(SimSerial, NullArgumentsAndStaleReferencesAreRefused) {
  uint32_t size = 1;
  char byte = 0;
  EXPECT_EQ(clSerialRead(serial_, nullptr, &size, 0), CL_ERR_INVALID_PTR);
  EXPECT_EQ(clSerialRead(serial_, &byte, nullptr, 0), CL_ERR_INVALID_PTR);
  EXPECT_EQ(clSerialWrite(serial_, nullptr, &size, 0), CL_ERR_INVALID_PTR);
  EXPECT_EQ(clSerialRead(port_, &byte, &size, 0), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clFlushPort(nullptr), CL_ERR_INVALID_REFERENCE);

  // A new system retires every port with its references.
  bfsim::Reset();
  EXPECT_EQ(bfsim::OpenSerialHandles(), 0u);
  EXPECT_EQ(clSerialRead(serial_, &byte, &size, 0), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clSerialClose(serial_), CL_ERR_INVALID_REFERENCE);
  EXPECT_EQ(clBFSerialSettings(port_, 1, 3, 2, 0), CL_ERR_INVALID_REFERENCE);
  serial_ = nullptr;
}

TEST_F(SimSerial, InjectedResultsComeBackSigned) {
  bfsim::FailCall("clSerialWrite", 1, static_cast<uint32_t>(CL_ERR_TIMEOUT));
  EXPECT_EQ(Write("ID?\r"), CL_ERR_TIMEOUT);
  EXPECT_EQ(bfsim::TakeSerialWritten(0), "");
  EXPECT_EQ(bfsim::CallCount("clSerialWrite"), 1u);
}

// ---- the configuration query ---------------------------------------------------------

using SimConfig = SimTest;

std::vector<std::array<uint32_t, 4>> Entries(const BFCFG_DEVICE *list) {
  std::vector<std::array<uint32_t, 4>> entries;
  for (; list != nullptr; list = list->next) {
    entries.push_back({list->id, list->family, list->index, list->has_serial});
  }
  return entries;
}

TEST_F(SimConfig, DeviceListsInBothOrdersAndTheBoardRecord) {
  Load(kSerialSystem);
  const uint32_t live = bfsim::LiveDeviceLists();
  BFCFG_DEVICE *list = nullptr;
  ASSERT_EQ(BFGetCfgDevicesSorted(16, 112, BF_CFG_ORDER_FAMILY, &list), BF_OK);
  EXPECT_EQ(bfsim::LiveDeviceLists(), live + 1);
  using E = std::array<uint32_t, 4>;
  EXPECT_EQ(Entries(list),
            (std::vector<E>{
                {0x1000, 16, 0, 1}, {0x2000, 32, 0, 0}, {0x4000, 64, 0, 1}, {0x4001, 64, 1, 1}}));
  EXPECT_EQ(BFFreeCfgDevices(list), BF_OK);
  EXPECT_EQ(bfsim::LiveDeviceLists(), live);
  EXPECT_EQ(BFFreeCfgDevices(list), BF_ERR_BAD_ARG);  // freed already
  EXPECT_EQ(BFFreeCfgDevices(nullptr), BF_OK);

  ASSERT_EQ(BFGetCfgDevicesSorted(2, CISYS_TYPE_R64 | CISYS_TYPE_RR, BF_CFG_ORDER_SYSTEM, &list),
            BF_OK);
  EXPECT_EQ(Entries(list), (std::vector<E>{{0x4000, 64, 0, 1}, {0x1000, 16, 0, 1}}));
  BFCFG_DEVICE *second = list->next;
  EXPECT_EQ(BFFreeCfgDevices(second), BF_ERR_BAD_ARG);  // not a list's head
  EXPECT_EQ(BFFreeCfgDevices(list), BF_OK);

  EXPECT_EQ(BFGetCfgDevicesSorted(16, CISYS_TYPE_GN2, 1, &list), BF_OK);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(BFGetCfgDevicesSorted(0, 112, 1, &list), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFGetCfgDevicesSorted(16, 112, 2, &list), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFGetCfgDevicesSorted(16, 8, 1, &list), BF_ERR_BAD_BRD_TYPE);
  EXPECT_EQ(BFGetCfgDevicesSorted(16, 112, 1, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::LiveDeviceLists(), live);

  Bd board = Open(CISYS_TYPE_R64, 1);
  BFCFG_BOARD record{};
  ASSERT_EQ(BFGetCfgBoardVFO(board, &record), BF_OK);
  EXPECT_EQ(record.id, 0x4001u);
  EXPECT_EQ(record.family, uint32_t{CISYS_TYPE_R64});
  EXPECT_EQ(record.index, 1u);
  EXPECT_EQ(record.ports, 1u);
  EXPECT_EQ(record.has_serial, 1u);
  EXPECT_EQ(BFGetCfgBoardVFO(board, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFGetCfgBoardVFO(nullptr, &record), BF_ERR_BAD_ARG);
}

// ---- blocking calls --------------------------------------------------------------------

using ThreadedSimSerial = SimSerial;

// Waits (bounded) until a call blocks on board 0's port.
bool CallBlocked() {
  for (int i = 0; i < 5000 && bfsim::BlockedSerialCalls(0) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return bfsim::BlockedSerialCalls(0) == 1;
}

TEST_F(ThreadedSimSerial, BytesQueuedFromAnotherThreadReleaseABlockedRead) {
  std::string got;
  CLINT32 code = 1;
  std::thread reader([&] { got = Read(3, 60000, &code); });
  ASSERT_TRUE(CallBlocked());
  bfsim::QueueSerialBytes(0, "O");
  bfsim::QueueSerialBytes(0, "K\n");
  reader.join();
  EXPECT_EQ(code, CL_ERR_NO_ERR);
  EXPECT_EQ(got, "OK\n");
}

TEST_F(ThreadedSimSerial, ClosingTheReferenceEndsABlockedRead) {
  CLINT32 code = 1;
  std::thread reader([&] { Read(1, 60000, &code); });
  ASSERT_TRUE(CallBlocked());
  EXPECT_EQ(clSerialClose(serial_), CL_ERR_NO_ERR);
  serial_ = nullptr;
  reader.join();
  EXPECT_EQ(code, CL_ERR_INVALID_REFERENCE);
}

TEST_F(ThreadedSimSerial, AStalledWriteGoesOnWhenTheFaultIsCleared) {
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kStall);
  CLINT32 code = 1;
  std::thread writer([&] { code = Write("ID?\r", 60000); });
  ASSERT_TRUE(CallBlocked());
  EXPECT_TRUE(bfsim::TakeSerialWrites(0).empty());
  bfsim::SetSerialWriteFault(0, bfsim::SerialWriteFault::kNone);
  writer.join();
  EXPECT_EQ(code, CL_ERR_NO_ERR);
  EXPECT_EQ(Read(18), "GRABLINE-SIM-CAM\r\n");
}

}  // namespace
}  // namespace bfsim_test
