// Compares two pictures or two sounds by what they hold, not by their bytes, which another
// version of a library may write differently:
//   samecontent FILE FILE
// TGA pictures and WAV sounds are decoded by the game's library as the game decodes them, PNG
// pictures by libpng. Both must have the same format and size and the same pixels or samples.
// Prints how they differ and fails if they do, or if either does not decode.
#include <allegro.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What a file holds: its format and size in words, and every pixel or sample as a number.
struct content {
    std::string format;
    std::vector<long> values;
    bool decoded = false;
};

bool endsWith(const std::string& name, const std::string& end) {
    return name.size() >= end.size() &&
           name.compare(name.size() - end.size(), end.size(), end) == 0;
}

// At the file's own colour depth: a 32-bit or paletted file is then not taken for a 24-bit one.
content tgaContent(const std::string& file) {
    content result;
    set_color_conversion(COLORCONV_NONE);
    PALETTE colors;
    BITMAP* image = load_bitmap(file.c_str(), colors);
    if (!image)
        return result;
    result.format = std::to_string(bitmap_color_depth(image)) + "-bit " + std::to_string(image->w) +
                    "x" + std::to_string(image->h);
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            result.values.push_back(getpixel(image, x, y));
    destroy_bitmap(image);
    result.decoded = true;
    return result;
}

content wavContent(const std::string& file) {
    content result;
    SAMPLE* sound = load_sample(file.c_str());
    if (!sound)
        return result;
    result.format = std::to_string(sound->bits) + "-bit " + (sound->stereo ? "stereo" : "mono") +
                    " at " + std::to_string(sound->freq) + " Hz, " + std::to_string(sound->len) +
                    " samples";
    const unsigned long count = sound->len * (sound->stereo ? 2 : 1);
    for (unsigned long i = 0; i < count; ++i)
        result.values.push_back(sound->bits == 8
                                    ? static_cast<const unsigned char*>(sound->data)[i]
                                    : static_cast<const unsigned short*>(sound->data)[i]);
    destroy_sample(sound);
    result.decoded = true;
    return result;
}

std::string pngFormat(png_uint_32 format) {
    return std::string((format & PNG_FORMAT_FLAG_LINEAR) ? "16-bit " : "8-bit ") +
           ((format & PNG_FORMAT_FLAG_COLORMAP) ? "paletted " : "") +
           ((format & PNG_FORMAT_FLAG_COLOR) ? "colour" : "grey") +
           ((format & PNG_FORMAT_FLAG_ALPHA) ? " with alpha" : "");
}

// Every PNG is read as 8-bit RGBA; the format names what the file itself stores.
content pngContent(const std::string& file) {
    content result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return result;
    result.format = pngFormat(image.format) + " " + std::to_string(image.width) + "x" +
                    std::to_string(image.height);
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
        return result;
    result.values.assign(bytes.begin(), bytes.end());
    result.decoded = true;
    return result;
}

content decode(const std::string& file) {
    if (endsWith(file, ".tga"))
        return tgaContent(file);
    if (endsWith(file, ".wav"))
        return wavContent(file);
    if (endsWith(file, ".png"))
        return pngContent(file);
    return content();
}

bool same(const std::string& fileA, const std::string& fileB) {
    const content a = decode(fileA);
    const content b = decode(fileB);
    if (!a.decoded)
        std::printf("%s: cannot be decoded\n", fileA.c_str());
    if (!b.decoded)
        std::printf("%s: cannot be decoded\n", fileB.c_str());
    if (!a.decoded || !b.decoded)
        return false;
    if (a.format != b.format) {
        std::printf("%s is %s, %s is %s\n", fileA.c_str(), a.format.c_str(), fileB.c_str(),
                    b.format.c_str());
        return false;
    }
    size_t differ = 0;
    size_t first = 0;
    for (size_t i = a.values.size(); i-- > 0;)
        if (a.values[i] != b.values[i]) {
            ++differ;
            first = i;
        }
    if (differ)
        std::printf("%s and %s differ in %zu of %zu values, the first at %zu\n", fileA.c_str(),
                    fileB.c_str(), differ, a.values.size(), first);
    return differ == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE FILE\n", argv[0]);
        return 2;
    }
    // No display is needed: the library only decodes.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) == 0)
        return same(argv[1], argv[2]) ? 0 : 1;
    std::fprintf(stderr, "samecontent: the library did not start: %s\n", allegro_error);
    return 2;
}
END_OF_MAIN()
