// ledgerly-mkscratch DIR: writes DIR/TempTables.mdb, the scratch database the
// program keeps beside itself, with the six-row "RecentFiles" table.
#include <filesystem>
#include <iostream>

#include "engine/dao.h"

using namespace engine;

namespace {

void makeScratch(const std::filesystem::path& dir) {
    std::filesystem::path file = dir / "TempTables.mdb";
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
    auto db = DBEngine::CreateDatabase(file.string());
    auto td = db->CreateTableDef("RecentFiles");
    auto add = [&](const char* name, int type, int size = 0) {
        auto f = td->CreateField(name, type, size);
        f->SetAllowZeroLength(type == dbText || type == dbMemo);
        td->Fields().Append(f);
    };
    add("MIndex", dbInteger);
    add("DBPath", dbMemo);  // a full path may be longer than a Text field holds
    add("StatusName", dbText, 255);
    add("RSetType", dbInteger);
    add("TableName", dbText, 255);
    add("PTop", dbSingle);
    add("PLeft", dbSingle);
    add("PWidth", dbSingle);
    add("PHeigth", dbSingle);
    add("MenuIndex", dbInteger);

    auto byPosition = td->CreateIndex("MIndex");
    byPosition->SetUnique(true);
    byPosition->Fields().Append(byPosition->CreateField("MIndex"));
    td->Indexes().Append(byPosition);
    // Display names may repeat while entries move down, and empty rows share "".
    auto byName = td->CreateIndex("Recordsets");
    byName->Fields().Append(byName->CreateField("StatusName"));
    td->Indexes().Append(byName);
    db->TableDefs().Append(td);

    db->BeginTrans();
    auto rs = db->OpenRecordset("RecentFiles");
    for (int i = 1; i <= 6; ++i) {
        rs->AddNew();
        rs->Fields("MIndex").SetValue(Variant::integer(static_cast<std::int16_t>(i)));
        rs->Fields("DBPath").SetValue(Variant::text(""));
        rs->Fields("StatusName").SetValue(Variant::text(""));
        rs->Fields("RSetType").SetValue(Variant::integer(0));
        rs->Fields("TableName").SetValue(Variant::text(""));
        for (const char* f : {"PTop", "PLeft", "PWidth", "PHeigth"}) rs->Fields(f).SetValue(Variant::single(0));
        rs->Fields("MenuIndex").SetValue(Variant::integer(0));
        rs->Update();
    }
    db->CommitTrans();
    rs->Close();
    db->Close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: ledgerly-mkscratch DIR\n";
        return 2;
    }
    try {
        std::filesystem::path dir = argv[1];
        if (!std::filesystem::is_directory(dir)) {
            std::cerr << "Error: '" << dir.string() << "' is not a folder.\n";
            return 1;
        }
        makeScratch(dir);
    } catch (const Error& e) {
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
