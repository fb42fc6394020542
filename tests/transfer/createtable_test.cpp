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
