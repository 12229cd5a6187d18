// programmed.hpp — values a test sets for the SDK to report instead of the
// board's own: register reads in turn or through a hook, and the fine rate.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bfsim_control.hpp"

namespace bfsim::api {

// What BFRegPeek of register `id` on the board at `position` reads, given
// what the register file gave. Calls a hook outside every lock.
uint32_t ProgrammedRead(uint32_t position, uint32_t id, uint32_t value);
std::optional<uint64_t> ProgrammedFineRate(uint32_t position);

void SetReadSequence(uint32_t position, uint32_t id, std::vector<uint32_t> values);
void SetReadHook(uint32_t position, uint32_t id, RegisterReadHook hook);
// nullopt: for every board.
void SetProgrammedFineRate(std::optional<uint32_t> position, uint64_t rate);
void ClearProgrammed();

}  // namespace bfsim::api
