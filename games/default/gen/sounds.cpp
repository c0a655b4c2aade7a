// Sound effects and the music loop, synthesised into 16-bit mono WAV files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gen.h"

namespace {

const int kRate = 22050;
const float kTau = 6.2831853f;

struct Wave {
  std::vector<float> s;
  explicit Wave(float seconds) : s(size_t(seconds * kRate)) {}
  // Adds fn(t) for t in [start, start + length) seconds.
  void add(float start, float length, const std::function<float(float)>& fn) {
    size_t i0 = size_t(start * kRate), n = size_t(length * kRate);
    for (size_t i = 0; i < n && i0 + i < s.size(); ++i) s[i0 + i] += fn(float(i) / kRate);
  }
};

uint32_t noiseState = 12345;
float noise() {
  noiseState = noiseState * 1664525u + 1013904223u;
  return (noiseState >> 8) / float(1 << 24) * 2 - 1;
}
float square(float phase) {
  return std::fmod(phase, 1.f) < 0.5f ? 1.f : -1.f;
}
float tri(float phase) {
  float p = std::fmod(phase, 1.f);
  return p < 0.5f ? p * 4 - 1 : 3 - p * 4;
}
float env(float t, float attack, float decay) {
  return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

bool writeWav(const std::string& path, const Wave& w, float gain) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    printf("gen: cannot write '%s'\n", path.c_str());
    return false;
  }
  uint32_t bytes = uint32_t(w.s.size() * 2);
  auto u32 = [&](uint32_t v) { fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { fwrite(&v, 2, 1, f); };
  fwrite("RIFF", 1, 4, f);
  u32(36 + bytes);
  fwrite("WAVEfmt ", 1, 8, f);
  u32(16), u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
  fwrite("data", 1, 4, f);
  u32(bytes);
  for (float v : w.s) {
    int16_t q = int16_t(std::lround(std::clamp(v * gain, -1.f, 1.f) * 32000));
    fwrite(&q, 2, 1, f);
  }
  return fclose(f) == 0;
}

float note(int semitonesFromA4) {
  return 440.f * std::pow(2.f, semitonesFromA4 / 12.f);
}

// Short tone helper: a decaying partial.
std::function<float(float)> ping(float freq, float decay, float amp = 1) {
  return [=](float t) { return amp * std::sin(kTau * freq * t) * env(t, 0.002f, decay); };
}

Wave arpeggio(const std::vector<int>& notes, float step, float decay, float tail) {
  Wave w(step * notes.size() + tail);
  for (size_t i = 0; i < notes.size(); ++i) {
    float f = note(notes[i]);
    w.add(step * i, step + tail, [=](float t) {
      return 0.5f * (square(f * t) * 0.3f + std::sin(kTau * f * t)) * env(t, 0.003f, decay);
    });
  }
  return w;
}

// Eight bars of a driving bass and lead, to loop under play.
Wave music() {
  const float beat = 60.f / 132;
  const int bars = 8;
  Wave w(bars * 4 * beat);
  const int roots[bars] = {-12, -12, -16, -16, -19, -19, -14, -17};  // A, A, F, F, D, D, G, E
  for (int bar = 0; bar < bars; ++bar) {
    for (int e = 0; e < 8; ++e) {  // bass in eighths, root and octave
      float f = note(roots[bar] - 12 + (e % 2 ? 12 : 0));
      w.add((bar * 4 + e * 0.5f) * beat, beat * 0.5f,
            [=](float t) { return 0.35f * tri(f * t) * env(t, 0.004f, 0.12f); });
    }
    const int chord[4] = {0, 3, 7, 12};
    for (int s = 0; s < 16; ++s) {  // arpeggio in sixteenths
      int n =
          roots[bar] + 12 + chord[(s + bar) % 4] + (roots[bar] == -16 || roots[bar] == -19 ? 1 : 0);
      float f = note(n);
      w.add((bar * 4 + s * 0.25f) * beat, beat * 0.25f,
            [=](float t) { return 0.12f * square(f * t) * env(t, 0.002f, 0.05f); });
    }
    for (int b = 0; b < 4; ++b) {  // kick on every beat, hat off-beat
      w.add((bar * 4 + b) * beat, 0.2f, [](float t) {
        return 0.5f * std::sin(kTau * (50 + 90 * std::exp(-t * 30)) * t) * env(t, 0.001f, 0.08f);
      });
      w.add((bar * 4 + b + 0.5f) * beat, 0.05f,
            [](float t) { return 0.1f * noise() * env(t, 0.001f, 0.01f); });
    }
  }
  return w;
}

}  // namespace

bool writeSounds(const std::string& dir) {
  bool ok = true;
  auto save = [&](const char* name, const Wave& w, float gain = 0.8f) {
    ok = writeWav(dir + "/sounds/" + name + ".wav", w, gain) && ok;
  };
  {
    Wave w(0.3f);
    w.add(0, 0.3f, [](float t) {
      return std::sin(kTau * (70 + 120 * std::exp(-t * 25)) * t) * env(t, 0.002f, 0.09f);
    });
    w.add(0, 0.3f, ping(880, 0.08f, 0.4f));
    w.add(0, 0.02f, [](float t) { return 0.5f * noise() * env(t, 0.001f, 0.005f); });
    save("bumper", w);
  }
  {
    Wave w(0.2f);
    w.add(0, 0.2f, [](float t) { return std::sin(kTau * 220 * t) * env(t, 0.001f, 0.05f); });
    w.add(0, 0.05f, [](float t) { return 0.6f * noise() * env(t, 0.001f, 0.012f); });
    save("sling", w);
  }
  {
    Wave w(0.1f);
    w.add(0, 0.1f, [](float t) { return std::sin(kTau * 140 * t) * env(t, 0.001f, 0.025f); });
    w.add(0, 0.03f, [](float t) { return 0.4f * noise() * env(t, 0.001f, 0.006f); });
    save("flipper", w, 0.6f);
  }
  {
    Wave w(0.5f);
    w.add(0, 0.5f, ping(1318, 0.15f, 0.7f));
    w.add(0, 0.5f, ping(1976, 0.1f, 0.3f));
    save("lane", w);
  }
  save("lanes-complete", arpeggio({3, 7, 10, 15, 19, 22, 27}, 0.07f, 0.12f, 0.3f));
  {
    Wave w(0.15f);
    w.add(0, 0.15f, [](float t) { return 0.6f * square(660 * t) * env(t, 0.001f, 0.03f); });
    save("target", w);
  }
  {
    Wave w(0.04f);
    w.add(0, 0.04f, [](float t) { return square(2200 * t) * env(t, 0.0005f, 0.006f); });
    save("spinner", w, 0.5f);
  }
  {
    Wave w(0.45f);
    w.add(0, 0.45f, [](float t) { return noise() * env(t, 0.05f, 0.12f) * 0.7f; });
    w.add(0, 0.45f, [](float t) {
      return std::sin(kTau * (200 + 600 * t) * t) * env(t, 0.01f, 0.15f) * 0.4f;
    });
    save("launch", w);
  }
  {
    Wave w(0.9f);
    w.add(0, 0.9f,
          [](float t) { return square((500 - 380 * t) * t) * 0.4f * env(t, 0.01f, 0.4f); });
    save("drain", w);
  }
  {
    Wave w(0.18f);
    w.add(0, 0.18f, [](float t) { return std::sin(kTau * 55 * t) * env(t, 0.002f, 0.05f); });
    save("nudge", w);
  }
  {
    Wave w(1.0f);
    w.add(0, 1.0f, [](float t) { return 0.5f * square(110 * t) * (t < 0.9f ? 1.f : 0.f); });
    save("tilt", w, 0.5f);
  }
  save("extra-ball", arpeggio({0, 4, 7, 12, 16, 19, 24, 19, 24, 28}, 0.08f, 0.1f, 0.3f));
  {
    Wave w(1.4f);
    w.add(0, 1.4f, [](float t) {
      float f = 600 + 300 * std::sin(kTau * 3 * t);
      return 0.5f * square(f * t / 2) * env(t, 0.01f, 0.8f);
    });
    save("multiball", w, 0.6f);
  }
  {
    Wave w(0.07f);
    w.add(0, 0.07f, ping(1046, 0.02f));
    save("bonus", w, 0.6f);
  }
  save("start", arpeggio({-5, 0, 4, 7, 12, 7, 12}, 0.1f, 0.12f, 0.4f));
  save("game-over", arpeggio({12, 7, 4, 0, -5, -12}, 0.22f, 0.3f, 0.6f));
  save("ball-saved", arpeggio({7, 12, 7, 12}, 0.1f, 0.08f, 0.2f));
  {
    Wave w(0.35f);
    w.add(0, 0.35f, [](float t) {
      return std::sin(kTau * (300 - 200 * t) * t) * std::sin(kTau * 18 * t) * env(t, 0.005f, 0.1f);
    });
    save("plunger", w, 0.5f);
  }
  ok = writeWav(dir + "/music/table-theme.wav", music(), 0.7f) && ok;
  return ok;
}
