#pragma once

#include <cstdint>
#include <random>

namespace platform {

// Pseudo-random numbers uniform in [0, 1).
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual double Rnd() = 0;
};

// A reproducible sequence: the same seed gives the same numbers.
class SequenceRandom : public RandomSource
{
public:
    explicit SequenceRandom(std::uint32_t seed = std::mt19937::default_seed) : m_engine(seed) {}
    double Rnd() override;

private:
    std::mt19937 m_engine;
};

} // namespace platform
