#include "tools.h"

#include <allegro/internal/aintern.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// ---- Files the game reads.

int openToRead(const char* name) {
    return open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool isRegular(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

long readUpTo(int fd, unsigned char* bytes, size_t size) {
    size_t total = 0;
    while (total < size) {
        const ssize_t got = read(fd, bytes + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<long>(total);
}

// A regular file opened to read, or -1: whatever else stands in its place is refused at once.
static int openRegular(const char* name) {
    const int fd = openToRead(name);
    if (fd >= 0 && !isRegular(fd)) {
        close(fd);
        return -1;
    }
    return fd;
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
    int descriptor = 0;
};

const int tgaHeaderSize = 18;
const int tgaTrueColor = 2;
const int tgaRightToLeftBit = 0x10;
const int tgaTopDownBit = 0x20;
const int tgaInterleaveBits = 0xC0;

} // namespace

static bool readTgaHeader(int fd, tgaHeader& header) {
    unsigned char bytes[tgaHeaderSize];
    if (readUpTo(fd, bytes, sizeof bytes) != tgaHeaderSize)
        return false;
    header.idLength = bytes[0];
    header.colorMapType = bytes[1];
    header.imageType = bytes[2];
    header.width = bytes[12] | bytes[13] << 8;
    header.height = bytes[14] | bytes[15] << 8;
    header.bitsPerPixel = bytes[16];
    header.descriptor = bytes[17];
    return true;
}

// A picture cut short is filled in, so the size the header claims is what the game allocates,
// whatever the file holds: the bound keeps an 18-byte file from costing more than a few tens of
// MB, and keeps every size far from the library's int.
static bool isPlainTrueColor(const tgaHeader& header) {
    return header.colorMapType == 0 && header.imageType == tgaTrueColor &&
           (header.bitsPerPixel == 24 || header.bitsPerPixel == 32) && header.width > 0 &&
           header.height > 0 && header.width <= largestPictureSide &&
           header.height <= largestPictureSide && (header.descriptor & tgaInterleaveBits) == 0;
}

static void putTgaRow(BITMAP* picture, int y, bool rightToLeft,
                      const std::vector<unsigned char>& row) {
    const bool alpha = bitmap_color_depth(picture) == 32;
    const unsigned char* pixel = row.data();
    for (int stored = 0; stored < picture->w; ++stored, pixel += alpha ? 4 : 3) {
        const int x = rightToLeft ? picture->w - 1 - stored : stored;
        if (alpha)
            _putpixel32(picture, x, y, makeacol32(pixel[2], pixel[1], pixel[0], pixel[3]));
        else
            _putpixel24(picture, x, y, makecol24(pixel[2], pixel[1], pixel[0]));
    }
}

// Rows are stored bottom first and pixels left first unless the header says otherwise. A file
// cut short still gives the whole picture: as in the library's reader, every byte past the end
// reads as 0xFF, so the missing pixels come out white.
static bool readTgaPixels(int fd, const tgaHeader& header, BITMAP* picture) {
    unsigned char id[255];
    if (readUpTo(fd, id, static_cast<size_t>(header.idLength)) < 0)
        return false;
    const bool topDown = (header.descriptor & tgaTopDownBit) != 0;
    const bool rightToLeft = (header.descriptor & tgaRightToLeftBit) != 0;
    std::vector<unsigned char> row(static_cast<size_t>(header.width) *
                                   static_cast<size_t>(header.bitsPerPixel / 8));
    for (int stored = 0; stored < header.height; ++stored) {
        std::fill(row.begin(), row.end(), 0xFF);
        if (readUpTo(fd, row.data(), row.size()) < 0)
            return false;
        putTgaRow(picture, topDown ? stored : header.height - 1 - stored, rightToLeft, row);
    }
    return true;
}

static BITMAP* readTga(int fd) {
    tgaHeader header;
    if (!readTgaHeader(fd, header) || !isPlainTrueColor(header))
        return nullptr;
    BITMAP* picture = create_bitmap_ex(header.bitsPerPixel, header.width, header.height);
    if (picture && !readTgaPixels(fd, header, picture)) {
        destroy_bitmap(picture);
        return nullptr;
    }
    return picture;
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
    const int fd = openRegular(filename);
    if (fd < 0)
        return nullptr;
    BITMAP* picture = readTga(fd);
    close(fd);
    return picture ? convertLoaded(picture, pal) : nullptr;
}

// ---- Sounds.
//
// load_sample finds the WAV reader in the library's table of file types under the name
// load_wav, as load_bitmap finds load_tga, so the game's load_wav below is the one it calls.
// The library's reader believes every header: it plays a file without a format, keeps the
// first of two data chunks as a leak and allocates whatever size a header claims. The game reads
// the file once, checks it walking its chunks exactly as the library's reader will, and hands
// the library's reader only checked bytes, from memory.

namespace {

// A format chunk of at least its 16 bytes and the data chunk, each once and in that order.
struct wavChunks {
    int formats = 0;
    int datas = 0;
    int channels = 0;
    long rate = 0;
    int bits = 0;
};

const size_t riffHeaderSize = 12;
const size_t chunkHeaderSize = 8;
const size_t formatSize = 16;
const int pcmFormat = 1;

} // namespace

static unsigned readLittle(const unsigned char* bytes, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

static bool readFormat(const unsigned char* format, wavChunks& chunks) {
    chunks.channels = static_cast<int>(readLittle(format + 2, 2));
    chunks.rate = static_cast<long>(readLittle(format + 4, 4));
    chunks.bits = static_cast<int>(readLittle(format + 14, 2));
    return readLittle(format, 2) == pcmFormat && (chunks.channels == 1 || chunks.channels == 2) &&
           chunks.rate >= lowestSoundRate && chunks.rate <= highestSoundRate &&
           (chunks.bits == 8 || chunks.bits == 16);
}

// The data holds whole frames, at least one, of the format read before it.
static bool isWholeData(const wavChunks& chunks, size_t length) {
    const size_t frame = static_cast<size_t>(chunks.channels * chunks.bits / 8);
    return chunks.formats == 1 && length > 0 && length % frame == 0;
}

// As the library's reader, a chunk ends right after its length, with no pad byte. Fewer than a
// chunk header's bytes at the end are not walked: the library never sees them.
size_t playableWavSize(const unsigned char* bytes, size_t size) {
    if (size < riffHeaderSize || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return 0;
    wavChunks chunks;
    size_t dataEnd = 0;
    for (size_t at = riffHeaderSize; size - at >= chunkHeaderSize;) {
        const unsigned char* chunk = bytes + at;
        const size_t length = readLittle(chunk + 4, 4);
        at += chunkHeaderSize;
        if (length > size - at)
            return 0;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // A format after the data comes too late: the data was refused for want of one.
            if (++chunks.formats > 1 || length < formatSize || !readFormat(bytes + at, chunks))
                return 0;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (++chunks.datas > 1 || !isWholeData(chunks, length))
                return 0;
            dataEnd = at + length;
        }
        at += length;
    }
    return dataEnd;
}

// The whole of a regular file not larger than limit; false for anything else. The buffer is as
// large as the file, which may still grow while it is read.
static bool readWhole(const char* name, size_t limit, std::vector<unsigned char>& bytes) {
    const int fd = openRegular(name);
    if (fd < 0)
        return false;
    struct stat info;
    bool whole = fstat(fd, &info) == 0 && static_cast<unsigned long long>(info.st_size) <= limit;
    if (whole) {
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        const long got = readUpTo(fd, bytes.data(), bytes.size());
        whole = got >= 0 && got <= info.st_size;
        bytes.resize(whole ? static_cast<size_t>(got) : 0);
    }
    close(fd);
    return whole;
}

// ---- A PACKFILE over bytes in memory, for the library's readers.

namespace {

struct memoryFile {
    const unsigned char* bytes;
    size_t size;
    size_t at;
};

} // namespace

static memoryFile& from(void* userdata) {
    return *static_cast<memoryFile*>(userdata);
}

static int memoryClose(void*) {
    return 0;
}

static int memoryGetc(void* userdata) {
    memoryFile& file = from(userdata);
    return file.at < file.size ? file.bytes[file.at++] : EOF;
}

static int memoryUngetc(int c, void* userdata) {
    memoryFile& file = from(userdata);
    if (file.at == 0)
        return EOF;
    --file.at;
    return c;
}

static long memoryRead(void* to, long count, void* userdata) {
    memoryFile& file = from(userdata);
    const size_t taken = std::min(static_cast<size_t>(std::max(count, 0L)), file.size - file.at);
    std::memcpy(to, file.bytes + file.at, taken);
    file.at += taken;
    return static_cast<long>(taken);
}

static int memoryPutc(int, void*) {
    return EOF;
}

static long memoryWrite(const void*, long, void*) {
    return 0;
}

static int memorySeek(void* userdata, int offset) {
    memoryFile& file = from(userdata);
    if (offset < 0 || static_cast<size_t>(offset) > file.size - file.at)
        return -1;
    file.at += static_cast<size_t>(offset);
    return 0;
}

static int memoryAtEnd(void* userdata) {
    return from(userdata).at >= from(userdata).size;
}

static int memoryError(void*) {
    return 0;
}

static const PACKFILE_VTABLE memoryFileTable = {
    memoryClose, memoryGetc, memoryUngetc, memoryRead,  memoryPutc,
    memoryWrite, memorySeek, memoryAtEnd,  memoryError,
};

SAMPLE* load_wav(const char* filename) {
    std::vector<unsigned char> bytes;
    if (!readWhole(filename, largestSoundFile, bytes))
        return nullptr;
    // Nothing after the data reaches the library's reader, which walks on to the file's end.
    memoryFile file{bytes.data(), playableWavSize(bytes.data(), bytes.size()), 0};
    if (file.size == 0)
        return nullptr;
    PACKFILE* in = pack_fopen_vtable(&memoryFileTable, &file);
    if (!in)
        return nullptr;
    SAMPLE* sample = load_wav_pf(in);
    pack_fclose(in);
    return sample;
}
