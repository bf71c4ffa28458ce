#include <gtest/gtest.h>

#include <variant>

#include "CoreFixtures.hpp"
#include "URLRouter.hpp"

namespace lumivo {
namespace {

using Outcome = std::variant<Route, HelperError>;

Outcome route(const char* text) {
    try {
        return URLRouter::parse(Url::parse(text).value());
    } catch (const HelperError& error) {
        return error;
    }
}

TEST(URLRouter, MapsCommandURLsToRoutesOrErrors) {
    const std::vector<std::pair<const char*, Outcome>> table = {
        {"lumivo://ping/anything?x=1", Route::ping()},
        {"lumivo://stop", Route::stop()},
        {"lumivo://apply/abc/def?x=1#top", Route::apply("abc")},
        {"lumivo://apply/a%20b", Route::apply("a b")},
        {"lumivo://apply//abc", Route::apply("abc")},
        {"lumivo://apply/", HelperError::badID()},
        {"lumivo://apply?id=abc", HelperError::badID()},
        {"lumivo://PING", HelperError::unknownAction("PING")},
        // Without an authority the first segment is the action.
        {"lumivo:///stop", Route::stop()},
        {"lumivo:/apply/abc", Route::apply("abc")},
        {"lumivo:/apply", HelperError::badID()},
        {"lumivo:", HelperError::unknownAction("")},
        {"lumivo:x/stop", HelperError::unknownAction("")},
        {"other://apply/abc", HelperError::badURL()},
        {"LUMIVO://ping", HelperError::badURL()},
        {"//ping", HelperError::badURL()},
    };
    for (const auto& [text, expected] : table) {
        EXPECT_EQ(route(text), expected) << text;
    }
}

TEST(URLRouter, RefusesCommandURLsLongerThan8KiBBeforeParsing) {
    const std::string prefix = "lumivo://apply/";
    const std::string longest = prefix + std::string(8192 - prefix.size(), 'a');
    EXPECT_EQ(test::thrownBy([&] { URLRouter::checkLength(longest); }), std::nullopt);
    EXPECT_EQ(test::thrownBy([&] { URLRouter::checkLength(longest + "a"); }),
              HelperError::badURL());
}

}  // namespace
}  // namespace lumivo
