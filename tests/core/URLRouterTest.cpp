#include <gtest/gtest.h>

#include <variant>

#include "HelperError.hpp"
#include "URLRouter.hpp"

namespace lumivo {

void PrintTo(const Route& route, std::ostream* os) {
    *os << "Route(" << static_cast<int>(route.kind()) << ", \"" << route.id() << "\")";
}
void PrintTo(const HelperError& error, std::ostream* os) {
    *os << error.what();
}

namespace {

using Outcome = std::variant<Route, HelperError>;

Outcome route(const char* text) {
    const auto url = Url::parse(text);
    if (!url) {
        ADD_FAILURE() << "does not parse: " << text;
        return HelperError::badURL();
    }
    try {
        return URLRouter::parse(*url);
    } catch (const HelperError& error) {
        return error;
    }
}

TEST(URLRouter, MapsCommandURLsToRoutesOrErrors) {
    const std::vector<std::pair<const char*, Outcome>> table = {
        {"lumivo://ping", Route::ping()},
        {"lumivo://stop", Route::stop()},
        {"lumivo://ping/anything?x=1", Route::ping()},
        {"lumivo://apply/abc", Route::apply("abc")},
        {"lumivo://apply/abc/def?x=1#top", Route::apply("abc")},
        {"lumivo://apply/a%20b", Route::apply("a b")},
        {"lumivo://apply//abc", Route::apply("abc")},
        {"lumivo://apply", HelperError::badID()},
        {"lumivo://apply/", HelperError::badID()},
        {"lumivo://apply?id=abc", HelperError::badID()},
        {"lumivo://play", HelperError::unknownAction("play")},
        {"lumivo://PING", HelperError::unknownAction("PING")},
        {"lumivo:/stop", Route::stop()},
        {"lumivo:///stop", Route::stop()},
        {"lumivo:/apply/abc", Route::apply("abc")},
        {"lumivo:/apply", HelperError::badID()},
        {"lumivo:", HelperError::unknownAction("")},
        {"lumivo:stop", HelperError::unknownAction("")},
        {"lumivo:x/stop", HelperError::unknownAction("")},
        {"other://apply/abc", HelperError::badURL()},
        {"LUMIVO://ping", HelperError::badURL()},
        {"Lumivo://ping", HelperError::badURL()},
        {"//ping", HelperError::badURL()},
    };
    for (const auto& [text, expected] : table) {
        EXPECT_EQ(route(text), expected) << text;
    }
}

}  // namespace
}  // namespace lumivo
