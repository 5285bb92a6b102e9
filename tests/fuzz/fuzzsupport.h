// What the fuzz targets share: the library brought up without a screen, as far as loading
// files needs it, and a scratch folder for the file each input becomes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Brings the library up without a screen, at the colour depth and conversion the game loads
// its pictures with, once, and makes the scratch folder the working directory while it lives:
// the game reads its files from there. The folder goes when the process ends.
class inScratchFolder {
  public:
    inScratchFolder();
    ~inScratchFolder();
    inScratchFolder(const inScratchFolder&) = delete;
    inScratchFolder& operator=(const inScratchFolder&) = delete;

  private:
    int previous;
};
// Writes the input as the file of that name in the working directory.
void writeInput(const char* name, const std::uint8_t* data, std::size_t size);
// Ends the run with a message: a property of the reader does not hold.
[[noreturn]] void broken(const std::string& what);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
