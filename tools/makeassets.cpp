// Writes every picture and sound of the game from the sources in this folder:
//   makeassets OUTPUT [ART]
// OUTPUT receives gfx/, sfx/ and the icons in linux/icons/; ART is the folder of sprite grids and
// defaults to the one in the source tree. The output is the same, byte for byte, on every run
// with the same libraries. It fails when the game's files it writes are not those of assets.txt.
#include "enemy.h"
#include "gamefiles.h"
#include "picture.h"
#include "sounds.h"
#include "title.h"

#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef GRAVELMOTH_ART_DIR
#define GRAVELMOTH_ART_DIR "art"
#endif

namespace {

// The sprites the game loads, each from its grid art/NAME.txt into gfx/NAME.tga: the player's
// car, the shot's flash and every picture of every kind of enemy.
std::vector<std::string> gameSprites() {
    std::vector<std::string> names{"car", "explosion"};
    for (const enemyKind& kind : enemyKinds)
        for (const sharedFile* file = kind.files; file != kind.files + kind.fileCount; ++file)
            if (file->picture)
                names.push_back(std::filesystem::path(file->name).stem());
    return names;
}

// The sizes in which desktops look for an application's icon.
const int iconSizes[] = {16, 32, 48, 64, 128, 256};

// The small icons are drawn pixel by pixel, each for its size: scaled down from the 48, the
// car would shrink to a bar lost in its tile.
struct drawnIcon {
    int size;
    const char* name;
};
const drawnIcon drawnIcons[] = {{16, "icon16"}, {32, "icon32"}};

// The icon is composed at 48 pixels. The larger sizes (64, 128, 256) show it scaled up by
// whole pixels, so that they stay as sharp, in the middle of their square with an eighth of it
// free on every side.
picture iconAt(const picture& icon, int size, const std::string& artFolder, const palette& colors) {
    for (const drawnIcon& drawn : drawnIcons)
        if (drawn.size == size) {
            const std::string file = artFolder + "/" + drawn.name + ".txt";
            picture drawnIcon = readSprite(file, colors);
            if (drawnIcon.width() != size || drawnIcon.height() != size)
                throw std::runtime_error(file + ": not " + std::to_string(size) + " by " +
                                         std::to_string(size));
            return drawnIcon;
        }
    if (size == icon.width())
        return icon;
    return icon.scaled(size / 64).centred(size);
}

// The output folder, which keeps the names of the game's files written into it.
struct gameFolder {
    std::string root;
    std::set<std::string> written;

    std::string path(const std::string& name) {
        written.insert(name);
        return root + "/" + name;
    }
};

// A file the game does not know of would be committed but never installed; a file left out
// would keep an old picture or sound.
void checkAgainstList(const std::set<std::string>& written) {
    std::string problems;
    std::set<std::string> listed(std::begin(gameFiles), std::end(gameFiles));
    for (const std::string& name : written)
        if (!listed.count(name))
            problems += "\n  " + name + ": written, but not listed in assets.txt";
    for (const std::string& name : listed)
        if (!written.count(name))
            problems += "\n  " + name + ": listed in assets.txt, but not written";
    if (!problems.empty())
        throw std::runtime_error("the game's files are not those of assets.txt:" + problems);
}

void writeAssets(const std::string& output, const std::string& artFolder) {
    gameFolder game{output, {}};
    const palette colors = readPalette(artFolder + "/palette.txt");
    for (const char* folder : {"/gfx", "/sfx"})
        makeFolder(output + folder);
    sprites art;
    for (const std::string& name : gameSprites()) {
        art[name] = readSprite(artFolder + "/" + name + ".txt", colors);
        saveTga(art[name], game.path("gfx/" + name + ".tga"));
    }
    // The moth appears only on the title.
    art["moth"] = readSprite(artFolder + "/moth.txt", colors);
    saveTga(titlePicture(art), game.path("gfx/title.tga"));
    const picture icon = iconPicture(art);
    for (int size : iconSizes) {
        const std::string folder =
            output + "/linux/icons/" + std::to_string(size) + "x" + std::to_string(size);
        makeFolder(folder);
        savePng(iconAt(icon, size, artFolder, colors), folder + "/gravelmoth.png");
    }
    // The running window's icon, which the library hands to the window manager; the game
    // compiles it in.
    saveXpm(icon, "gravelmoth_xpm", output + "/linux/icons/gravelmoth.xpm");

    saveWav(engineLoop(), game.path("sfx/racecar.wav"));
    saveWav(shotBlast(), game.path("sfx/explosion.wav"));
    saveWav(mineBoom(), game.path("sfx/mineexplosion.wav"));
    saveWav(laserZap(), game.path("sfx/robotshoot.wav"));
    checkAgainstList(game.written);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER [ART-FOLDER]\n", argv[0]);
        return 2;
    }
    // No display is needed: the library only lends its font and its drawing.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "makeassets: the library did not start: %s\n", allegro_error);
        return 1;
    }
    try {
        writeAssets(argv[1], argc == 3 ? argv[2] : GRAVELMOTH_ART_DIR);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "makeassets: %s\n", failure.what());
        return 1;
    }
    return 0;
}
END_OF_MAIN()
