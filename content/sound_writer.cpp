#include "sound_writer.h"

#include <cmath>
#include <fstream>

#include "archive_writer.h"
#include "odfkeys.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}

// A fade in and out of a few milliseconds keeps the ends from clicking.
std::vector<float> Faded(std::vector<float> s, int rate) {
    const size_t ramp = std::min(s.size() / 2, size_t(rate / 200 + 1));
    for (size_t i = 0; i < ramp; ++i) {
        const float k = float(i) / float(ramp);
        s[i] *= k;
        s[s.size() - 1 - i] *= k;
    }
    return s;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

// The "audio.odf" keys, in the order of the layer's table.
const uint32_t kAudioKeys[22] = {0x37E230BD, 0x6B9DE01C, 0xAF94B358, 0xD5868120, 0x5E165AEF, 0x79CFFCBB,
                                 0x0CA24532, 0x7A9FD210, 0x925B352E, 0x92F5BE2C, 0x02E50EDC, 0xC7834D4A,
                                 0xDCB07FDC, 0xD58454FB, 0x55188F35, 0x88F86C72, 0xE358BDA4, 0x14548923,
                                 0x9074837D, 0xFBE7633A, 0x863E8495, 0xD2FB08D7};
const float kAudioValues[22] = {1.0f, 5.0f, 0.8f, 1.0f, 5.0f, 0.8f, 10.0f, 400.0f, 100.0f, 400.0f, 50.0f,
                                11025.0f, 0.0f, -50.0f, 50.0f, 11025.0f, 5512.5f, 5.0f, 5.0f, 5.0f, 2.0f, 11025.0f};

}  // namespace

std::vector<uint8_t> WaveBytes(const std::vector<float>& samples, int rate, int bits, int channels) {
    std::vector<uint8_t> data;
    for (float s : samples) {
        const float c = std::fmax(-1.0f, std::fmin(1.0f, s));
        for (int ch = 0; ch < channels; ++ch) {
            if (bits == 8) data.push_back(uint8_t(std::lround(c * 127.0f) + 128));
            else Put16(data, uint16_t(int16_t(std::lround(c * 32767.0f))));
        }
    }
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, uint32_t(4 + 8 + 16 + 8 + data.size() + (data.size() & 1)));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, uint16_t(channels));
    Put32(out, uint32_t(rate));
    Put32(out, uint32_t(rate * channels * bits / 8));
    Put16(out, uint16_t(channels * bits / 8));
    Put16(out, uint16_t(bits));
    PutTag(out, "data");
    Put32(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
    return out;
}

std::vector<uint8_t> WithSoundHeader(const std::vector<uint8_t>& wave, int priority, int maxCopies, int mode,
                                     int volume, int randomPitch, int rate) {
    std::vector<uint8_t> out;
    PutTag(out, "GAS0");
    for (int v : {priority, maxCopies, mode, volume, randomPitch, rate}) Put32(out, uint32_t(v));
    out.insert(out.end(), wave.begin(), wave.end());
    return out;
}

std::vector<float> Tone(float hz, float seconds, int rate, float level) {
    std::vector<float> s(size_t(seconds * float(rate)));
    for (size_t i = 0; i < s.size(); ++i) s[i] = level * float(std::sin(2.0 * kPi * hz * double(i) / rate));
    return s;
}

std::vector<float> Chirp(float fromHz, float toHz, float seconds, int rate, float level) {
    std::vector<float> s(size_t(seconds * float(rate)));
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / double(s.size());
        phase += 2.0 * kPi * (fromHz + (toHz - fromHz) * t) / rate;
        s[i] = level * float(std::sin(phase));
    }
    return s;
}

std::vector<float> NoiseBurst(float seconds, int rate, uint32_t seed, float level) {
    std::vector<float> s(size_t(seconds * float(rate)));
    uint32_t x = seed ? seed : 1;
    for (size_t i = 0; i < s.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        const float decay = 1.0f - float(i) / float(s.size());
        s[i] = level * decay * (float(x & 0xFFFF) / 32768.0f - 1.0f);
    }
    return s;
}

bool WriteSoundWorld(const std::string& dir, std::string* error) {
    const std::string pack = dir + "/" + kPackDirectory + "/";
    constexpr int r = 11025;
    struct Named {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Named> files = {
        // Impacts by what was struck and how hard.
        {"vvch2.wav", WaveBytes(Faded(NoiseBurst(0.5f, r, 11), r), r, 8)},
        {"vvcre2.wav", WaveBytes(Faded(NoiseBurst(0.35f, r, 12, 0.45f), r), r, 8)},
        {"vvcbb3.wav", WaveBytes(Faded(NoiseBurst(0.2f, r, 13, 0.3f), r), r, 8)},
        {"vnvco3.wav", WaveBytes(Faded(Chirp(300, 120, 0.3f, r), r), r, 8)},
        {"vnvcs5.wav", WaveBytes(Faded(Chirp(500, 200, 0.3f, r), r), r, 8)},
        {"vnvcs3.wav", WaveBytes(Faded(Chirp(400, 180, 0.25f, r), r), r, 8)},
        {"vnvcs1.wav", WaveBytes(Faded(Chirp(350, 150, 0.2f, r, 0.3f), r), r, 8)},
        // Front-end samples and the radio's cut-off click.
        {"ping.wav", WaveBytes(Faded(Tone(880, 0.3f, r), r), r, 16)},
        {"avconsv9.wav", WaveBytes(Faded(Chirp(220, 330, 0.6f, r), r), r, 16)},
        {"cmike.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(0.08f, r, 21, 0.4f), r), r, 8), -1, 1, 0, 80, 0, -1)},
        {"cgrowl.wav", WaveBytes(Faded(Chirp(90, 60, 0.5f, r), r), r, 8)},
        {"weapon.wav", WaveBytes(Faded(Chirp(600, 900, 0.25f, r), r), r, 8)},
        {"repair.wav", WithSoundHeader(WaveBytes(Faded(Chirp(400, 800, 0.4f, r), r), r, 16), 10, 2, 0, -1, 0, -1)},
        // The person's sounds; steps pitch at random, a priority and copy-limit example.
        {"squish.wav", WaveBytes(Faded(NoiseBurst(0.3f, r, 31), r), r, 8)},
        {"bail.wav", WaveBytes(Faded(Chirp(200, 500, 0.4f, r), r), r, 8)},
        {"jump.wav", WaveBytes(Faded(Chirp(250, 600, 0.2f, r), r), r, 8)},
        {"land.wav", WaveBytes(Faded(NoiseBurst(0.15f, r, 32), r), r, 8)},
        {"step.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(0.06f, r, 33, 0.3f), r), r, 8), -10, 2, 0, 60, 2, -1)},
        {"pain.wav", WaveBytes(Faded(Chirp(500, 300, 0.3f, r), r), r, 8)},
        {"burn.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(1.0f, r, 34, 0.3f), r), r, 8), -1, 4, 2, -1, 0, -1)},
        {"death.wav", WaveBytes(Faded(Chirp(400, 100, 0.7f, r), r), r, 8)},
        // The hover craft's engine: loops.
        {"engthrst.wav", WithSoundHeader(WaveBytes(Faded(Tone(110, 1.0f, r, 0.4f), r), r, 16), 20, 8, 1, -1, 0, -1)},
        {"engrev.wav", WithSoundHeader(WaveBytes(Faded(Tone(165, 1.0f, r, 0.3f), r), r, 16), 10, 8, 1, -1, 0, -1)},
        {"amb_wind.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(1.0f, r, 41, 0.2f), r), r, 8), -20, 2, 1, -1, 0, -1)},
        {"trdeploy.wav", WaveBytes(Faded(Chirp(150, 300, 0.6f, r), r), r, 8)},
        {"trundepl.wav", WaveBytes(Faded(Chirp(300, 150, 0.6f, r), r), r, 8)},
        // Weapons.
        {"gblank.wav", WaveBytes(Faded(NoiseBurst(0.12f, r, 51, 0.5f), r), r, 8)},
        {"suck.wav", WaveBytes(Faded(Chirp(800, 200, 0.3f, r), r), r, 8)},
        {"mnu_next.wav", WaveBytes(Faded(Tone(660, 0.1f, r), r), r, 8)},
        // The cannon's boom takes a random pitch; the machine gun's rattle keeps six copies.
        {"h45ch.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(0.35f, r, 52, 0.7f), r), r, 8), -1, 4, 0, -1, 1, -1)},
        {"wlmgun.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(0.07f, r, 53, 0.5f), r), r, 8), -1, 6, 0, -1, 2, -1)},
        // The launcher's whoosh as its missile leaves.
        {"wrock.wav", WaveBytes(Faded(Chirp(700, 250, 0.4f, r, 0.5f), r), r, 8)},
        // The mortar's and the lobber's thump, and a bounce bomb striking the ground.
        {"wcbl.wav", WaveBytes(Faded(NoiseBurst(0.4f, r, 55, 0.6f), r), r, 8)},
        // What the weapons without a sound of their own fall back to: the flame and charge guns'
        // roar, the dispenser's clank and the tag gun's rattle.
        {"wlflame.wav", WaveBytes(Faded(NoiseBurst(0.5f, r, 56, 0.4f), r), r, 8)},
        {"wwgpl.wav", WaveBytes(Faded(Chirp(260, 140, 0.2f, r, 0.5f), r), r, 8)},
        {"whmgun.wav", WaveBytes(Faded(NoiseBurst(0.1f, r, 57, 0.6f), r), r, 8)},
        // Blasts: a rocket's strike or a craft blowing up booms; a round's strike pops.
        {"xboom.wav", WaveBytes(Faded(NoiseBurst(0.8f, r, 58, 0.9f), r), r, 8)},
        {"xhit.wav", WaveBytes(Faded(NoiseBurst(0.12f, r, 59, 0.5f), r), r, 8)},
        {"bounce.wav", WaveBytes(Faded(Chirp(180, 90, 0.15f, r), r), r, 8)},
        // The weapon group switch, the camera pod's beep and the earthquake's rumble (looped).
        {"cammo.wav", WaveBytes(Faded(Tone(1200, 0.05f, r), r), r, 8)},
        {"gprox00.wav", WaveBytes(Faded(Tone(1500, 0.15f, r, 0.3f), r), r, 8)},
        {"gquak01.wav", WithSoundHeader(WaveBytes(Faded(NoiseBurst(1.0f, r, 54, 0.6f), r), r, 8), -1, 1, 1, -1, 0, -1)},
        // Radio lines.
        {"radio1.wav", WaveBytes(Faded(Chirp(300, 350, 0.8f, r, 0.4f), r), r, 8)},
        {"radio2.wav", WaveBytes(Faded(Chirp(350, 300, 0.8f, r, 0.4f), r), r, 8)},
    };
    // The cockpit warning voice: fourteen messages for each of the two races.
    for (int k = 1; k <= 14; ++k) {
        const float hz = 300.0f + 25.0f * float(k);
        files.push_back({nullptr, WaveBytes(Faded(Chirp(hz, hz * 1.2f, 0.5f, r, 0.4f), r), r, 16)});
        files.back().name = nullptr;
        const std::string a = "abetty" + std::to_string(k) + ".wav";
        const std::string s = "sbetty" + std::to_string(k) + ".wav";
        if (!WriteBytes(pack + a, files.back().bytes, error) || !WriteBytes(pack + s, files.back().bytes, error))
            return false;
        files.pop_back();
    }
    for (const Named& f : files)
        if (!WriteBytes(pack + f.name, f.bytes, error)) return false;
    OdfWriter odf;
    odf.Section("Audio");
    for (int i = 0; i < 22; ++i) {
        if (i == 21) odf.Int(kAudioKeys[i], int(kAudioValues[i]));
        else odf.Float(kAudioKeys[i], kAudioValues[i]);
    }
    if (!odf.Ok(error)) return false;
    return WriteTextFile(pack + "audio.odf", odf.Text(), error);
}

}  // namespace content
