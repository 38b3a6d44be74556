// Music from a disc directory of tiny track files, on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cdaudio.h"
#include "audio/cddisc.h"
#include "audio_fixture.h"
#include "core/app.h"
#include "core/game.h"
#include "platform/paths.h"
#include "core/cmdline.h"
#include "core/seams/shell.h"
#include "platform/clock.h"
#include "platform/media.h"
#include "platform/sound.h"
#include "sound_writer.h"

namespace {

// A disc of tracks 2..last, each lengthMs long, with a tone of its own.
void WriteDisc(const std::string& dir, int last, float seconds = 0.1f) {
    std::filesystem::create_directories(dir);
    for (int t = 2; t <= last; ++t) {
        const std::vector<uint8_t> wave =
            content::WaveBytes(content::Tone(200.0f + 20.0f * float(t), seconds, 11025), 11025, 8);
        char name[32];
        std::snprintf(name, sizeof name, "/track%02d.wav", t);
        std::ofstream(dir + name, std::ios::binary).write(reinterpret_cast<const char*>(wave.data()),
                                                         std::streamsize(wave.size()));
    }
    Plat_ForgetDirectoryCache();
}

// The tracks in the order they start, stepping the clock until the disc stops.
std::vector<int> Heard() {
    std::vector<int> tracks;
    for (int step = 0; step < 100000; ++step) {
        const int now = CdDisc_CurrentTrack();
        if (now == 0) break;
        if (tracks.empty() || tracks.back() != now) tracks.push_back(now);
        Plat_AdvanceVirtualClock(5);
    }
    return tracks;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> out;
    for (int t = from; t <= to; ++t) out.push_back(t);
    return out;
}

class CdAudioTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        disc = root + "/disc";
        savedSetting = Seam_Shell().playerDef()[80];
    }
    void TearDown() override {
        Seam_Shell().playerDef()[80] = savedSetting;
        Game_SetState(0);
        CmdLine_Globals().noDirectSound = false;
        AudioTest::TearDown();
    }
    void UseDisc(int last, float seconds = 0.1f) {
        WriteDisc(disc, last, seconds);
        CdDisc_SetDirectory(disc);
    }
    void SetMusic(int level) { Seam_Shell().playerDef()[80] = uint8_t(level); }

    std::string disc;
    uint8_t savedSetting = 2;
};

}  // namespace

TEST_F(CdAudioTest, TracksBelowFifteenRunOnToFifteenOrToTheEndOfAShortDisc) {
    const struct {
        int last, track;
        std::vector<int> heard;
    } cases[] = {
        {20, 3, Range(3, 14)},
        {20, 17, {17}},
        {20, 15, {15}},
        {20, 20, {20}},
        {8, 3, Range(3, 8)},
        {8, 8, {8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("disc of " + std::to_string(c.last) + ", track " + std::to_string(c.track));
        std::filesystem::remove_all(disc);
        UseDisc(c.last);
        CDAudio_Stop();
        CDAudio_PlayTrack(c.track, true);
        ASSERT_TRUE(CDAudio_State().playing);
        EXPECT_EQ(Heard(), c.heard);
        EXPECT_EQ(CdDisc_Mode(), kCdStopped);
        const int end = c.track < 15 ? std::min(15, c.last + 1) : c.track + 1;
        EXPECT_EQ(CdDisc_Position(), CdDisc_TrackStart(end));
    }
}

TEST_F(CdAudioTest, MusicSettingZeroPlaysOnlyWhenForced) {
    UseDisc(8);
    SetMusic(0);
    EXPECT_EQ(CDAudio_PlayTrack(3, false), 0);
    EXPECT_FALSE(CDAudio_State().playing);
    EXPECT_EQ(CdDisc_CurrentTrack(), 0);
    CDAudio_PlayTrack(3, true);
    EXPECT_TRUE(CDAudio_State().playing);
    EXPECT_EQ(CdDisc_CurrentTrack(), 3);
}

TEST_F(CdAudioTest, ADiscTakenAwayClearsPlayingAtTheFirstRecheckThatFallsDue) {
    const struct {
        int state;
        uint32_t period;
        int answer;
    } cases[] = {{kStateModalShell, 5000, 1}, {kStateRun, 60000, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        UseDisc(8, 0.2f);
        CDAudio_Stop();
        Game_SetState(c.state);
        EXPECT_EQ(CDAudio_PlayTrack(4, false), c.answer);
        ASSERT_TRUE(CDAudio_State().playing);
        std::filesystem::remove_all(disc);
        Plat_ForgetDirectoryCache();
        Plat_AdvanceVirtualClock(c.period - 1);
        CDAudio_Recheck();
        EXPECT_TRUE(CDAudio_State().playing) << "checked before it fell due";
        Plat_AdvanceVirtualClock(1);
        CDAudio_Recheck();
        EXPECT_FALSE(CDAudio_State().playing);
        EXPECT_FALSE(CDAudio_State().paused);
    }
}

TEST_F(CdAudioTest, AnEndedTrackStartsAgainOnlyAtTheSlowRecheck) {
    UseDisc(8);
    Game_SetState(kStateRun);
    CDAudio_SetTrack(6);
    CDAudio_PlayTrack(-1, false);
    EXPECT_EQ(Heard(), Range(6, 8));
    // Ended, but the next check is a minute after the start: silence until then, then track 2.
    CDAudio_Recheck();
    EXPECT_EQ(CdDisc_CurrentTrack(), 0);
    Plat_AdvanceVirtualClock(60000 - 400);
    CDAudio_Recheck();
    EXPECT_EQ(CdDisc_CurrentTrack(), 0);
    Plat_AdvanceVirtualClock(400);
    CDAudio_Recheck();
    EXPECT_EQ(CdDisc_CurrentTrack(), 2);
    EXPECT_TRUE(CDAudio_State().playing);
}

TEST_F(CdAudioTest, PauseThenResumeGoesOnFromTheRememberedPositionAndStopClearsBothFlags) {
    UseDisc(8, 1.0f);
    CDAudio_PlayTrack(2, true);
    Plat_AdvanceVirtualClock(1500);
    CDAudio_Pause();
    EXPECT_TRUE(CDAudio_State().paused);
    EXPECT_EQ(CdDisc_Position(), 1500u);
    Plat_AdvanceVirtualClock(4000);
    EXPECT_EQ(CdDisc_Position(), 1500u);
    EXPECT_EQ(CdDisc_Mode(), kCdPaused);
    CDAudio_Resume();
    EXPECT_FALSE(CDAudio_State().paused);
    Plat_AdvanceVirtualClock(100);
    EXPECT_EQ(CdDisc_Position(), 1600u);
    EXPECT_EQ(CdDisc_CurrentTrack(), 3);
    CDAudio_Pause();
    CDAudio_Stop();
    EXPECT_FALSE(CDAudio_State().playing);
    EXPECT_FALSE(CDAudio_State().paused);
    EXPECT_EQ(CdDisc_Mode(), kCdStopped);
}

TEST_F(CdAudioTest, SetVolumeSetsTheMusicGain) {
    UseDisc(4);
    PlatMedia_SetGain(40000);  // the output's own gain before the game touches it
    ASSERT_EQ(CDAudio_Open(), 1);
    EXPECT_EQ(PlatMedia_Gain(), 2u * 65535 / 10) << "the player's setting at the open";
    const struct {
        uint32_t level;
        uint32_t gain;
    } cases[] = {
        {0, 0}, {5, 32767}, {10, 65535}, {12, 65535}, {3, 19660}, {kCdVolumeUnchanged, 19660}, {kCdVolumeRestore, 40000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(CDAudio_SetVolume(c.level), 1);
        EXPECT_EQ(PlatMedia_Gain(), c.gain);
    }
    CmdLine_Globals().noDirectSound = true;
    EXPECT_EQ(CDAudio_SetVolume(7), 0);
    EXPECT_EQ(PlatMedia_Gain(), 40000u);
}

TEST_F(CdAudioTest, WithoutADriveEveryCallDoesNothing) {
    ASSERT_EQ(CdDisc_Directory(), "");
    EXPECT_EQ(CDAudio_Open(), 0);
    EXPECT_EQ(CDDriveLetter, 0);
    CDAudio_SetTrack(3);
    EXPECT_EQ(CDAudio_PlayTrack(3, true), 0);
    EXPECT_EQ(CDAudio_State().track, -1);
    CDAudio_Pause();
    CDAudio_Resume();
    CDAudio_Recheck();
    CDAudio_Stop();
    EXPECT_FALSE(CDAudio_State().playing);
    EXPECT_FALSE(CDAudio_State().paused);
    EXPECT_FALSE(PlatMedia_IsPlaying());
}

TEST_F(CdAudioTest, TheShellTrackIsHeardAtTheDefaultVolumeAndSilentAtZero) {
    UseDisc(14, 1.0f);
    Open({});
    AudioSys_SetVolumes(-1, -2, -2);  // the player's music level, 2
    double left = 0, right = 0;
    Update(20, 10);
    Levels(2000, &left, &right);
    EXPECT_EQ(left + right, 0.0) << "silent before the track starts";
    CDAudio_PlayTrack(12, true);
    Update(20, 10);
    Levels(2000, &left, &right);
    EXPECT_GT(left, 0.01);
    EXPECT_GT(right, 0.01);
    AudioSys_SetVolumes(0, -2, -2);
    Update(20, 10);
    Levels(2000, &left, &right);
    EXPECT_EQ(left + right, 0.0);
    EXPECT_TRUE(CDAudio_State().playing) << "the music plays on, unheard";
}

TEST_F(CdAudioTest, ClosingTheSoundLayerStopsTheMusicButNotTheOutput) {
    UseDisc(14, 1.0f);
    Open({});
    CDAudio_PlayTrack(12, true);
    Update(5, 10);
    EXPECT_TRUE(PlatMedia_IsPlaying());
    AudioSys_Shutdown();
    EXPECT_FALSE(PlatMedia_IsPlaying());
    EXPECT_FALSE(CDAudio_State().playing);
    EXPECT_EQ(PlatMedia_Gain(), 2u * 65535 / 10) << "the output keeps its gain";
}
