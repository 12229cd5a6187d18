// Firmware selection and the SDK's version numbers.
#include <cstddef>
#include <cstring>
#include <string>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"
#include "model/firmware.hpp"

static_assert(offsetof(BFFLASHREQUEST, header) == 0);
static_assert(offsetof(BFFLASHREQUEST, kind) == 32);
static_assert(offsetof(BFFLASHREQUEST, file_name) == 104);
static_assert(sizeof(BFFLASHREQUEST) >= 1128);

namespace {

// A flash request hands over the name of the file it asks for.
auto Requested(Bd board, const void *request) {
  return [=] {
    bfsim::api::Detail detail{bfsim::api::BoardName(board), {}};
    if (request != nullptr) {
      const auto &record = *static_cast<const BFFLASHREQUEST *>(request);
      detail.payload.assign(record.file_name, strnlen(record.file_name, sizeof record.file_name));
    }
    return detail;
  };
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

BFRC BFGetCurrentFimwareName(Bd board, const char *selector, char *buffer, uint32_t size) {
  return Gate<BFRC>("BFGetCurrentFimwareName", {size}, OnBoard(board), [&]() -> BFRC {
    if (buffer == nullptr || size == 0) return BF_ERR_BAD_ARG;
    buffer[0] = '\0';
    if (selector == nullptr || std::strcmp(selector, "MUX") != 0) return BF_ERR_BAD_ARG;
    std::string name;
    const BFRC found = ToCode(Sys().WithBoard(
        IdOf(board), [&](Board &b, uint32_t) { name = bfsim::model::CurrentFirmware(b); }));
    if (found != BF_OK) return found;
    if (name.size() >= size) return BF_ERR_BAD_ARG;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return BF_OK;
  });
}

BFRC BFFlashRequest(Bd board, void *request) {
  return Gate<BFRC>("BFFlashRequest", {}, Requested(board, request), [&]() -> BFRC {
    if (request == nullptr) return BF_ERR_BAD_ARG;
    const auto &record = *static_cast<const BFFLASHREQUEST *>(request);
    if (record.kind != BF_FLASH_KIND_SWITCH) return BF_ERR_BAD_ARG;
    const size_t length = strnlen(record.file_name, sizeof record.file_name);
    if (length == sizeof record.file_name) return BF_ERR_BAD_ARG;
    const std::string_view file(record.file_name, length);
    BFRC result = BF_OK;
    const BFRC found = ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      switch (bfsim::model::FlashRequest(b, file)) {
        case bfsim::model::FlashOutcome::kSwitched:
          result = BF_OK;
          break;
        case bfsim::model::FlashOutcome::kNotSwitchable:
          result = BF_ERR_BAD_BRD_TYPE;
          break;
        case bfsim::model::FlashOutcome::kUnknownFile:
          result = BF_ERR_FLASH_FILE;
          break;
        case bfsim::model::FlashOutcome::kRefused:
          result = b.firmware.refusal;
          break;
      }
    }));
    return found != BF_OK ? found : result;
  });
}

BFRC BFDVersion(uint32_t *major, uint32_t *minor) {
  return Gate<BFRC>("BFDVersion", {}, [&]() -> BFRC {
    if (major == nullptr || minor == nullptr) return BF_ERR_BAD_ARG;
    const bfsim::model::SdkNumbers numbers = bfsim::model::CurrentSdkNumbers();
    *major = numbers.major;
    *minor = numbers.minor;
    return BF_OK;
  });
}

BFRC BFBuildNumber(uint32_t *build) {
  return Gate<BFRC>("BFBuildNumber", {}, [&]() -> BFRC {
    if (build == nullptr) return BF_ERR_BAD_ARG;
    *build = bfsim::model::CurrentSdkNumbers().build;
    return BF_OK;
  });
}

}  // extern "C"
