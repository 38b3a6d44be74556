#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

#include "core/odf.h"
#include "odfkeys.h"
#include "textfiles.h"

namespace {

TEST(KeyDictionary, EveryEntryHashesToItsHash) {
    std::map<uint32_t, std::string> keys;
    std::string error;
    ASSERT_TRUE(content::LoadKeyDictionary(content::KeyDictionaryPath(), &keys, &error)) << error;
    ASSERT_FALSE(keys.empty());
    for (const auto& [hash, text] : keys) EXPECT_EQ(Text_HashNoCase(text.c_str()), hash) << text;
    EXPECT_EQ(content::KeyText(keys.begin()->first), keys.begin()->second);
    EXPECT_EQ(content::KeyText(0x12345678u), "");
}

TEST(KeyDictionary, WriterUsesTheTextsAndRefusesUnknownHashes) {
    content::OdfWriter known;
    known.Int(0x9DE6F3F3u, 5);
    EXPECT_TRUE(known.Ok());
    EXPECT_EQ(known.Text(), content::KeyText(0x9DE6F3F3u) + " = 5\n");
    content::OdfWriter unknown;
    unknown.Int(0x12345678u, 5);
    std::string error;
    EXPECT_FALSE(unknown.Ok(&error));
    EXPECT_NE(error.find("0x12345678"), std::string::npos);
}

TEST(KeyFinder, FindsReadableTextsWithinSeconds) {
    struct Case {
        uint32_t target;
        const char* prefix;
        uint32_t state;
    } cases[] = {
        {0xDEADBEEFu, "", kTextHashBasis},
        {0x0ED76D3Au, "buildtime_", kTextHashBasis},
        {0x00000000u, "", 0xF1915444u},  // continuing a numbered key's prefix state
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        std::string text;
        ASSERT_TRUE(content::FindKeyText(c.target, c.prefix, c.state, &text));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 20.0);  // about one second even with the sanitizers
        EXPECT_EQ(text.rfind(c.prefix, 0), 0u) << text;
        EXPECT_EQ(Text_HashNoCase(text.c_str(), c.state), c.target) << text;
        for (char ch : text) EXPECT_TRUE((ch >= 'a' && ch <= 'z') || ch == '_') << text;
    }
}

}  // namespace
