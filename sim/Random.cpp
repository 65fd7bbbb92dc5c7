#include "sim/Random.h"

#include "sim/Constants.h"
#include "sim/RandomState.h"

namespace random_detail {
uint32_t randomState = kInitialRandomState;
}  // namespace random_detail

int32_t randomInt() {
    using random_detail::randomState;
    randomState = randomState * 214013u + 2531011u;   // modulo 2^32
    return static_cast<int32_t>((randomState >> 16) & 0x7FFFu);
}

float randomUnit() {
    return static_cast<float>(static_cast<double>(randomInt()) * static_cast<double>(kUnitScale));
}

float randomRange(float a, float b) {
    const double draw = static_cast<double>(randomInt());
    return static_cast<float>(static_cast<double>(a) +
                              (draw * (static_cast<double>(b) - static_cast<double>(a))) *
                                  static_cast<double>(kUnitScale));
}
