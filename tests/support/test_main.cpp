// Test main: converted copies of Jet files go to a cache folder of this
// process alone, not the user's.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/tempdir.h"

int main(int argc, char** argv) {
    TempDir cache;
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
