// The randomizer's two generators.
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/platform/internal/Clocks.h>

#include <cmath>
#include <utility>

namespace {

constexpr int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr double kE = 2.718281828459045;
constexpr double kTenPi = 31.41592653589793;

}  // namespace

int32_t Compute32bitKey(int32_t value) {
    // Schrage's method: 16807 * value mod (2^31 - 1) without overflow.
    int64_t t = 16807LL * (value % 127773) - 2836LL * (value / 127773);
    if (t <= 0) t += kModulus;
    return static_cast<int32_t>(t);
}

void TRandomizer::SetSeed(int seed) {
    if (seed <= 0) {
        // Kept within 1 .. 2^31 - 2, where the generator has its full period.
        seed = static_cast<int>((cvq::platform::TickCount() | 1u) & 0x7FFFFFFFu);
        if (seed == kModulus) seed = 1;
    }
    m_state = seed;
    m_fraction = seed * kE;
}

uint32_t TRandomizer::Get(uint32_t n) {
    if (n == 0) return 0;
    m_state = Compute32bitKey(m_state);
    return static_cast<uint32_t>(m_state) % n;
}

double TRandomizer::Get() {
    double whole;
    m_fraction = std::modf(m_fraction * kTenPi + kE, &whole);
    return m_fraction;
}

void TRandomizer::FillArrayWithUniqueUnsortedIndexes(int* out, int n) {
    if (!out || n <= 0) return;
    for (int i = 0; i < n; ++i) out[i] = i;
    for (int i = 0; i < n - 1; ++i)
        std::swap(out[Get(static_cast<uint32_t>(n - i))], out[n - 1 - i]);
}
