// The settings record the game runs with before the player's own file is read: a new player's
// defaults, so the world is drawn at full detail (textured terrain and objects, the cockpit, the
// shadows) and the sound is on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/bytes.h"
#include "core/game.h"
#include "core/seams/shell.h"
#include "core/sysprobe.h"

namespace {

TEST(PlayerDefStandIn, HoldsANewPlayersDefaultsAndResetsToThem) {
    const uint8_t* def = Seam_Shell().playerDef();
    uint8_t options[kPlayerDefDefaultsSize];
    PlayerDef_GetDefaults(options);
    EXPECT_EQ(std::memcmp(def + kPlayerDefModeByte, options, sizeof options), 0);
    struct Byte {
        int offset;
        int value;
        const char* what;
    };
    const Byte bytes[] = {
        {65, 3, "sky detail FULL"},   {67, 2, "cockpit TEXTURED"}, {68, 0, "software drawing"},
        {70, 1, "shadows on"},        {71, 3, "terrain HI RES"},   {73, 3, "objects HI RES"},
        {76, 3, "brightness"},        {80, 2, "music volume"},     {81, 8, "effects volume"},
        {82, 10, "voice volume"},     {83, 8, "sound channels"},   {84, 1, "stereo"},
    };
    for (const Byte& b : bytes) EXPECT_EQ(def[b.offset], b.value) << b.what;
    EXPECT_EQ(Bytes_U32(def + kPlayerDefFlags), 0x30u) << "automatic levelling and target lead, not paused";
    EXPECT_EQ(Bytes_U32(def + 96), 3u);
    EXPECT_EQ(Bytes_U32(def + 100), 5u);
    EXPECT_EQ(Bytes_U32(def + kPlayerDefDifficulty), 2u);

    // What a run changes goes back with the reset the tests share.
    Seam_Shell().playerDef()[71] = 0;
    Seam_Shell().playerDef()[kPlayerDefFlags] |= 1;
    ShellSeam_ResetStandInRecord();
    EXPECT_EQ(def[71], 3);
    EXPECT_EQ(Bytes_U32(def + kPlayerDefFlags), 0x30u);
}

}  // namespace
