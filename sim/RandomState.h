#pragma once
// The generator's state, for tests only: they restore the fresh state so each
// test sees the stream from its start. The program never includes this.

#include <cstdint>

namespace random_detail {
extern uint32_t randomState;
constexpr uint32_t kInitialRandomState = 1u;
}  // namespace random_detail
