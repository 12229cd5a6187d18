// ring_position.hpp — where the board and the application stand in the ring.
// The capture side is moved on by the continuous-grab worker only; the return
// side by grabs handing a buffer back, and by the worker when it drops the
// oldest frame under overwrite method 'ignore'. Each move is one of the
// functions below, so the two sides never step over each other.
#pragma once

#include <atomic>
#include <cstdint>

namespace grabline {

struct RingPosition {
  std::atomic<uint32_t> next_buffer_returned{0};      // the buffer the next grab gets
  std::atomic<uint32_t> next_buffer_returned_abs{0};  // ... counted since the start
  std::atomic<uint32_t> next_buffer_acquired{0};      // the buffer the board fills next
  std::atomic<uint32_t> next_buffer_acquired_abs{0};  // ... counted since the start
  std::atomic<uint32_t> fill_index{0};                // the buffer being filled now
  std::atomic<uint32_t> num_buffers_overwritten{0};   // frames dropped under 'ignore'
};

inline uint32_t NextIndex(uint32_t index, uint32_t n) { return index + 1 >= n ? 0 : index + 1; }

// A continuous-grab run starts: every count from 0.
inline void ClearRingPosition(RingPosition &p) {
  p.next_buffer_acquired = 0;
  p.next_buffer_acquired_abs = 0;
  p.fill_index = 0;
  p.next_buffer_returned = 0;
  p.next_buffer_returned_abs = 0;
  p.num_buffers_overwritten = 0;
}

// The board restarted its chain at buffer 0: the return side follows it.
inline void RewindReturned(RingPosition &p) {
  p.next_buffer_returned = 0;
  p.next_buffer_returned_abs = 0;
}

// A new ring, port or region: both sides start again at buffer 0.
inline void RewindRing(RingPosition &p) {
  RewindReturned(p);
  p.next_buffer_acquired = 0;
}

// Moves the return side on by one buffer of `n`, from whatever index stands
// there at that moment: the other side may move it too.
inline void StepReturned(RingPosition &p, uint32_t n) {
  uint32_t index = p.next_buffer_returned.load();
  while (!p.next_buffer_returned.compare_exchange_weak(index, NextIndex(index, n))) {
  }
  p.next_buffer_returned_abs.fetch_add(1);
}

// Every filled buffer given up at once: the return side joins the capture side.
inline void ReturnAll(RingPosition &p) { p.next_buffer_returned = p.next_buffer_acquired.load(); }

// The worker has booked a frame into the buffer at fill_index (worker only).
inline void StepAcquired(RingPosition &p, uint32_t n) {
  p.fill_index = NextIndex(p.fill_index, n);
  p.next_buffer_acquired = NextIndex(p.next_buffer_acquired, n);
  ++p.next_buffer_acquired_abs;
}

// The acquired count restarts at 0; the returned count keeps its distance to
// it, so the number of unreturned buffers stays right.
inline void ResetAbsoluteIndex(RingPosition &p) {
  const uint32_t acquired = p.next_buffer_acquired_abs;
  const uint32_t returned = p.next_buffer_returned_abs;
  p.next_buffer_acquired_abs = 0;
  p.next_buffer_returned_abs = returned - acquired;
}

}  // namespace grabline
