#include "picture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

picture::picture(int width, int height, rgb fill)
    : w(width), h(height), pixels(static_cast<size_t>(width * height), fill) {}

void picture::paste(const picture& other, int x, int y) {
    for (int row = 0; row < other.h; ++row)
        for (int column = 0; column < other.w; ++column) {
            const rgb& pixel = other.at(column, row);
            const int tx = x + column;
            const int ty = y + row;
            if (pixel != maskColour && tx >= 0 && ty >= 0 && tx < w && ty < h)
                at(tx, ty) = pixel;
        }
}

picture picture::scaled(int factor) const {
    picture result(w * factor, h * factor, maskColour);
    for (int y = 0; y < result.h; ++y)
        for (int x = 0; x < result.w; ++x)
            result.at(x, y) = at(x / factor, y / factor);
    return result;
}

std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

static void makeFolders(const std::string& file) {
    for (size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        const std::string folder = file.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make folder " + folder + ": " + std::strerror(errno));
    }
}

void writeFile(const std::string& file, const std::string& bytes) {
    makeFolders(file);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file);
}

static std::string trimmed(const std::string& line) {
    const size_t end = line.find_last_not_of(" \t\r");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

palette readPalette(const std::string& file) {
    std::istringstream lines(readFile(file));
    palette colours;
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t comment = line.find('#', 1);
        std::istringstream fields(trimmed(line.substr(1, comment - 1)));
        int r = -1;
        int g = -1;
        int b = -1;
        std::string extra;
        const bool read = static_cast<bool>(fields >> r >> g >> b) && !(fields >> extra);
        const bool inRange = r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255;
        if (!read || !inRange || line[0] == ' ' || colours.count(line[0]))
            throw std::runtime_error(file + ":" + std::to_string(number) +
                                     ": expected a new character and three values 0..255");
        colours[line[0]] = rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                               static_cast<std::uint8_t>(b)};
    }
    return colours;
}

picture readSprite(const std::string& file, const palette& colours, int width, int height) {
    std::istringstream lines(readFile(file));
    std::vector<std::string> rows;
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (!line.empty() && line[0] != '#')
            rows.push_back(line);
    }
    if (static_cast<int>(rows.size()) != height)
        throw std::runtime_error(file + ": " + std::to_string(rows.size()) + " rows, expected " +
                                 std::to_string(height));
    picture image(width, height, maskColour);
    for (int y = 0; y < height; ++y) {
        const std::string& row = rows[static_cast<size_t>(y)];
        if (static_cast<int>(row.size()) != width)
            throw std::runtime_error(file + ": row " + std::to_string(y + 1) + " is " +
                                     std::to_string(row.size()) + " wide, expected " +
                                     std::to_string(width));
        for (int x = 0; x < width; ++x) {
            const auto colour = colours.find(row[static_cast<size_t>(x)]);
            if (colour == colours.end())
                throw std::runtime_error(file + ": row " + std::to_string(y + 1) +
                                         ": no colour for '" + row[static_cast<size_t>(x)] + "'");
            image.at(x, y) = colour->second;
        }
    }
    return image;
}

static void putLittle16(std::string& bytes, unsigned value) {
    bytes += static_cast<char>(value & 0xff);
    bytes += static_cast<char>((value >> 8) & 0xff);
}

static void putBig32(std::string& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xff);
}

std::string tgaBytes(const picture& image) {
    std::string bytes;
    bytes += '\0';   // no image id
    bytes += '\0';   // no colour map
    bytes += '\x02'; // true colour, uncompressed
    bytes.append(5, '\0');
    putLittle16(bytes, 0); // x origin
    putLittle16(bytes, 0); // y origin
    putLittle16(bytes, static_cast<unsigned>(image.width()));
    putLittle16(bytes, static_cast<unsigned>(image.height()));
    bytes += '\x18'; // 24 bits a pixel
    bytes += '\x20'; // rows from the top down, no alpha
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const rgb& pixel = image.at(x, y);
            bytes += static_cast<char>(pixel.b);
            bytes += static_cast<char>(pixel.g);
            bytes += static_cast<char>(pixel.r);
        }
    return bytes;
}

std::uint32_t crc32(const std::string& bytes, size_t from, size_t size) {
    const size_t end = size == std::string::npos ? bytes.size() : from + size;
    std::uint32_t crc = 0xffffffffu;
    for (size_t i = from; i < end; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t adler32(const std::string& bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (char byte : bytes) {
        a = (a + static_cast<unsigned char>(byte)) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

static void putChunk(std::string& png, const char* type, const std::string& data) {
    putBig32(png, static_cast<std::uint32_t>(data.size()));
    const size_t start = png.size();
    png += type;
    png += data;
    putBig32(png, crc32(png, start, png.size() - start));
}

// A zlib stream of stored deflate blocks, each at most 65535 bytes long.
static std::string storedZlib(const std::string& raw) {
    std::string stream = "\x78\x01";
    size_t done = 0;
    do {
        const size_t size = std::min<size_t>(raw.size() - done, 65535);
        const bool last = done + size == raw.size();
        stream += static_cast<char>(last ? 1 : 0);
        putLittle16(stream, static_cast<unsigned>(size));
        putLittle16(stream, static_cast<unsigned>(~size & 0xffff));
        stream.append(raw, done, size);
        done += size;
    } while (done < raw.size());
    putBig32(stream, adler32(raw));
    return stream;
}

std::string pngBytes(const picture& image) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    putBig32(header, static_cast<std::uint32_t>(image.width()));
    putBig32(header, static_cast<std::uint32_t>(image.height()));
    header += '\x08'; // 8 bits a channel
    header += '\x06'; // RGBA
    header.append(3, '\0');
    putChunk(png, "IHDR", header);
    std::string raw;
    for (int y = 0; y < image.height(); ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < image.width(); ++x) {
            const rgb& pixel = image.at(x, y);
            const bool clear = pixel == maskColour;
            raw += static_cast<char>(clear ? 0 : pixel.r);
            raw += static_cast<char>(clear ? 0 : pixel.g);
            raw += static_cast<char>(clear ? 0 : pixel.b);
            raw += static_cast<char>(clear ? 0 : 255);
        }
    }
    putChunk(png, "IDAT", storedZlib(raw));
    putChunk(png, "IEND", "");
    return png;
}
