// The field types the dialogs know and the CREATE TABLE statement built from
// a grid's fields.
#include <QListWidget>

#include "engine/dao.h"
#include "engine/engine_helpers.h"
#include "grids/frmGrid.h"
#include "support/app_fixture.h"
#include "transfer/moduleCreateTable.h"

namespace {

using namespace moduleCreateTable;
using enginetest::errorOf;

TEST(FieldTypes, EachDialogKnowsItsRowsOfTheTypeTable) {
    struct Row { int code; const char* word; bool copy; bool structure; };
    const std::vector<Row> rows = {
        {1, "YesNo", true, true},       {2, "Byte", true, true},   {3, "Integer", true, true},
        {4, "Long", true, true},        {5, "Currency", true, true}, {6, "Single", true, true},
        {7, "Double", true, true},      {8, "Date", true, true},   {10, "Text", true, true},
        {11, "LongBinary", true, true}, {12, "Memo", true, true},  {15, "GUID", true, true},
        {18, "Char", false, false},     {19, "Numeric", false, false}, {20, "Decimal", false, false},
        {21, "Float", false, false},    {9, nullptr, false, false}, {16, nullptr, false, false},
        {17, nullptr, false, false},    {22, nullptr, false, false}, {23, nullptr, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        QString copied, imported;
        EXPECT_EQ(errorOf([&] { copied = GetTypeName(r.code); }), r.copy ? 0 : 5);
        EXPECT_EQ(errorOf([&] { imported = FieldType(r.code, TypeSet::Import); }), r.word ? 0 : 5);
        if (r.copy) {
            EXPECT_EQ(copied, r.word);
        }
        if (r.word) {
            EXPECT_EQ(imported, r.word);
        }
        EXPECT_EQ(StructureTypeWord(r.code), r.structure ? QString(r.word) : QString());
    }
    for (auto [name, code] : std::vector<std::pair<const char*, int>>{
             {"Boolean", 1}, {"Integer", 3}, {"Long", 4}, {"Currency", 5}, {"Single", 6}, {"Double", 7},
             {"Date", 8}, {"Text", 10}, {"Memo", 12}, {"YesNo", 0}, {"Byte", 0}, {"text", 0}})
        EXPECT_EQ(StructureTypeCode(name), code) << name;
}

class CreateTableTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = dir.file("Trade.mdb");
        db = engine::DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE Orders (OrderID Long, [Ship Name] Text(40), Freight Currency, Notes Memo, "
                    "Big BigInt)");
        db->CreateQueryDef("Named", "SELECT OrderID AS [Orders.OrderID], [Ship Name] FROM Orders");
        grid.db1 = db;
    }
    QString build(int type, const QString& source, const QString& table, const QStringList& fields) {
        grid.RSetType = type;
        grid.TableName = source;
        QListWidget list;
        list.addItems(fields);
        MakeCreateTable(&grid, table, &list);
        return CreateTableSQL;
    }
    std::string path;
    std::shared_ptr<engine::Database> db;
    frmGrid grid;
};

TEST_F(CreateTableTest, BuildsTheStatementInListOrderAndTheTableItMakesHasThoseTypes) {
    const QString sql = build(1, "Orders", " Old Orders ", {"OrderID", "Ship Name", "Freight", "Notes", "Missing"});
    EXPECT_EQ(sql, " CREATE TABLE [ Old Orders ] (OrderID Long, [Ship Name] Text (40), Freight Currency, Notes Memo)");
    EXPECT_EQ(build(1, "Orders", "Archive", {"Freight"}), " CREATE TABLE Archive (Freight Currency)");
    EXPECT_EQ(build(1, "Orders", "[Archive 2]", {"Freight"}), " CREATE TABLE [Archive 2] (Freight Currency)");
    db->Execute(build(1, "Orders", "Old Orders", {"OrderID", "Ship Name", "Notes"}).toStdString());
    auto& made = db->TableDefs()["Old Orders"];
    EXPECT_EQ(made.Fields()["Ship Name"].Type(), engine::dbText);
    EXPECT_EQ(made.Fields()["Ship Name"].Size(), 40);
    EXPECT_EQ(made.Fields()["Notes"].Type(), engine::dbMemo);
}

TEST_F(CreateTableTest, AQueryFieldLosesItsFirstDotAndAnUnknownTypeStopsTheBuilding) {
    EXPECT_EQ(build(2, "Named", "Copy", {"Orders.OrderID", "Ship Name"}),
              " CREATE TABLE Copy (OrdersOrderID Long, [Ship Name] Text (40))");
    CreateTableSQL = "before";
    EXPECT_EQ(errorOf([&] { build(1, "Orders", "Copy", {"OrderID", "Big"}); }), 5);
    EXPECT_EQ(CreateTableSQL, "before");
}

}  // namespace
