// A focused 640 by 480 window whose procedure hands keyboard and mouse messages to the input
// devices, on the headless backend with a virtual clock.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/inputdevice.h"
#include "platform/window.h"

class InputFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Presses or releases the key that makes the named keyboard channel, through the queue
    // and the window procedure.
    void Key(const char* name, bool down, bool repeat = false);
    void Tap(const char* name);
    // Sends a key message with this scan code and extended flag straight to the keyboard.
    void RawKey(int scanCode, bool extended, bool down, int virtualKey = 0);
    void Post(uint32_t message, WParam wParam = 0, LParam lParam = 0);
    // Sets the frame clock's smoothed frame time to ms per frame.
    void SetFrameTime(uint32_t ms);

    struct Reading {
        int32_t analog[kInputAnalogValues] = {};
        uint32_t discrete[kInputDiscreteWords] = {};
        bool on(int bit) const { return (discrete[bit / 32] >> (bit % 32)) & 1; }
    };
    Reading ReadKeyboard();
    bool ChannelDown(const Reading& reading, int channel) const { return reading.on(channel - 1); }
    std::string TypedKeys();  // the codes waiting in the typed-key queue, as "0x..." words

    WindowHandle window = 0;
    uint8_t settings[116] = {};
    uint32_t clockMs = 0;

private:
    uint8_t* (*savedPlayerDef_)() = nullptr;
};
