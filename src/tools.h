// Small tools every screen uses: edge-triggered keys, an owning sound wrapper, file helpers.
#pragma once

#include <allegro.h>

#include <string>

// Turns the library's level-triggered key array into one report per press.
class keyStatesClass {
  public:
    static const int keyCount = 127;

    keyStatesClass() { resetAll(); }

    void resetAll();
    int getKey(int scancode);
    int operator[](int scancode) { return getKey(scancode); }
    bool anyKey();
    void setState(int scancode, int value);

  private:
    int states[keyCount];
};

extern keyStatesClass keyStates;

// Owns one loaded sample or MIDI song; the file name's ending chooses which.
class sound {
  public:
    sound() = default;
    ~sound() { destroy(); }
    sound(const sound&) = delete;
    sound& operator=(const sound&) = delete;

    bool load(std::string path);
    void play(int loop, int volume, int pan, int frequency);
    void stop();
    void adjust(int loop, int volume, int pan, int frequency);
    void destroy();
    int isActive() const { return kind; }

  private:
    int kind = 0; // 0 nothing, 1 sample, 2 MIDI song
    SAMPLE* sample = nullptr;
    MIDI* midi = nullptr;
};

// The library's load_tga, which load_bitmap calls for ".tga" files, is defined by the game in
// tools.cpp: it reads the uncompressed true-colour form the game's pictures have, at most
// largestPictureSide pixels wide and high, and refuses every other.
inline constexpr int largestPictureSide = 1024;

// The library's load_wav, which load_sample calls for ".wav" files, is the game's too: it takes
// uncompressed PCM of 8 or 16 bits, mono or stereo, at a rate a sound card plays, from a file of
// at most largestSoundFile bytes, and refuses every other form (see playableWavSize).
inline constexpr size_t largestSoundFile = 16 << 20;
inline constexpr long lowestSoundRate = 8000;
inline constexpr long highestSoundRate = 192000;
// For a RIFF WAVE file whose chunks each lie within the file, with exactly one PCM format chunk
// before exactly one data chunk of whole frames, at least one: how many of its bytes the
// library's reader is to see, up to the data's end. 0 for every other file.
size_t playableWavSize(const unsigned char* bytes, size_t size);

// Opens a file to read without ever waiting on it (a FIFO or a device in its place); -1 on
// failure, with errno set.
int openToRead(const char* name);
bool isRegular(int fd);
// Reads up to size bytes, fewer when the file ends first: how many, or -1 on a read error.
long readUpTo(int fd, unsigned char* bytes, size_t size);

bool fileExists(std::string name);
int fileSize(std::string name);
bool fileSelect(std::string message, std::string& path, std::string extensions, int width,
                int height);
