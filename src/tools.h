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
// tools.cpp: it reads the uncompressed true-colour form the game's pictures have and refuses
// every other.

bool fileExists(std::string name);
int fileSize(std::string name);
bool fileSelect(std::string message, std::string& path, std::string extensions, int width,
                int height);
