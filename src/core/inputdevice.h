// The one interface of every input device kind: keyboard, mouse and joysticks (the cockpit's
// input layer) and the program's own pseudo-device. The input mapping searches the kinds in
// that order, has each device described, opens the ones a key map names and reads them once
// per frame.
#pragma once
#include <cstdint>

constexpr int kInputAnalogValues = 16;  // analog values run from -65536 to 65536
constexpr int kInputDiscreteWords = 4;  // discrete channel n of a device is bit n % 32 of word n / 32

// What describe fills for one device. The name arrays have the channel counts' entries.
struct InputDeviceRecord {
    char name[12];         // what key-map files name the device by
    char displayName[64];  // what the shell shows
    char typeName[12];
    int32_t analogCount;
    int32_t discreteCount;
    const char* const* analogLongNames;
    const char* const* analogShortNames;  // key-map files use the short names
    const char* const* discreteLongNames;
    const char* const* discreteShortNames;
    void* privateData;  // the kind's own, from describe to close
};

// One kind of device: its operations in table order.
struct InputDevice {
    int (*count)();
    int (*describe)(int index, InputDeviceRecord* record);  // 0 when the device is there
    int (*open)(InputDeviceRecord* record);                 // 0 on success
    void (*close)(InputDeviceRecord* record);               // releases what describe allocated
    int (*resetChannel)(void* privateData, int analogChannel);
    // Fills up to kInputAnalogValues values and kInputDiscreteWords words; 0.
    int (*read)(void* privateData, int32_t* analog, uint32_t* discrete);
    void (*nextKey)(uint16_t* code);  // the keyboard's typed keys (others write nothing)
    void (*flush)();
};

// The next-key and flush operations of the kinds without typed keys.
inline void InputDevice_NoNextKey(uint16_t*) {}
inline void InputDevice_NoFlush() {}
