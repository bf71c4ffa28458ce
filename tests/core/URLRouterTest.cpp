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

struct Case {
    const char* name;
    const char* url;
    Outcome expected;
};

class URLRouterTest : public testing::TestWithParam<Case> {};

TEST_P(URLRouterTest, MapsTheCommandURL) {
    EXPECT_EQ(route(GetParam().url), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    URLRouter, URLRouterTest,
    testing::Values(
        Case{"Ping", "lumivo://ping/anything?x=1", Route::ping()},
        Case{"Stop", "lumivo://stop", Route::stop()},
        Case{"ApplyTakesTheFirstSegment", "lumivo://apply/abc/def?x=1#top", Route::apply("abc")},
        Case{"ApplyDecodesTheId", "lumivo://apply/a%20b", Route::apply("a b")},
        Case{"ApplySkipsEmptySegments", "lumivo://apply//abc", Route::apply("abc")},
        Case{"ApplyWithoutId", "lumivo://apply/", HelperError::badID()},
        Case{"ApplyIdInTheQueryIsNoId", "lumivo://apply?id=abc", HelperError::badID()},
        Case{"ActionsAreCaseSensitive", "lumivo://PING", HelperError::unknownAction("PING")},
        // Without an authority the first segment is the action.
        Case{"EmptyAuthority", "lumivo:///stop", Route::stop()},
        Case{"NoAuthority", "lumivo:/apply/abc", Route::apply("abc")},
        Case{"NoAuthorityNoId", "lumivo:/apply", HelperError::badID()},
        Case{"NothingAfterTheScheme", "lumivo:", HelperError::unknownAction("")},
        Case{"RelativePath", "lumivo:x/stop", HelperError::unknownAction("")},
        Case{"OtherScheme", "other://apply/abc", HelperError::badURL()},
        Case{"SchemeIsCaseSensitive", "LUMIVO://ping", HelperError::badURL()},
        Case{"NoScheme", "//ping", HelperError::badURL()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(URLRouter, RefusesCommandURLsLongerThan8KiBBeforeParsing) {
    const std::string prefix = "lumivo://apply/";
    const std::string longest = prefix + std::string(8192 - prefix.size(), 'a');
    EXPECT_EQ(test::thrownBy([&] { URLRouter::checkLength(longest); }), std::nullopt);
    EXPECT_EQ(test::thrownBy([&] { URLRouter::checkLength(longest + "a"); }),
              HelperError::badURL());
}

}  // namespace
}  // namespace lumivo
