// The randomizer's generator against independent computations: std::mt19937 given the same
// 624-word state, the C++ standard's check value, and hand-computed seeding and rejection values.

#include "sequencer/MersenneTwister.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace vorpalix {
namespace {

// std::mt19937 loaded with a complete state through its text form (the 624 words, then the
// index; 624 makes the first draw regenerate the state, as after seeding).
std::mt19937 standardEngineWithState(const std::vector<std::uint32_t>& words) {
    std::string text;
    for (std::uint32_t w : words) {
        text += std::to_string(w) + " ";
    }
    text += "624";
    std::istringstream in(text);
    std::mt19937 engine;
    in >> engine;
    return engine;
}

// The 1998 reference seeding, computed here in 64-bit arithmetic with an explicit modulus.
std::vector<std::uint32_t> referenceSeedState(std::uint32_t seed) {
    std::vector<std::uint32_t> words(624);
    std::uint64_t x = seed;
    for (auto& w : words) {
        w = static_cast<std::uint32_t>(x);
        x = (x * 69069ull) % 4294967296ull;
    }
    return words;
}

TEST(MersenneTwister, SeedingMultipliesBy69069) {
    MersenneTwister generator(1);
    EXPECT_EQ(generator.state()[0], 1u);
    EXPECT_EQ(generator.state()[1], 69069u);
    EXPECT_EQ(generator.state()[2], 475559465u); // 69069^2 mod 2^32
    generator.setSeed(0x80000000u);
    EXPECT_EQ(generator.state()[1], 0x80000000u); // 69069 is odd: 2^31 * 69069 = 2^31 mod 2^32
}

TEST(MersenneTwister, OutputMatchesStandardEngineGivenTheSameState) {
    for (std::uint32_t seed : {1u, 1234u, 4357u, 1000000u, 0xFFFFFFFFu}) {
        MersenneTwister generator(seed);
        std::mt19937 reference = standardEngineWithState(referenceSeedState(seed));
        for (int i = 0; i < 2000; ++i) {
            ASSERT_EQ(generator.next(), reference()) << "seed " << seed << " draw " << i;
        }
    }
}

TEST(MersenneTwister, SeedingDiffersFromStandardSeeding) {
    MersenneTwister generator(5489);
    std::mt19937 standard(5489);
    int equal = 0;
    for (int i = 0; i < 16; ++i) {
        equal += generator.next() == standard() ? 1 : 0;
    }
    EXPECT_LT(equal, 16);
}

TEST(MersenneTwister, TwistAndTemperingGiveTheStandardCheckValue) {
    // The standard's seeding of 5489 (multiplier 1812433253), handed over as a full state: the
    // 10000th output of a default-constructed std::mt19937 is 4123659995.
    MersenneTwister::State words{};
    words[0] = 5489u;
    for (std::size_t i = 1; i < words.size(); ++i) {
        words[i] =
            1812433253u * (words[i - 1] ^ (words[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
    }
    MersenneTwister generator;
    generator.setState(words);
    std::uint32_t value = 0;
    for (int i = 0; i < 10000; ++i) {
        value = generator.next();
    }
    EXPECT_EQ(value, 4123659995u);
}

TEST(MersenneTwister, AcceptanceLimits) {
    EXPECT_EQ(acceptanceLimit(2), 0xFFFFFFFDu);
    EXPECT_EQ(acceptanceLimit(1000000), 4293999999u);
    EXPECT_EQ(acceptanceLimit(1), 0xFFFFFFFEu);
}

TEST(MersenneTwister, UniformBelowDrawsAgainAfterARejectedValue) {
    const std::vector<std::uint32_t> script = {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFDu, 6u};
    std::size_t used = 0;
    auto draw = [&] { return script[used++]; };
    EXPECT_EQ(uniformBelow(2, draw), 1u); // 0xFFFFFFFD is the largest accepted value
    EXPECT_EQ(used, 3u);

    const std::vector<std::uint32_t> millions = {4294000000u, 4293999999u};
    used = 0;
    auto drawMillion = [&] { return millions[used++]; };
    EXPECT_EQ(uniformBelow(1000000, drawMillion), 999999u);
    EXPECT_EQ(used, 2u);

    used = 0;
    EXPECT_EQ(uniformBelow(0, draw), 0u);
    EXPECT_EQ(used, 0u);
}

TEST(MersenneTwister, UniformBelowMillionSkipsExactlyTheRejectedDraws) {
    // About one draw in 4440 lies above 4293999999; over 40000 draws several are skipped.
    const std::uint32_t seed = 42;
    std::mt19937 reference = standardEngineWithState(referenceSeedState(seed));
    std::vector<std::uint32_t> expected;
    int rejected = 0;
    while (expected.size() < 40000) {
        const std::uint32_t v = reference();
        if (v > 4293999999u) {
            ++rejected;
        } else {
            expected.push_back(v % 1000000u);
        }
    }
    ASSERT_GT(rejected, 0);
    MersenneTwister generator(seed);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(generator.uniformBelow(1000000), expected[i]) << "value " << i;
    }
}

} // namespace
} // namespace vorpalix
