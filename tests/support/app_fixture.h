// A headless program environment: a private profile directory, fresh seams and boxes.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"

// Names of the stand-in calls a test recorded, in order.
std::vector<std::string>& RecordedCalls();

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string profileDir;

private:
    RenderSeam render_{};
    ShellSeam shell_{};
    AudioSeam audio_{};
    CockpitSeam cockpit_{};
    NetSeam net_{};
};
