// The database password of genuine Jet files, read from their first page and
// asked for when such a file is opened.
// The samples have none; copies are given one the way the format keeps it
// (the scrambling is a running XOR, so XOR-ing the raw bytes with the
// password's bytes stores it under the same scrambling and mask).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/dao.h"
#include "engine/error.h"
#include "engine/jet/jetpassword.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;
using enginetest::errorOf;

namespace {

// Beside the sample DBF tables.
const fs::path kJet = fs::path(LEDGERLY_DBF_SAMPLES).parent_path() / "jet";

void storeOver(const fs::path& file, const std::string& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::string raw(bytes.size(), '\0');
    f.seekg(0x42);
    f.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<char>(raw[i] ^ bytes[i]);
    f.seekp(0x42);
    f.write(raw.data(), static_cast<std::streamsize>(raw.size()));
}

TEST(JetPassword, SamplesHaveNoneAndAStoredOneReadsBack) {
    ASSERT_TRUE(fs::exists(kJet)) << kJet;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kJet)) {
        if (entry.path().extension() != ".mdb") continue;
        ++files;
        EXPECT_EQ(engine::jet::storedPassword(entry.path().string()), "") << entry.path();
    }
    EXPECT_GT(files, 30);

    TempDir dir;
    // Jet 3 keeps Windows-1252 bytes; Jet 4 keeps UCS-2.
    const fs::path jet3 = dir.path() / "old.mdb", jet4 = dir.path() / "new.mdb";
    fs::copy_file(kJet / "V1997/testV1997.mdb", jet3);
    fs::copy_file(kJet / "V2000/testV2000.mdb", jet4);
    storeOver(jet3, "Sesam\xE9");
    storeOver(jet4, std::string("S\0e\0s\0a\0m\0\xE9\0\x2C\x01", 14));
    EXPECT_EQ(engine::jet::storedPassword(jet3.string()), "Sesam\xC3\xA9");
    EXPECT_EQ(engine::jet::storedPassword(jet4.string()), "Sesam\xC3\xA9\xC4\xAC");

    // Opening asks for it; the right one, and only that, opens the file.
    for (const auto& [file, given] : std::vector<std::pair<fs::path, std::string>>{
             {jet3, ""}, {jet3, "sesam\xC3\xA9"}, {jet4, "Sesam"}}) {
        EXPECT_EQ(errorOf([&] {
                      engine::DBEngine::OpenDatabase(file.string(), false, false, given.empty() ? "" : ";pwd=" + given);
                  }), engine::err::BadPassword) << file << " with '" << given << "'";
    }
    auto db = engine::DBEngine::OpenDatabase(jet4.string(), false, false, ";pwd=Sesam\xC3\xA9\xC4\xAC");
    EXPECT_GT(db->TableDefs().Count(), 0);

    std::ofstream(dir.path() / "short.mdb") << "Standard Jet DB";
    EXPECT_EQ(errorOf([&] { engine::jet::storedPassword((dir.path() / "short.mdb").string()); }),
              engine::err::NotADatabase);
}

}  // namespace
