// Placeholder so the unit binary builds; replaced by the tools tests.
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

TEST(smoke, frameStarts) {
    startGameFrame();
    EXPECT_EQ(SCREEN_W, 320);
}
