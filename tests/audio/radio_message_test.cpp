#include <gtest/gtest.h>

#include <cstring>

#include "audio/audiomessage.h"
#include "audio/radiovoice.h"
#include "ai/aistandins.h"
#include "ai/unitservices.h"
#include "audio_fixture.h"
#include "support/field_stream.h"

namespace {

uint32_t g_now = 0;
uint32_t Now() { return g_now; }

class RadioTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        g_now = 100000;
        RadioVoice_SetClock(Now);
        Open({{"r1.wav", ToneWave(0.5f)},
              {"r2.wav", ToneWave(0.5f)},
              {"r3.wav", ToneWave(0.5f)},
              {"cmike.wav", ToneWave(0.05f)},
              {"m1.wav", ToneWave(0.2f)},
              {"m2.wav", ToneWave(0.2f)}});
        RadioVoice_Enable(true);
    }
    void TearDown() override {
        RadioVoice_ResetForTests();
        AudioMessage_Reset();
        AudioTest::TearDown();
    }
    static std::vector<std::string> Queue() {
        std::vector<std::string> names;
        for (int i = 0; i < RadioVoice_Count(); ++i) names.push_back(RadioVoice_NameAt(i));
        return names;
    }
    static std::string PlayingName() {
        SoundInstance* s = RadioVoice_Playing();
        return s ? std::string(s->params.name) : std::string();
    }
    // Runs updates until the line now playing has ended.
    void PlayOut() { Update(1, 600); Update(); }
};

}  // namespace

TEST_F(RadioTest, TypesCutInQueueOrAreDropped) {
    EXPECT_EQ(RadioVoice_Queue("r1.wav", nullptr, 5), 1) << "chatter plays when the radio is free";
    EXPECT_EQ(RadioVoice_Queue("r2.wav", nullptr, 5), 0) << "and is dropped while a line plays";
    EXPECT_EQ(Queue(), (std::vector<std::string>{"r1.wav"}));

    EXPECT_EQ(RadioVoice_Queue("r2.wav", nullptr, 3), 1) << "below 5 cuts chatter off";
    EXPECT_EQ(RadioVoice_Queue("r3.wav", nullptr, 3), 0);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"r2.wav", "r3.wav"})) << "type 3 lines queue in order";

    EXPECT_EQ(RadioVoice_Queue("r1.wav", nullptr, 2), 1);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"r1.wav", "r3.wav"})) << "type 2 cuts in, the rest waits";
    EXPECT_EQ(PlayingName(), "r1.wav");

    Update();
    PlayOut();
    EXPECT_EQ(PlayingName(), "r3.wav") << "the next line follows when one ends";
    EXPECT_EQ(RadioVoice_Queue("r2.wav", nullptr, 1), 1);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"r2.wav"})) << "type 1 empties the queue";
    Update();
    PlayOut();
    EXPECT_EQ(RadioVoice_Count(), 0);
}

TEST_F(RadioTest, StaleDeadAndUnplayableLinesAreSkipped) {
    Entity* speaker = MakeEntity(0, 0, 0);
    ASSERT_EQ(RadioVoice_Queue("r1.wav", nullptr, 3), 1);
    RadioVoice_Queue("missing.wav", nullptr, 3);
    RadioVoice_Queue("r2.wav", speaker, 3);
    RadioVoice_Queue("r3.wav", nullptr, 4);
    RadioVoice_Queue("m1.wav", nullptr, 3);
    speaker->flags |= 0x200;
    g_now += 10001;
    Update();
    PlayOut();
    EXPECT_EQ(PlayingName(), "m1.wav");
    EXPECT_EQ(RadioVoice_Queue("r1.wav", speaker, 3), 0) << "a dead speaker says nothing";
}

TEST_F(RadioTest, RemovingTheSpeakerCutsItsLineWithAClick) {
    Entity* a = MakeEntity(0, 0, 0);
    Entity* b = MakeEntity(0, 0, 0);
    ASSERT_EQ(RadioVoice_Queue("r1.wav", a, 3), 1);
    RadioVoice_Queue("r2.wav", b, 3);
    RadioVoice_Queue("r3.wav", a, 3);
    RadioVoice_RemoveSpeaker(a);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"cmike.wav", "r2.wav"}));
    RadioVoice_RemoveSpeaker(b);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"cmike.wav"}));
}

TEST_F(RadioTest, StopWordSilencesTheRadioAndMutedSettingsAnswerOne) {
    EXPECT_EQ(RadioVoice_Queue("stopcbxx", nullptr, 1), 0);
    EXPECT_EQ(RadioVoice_Queue("r1.wav", nullptr, 1), 0);
    EXPECT_EQ(RadioVoice_Count(), 0);
    RadioVoice_Enable(true);
    EXPECT_EQ(RadioVoice_Queue("r1.wav", nullptr, 1), 1);
    AudioSys_StopAll();
    EXPECT_EQ(RadioVoice_Count(), 0) << "stop-all empties the queue";
}

TEST_F(RadioTest, MessagesPlayInTurnAndAnswerTheirIds) {
    const int first = AudioMessage_Play("m1.wav");
    const int second = AudioMessage_Play("m2.wav");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_TRUE(AudioMessage_IsDone(0));
    AudioMessage_Update();
    EXPECT_TRUE(AudioMessage_IsPlaying());
    for (int frame = 0; frame < 10; ++frame) {
        Update(1, 30);
        AudioMessage_Update();
    }
    EXPECT_TRUE(AudioMessage_IsDone(first));
    EXPECT_FALSE(AudioMessage_IsDone(second)) << "the second plays after the first";
    EXPECT_TRUE(AudioMessage_IsPlaying());
    for (int frame = 0; frame < 10; ++frame) {
        Update(1, 30);
        AudioMessage_Update();
    }
    EXPECT_TRUE(AudioMessage_IsDone(second));
    EXPECT_FALSE(AudioMessage_IsPlaying());
}

TEST_F(RadioTest, StoppingAndRepeatingMessages) {
    AudioMessage_Repeat();
    EXPECT_EQ(AudioMessage_Count(), 0) << "nothing played yet";
    const int first = AudioMessage_Play("m1.wav");
    const int second = AudioMessage_Play("m2.wav");
    AudioMessage_Update();
    AudioMessage_Stop(second);
    EXPECT_TRUE(AudioMessage_IsDone(second));
    EXPECT_FALSE(AudioMessage_IsDone(first)) << "the playing one goes on";
    AudioMessage_Stop(first);
    EXPECT_TRUE(AudioMessage_IsDone(first));
    EXPECT_FALSE(AudioMessage_IsPlaying());
    AudioMessage_Repeat();
    EXPECT_EQ(AudioMessage_Count(), 1);
    AudioMessage_Update();
    EXPECT_TRUE(AudioMessage_IsPlaying()) << "the last name again";
    AudioMessage_Stop(3);
    AudioMessage_Play("missing.wav");
    AudioMessage_Update();
    EXPECT_FALSE(AudioMessage_IsPlaying()) << "a message that cannot play is dropped";
    EXPECT_EQ(AudioMessage_Count(), 0);
}

TEST_F(RadioTest, SaveWritesTenAndLoadContinuesTheIds) {
    // The message names are copies: the caller's text may go.
    for (int i = 0; i < 12; ++i) {
        std::string name = "m" + std::to_string(i % 2 + 1) + ".wav";
        AudioMessage_Play(name.c_str());
    }
    AudioMessage_Update();
    bool ok = false;
    const std::string bytes = CaptureFields(true, [](FILE* f) { return AudioMessage_Save(f); }, &ok);
    ASSERT_TRUE(ok);
    AudioMessage_Reset();
    {
        FieldReadScope read(bytes, true, 1024);
        EXPECT_TRUE(AudioMessage_Load());
    }
    EXPECT_EQ(AudioMessage_Count(), 10);
    EXPECT_EQ(AudioMessage_Play("m1.wav"), 11);
    EXPECT_FALSE(AudioMessage_IsDone(10));
    EXPECT_TRUE(AudioMessage_IsDone(12)) << "the two past ten were not kept";
}

TEST_F(AudioTest, AudioSettingsFileTunesTheConstants) {
    Open({{"audio.odf", "[Audio]\nsnd_dodekivunube = 20.0\nsnd_zununenuge = 3.0\n"}});
    Audio_ReadSettings();
    EXPECT_EQ(Audio_Constants().minDistance, 20.0f);
    EXPECT_EQ(Audio_Constants().kind3Min, 20.0f) << "present without its key: the plain minimum";
    EXPECT_EQ(Audio_Constants().kind3VolumeFactor, 3.0f);
    EXPECT_EQ(Audio_Constants().maxDistance, 400.0f);
}

TEST_F(AudioTest, WithoutAudioSettingsTheBuiltInValuesStay) {
    Open({});
    Audio_ReadSettings();
    EXPECT_EQ(Audio_Constants().kind3Min, 50.0f);
    EXPECT_EQ(Audio_Constants().rolloff[1], 5.0f);
}

TEST_F(RadioTest, AMessageFreedByStopAllEndsSoNothingWaitsForIt) {
    const int id = AudioMessage_Play("m1.wav");
    AudioMessage_Update();
    ASSERT_TRUE(AudioMessage_IsPlaying());
    AudioSys_StopAll();
    EXPECT_FALSE(AudioMessage_IsPlaying());
    EXPECT_TRUE(AudioMessage_IsDone(id));
    EXPECT_EQ(AudioMessage_Count(), 0);
}

// Unit voice reports, the player's 2-D sounds and the mission driver's wait reach the radio, the
// sound layer and the message queue through the audio seam.
TEST_F(RadioTest, UnitVoicesAndTheMissionDriverReachTheRadioAndTheMessages) {
    Audio_InstallSeam();
    UnitAi_Services().radioVoiceQueue("r1.wav", nullptr, 3);
    UnitAi_Services().radioVoiceQueue("r2.wav", nullptr, 3);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"r1.wav", "r2.wav"}));
    EXPECT_EQ(PlayingName(), "r1.wav");

    UnitAi_Services().soundPlay2D("m2.wav");
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"r1.wav", "m2.wav"})) << "the radio line first by priority";

    EXPECT_FALSE(Ai_StandIns().audioMessageIsPlaying());
    AudioMessage_Play("m1.wav");
    AudioMessage_Update();
    EXPECT_TRUE(Ai_StandIns().audioMessageIsPlaying());
    EXPECT_TRUE(UnitAi_Services().audioMessageIsPlaying());
}
