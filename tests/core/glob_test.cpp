#include <gtest/gtest.h>

#include "core/glob.h"

TEST(GlobTest, MatchTable) {
    struct Case {
        const char* name;
        const char* pattern;
        int match;
    };
    const Case cases[] = {
        {"tank.geo", "*.geo", 1},
        {"tank.geox", "*.geo", -1},  // every start of the rest tried, none fits
        {"tank.ge", "*.geo", -1},
        {"tank.sdf", "*.geo", -1},
        {".geo", "*.geo", 1},
        {"tank", "tank*", 1},
        {"tank", "tank**", 1},
        {"tan", "tank", -1},
        {"tank", "ta?k", 1},
        {"tak", "ta?k", -1},
        {"tanks", "tank", 0},
        {"flag0001.bmp", "flag????.bmp", 1},
        {"b.txt", "[a-c].txt", 1},
        {"d.txt", "[a-c].txt", 0},
        {"d.txt", "[!a-c].txt", 1},
        {"a.txt", "[!a-c].txt", 0},
        {"x1", "x[0-9]", 1},
        {"x]", "x[]]", 1},
        {"x-", "x[a-]", 1},
        {"a*b", "a\\*b", 1},
        {"axb", "a\\*b", 0},
        {"a[b", "a[b", 0},  // an unterminated set matches nothing
        {"abcabcabd", "*abd", 1},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", -1},
        {"", "", 1},
        {"", "*", 1},
        {"", "?", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(Glob_Match(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

TEST(GlobTest, LeadingDotsAreNotMatchedByWildcards) {
    EXPECT_FALSE(Glob_MatchName(".hidden", "*"));
    EXPECT_FALSE(Glob_MatchName(".hidden", "?hidden"));
    EXPECT_TRUE(Glob_MatchName(".hidden", ".*"));
    EXPECT_TRUE(Glob_MatchName("shown", "*"));
    EXPECT_FALSE(Glob_MatchName("tank.ge", "*.geo"));  // -1 is no match
    EXPECT_FALSE(Glob_MatchName(nullptr, "*"));
}
