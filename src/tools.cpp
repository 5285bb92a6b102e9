#include "tools.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

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

// ---- Pictures.
//
// The game reads its TGA pictures itself: Debian's allegro4.4 reads no uncompressed TGA at all
// from 2:4.4.3.1-8 on (the else of its new error checks binds to the wrong if), and before that
// its RLE reader writes past the end of the picture on a crafted file (CVE-2021-36489). This
// reader takes the one form the asset generator writes, uncompressed true colour, and refuses
// every other. It bears the library's own name so that the library's table of file types, in
// which load_bitmap finds the reader for ".tga", leads here: registering "tga" a second time
// would only add an entry behind the library's, which load_bitmap never reaches.

namespace {

struct tgaHeader {
    int idLength = 0;
    int colorMapType = 0;
    int imageType = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool topDown = false;
};

const int tgaHeaderSize = 18;
const int tgaTrueColor = 2;
const int tgaTopDownBit = 0x20;

} // namespace

static bool readTgaHeader(std::istream& in, tgaHeader& header) {
    unsigned char bytes[tgaHeaderSize];
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes))
        return false;
    header.idLength = bytes[0];
    header.colorMapType = bytes[1];
    header.imageType = bytes[2];
    header.width = bytes[12] | bytes[13] << 8;
    header.height = bytes[14] | bytes[15] << 8;
    header.bitsPerPixel = bytes[16];
    header.topDown = (bytes[17] & tgaTopDownBit) != 0;
    return true;
}

static bool isPlainTrueColor(const tgaHeader& header) {
    return header.colorMapType == 0 && header.imageType == tgaTrueColor &&
           (header.bitsPerPixel == 24 || header.bitsPerPixel == 32) && header.width > 0 &&
           header.height > 0;
}

static void putTgaRow(BITMAP* picture, int y, const std::vector<unsigned char>& row) {
    const bool alpha = bitmap_color_depth(picture) == 32;
    const unsigned char* pixel = row.data();
    for (int x = 0; x < picture->w; ++x, pixel += alpha ? 4 : 3) {
        const int color = alpha ? makeacol32(pixel[2], pixel[1], pixel[0], pixel[3])
                                : makecol24(pixel[2], pixel[1], pixel[0]);
        putpixel(picture, x, y, color);
    }
}

// Rows are stored bottom first unless the header says otherwise. A file cut short still gives
// the whole picture: as in the library's reader, every byte past the end reads as 0xFF, so the
// missing pixels come out white.
static bool readTgaPixels(std::istream& in, const tgaHeader& header, BITMAP* picture) {
    in.ignore(header.idLength);
    std::vector<unsigned char> row(static_cast<size_t>(header.width * header.bitsPerPixel / 8));
    for (int stored = 0; stored < header.height; ++stored) {
        std::fill(row.begin(), row.end(), 0xFF);
        in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
        if (in.bad())
            return false;
        putTgaRow(picture, header.topDown ? stored : header.height - 1 - stored, row);
    }
    return true;
}

// Into the depth and palette the library's own loaders give, through the helpers they share:
// the screen's depth where the colour conversion allows it, the mask colour still the mask
// colour.
static BITMAP* convertLoaded(BITMAP* picture, RGB* pal) {
    const int depth = bitmap_color_depth(picture);
    const int wanted = _color_load_depth(depth, depth == 32);
    if (wanted != depth)
        picture = _fixup_loaded_bitmap(picture, pal, wanted);
    if (pal && wanted != 8)
        generate_332_palette(pal);
    return picture;
}

BITMAP* load_tga(const char* filename, RGB* pal) {
    std::ifstream in(filename, std::ios::binary);
    tgaHeader header;
    if (!readTgaHeader(in, header) || !isPlainTrueColor(header))
        return nullptr;
    BITMAP* picture = create_bitmap_ex(header.bitsPerPixel, header.width, header.height);
    if (!picture)
        return nullptr;
    if (!readTgaPixels(in, header, picture)) {
        destroy_bitmap(picture);
        return nullptr;
    }
    return convertLoaded(picture, pal);
}
