#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "audio/wave.h"
#include "audio_fixture.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/seams/audio.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "sound_writer.h"

namespace {

SoundParams Params(uint32_t flags = 0) {
    SoundParams p;
    SoundParams_Init(&p);
    p.flags = flags;
    return p;
}

SoundHeader CallerHeader(int priority = -1, int mode = -1) {
    SoundHeader h;
    std::memset(&h, 0xFF, sizeof h);
    h.priority = priority;
    h.mode = mode;
    return h;
}

}  // namespace

TEST(WaveParseTest, AcceptsPlainAndHeaderedFilesAndRefusesBrokenOnes) {
    const std::string plain = ToneWave(0.01f);
    const std::string headed = WithHeader(plain, 7, 2, 1, 80, 1, 22050);
    WaveInfo info;
    ASSERT_TRUE(Wave_Parse(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), &info));
    EXPECT_FALSE(info.hasHeader);
    EXPECT_EQ(info.format.channels, 1);
    EXPECT_EQ(info.format.bits, 16);
    EXPECT_EQ(info.format.rate, 11025);
    ASSERT_TRUE(Wave_Parse(reinterpret_cast<const uint8_t*>(headed.data()), headed.size(), &info));
    EXPECT_TRUE(info.hasHeader);
    EXPECT_EQ(info.header.priority, 7);
    EXPECT_EQ(info.header.mode, 1);
    EXPECT_EQ(info.header.sampleRate, 22050);

    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = plain;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const struct {
        const char* what;
        std::string bytes;
    } broken[] = {
        {"truncated data", plain.substr(0, plain.size() - 10)},
        {"no RIFF", patched(0, "RIFX")},
        {"no WAVE", patched(8, "WAVX")},
        {"fmt under 14 bytes", patched(16, std::string("\x0c\0\0\0", 4))},
        {"three channels", patched(22, std::string("\x03\0", 2))},
        {"12 bits", patched(34, std::string("\x0c\0", 2))},
        {"rate 0", patched(24, std::string("\0\0\0\0", 4))},
        {"no data chunk", patched(36, "junk")},
        {"chunk past the end", patched(40, std::string("\xff\xff\xff\x7f", 4))},
        {"header alone", std::string("GAS0") + std::string(20, '\0')},
        {"empty", ""},
    };
    for (const auto& c : broken)
        EXPECT_FALSE(Wave_Parse(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &info)) << c.what;
}

TEST_F(AudioTest, VolumeTableEndsAndDefaults) {
    Open({});
    EXPECT_EQ(AudioSys_VolumeTable(0), -10000);
    EXPECT_EQ(AudioSys_VolumeTable(100), 0);
    EXPECT_EQ(AudioSys_VolumeTable(1), -2656);  // trunc(100 / ln 2 * ln 0.01) * 4
    EXPECT_EQ(AudioSys_VolumeTable(50), -400);
    SoundParams p;
    SoundParams_Init(&p);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(p.frequency, 11025.0f);
    EXPECT_EQ(p.volume, 100.0f);
}

TEST_F(AudioTest, PriorityOrderAndCallerPriority) {
    Open({{"a.wav", ToneWave(1.0f)}, {"b.wav", ToneWave(1.0f)}, {"c.wav", ToneWave(1.0f)},
          {"low.wav", WithHeader(ToneWave(1.0f), 20, 4, 0)}, {"high.wav", WithHeader(ToneWave(1.0f), 90, 4, 0)}});
    ASSERT_TRUE(Sound_Play("a.wav", nullptr, nullptr, nullptr));
    ASSERT_TRUE(Sound_Play("b.wav", nullptr, nullptr, nullptr));
    ASSERT_TRUE(Sound_Play("low.wav", nullptr, nullptr, nullptr));
    ASSERT_TRUE(Sound_Play("c.wav", nullptr, nullptr, nullptr));
    ASSERT_TRUE(Sound_Play("high.wav", nullptr, nullptr, nullptr));
    // Equal priorities go in right after the first of them.
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"high.wav", "a.wav", "c.wav", "b.wav", "low.wav"}));
    const SoundHeader raise = CallerHeader(10);
    SoundInstance* raised = Sound_Play("a.wav", nullptr, nullptr, &raise);
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->header.priority, 60);
    EXPECT_EQ(ListNames().front(), "high.wav");
    EXPECT_EQ(ListNames()[1], "a.wav");
    EXPECT_EQ(AudioSys_First()->next, raised);
}

TEST_F(AudioTest, RefusalsAtCreation) {
    Open({{"four.wav", WithHeader(ToneWave(1.0f), -1, 4, 0)}, {"loop.wav", WithHeader(ToneWave(1.0f), -1, 4, 1)},
          {"bad.wav", ToneWave(1.0f).substr(0, 30)}});
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Sound_Play("four.wav", nullptr, nullptr, nullptr)) << i;
    EXPECT_FALSE(Sound_Play("four.wav", nullptr, nullptr, nullptr)) << "a fifth copy";
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Sound_Play("loop.wav", nullptr, nullptr, nullptr)) << "loops are kept " << i;
    EXPECT_FALSE(Sound_Play("bad.wav", nullptr, nullptr, nullptr));
    EXPECT_FALSE(Sound_Play("missing.wav", nullptr, nullptr, nullptr));
    // A far positional one-shot is refused; the copy chains hold the rest.
    Entity* far = MakeEntity(0, 0, 200);
    const SoundHeader once = CallerHeader(-1, 0);
    EXPECT_FALSE(Sound_Play("loop.wav", far, nullptr, &once));
    AudioSys_SetVolumes(-2, -2, 0);
    const SoundParams voice = Params(kSoundVoice);
    EXPECT_FALSE(Sound_Play("loop.wav", nullptr, &voice, nullptr)) << "voice volume 0";
    AudioSys_SetVolumes(-2, 0, 10);
    EXPECT_FALSE(Sound_Play("loop.wav", nullptr, nullptr, nullptr)) << "effects volume 0";
}

TEST_F(AudioTest, CopySlotsRunOutAtThirty) {
    std::vector<SoundFile> files;
    for (int i = 0; i < 31; ++i) files.push_back({"s" + std::to_string(i) + ".wav", ToneWave(0.1f)});
    Open(files);
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(Sound_Play(files[size_t(i)].name.c_str(), nullptr, nullptr, nullptr));
    EXPECT_FALSE(Sound_Play("s30.wav", nullptr, nullptr, nullptr));
    Sound_Stop(AudioSys_First());
    EXPECT_TRUE(Sound_Play("s30.wav", nullptr, nullptr, nullptr));
}

TEST_F(AudioTest, PositionalLimitCullsInPriorityOrderAndLoopsComeBack) {
    std::vector<SoundFile> files;
    for (int i = 0; i < 9; ++i)
        files.push_back({"p" + std::to_string(i) + ".wav", WithHeader(ToneWave(2.0f), 100 - i, 4, i == 8 ? 1 : 0)});
    Open(files);
    AudioSys_SetMax3DSounds(8);
    Entity* owner = MakeEntity(0, 0, 20);
    std::vector<SoundInstance*> sounds;
    for (const SoundFile& f : files) sounds.push_back(Sound_Play(f.name.c_str(), owner, nullptr, nullptr));
    for (SoundInstance* s : sounds) ASSERT_TRUE(s);
    Update();
    EXPECT_EQ(Playing(), 8);
    ASSERT_TRUE(Sound_IsLive(sounds[8])) << "the looping ninth is kept";
    EXPECT_FALSE(sounds[8]->state & kSoundStatePlaying);
    Sound_Stop(sounds[0]);
    Update();
    EXPECT_TRUE(sounds[8]->state & kSoundStatePlaying) << "room freed";
    // A one-shot ninth is freed.
    const SoundHeader lowest = CallerHeader(-90);
    SoundInstance* extra = Sound_Play("p0.wav", owner, nullptr, &lowest);
    ASSERT_TRUE(extra);
    Update();
    EXPECT_FALSE(Sound_IsLive(extra));
}

TEST_F(AudioTest, OwnersDeathFreesItsSoundsButNotPlaceOnce) {
    Open({{"hum.wav", WithHeader(ToneWave(2.0f), -1, 4, 1)}, {"bang.wav", ToneWave(2.0f)}});
    Entity* owner = MakeEntity(0, 0, 20);
    SoundInstance* hum = Sound_Play("hum.wav", owner, nullptr, nullptr);
    const SoundParams once = Params(kSoundPlaceOnce);
    SoundInstance* bang = Sound_Play("bang.wav", owner, &once, nullptr);
    ASSERT_TRUE(hum && bang);
    Update();
    ASSERT_TRUE(bang->state & kSoundStateDetached);
    EXPECT_EQ(bang->owner, nullptr);
    EXPECT_EQ(Sound_Find("hum.wav", owner), hum);
    owner->local.posit = DVector{0, 0, 40};
    owner->id = 0;  // released
    Update();
    EXPECT_FALSE(Sound_IsLive(hum));
    ASSERT_TRUE(Sound_IsLive(bang));
    EXPECT_TRUE(bang->state & kSoundStatePlaying);
}

TEST_F(AudioTest, PauseKeepsOnlySoundsThatSurviveIt) {
    Open({{"a.wav", ToneWave(2.0f)}, {"b.wav", ToneWave(2.0f)}});
    const SoundParams keep = Params(kSoundSurvivesPause | kSoundEffects);
    SoundInstance* kept = Sound_Play("a.wav", nullptr, &keep, nullptr);
    SoundInstance* lost = Sound_Play("b.wav", nullptr, nullptr, nullptr);
    Update();
    AudioSys_PauseAll();
    EXPECT_TRUE(Sound_IsLive(kept));
    EXPECT_FALSE(Sound_IsLive(lost));
    EXPECT_TRUE(kept->state & kSoundStatePaused);
    SoundInstance* later = Sound_Play("b.wav", nullptr, nullptr, nullptr);
    ASSERT_TRUE(later);
    EXPECT_TRUE(later->state & kSoundStatePaused);
    Update();
    EXPECT_EQ(Playing(), 0);
    AudioSys_ResumeAll();
    Update();
    EXPECT_EQ(Playing(), 2);
}

TEST_F(AudioTest, ShortModeStopsAtSecondUpdateUnlessRestarted) {
    Open({{"burn.wav", WithHeader(ToneWave(2.0f), -1, 4, 2)}});
    SoundInstance* kept = Sound_Play("burn.wav", nullptr, nullptr, nullptr);
    SoundInstance* dropped = Sound_Play("burn.wav", nullptr, nullptr, nullptr);
    Update();  // starts both
    for (int i = 0; i < 4; ++i) {
        kept->restart = 1;
        Update();
    }
    EXPECT_TRUE(Sound_IsLive(kept));
    EXPECT_FALSE(Sound_IsLive(dropped));
}

TEST_F(AudioTest, OneShotsEndWhenTheirSamplesRunOut) {
    Open({{"short.wav", ToneWave(0.1f)}});
    SoundInstance* s = Sound_Play("short.wav", nullptr, nullptr, nullptr);
    Update();
    EXPECT_TRUE(Sound_IsLive(s));
    Update(1, 150);  // mixed past its end
    Update();
    EXPECT_FALSE(Sound_IsLive(s));
    EXPECT_EQ(AudioSys_TotalBytes(), 0u);
}

TEST_F(AudioTest, InMemorySampleNamesCycle) {
    Open({});
    const std::string wave = ToneWave(0.01f);
    std::vector<std::string> names;
    for (int i = 0; i < 103; ++i) {
        SoundInstance* s = Sound_PlayData(wave.data(), wave.size(), 11025.0f, 100.0f, 0.0f);
        ASSERT_TRUE(s);
        names.push_back(s->params.name);
        Sound_StopData(wave.data());
    }
    EXPECT_EQ(names[0], "0.wav");
    EXPECT_EQ(names[100], "100.wav");
    EXPECT_EQ(names[101], "0.wav");
    SoundInstance* s = Sound_PlayData(wave.data(), wave.size(), 11025.0f, 100.0f, 0.0f);
    ASSERT_TRUE(s);
    EXPECT_TRUE(Sound_IsPlayingData(wave.data()));
    Sound_StopData(wave.data());
    EXPECT_FALSE(Sound_IsPlayingData(wave.data()));
    EXPECT_FALSE(Sound_PlayData(wave.data(), 20, 11025.0f, 100.0f, 0.0f)) << "cut short";
}

TEST_F(AudioTest, EndCallbacksMayStartAndFreeSoundsInsideTheWalk) {
    Open({{"a.wav", ToneWave(0.05f)}, {"b.wav", ToneWave(0.05f)}, {"c.wav", ToneWave(1.0f)}});
    static SoundInstance* other;
    SoundParams chain = Params();
    chain.end = [](SoundInstance*, int) {
        Sound_Stop(other);
        Sound_Play("c.wav", nullptr, nullptr, nullptr);
        return 1;
    };
    Sound_Play("a.wav", nullptr, &chain, nullptr);
    other = Sound_Play("b.wav", nullptr, nullptr, nullptr);
    Update();
    Update(1, 100);
    Update();
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"c.wav"}));
}

TEST_F(AudioTest, ClosedLayerRefusesEverything) {
    EXPECT_FALSE(Sound_Play("a.wav", nullptr, nullptr, nullptr));
    AudioSys_Update(1);
    AudioSys_PauseAll();
    AudioSys_StopAll();
    Sound_Stop(nullptr);
    EXPECT_EQ(AudioSys_First(), nullptr);
}

// ---- mixed sound --------------------------------------------------------------------------

TEST_F(AudioTest, TwoDLevelsFollowTheVolumeTable) {
    Open({{"dc.wav", ToneWave(2.0f, 0.5f)}});
    const struct {
        float percent;
        double gain;
    } cases[] = {{100.0f, 1.0}, {50.0f, std::pow(10.0, -400.0 / 2000.0)}};
    for (const auto& c : cases) {
        AudioSys_StopAll();
        SoundHeader h = CallerHeader();
        h.volume = int(c.percent);
        ASSERT_TRUE(Sound_Play("dc.wav", nullptr, nullptr, &h));
        Update();
        Update(1, 100);
        double l, r;
        Levels(500, &l, &r);
        EXPECT_NEAR(l, 0.5 * c.gain, 0.01) << c.percent;
        EXPECT_NEAR(r, 0.5 * c.gain, 0.01) << c.percent;
    }
}

TEST_F(AudioTest, PositionalLevelsFollowInverseDistanceWithRolloffFive) {
    Open({{"dc.wav", WithHeader(ToneWave(2.0f, 0.5f), -1, 4, 1)}});
    const struct {
        float distance;
        double gain;
    } cases[] = {{10.0f, 1.0}, {30.0f, 10.0 / 110.0}, {100.0f, 10.0 / 460.0}};
    for (const auto& c : cases) {
        AudioSys_StopAll();
        Entity* owner = MakeEntity(0, 0, c.distance);
        ASSERT_TRUE(Sound_Play("dc.wav", owner, nullptr, nullptr));
        Update();
        Update(1, 100);
        double l, r;
        Levels(500, &l, &r);
        const double expected = 0.5 * c.gain * std::sqrt(0.5);  // ahead: half the power each side
        EXPECT_NEAR(l, expected, expected * 0.05 + 0.0005) << c.distance;
        EXPECT_NEAR(r, expected, expected * 0.05 + 0.0005) << c.distance;
    }
}

TEST_F(AudioTest, ASoundOnTheRightIsLouderOnTheRight) {
    Open({{"tone.wav", WithHeader(ToneWave(2.0f, 0.5f, 440.0f), -1, 4, 1)}});
    ASSERT_TRUE(Sound_Play("tone.wav", MakeEntity(20, 0, 0), nullptr, nullptr));
    Update();
    Update(1, 100);
    double l, r;
    Levels(500, &l, &r);
    EXPECT_GT(r, 0.01);
    EXPECT_LT(l, r * 0.1);
}

TEST_F(AudioTest, TheCommandLineSilencesOrFlattensTheSound) {
    CmdLine_Globals().noDirectSound = true;
    EXPECT_EQ(AudioSys_Init(0), 0) << "\"nods\": no device, the game runs silent";
    EXPECT_EQ(Sound_Play("tone.wav", nullptr, nullptr, nullptr), nullptr);
    CmdLine_ResetGlobals();
    CmdLine_Globals().noDirectSound3D = true;
    Open({{"tone.wav", WithHeader(ToneWave(2.0f, 0.5f, 440.0f), -1, 4, 1)}});
    SoundInstance* sound = Sound_Play("tone.wav", MakeEntity(20, 0, 0), nullptr, nullptr);
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->params.flags & kSoundNo3D) << "\"nods3d\": every sound is 2-D";
    Update();
    Update(1, 100);
    double l, r;
    Levels(500, &l, &r);
    EXPECT_GT(r, 0.01);
    EXPECT_NEAR(l, r, r * 0.01) << "heard in the middle, not on the right";
    CmdLine_ResetGlobals();
}

TEST_F(AudioTest, TheDebugPageListsPlayingCopiedAndAllSounds) {
    DebugScreen_Reset();
    Open({{"tone.wav", WithHeader(ToneWave(2.0f, 0.5f, 440.0f), 70, 4, 1)}, {"once.wav", ToneWave(2.0f)}});
    ASSERT_EQ(DebugScreen_PageCount(), 1);
    DebugScreen_Show(DebugScreen_SelectedPage());
    ASSERT_TRUE(Sound_Play("tone.wav", nullptr, nullptr, nullptr));
    ASSERT_TRUE(Sound_Play("tone.wav", nullptr, nullptr, nullptr));
    Update();
    ASSERT_TRUE(Sound_Play("once.wav", nullptr, nullptr, nullptr));  // not started until the next update
    Update(1, 0);
    auto row = [](int r) {
        const uint8_t* cells = DebugScreen_Cells() + r * kDebugScreenColumns * 2;
        std::string out;
        for (int c = 0; c < kDebugScreenColumns; ++c) out += cells[2 * c] ? char(cells[2 * c]) : ' ';
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    };
    char line[96];
    std::snprintf(line, sizeof line, "%16s %16s  %3d    %2d  go_flg(%4x) gc_flg(%4x)", "tone.wav", "null", 70, 4, 4u, 0x2u);
    const std::string tone = line;
    std::snprintf(line, sizeof line, "%16s %16s  %3d    %2d  go_flg(%4x) gc_flg(%4x)", "once.wav", "null", 50, 4, 4u, 0x2u);
    const std::string once = line;
    const std::vector<std::string> expected = {"Playing Sounds", tone, tone, once, "Copies", tone, tone,
                                               "All Sounds",     tone, tone, once};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(row(int(i)), expected[i]) << i;
    DebugScreen_Reset();
}

TEST(OpenALLoopbackTest, ASoundOnTheRightIsLouderOnTheRight) {
    if (!PlatSound_OpenDevice(PlatSoundDevice::OpenALLoopback, true, 22050)) GTEST_SKIP() << "no loopback device";
    const std::string wave = ToneWave(1.0f, 0.5f, 440.0f, 22050);
    WaveInfo info;
    ASSERT_TRUE(Wave_Parse(reinterpret_cast<const uint8_t*>(wave.data()), wave.size(), &info));
    PlatSoundVoice* voice = PlatSound_CreateBuffer(info.format, info.samples, info.bytes, kPlatSound3D | kPlatSoundVolume);
    ASSERT_TRUE(voice);
    PlatSound_SetPosition(voice, PlatSoundVec{20, 0, 0});
    PlatSound_SetDistances(voice, 10, 400);
    PlatSoundListener listener;
    listener.rolloffFactor = 5.0f;
    PlatSound_SetListener(listener);
    PlatSound_Commit();
    PlatSound_Play(voice, true);
    PlatSound_Render(4410);
    const std::vector<int16_t>& rec = PlatSound_Record();
    double l = 0, r = 0;
    for (size_t i = rec.size() / 4; i < rec.size() / 2; ++i) l += std::abs(rec[2 * i]), r += std::abs(rec[2 * i + 1]);
    EXPECT_GT(r, 0.0);
    EXPECT_GT(r, 2.0 * l);
    PlatSound_Close();
}

TEST_F(AudioTest, ASoundGivenItsFrequencyAndVolumeKeepsThemThroughTheUpdates) {
    Open({{"charge.wav", WithHeader(ToneWave(2.0f), -1, 4, 1)}});
    const AudioSeam saved = Seam_Audio();
    Audio_InstallSeam();
    AudioSeam& audio = Seam_Audio();
    // Looped with frequency control in 2-D as well (the charge gun's flags).
    void* sound = audio.soundPlay("charge.wav", nullptr, 8193, 65);
    ASSERT_NE(sound, nullptr);
    auto* instance = static_cast<SoundInstance*>(sound);
    audio.soundSetPitchVolume(sound, 8000, 60);  // before it starts
    Update();
    ASSERT_NE(instance->voice, nullptr);
    EXPECT_EQ(PlatSound_Frequency(instance->voice), 8000u);
    EXPECT_FLOAT_EQ(instance->params.volume, 60.0f);
    audio.soundSetPitchVolume(sound, 9000, 70);
    EXPECT_EQ(instance->params.flags & 0x60u, 0x60u) << "both marked changed";
    for (int i = 0; i < 3; ++i) Update();
    EXPECT_EQ(PlatSound_Frequency(instance->voice), 9000u) << "held, not reset to the file's rate";
    EXPECT_FLOAT_EQ(instance->params.volume, 70.0f);
    // A sound the layer has freed is left alone.
    Sound_Stop(instance);
    audio.soundSetPitchVolume(sound, 5000, 10);
    audio.soundSetPitchVolume(nullptr, 5000, 10);
    Update();
    Seam_Audio() = saved;
}
