#include <gtest/gtest.h>

#include "ApplicationAdaptor.hpp"
#include "HelperCommands.hpp"

namespace lumivo {
namespace {

struct Commands : HelperCommands {
    std::vector<std::string> urls;
    std::size_t dropped = 0, kept = 0;
    void handleURLEvent(std::optional<std::string> text) override { urls.push_back(*text); }
    void activate() override {}
    bool activateAction(const std::string&) override { return true; }
    void droppedURLs(std::size_t d, std::size_t k) override { dropped = d, kept = k; }
};

TEST(ApplicationAdaptorTest, OneOpenCallCarriesTheFirst64URLsAndReportsTheRest) {
    QObject owner;
    Commands commands;
    auto* adaptor = new ApplicationAdaptor(owner, commands);  // owned by `owner`
    QStringList uris;
    for (int i = 0; i < 100; ++i) {
        uris << QString("lumivo://apply/%1").arg(i);
    }
    adaptor->Open(uris, {});
    ASSERT_EQ(commands.urls.size(), 64u);
    EXPECT_EQ(commands.urls.back(), "lumivo://apply/63");
    EXPECT_EQ(commands.dropped, 36u);
    EXPECT_EQ(commands.kept, 64u);
}

}  // namespace
}  // namespace lumivo
