#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ManifestDecoder.hpp"
#include "ManifestDecodingError.hpp"
#include "ManifestFixtures.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Each case is placed as the value of an extra key of a valid record, so only
// the JSON grammar decides the outcome: every y_ case must decode and every
// n_ case must fail as invalid JSON.
TEST(JsonConformance, AcceptsEveryValidCaseAndRejectsEveryInvalidOne) {
    int accepted = 0;
    int rejected = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(LUMIVO_TEST_DATA) / "jsontestsuite")) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".json") {
            continue;
        }
        const std::string document =
            "[" + test::recordObject("id", {{"extra", "\n" + contents(entry.path()) + "\n"}}) + "]";
        std::string error;
        try {
            ManifestDecoder::decode(document);
        } catch (const ManifestDecodingError& failure) {
            error = failure.what();
        }
        if (name.starts_with("y_")) {
            EXPECT_EQ(error, "") << name;
            ++accepted;
        } else if (name.starts_with("n_")) {
            EXPECT_TRUE(error.starts_with("not valid JSON")) << name << ": " << error;
            ++rejected;
        }
    }
    EXPECT_EQ(accepted, 95);
    EXPECT_EQ(rejected, 188);
}

}  // namespace
}  // namespace lumivo
