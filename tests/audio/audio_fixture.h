// Sound tests: a scratch data root holding small sound files, the sound layer open on the
// headless mixer with the virtual clock, the camera at the origin following nothing.
#pragma once
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "audio/audiosys.h"
#include "support/data_root_fixture.h"

struct SoundFile {
    std::string name;
    std::string bytes;
};

// A mono 16-bit tone of the given length; level 0..1 as a constant (DC) when hz is 0.
std::string ToneWave(float seconds, float level = 0.5f, float hz = 0.0f, int rate = 11025, int channels = 1);
// The same behind a "GAS0" header.
std::string WithHeader(const std::string& wave, int priority, int maxCopies, int mode, int volume = -1,
                       int randomPitch = 0, int rate = -1);

class AudioTest : public DataRootTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Installs the files (with the standard ones) and opens the layer.
    void Open(const std::vector<SoundFile>& files);
    Entity* MakeEntity(float x, float y, float z);
    // Runs updates, each after the virtual clock moved by ms.
    void Update(int count = 1, int ms = 10);
    std::vector<std::string> ListNames() const;
    int Playing() const;
    // The mean absolute level of each channel over the record's last frames.
    void Levels(int frames, double* left, double* right) const;

private:
    std::vector<Entity*> entities_;  // made here, deleted after the layer closed
};
