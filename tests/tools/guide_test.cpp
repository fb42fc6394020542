// The user guide as the help window shows it (the copy beside the program):
// every picture it shows is there and every link inside it leads somewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> matches(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) found.push_back((*it)[1]);
    return found;
}

TEST(UserGuide, PicturesAreThereAndLinksLeadToSections) {
    const fs::path docs = fs::path(LEDGERLY_BIN_DIR) / "docs";
    std::ifstream in(docs / "index.html");
    ASSERT_TRUE(in) << "no guide at " << docs;
    std::stringstream text;
    text << in.rdbuf();
    const std::string html = text.str();

    const auto pictures = matches(html, std::regex(R"(<img src="([^"]+)\")"));
    EXPECT_GE(pictures.size(), 5u);
    for (const auto& p : pictures) EXPECT_TRUE(fs::exists(docs / p)) << p << " is shown but missing";

    std::set<std::string> ids;
    for (const auto& id : matches(html, std::regex(R"(id="([^"]+)\")"))) EXPECT_TRUE(ids.insert(id).second) << id << " twice";
    const auto links = matches(html, std::regex(R"(href="#([^"]+)\")"));
    EXPECT_FALSE(links.empty());
    for (const auto& l : links) EXPECT_TRUE(ids.count(l)) << "#" << l << " leads nowhere";
}

}  // namespace
