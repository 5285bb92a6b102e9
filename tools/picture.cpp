#include "picture.h"

#include <allegro.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <tuple>

picture::picture(int width, int height, rgb fill)
    : w(width), h(height), pixels(static_cast<size_t>(width * height), fill) {}

void picture::paste(const picture& other, int x, int y) {
    for (int row = 0; row < other.h; ++row)
        for (int column = 0; column < other.w; ++column) {
            const rgb& pixel = other.at(column, row);
            const int tx = x + column;
            const int ty = y + row;
            if (pixel != maskColor && tx >= 0 && ty >= 0 && tx < w && ty < h)
                at(tx, ty) = pixel;
        }
}

picture picture::scaled(int factor) const {
    picture result(w * factor, h * factor, maskColor);
    for (int y = 0; y < result.h; ++y)
        for (int x = 0; x < result.w; ++x)
            result.at(x, y) = at(x / factor, y / factor);
    return result;
}

// The average colour of the visible pixels of a block, or the mask colour when they are fewer
// than half of it.
static rgb blockColor(const std::vector<rgb>& block) {
    int r = 0;
    int g = 0;
    int b = 0;
    int seen = 0;
    for (const rgb& pixel : block)
        if (pixel != maskColor) {
            r += pixel.r;
            g += pixel.g;
            b += pixel.b;
            ++seen;
        }
    if (2 * seen <= static_cast<int>(block.size()))
        return maskColor;
    const auto average = [seen](int sum) {
        return static_cast<std::uint8_t>((sum + seen / 2) / seen);
    };
    return rgb{average(r), average(g), average(b)};
}

picture picture::shrunk(int factor) const {
    picture result(w / factor, h / factor, maskColor);
    std::vector<rgb> block;
    for (int y = 0; y < result.h; ++y)
        for (int x = 0; x < result.w; ++x) {
            block.clear();
            for (int row = 0; row < factor; ++row)
                for (int column = 0; column < factor; ++column)
                    block.push_back(at(x * factor + column, y * factor + row));
            result.at(x, y) = blockColor(block);
        }
    return result;
}

picture picture::centred(int size) const {
    picture result(size, size, maskColor);
    result.paste(*this, (size - w) / 2, (size - h) / 2);
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

void makeFolder(const std::string& folder) {
    const std::string path = folder + "/";
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string above = path.substr(0, slash);
        if (mkdir(above.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make folder " + above + ": " + std::strerror(errno));
    }
}

static std::string trimmed(const std::string& line) {
    const size_t end = line.find_last_not_of(" \t\r");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

palette readPalette(const std::string& file) {
    std::istringstream lines(readFile(file));
    palette colors;
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
        if (!read || !inRange || line[0] == ' ' || colors.count(line[0]))
            throw std::runtime_error(file + ":" + std::to_string(number) +
                                     ": expected a new character and three values 0..255");
        colors[line[0]] = rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                              static_cast<std::uint8_t>(b)};
    }
    return colors;
}

picture readSprite(const std::string& file, const palette& colors) {
    std::istringstream lines(readFile(file));
    std::vector<std::string> rows;
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (!line.empty() && line[0] != '#')
            rows.push_back(line);
    }
    if (rows.empty())
        throw std::runtime_error(file + ": no rows of pixels");
    const int width = static_cast<int>(rows[0].size());
    const int height = static_cast<int>(rows.size());
    picture image(width, height, maskColor);
    for (int y = 0; y < height; ++y) {
        const std::string& row = rows[static_cast<size_t>(y)];
        if (static_cast<int>(row.size()) != width)
            throw std::runtime_error(file + ": row " + std::to_string(y + 1) + " is " +
                                     std::to_string(row.size()) + " wide, expected " +
                                     std::to_string(width));
        for (int x = 0; x < width; ++x) {
            const auto color = colors.find(row[static_cast<size_t>(x)]);
            if (color == colors.end())
                throw std::runtime_error(file + ": row " + std::to_string(y + 1) +
                                         ": no colour for '" + row[static_cast<size_t>(x)] + "'");
            image.at(x, y) = color->second;
        }
    }
    return image;
}

void saveTga(const picture& image, const std::string& file) {
    BITMAP* bitmap = create_bitmap_ex(24, image.width(), image.height());
    if (!bitmap)
        throw std::runtime_error("cannot create a bitmap for " + file);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const rgb& pixel = image.at(x, y);
            putpixel(bitmap, x, y, makecol_depth(24, pixel.r, pixel.g, pixel.b));
        }
    const bool saved = save_tga(file.c_str(), bitmap, nullptr) == 0;
    destroy_bitmap(bitmap);
    if (!saved)
        throw std::runtime_error("cannot write " + file);
}

// The pixels as PNG rows of red, green, blue and alpha, the mask colour fully transparent.
static std::vector<png_byte> rgbaRows(const picture& image) {
    std::vector<png_byte> bytes;
    bytes.reserve(static_cast<size_t>(image.width() * image.height() * 4));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const rgb& pixel = image.at(x, y);
            const bool clear = pixel == maskColor;
            bytes.push_back(clear ? 0 : pixel.r);
            bytes.push_back(clear ? 0 : pixel.g);
            bytes.push_back(clear ? 0 : pixel.b);
            bytes.push_back(clear ? 0 : 255);
        }
    return bytes;
}

// libpng reports a failure by jumping back to the setjmp here, past every frame in between:
// nothing made after the setjmp may need a destructor.
static bool writePng(FILE* out, int width, int height, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    // The strongest compression, always the same, so that every run writes the same bytes.
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void savePng(const picture& image, const std::string& file) {
    std::vector<png_byte> bytes = rgbaRows(image);
    std::vector<png_bytep> rows;
    for (int y = 0; y < image.height(); ++y)
        rows.push_back(&bytes[static_cast<size_t>(y * image.width() * 4)]);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        throw std::runtime_error("cannot write " + file + ": " + std::strerror(errno));
    const bool written = writePng(out, image.width(), image.height(), rows.data());
    if (std::fclose(out) != 0 || !written)
        throw std::runtime_error("cannot write " + file);
}

// One character per colour, in the order the colours first appear; the mask is ' '.
static std::map<rgb, char, bool (*)(const rgb&, const rgb&)> xpmColors(const picture& image) {
    const auto before = [](const rgb& one, const rgb& other) {
        return std::tie(one.r, one.g, one.b) < std::tie(other.r, other.g, other.b);
    };
    std::map<rgb, char, bool (*)(const rgb&, const rgb&)> colors(before);
    static const std::string letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,-+=*#@$%&:;<>!?/|()[]";
    colors[maskColor] = ' ';
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!colors.count(image.at(x, y))) {
                if (colors.size() > letters.size())
                    throw std::runtime_error("too many colours for an XPM of one character each");
                const char letter = letters[colors.size() - 1];
                colors[image.at(x, y)] = letter;
            }
    return colors;
}

void saveXpm(const picture& image, const std::string& name, const std::string& file) {
    const auto colors = xpmColors(image);
    std::ostringstream out;
    out << "/* XPM */\nstatic const char* " << name << "[] = {\n";
    out << "\"" << image.width() << " " << image.height() << " " << colors.size() << " 1\",\n";
    // The colours in the order of their characters, so that the file reads top to bottom.
    std::vector<std::pair<char, rgb>> byLetter;
    for (const auto& [color, letter] : colors)
        byLetter.emplace_back(letter, color);
    std::sort(byLetter.begin(), byLetter.end(),
              [](const auto& one, const auto& other) { return one.first < other.first; });
    char hex[8];
    for (const auto& [letter, color] : byLetter) {
        if (color == maskColor) {
            out << "\"" << letter << " c None\",\n";
            continue;
        }
        std::snprintf(hex, sizeof hex, "#%02X%02X%02X", color.r, color.g, color.b);
        out << "\"" << letter << " c " << hex << "\",\n";
    }
    for (int y = 0; y < image.height(); ++y) {
        out << "\"";
        for (int x = 0; x < image.width(); ++x)
            out << colors.at(image.at(x, y));
        out << (y + 1 < image.height() ? "\",\n" : "\"};\n");
    }
    std::ofstream written(file, std::ios::binary);
    if (!(written << out.str()) || !written.flush())
        throw std::runtime_error("cannot write " + file);
}
