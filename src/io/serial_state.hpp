// serial_state.hpp — what an instance keeps of its Camera Link serial port.
// The instance record holds one of these; only the serial module
// (serial.cpp, serial_settings.cpp) writes it, so the port's references and
// buffers change together and in one place.
#pragma once

#include <cstdint>

namespace grabline {

struct SerialPortState {
  // The port counts as open exactly while `handle` is set. It reads, writes,
  // flushes and closes; `port_ref` sets and reports the line and is given up
  // together with it.
  void *handle = nullptr;
  void *port_ref = nullptr;

  // Line settings, stored by do_comm_param before they reach the port.
  uint32_t timeout_ms = 1000;  // each read and write waits at most this long
  uint32_t baud_rate = 9600;
  char parity[4] = {'N', 0, 0, 0};  // a parity word, NUL-terminated
  uint32_t data_bits = 8;
  uint32_t stop_bits = 1;
  uint32_t write_delay_ms = 0;  // pause after each character of a string and after each value

  // Block reads: `read_size` bytes at a time into `read_buffer`, which exists
  // while the port is open. The size stays 0 until read_buf_size sets it.
  char *read_buffer = nullptr;
  uint32_t read_size = 0;

  // Message reads: bytes up to `terminate_code`, at most `message_size` of
  // them with the NUL. The buffer may exist while the port is closed; a
  // failed resize leaves it null and the size 0.
  char *message_buffer = nullptr;
  uint32_t message_size = 1024;
  uint32_t terminate_code = 10;
};

}  // namespace grabline
