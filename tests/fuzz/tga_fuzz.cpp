// The picture reader, reached as the game reaches it: load_bitmap on a ".tga" file. Whatever it
// is handed, it gives nothing or a picture of the size the header claims.
#include "fuzzsupport.h"

#include <allegro.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    inScratchFolder scratch;
    writeInput("picture.tga", data, size);
    BITMAP* picture = load_bitmap("picture.tga", nullptr);
    if (!picture)
        return 0;
    const int width = data[12] | data[13] << 8;
    const int height = data[14] | data[15] << 8;
    if (picture->w != width || picture->h != height || bitmap_color_depth(picture) != 16)
        broken("a picture of another size or depth than its header says");
    destroy_bitmap(picture);
    return 0;
}
