#include "tools.h"

#include <cstring>
#include <fstream>

keyStatesClass keyStates;

void keyStatesClass::resetAll() {
    for (int& state : states)
        state = 0;
}

int keyStatesClass::getKey(int scancode) {
    if (static_cast<unsigned>(scancode) >= static_cast<unsigned>(keyCount))
        return 0;
    if (key[scancode] && states[scancode] == 0) {
        states[scancode] = 1;
        return 1;
    }
    // The library may have released the key since the first read; decide on a fresh one.
    if (!key[scancode])
        states[scancode] = 0;
    return 0;
}

bool keyStatesClass::anyKey() {
    bool pressed = false;
    for (int scancode = 0; scancode < keyCount; ++scancode)
        if (getKey(scancode))
            pressed = true;
    return pressed;
}

void keyStatesClass::setState(int scancode, int value) {
    if (static_cast<unsigned>(scancode) < static_cast<unsigned>(keyCount))
        states[scancode] = value;
}

static bool endsWith(const std::string& text, const char* ending) {
    size_t length = std::strlen(ending);
    return text.size() >= length && text.compare(text.size() - length, length, ending) == 0;
}

bool sound::load(std::string path) {
    destroy();
    if (endsWith(path, "wav")) {
        sample = load_sample(path.c_str());
        if (sample)
            kind = 1;
        return sample != nullptr;
    }
    if (endsWith(path, "mid") || endsWith(path, "midi")) {
        midi = load_midi(path.c_str());
        if (midi)
            kind = 2;
        return midi != nullptr;
    }
    return false;
}

void sound::play(int loop, int volume, int pan, int frequency) {
    if (kind == 1)
        play_sample(sample, volume, pan, frequency, loop);
    else if (kind == 2)
        play_midi(midi, loop);
}

void sound::stop() {
    if (kind == 1)
        stop_sample(sample);
    else if (kind == 2)
        stop_midi();
}

void sound::adjust(int loop, int volume, int pan, int frequency) {
    if (kind == 1)
        adjust_sample(sample, volume, pan, frequency, loop);
}

void sound::destroy() {
    if (sample) {
        destroy_sample(sample);
        sample = nullptr;
    }
    if (midi) {
        destroy_midi(midi);
        midi = nullptr;
    }
    kind = 0;
}

bool fileExists(std::string name) {
    std::ifstream file(name);
    return file.good();
}

int fileSize(std::string name) {
    std::ifstream file(name);
    if (!file.good())
        return 0;
    file.seekg(0, std::ios::end);
    return static_cast<int>(static_cast<long long>(file.tellg()));
}

bool fileSelect(std::string message, std::string& path, std::string extensions, int width,
                int height) {
    char buffer[1024];
    std::strncpy(buffer, path.c_str(), sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    if (!file_select_ex(message.c_str(), buffer, extensions.c_str(), sizeof buffer, width, height))
        return false;
    path = buffer;
    return true;
}
