#include "testsupport.h"

#include "enemy.h"
#include "game_internal.h"
#include "gamefiles.h"
#include "globals.h"
#include "main.h"
#include "tools.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <stdexcept>

void startGameFrame() {
    static bool started = false;
    if (started)
        return;
    started = true;
    init();
    remove_int(timerCounterUpdater);
    remove_keyboard();
    timerCounter = 0;
    releaseAllKeys();
}

void releaseAllKeys() {
    for (int k = 0; k < KEY_MAX; ++k)
        key[k] = 0;
    keyStates.resetAll();
}

static void removeFolder(const std::string& dir) {
    std::error_code ignored;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir, ignored);
}

// The scratch folders not yet removed: a process that ends through exit() skips the
// destructors of the objects on its stack, so they go in an exit handler instead.
static std::set<std::string>& liveFolders() {
    static std::set<std::string> folders;
    static const bool registered = std::atexit([] {
                                       for (const std::string& dir : liveFolders())
                                           removeFolder(dir);
                                   }) == 0;
    (void)registered;
    return folders;
}

scratchFolder::scratchFolder() {
    const std::string temporary = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string pattern = temporary + "/gravelmoth-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    liveFolders().insert(dir);
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

scratchFolder::~scratchFolder() {
    std::filesystem::current_path(previous);
    removeFolder(dir);
    liveFolders().erase(dir);
}

static const char* const messagesVariable = "GRAVELMOTH_MESSAGES";

standInMessages::standInMessages(const std::string& log) {
    previousPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const std::string standIn = GRAVELMOTH_SOURCE_DIR "/tests/bin";
    setenv("PATH", (standIn + ":" + previousPath).c_str(), 1);
    if (!log.empty() && !std::getenv(messagesVariable)) {
        setenv(messagesVariable, std::filesystem::absolute(log).c_str(), 1);
        setLog = true;
    }
}

standInMessages::~standInMessages() {
    setenv("PATH", previousPath.c_str(), 1);
    if (setLog)
        unsetenv(messagesVariable);
}

std::string standInMessages::log() {
    const char* log = std::getenv(messagesVariable);
    return log ? log : "";
}

static void makeParentFolder(const std::string& file) {
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
}

void writePicture(const std::string& file, int width, int height, bool masked) {
    makeParentFolder(file);
    BITMAP* picture = create_bitmap_ex(24, width, height);
    clear_to_color(picture, makecol_depth(24, 40, 90, 160));
    if (masked)
        rect(picture, 0, 0, width - 1, height - 1, makecol_depth(24, 255, 0, 255));
    save_bitmap(file.c_str(), picture, nullptr);
    destroy_bitmap(picture);
}

std::string tgaHeader(int colorMapType, int imageType, int width, int height, int bits,
                      int descriptor, int mapEntries) {
    std::string header(18, '\0');
    header[1] = static_cast<char>(colorMapType);
    header[2] = static_cast<char>(imageType);
    header[5] = static_cast<char>(mapEntries);
    header[7] = static_cast<char>(mapEntries ? 24 : 0);
    header[12] = static_cast<char>(width & 0xFF);
    header[13] = static_cast<char>(width >> 8);
    header[14] = static_cast<char>(height & 0xFF);
    header[15] = static_cast<char>(height >> 8);
    header[16] = static_cast<char>(bits);
    header[17] = static_cast<char>(descriptor);
    return header;
}

std::string overflowingRleTga() {
    return tgaHeader(0, 10, 320, 200, 24) + std::string(16, '\xff');
}

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

void writeSound(const std::string& file) {
    const std::uint32_t samples = 800;
    std::string wav = "RIFF";
    putLittleEndian(wav, 36 + samples, 4);
    wav += "WAVEfmt ";
    putLittleEndian(wav, 16, 4);
    putLittleEndian(wav, 1, 2);    // PCM
    putLittleEndian(wav, 1, 2);    // mono
    putLittleEndian(wav, 8000, 4); // sample rate
    putLittleEndian(wav, 8000, 4); // byte rate
    putLittleEndian(wav, 1, 2);    // block align
    putLittleEndian(wav, 8, 2);    // bits per sample
    wav += "data";
    putLittleEndian(wav, samples, 4);
    wav.append(samples, static_cast<char>(128));
    makeParentFolder(file);
    writeBytes(file, wav);
}

void writeBytes(const std::string& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::ostream& operator<<(std::ostream& out, const pixelBox& box) {
    return out << "(" << box.x << ", " << box.y << ") " << box.w << "x" << box.h;
}

pixelBox paintedBox(int background, int top, int bottom) {
    BITMAP* buffer = global::dbuffer;
    int left = buffer->w, right = -1, upper = buffer->h, lower = -1;
    for (int row = std::max(top, 0); row <= std::min(bottom, buffer->h - 1); ++row)
        for (int column = 0; column < buffer->w; ++column)
            if (getpixel(buffer, column, row) != background) {
                left = std::min(left, column);
                right = std::max(right, column);
                upper = std::min(upper, row);
                lower = std::max(lower, row);
            }
    if (right < 0)
        return pixelBox{};
    return pixelBox{left, upper, right - left + 1, lower - upper + 1};
}

bool showsText(BITMAP* bitmap, int left, int top, const std::string& text, int color) {
    BITMAP* reference = create_bitmap(text_length(font, text.c_str()), text_height(font));
    clear_to_color(reference, color == 0 ? 1 : 0);
    textout_ex(reference, font, text.c_str(), 0, 0, color, -1);
    bool same = true;
    for (int y = 0; y < reference->h; ++y)
        for (int x = 0; x < reference->w; ++x)
            if ((getpixel(reference, x, y) == color) !=
                (getpixel(bitmap, left + x, top + y) == color))
                same = false;
    destroy_bitmap(reference);
    return same;
}

bool showsCentredText(BITMAP* bitmap, int centreX, int top, const std::string& text, int color) {
    return showsText(bitmap, centreX - text_length(font, text.c_str()) / 2, top, text, color);
}

bool stripShowsClock(const std::string& clock) {
    return showsText(global::dbuffer, SCREEN_W - 2 - text_length(font, clock.c_str()), SCREEN_H - 8,
                     clock, colors::white);
}

void press(int scancode) {
    key[scancode] = 1;
}

void release(int scancode) {
    key[scancode] = 0;
}

int countColor(BITMAP* bitmap, int x0, int y0, int x1, int y1, int color) {
    int count = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (getpixel(bitmap, x, y) == color)
                ++count;
    return count;
}

int countColor(BITMAP* bitmap, int color) {
    return countColor(bitmap, 0, 0, bitmap->w - 1, bitmap->h - 1, color);
}

pixelBox drawnAlone(enemy& e, int top, int bottom) {
    clear_to_color(global::dbuffer, colors::white);
    e.draw();
    return paintedBox(colors::white, top, bottom);
}

void writeRaceFiles(int carW, int carH, int wider) {
    writePicture("gfx/car.tga", carW, carH);
    writePicture("gfx/explosion.tga", carW, carH);
    writePicture("gfx/stone.tga", 16 + wider, 12);
    writePicture("gfx/enemycar.tga", 20 + wider, 12);
    writePicture("gfx/mine.tga", 14 + wider, 10);
    writePicture("gfx/mineexplosion.tga", 30 + wider, 21);
    writePicture("gfx/robot.tga", 24 + wider, 11);
    writePicture("gfx/robotbullet.tga", 6 + wider, 5);
    writeSounds();
}

void writeSounds() {
    for (const std::string file : gameFiles)
        if (file.compare(0, 4, "sfx/") == 0)
            writeSound(file);
}

enemyScene::enemyScene() {
    startGameFrame();
    releaseEnemyFiles();
}

enemyScene::~enemyScene() {
    releaseEnemyFiles();
}

std::string highscoreBytes(int hours, int minutes) {
    std::string bytes;
    putLittleEndian(bytes, static_cast<std::uint32_t>(hours), 4);
    putLittleEndian(bytes, static_cast<std::uint32_t>(minutes), 4);
    return bytes;
}

void spyEnemy::note(const std::string& call, const std::vector<int>& rectangle) {
    std::string entry = std::to_string(id) + " " + call;
    for (size_t i = 0; i < rectangle.size(); ++i)
        entry += (i == 0 ? " " : ",") + std::to_string(rectangle[i]);
    log.push_back(entry);
}
