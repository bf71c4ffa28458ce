#include <gtest/gtest.h>

#include "CommandLine.hpp"

namespace lumivo {
namespace {

struct Case {
    std::vector<std::string> args;
    CommandLine::Mode mode;
    std::optional<std::string> url;
};

TEST(CommandLineTest, ReadsModeAndURL) {
    using M = CommandLine::Mode;
    const Case cases[] = {
        {{}, M::run, std::nullopt},
        {{"lumivo://ping"}, M::run, "lumivo://ping"},
        {{"--gapplication-service"}, M::run, std::nullopt},
        {{"--help"}, M::help, std::nullopt},
        {{"lumivo://ping", "-h"}, M::help, std::nullopt},
        {{"--version"}, M::version, std::nullopt},
        {{"--", "-odd"}, M::run, "-odd"},
        {{"--bogus"}, M::usageError, std::nullopt},
        {{"lumivo://ping", "lumivo://stop"}, M::usageError, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = CommandLine::parse(c.args);
        EXPECT_EQ(parsed.mode, c.mode) << testing::PrintToString(c.args);
        EXPECT_EQ(parsed.url, c.url) << testing::PrintToString(c.args);
    }
}

}  // namespace
}  // namespace lumivo
