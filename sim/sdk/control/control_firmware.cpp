// The control API of the firmware model and the SDK's version numbers.
#include "bfsim_control.hpp"
#include "model/firmware.hpp"
#include "model/system.hpp"

namespace bfsim {

std::optional<std::string> CurrentFirmware(uint32_t n) {
  return model::System::Get().WithBoards(
      [n](std::vector<model::Board> &boards) -> std::optional<std::string> {
        if (n >= boards.size()) return std::nullopt;
        return model::CurrentFirmware(boards[n]);
      });
}

void RefuseFlashRequests(uint32_t n, uint32_t code) {
  model::System::Get().WithBoards([n, code](std::vector<model::Board> &boards) {
    if (n < boards.size()) boards[n].firmware.refusal = code;
  });
}

void SetSdkVersion(uint32_t major, uint32_t minor) {
  model::SdkNumbers numbers = model::CurrentSdkNumbers();
  numbers.major = major;
  numbers.minor = minor;
  model::SetSdkNumbers(numbers);
}

void SetSdkBuild(uint32_t build) {
  model::SdkNumbers numbers = model::CurrentSdkNumbers();
  numbers.build = build;
  model::SetSdkNumbers(numbers);
}

}  // namespace bfsim
