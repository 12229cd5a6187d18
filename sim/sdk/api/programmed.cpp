// Register reads and the fine rate as a test programs them. Reads are on the
// hot path of a polling plug-in, so nothing is looked up until something has
// been programmed.
#include "api/programmed.hpp"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace bfsim::api {
namespace {

using Key = std::pair<uint32_t, uint32_t>;  // position, register

struct Sequence {
  std::vector<uint32_t> values;  // never empty
  size_t next = 0;
};

struct Programmed {
  std::mutex mutex;
  std::map<Key, Sequence> sequences;
  // Shared so a read can call a hook that is being replaced meanwhile.
  std::map<Key, std::shared_ptr<const RegisterReadHook>> hooks;
  std::optional<uint64_t> fine_rate;
  std::map<uint32_t, uint64_t> board_fine_rates;
};

Programmed &State() {
  static Programmed state;
  return state;
}

std::atomic<bool> reads_programmed{false};
std::atomic<bool> rate_programmed{false};

}  // namespace

uint32_t ProgrammedRead(uint32_t position, uint32_t id, uint32_t value) {
  if (!reads_programmed.load(std::memory_order_relaxed)) return value;
  Programmed &state = State();
  std::shared_ptr<const RegisterReadHook> hook;
  {
    std::lock_guard lock(state.mutex);
    const Key key{position, id};
    if (auto it = state.sequences.find(key); it != state.sequences.end()) {
      Sequence &sequence = it->second;
      value = sequence.values[sequence.next];
      if (sequence.next + 1 < sequence.values.size()) ++sequence.next;
    }
    if (auto it = state.hooks.find(key); it != state.hooks.end()) hook = it->second;
  }
  return hook ? (*hook)(value) : value;
}

std::optional<uint64_t> ProgrammedFineRate(uint32_t position) {
  if (!rate_programmed.load(std::memory_order_relaxed)) return std::nullopt;
  Programmed &state = State();
  std::lock_guard lock(state.mutex);
  if (auto it = state.board_fine_rates.find(position); it != state.board_fine_rates.end()) {
    return it->second;
  }
  return state.fine_rate;
}

void SetReadSequence(uint32_t position, uint32_t id, std::vector<uint32_t> values) {
  Programmed &state = State();
  std::lock_guard lock(state.mutex);
  if (values.empty()) {
    state.sequences.erase(Key{position, id});
    return;
  }
  state.sequences[Key{position, id}] = Sequence{std::move(values), 0};
  reads_programmed.store(true, std::memory_order_relaxed);
}

void SetReadHook(uint32_t position, uint32_t id, RegisterReadHook hook) {
  Programmed &state = State();
  std::lock_guard lock(state.mutex);
  if (!hook) {
    state.hooks.erase(Key{position, id});
    return;
  }
  state.hooks[Key{position, id}] = std::make_shared<const RegisterReadHook>(std::move(hook));
  reads_programmed.store(true, std::memory_order_relaxed);
}

void SetProgrammedFineRate(std::optional<uint32_t> position, uint64_t rate) {
  Programmed &state = State();
  std::lock_guard lock(state.mutex);
  if (position) {
    state.board_fine_rates[*position] = rate;
  } else {
    state.fine_rate = rate;
  }
  rate_programmed.store(true, std::memory_order_relaxed);
}

void ClearProgrammed() {
  Programmed &state = State();
  std::lock_guard lock(state.mutex);
  state.sequences.clear();
  state.hooks.clear();
  state.fine_rate.reset();
  state.board_fine_rates.clear();
  reads_programmed.store(false, std::memory_order_relaxed);
  rate_programmed.store(false, std::memory_order_relaxed);
}

}  // namespace bfsim::api
