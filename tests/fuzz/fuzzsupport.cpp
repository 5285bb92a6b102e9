#include "fuzzsupport.h"

#include <allegro.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

static std::string scratch;

static void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

static void start() {
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        broken("the library did not start");
    set_color_depth(16);
    set_color_conversion(COLORCONV_TOTAL);
    // In TMPDIR, which scripts/fuzz.sh points into a folder it removes, also after a crash.
    std::string folder = (std::filesystem::temp_directory_path() / "gravelmoth-fuzz.XXXXXX");
    if (!mkdtemp(folder.data()))
        broken("no scratch folder");
    scratch = folder;
    std::atexit(removeScratch);
}

// The fuzzer reads its corpus by paths that may be relative, so the working directory is the
// scratch folder only while an input runs.
inScratchFolder::inScratchFolder() : previous(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (scratch.empty())
        start();
    if (previous < 0 || chdir(scratch.c_str()) != 0)
        broken("cannot enter the scratch folder");
}

inScratchFolder::~inScratchFolder() {
    if (fchdir(previous) != 0)
        broken("cannot leave the scratch folder");
    close(previous);
}

void writeInput(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush())
        broken(std::string("could not write ") + name);
}

// The abort skips the exit handlers, so the scratch folder goes first.
void broken(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    removeScratch();
    std::abort();
}
