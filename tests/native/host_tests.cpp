// Link-local candidates and the route-add helper's command line, natively.
#include "internal/net/Apipa.h"
#include "internal/net/RouteCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> candidates(const char* subnet, std::uint32_t seed, std::uint32_t attempts)
{
    unsigned numbers[4];
    ravel::apipaSubnetNumbers(subnet, numbers);
    std::vector<std::string> all;
    for (std::uint32_t k = attempts; k >= 1; --k) {
        const ravel::ApipaCandidate c = ravel::apipaCandidate(numbers, seed, k);
        all.push_back(c.text + (c.skipped ? " skipped" : ""));
    }
    return all;
}

bool parse(std::vector<const char*> words, ravel::RouteHelperArguments& out)
{
    words.insert(words.begin(), "qvkxora.exe");
    return ravel::parseRouteHelperArguments(static_cast<int>(words.size()), words.data(), out);
}

} // namespace

TEST(ApipaCandidates, FillZeroAndFullBytesFromTheSeed)
{
    EXPECT_EQ(candidates("169.254.0.0", 4660, 8),
              (std::vector<std::string>{"169.254.179.90", "169.254.220.237", "169.254.8.131", "169.254.49.25",
                                        "169.254.90.172", "169.254.131.66", "169.254.172.213", "169.254.213.107"}));
    EXPECT_EQ(ravel::apipaSeed(0x71234ul), 0x1234u);
    // A fixed third byte stays; 254 there is never probed but still uses its attempt.
    EXPECT_EQ(candidates("169.254.7.0", 4660, 2), (std::vector<std::string>{"169.254.7.213", "169.254.7.107"}));
    EXPECT_EQ(candidates("169.254.254.0", 4660, 1), std::vector<std::string>{"169.254.254.107 skipped"});
    // 255 is reduced to 0 and filled; numbers the text lacks are filled; a zero product gives 1.
    EXPECT_EQ(candidates("169.255.0.255", 4660, 1), std::vector<std::string>{"169.66.213.107"});
    EXPECT_EQ(candidates("10", 4660, 1), std::vector<std::string>{"10.66.213.107"});
    EXPECT_EQ(candidates("300.254.0.0", 0, 1), std::vector<std::string>{"45.254.1.1"});
    // The product wraps at 32 bits before the reduction.
    EXPECT_EQ(candidates("0.0.0.0", 65535, 70000).front(), "121.91.61.31");
    EXPECT_TRUE(candidates("169.254.0.0", 4660, 0).empty());
}

TEST(RouteHelper, ArgumentsAndCommandLine)
{
    ravel::RouteHelperArguments a;
    ASSERT_TRUE(parse({"-g", "10.1.2.3", "-i", "192.0.0.192"}, a));
    EXPECT_EQ(ravel::routeHelperCommand(a, true), "route -p ADD 192.0.0.192 10.1.2.3");
    EXPECT_EQ(ravel::routeHelperCommand(a, false), "route ADD 192.0.0.192 10.1.2.3");
    const std::vector<std::vector<const char*>> refused = {
        {},
        {"-i", "192.0.0.192"},
        {"-i", "192.0.0.192", "-g"},
        {"-i", "1.1.1.1", "-i", "1.1.1.2"},
        {"-i", "1.1.1.1", "-g", "1.1.1.2", "-x", "1.1.1.3"},
        {"-I", "1.1.1.1", "-g", "1.1.1.2"},
        {"-i", "1.1.1.256", "-g", "1.1.1.2"},
        {"-i", "1.1.1", "-g", "1.1.1.2"},
        {"-i", "1.1.1.1.1", "-g", "1.1.1.2"},
        {"-i", "1.1.1.0001", "-g", "1.1.1.2"},
        {"-i", "1..1.1", "-g", "1.1.1.2"},
        {"-i", "1.1.1.1&x", "-g", "1.1.1.2"},
    };
    for (const auto& words : refused)
        EXPECT_FALSE(parse(words, a)) << words.size();
    // Routes survive a restart everywhere but on Windows 95 and 98.
    EXPECT_FALSE(ravel::routeAddPersistent(1, 4, 0));
    EXPECT_FALSE(ravel::routeAddPersistent(1, 4, 10));
    EXPECT_TRUE(ravel::routeAddPersistent(1, 4, 90));
    EXPECT_TRUE(ravel::routeAddPersistent(2, 5, 1));
}
