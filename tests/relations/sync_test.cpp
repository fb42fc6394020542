// Children follow their parent: a query child is re-opened with the parent
// row's values, a table child seeks them on its current index, and the
// children of a child follow in turn.
#include <QMdiArea>

#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include <filesystem>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "relations/classrelation.h"
#include "relations/relationsmanager.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class SyncTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);  // Customer "C<n mod 7>", Qty n
        auto db = openDb(path);
        db->Execute("CREATE TABLE Customers (Name Text(10), Since DateTime, Rank Long)");
        db->Execute("INSERT INTO Customers VALUES ('C3', #2024-01-05#, 1), ('O''Brien', #2024-02-29#, 2), "
                    "(Null, Null, 3), ('Zed', #2023-12-31#, 4)");
        db->Execute("INSERT INTO Orders (Customer, Qty) VALUES ('O''Brien', 5), ('O''Brien', 6)");
    }
    static ClassRelation* relate(frmGrid* parent, frmGrid* child, const char* type, QStringList pairs) {
        auto* r = new ClassRelation;
        r->RelationType = type;
        r->Child = child;
        pairs << "" << "" << "" << "" << "" << "";
        r->ChildField1 = pairs[0], r->ParentField1 = pairs[1];
        r->ChildField2 = pairs[2], r->ParentField2 = pairs[3];
        r->ChildField3 = pairs[4], r->ParentField3 = pairs[5];
        parent->ColRelations.append(r);
        RelationsManager::RefreshRelations();
        return r;
    }
    // The user activates the parent's window and moves down to `row`.
    void moveTo(frmGrid* g, int row) {
        main()->mdiArea->setActiveSubWindow(g->subWindow());
        g->DBGrid1->setFocus();
        QTest::keyClick(g->DBGrid1, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < row; ++i) QTest::keyClick(g->DBGrid1, Qt::Key_Down);
        settle();
        ASSERT_EQ(g->rs1->AbsolutePosition(), row);
    }
    static QStringList column(frmGrid* g, int col) {
        QStringList out;
        for (int r = 0; r < g->DBGrid1->model()->rowCount(); ++r) out << g->DBGrid1->model()->index(r, col).data().toString();
        return out;
    }
    frmGrid* customers(int slot) { return openQuery(slot, path, "SELECT * FROM Customers ORDER BY Rank", "Cust", "Cust"); }
    std::string path;
};

TEST_F(SyncTest, AQueryChildShowsTheRowsOfTheParentRowAndKeepsItsOwnCondition) {
    frmGrid* parent = customers(0);
    frmGrid* child = openQuery(1, path, "SELECT * FROM Orders WHERE Qty > 3 ORDER BY Qty DESC", "Big", "Big");
    ASSERT_TRUE(parent && child);
    relate(parent, child, "ChildQuery", {"Customer", "Name"});
    struct Step { int row; QString suffix; QStringList qty; };
    for (const Step& s : std::vector<Step>{{0, "[Customer] = 'C3' ", {"17", "10"}},
                                           {1, "[Customer] = 'O''Brien' ", {"6", "5"}},
                                           {2, "IsNull(Customer) ", {}},
                                           {3, "[Customer] = 'Zed' ", {}}}) {
        SCOPED_TRACE(s.row);
        moveTo(parent, s.row);
        EXPECT_EQ(parent->WhereSuffix.toString(), s.suffix);
        EXPECT_EQ(child->Fullclause.toString(), "SELECT * FROM Orders WHERE Qty > 3  And " + s.suffix + "ORDER BY Qty DESC");
        EXPECT_EQ(column(child, 2), s.qty);
        EXPECT_EQ(child->successful, QVariant(true));
    }
    // The child's own statement is untouched: a refresh drops the parent's condition.
    child->NeedsRefresh();
    EXPECT_EQ(child->rs1->RecordCount(), 19);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(SyncTest, ValuesAreWrittenByTypeAndTheThirdPairJoinsWithALowerCaseAnd) {
    frmGrid* parent = customers(0);
    frmGrid* child = openQuery(1, path, "SELECT * FROM Customers", "Same", "Same");
    relate(parent, child, "ChildQuery", {"Name", "Name", "Rank", "Rank", "Since", "Since"});
    moveTo(parent, 1);
    const QString since = QString::fromStdString(parent->rs1->Fields("Since").Value().toText());
    EXPECT_EQ(parent->WhereSuffix.toString(), "[Name] = 'O''Brien'  And [Rank] = 2  and [Since] = #" + since + "# ");
    EXPECT_EQ(column(child, 2), QStringList{"2"});
    moveTo(parent, 2);
    EXPECT_EQ(parent->WhereSuffix.toString(), "IsNull(Name)  And [Rank] = 3  And IsNull(Since) ");
    EXPECT_EQ(column(child, 2), QStringList{"3"});
}

TEST_F(SyncTest, ATableChildSeeksItsIndexAndShowsItsLastRecordWhenNothingMatches) {
    openDb(path)->Execute("CREATE INDEX ByCustomer ON Orders (Customer, Qty)");
    frmGrid* parent = customers(0);
    frmGrid* child = openTable(1, path, "Orders", "T");
    ASSERT_TRUE(parent && child);
    child->rs1->SetIndex("ByCustomer");
    relate(parent, child, "ChildIndex", {"Customer", "Name"});
    moveTo(parent, 1);
    EXPECT_EQ(child->FoundChild, QVariant(true));
    EXPECT_EQ(child->rs1->Fields("Customer").Value().toText(), "O'Brien");
    EXPECT_EQ(child->rs1->Fields("Qty").Value().toText(), "5");
    EXPECT_EQ(child->DBGrid1->currentIndex().row(), child->rs1->AbsolutePosition());
    moveTo(parent, 3);
    EXPECT_EQ(child->FoundChild, QVariant(false));
    EXPECT_EQ(child->rs1->AbsolutePosition(), child->rs1->RecordCount() - 1);
    EXPECT_EQ(child->DBGrid1->currentIndex().row(), child->rs1->RecordCount() - 1);
    // A seek on a child that lost its index ends with the engine's message.
    child->rs1->SetIndex("");
    moveTo(parent, 0);
    EXPECT_FALSE(prompts->messages.empty());
}

TEST_F(SyncTest, GrandchildrenFollowTheirParentsNewFirstRow) {
    frmGrid* a = customers(0);
    frmGrid* b = openQuery(1, path, "SELECT * FROM Orders ORDER BY Qty", "B", "B");
    frmGrid* c = openQuery(2, path, "SELECT OrderID, Qty * 100 AS Big FROM Orders", "C", "C");
    ASSERT_TRUE(a && b && c);
    relate(a, b, "ChildQuery", {"Customer", "Name"});
    relate(b, c, "ChildQuery", {"OrderID", "OrderID"});
    moveTo(a, 1);
    EXPECT_EQ(column(b, 2), (QStringList{"5", "6"}));
    EXPECT_EQ(column(c, 1), QStringList{"500"});
    moveTo(a, 0);
    EXPECT_EQ(column(c, 1), QStringList{"300"});
    // Moving in the child moves the grandchild.
    moveTo(b, 1);
    EXPECT_EQ(column(c, 1), QStringList{"1000"});
    // A re-opened child's stored bookmark is its new first record.
    b->StoreBM();
    moveTo(a, 1);
    moveTo(b, 1);
    b->MoveToBM();
    EXPECT_EQ(b->rs1->AbsolutePosition(), 0);
    EXPECT_EQ(b->DBGrid1->currentIndex().row(), 0);
    EXPECT_TRUE(prompts->messages.empty());
}

// The tables of a file of the older Jet format link like our own: a query
// child follows the parent row, a table child seeks the file's own index.
TEST_F(SyncTest, JetTablesFollowTheirParent) {
    const auto sample = std::filesystem::path(LEDGERLY_DBF_SAMPLES).parent_path() / "jet/V2000/indexTestV2000.mdb";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no Jet sample files on this machine";
    const std::string jet = dir.file("Old.mdb");
    std::filesystem::copy_file(sample, jet);
    frmGrid* parent = openQuery(0, jet, "SELECT * FROM Table2 ORDER BY id", "Parents", "Parents");
    frmGrid* rows = openQuery(1, jet, "SELECT id, otherfk1 FROM Table1", "Rows", "Rows");
    frmGrid* parentOf = openTable(2, jet, "Table2", "Key");
    ASSERT_TRUE(parent && rows && parentOf);
    parentOf->rs1->SetIndex("PrimaryKey");
    relate(parent, rows, "ChildQuery", {"otherfk1", "id"});
    relate(rows, parentOf, "ChildIndex", {"id", "otherfk1"});
    struct Step { int row; QStringList ids; QString data; };  // Table1's ids of a Table2 row, the first one's Table2 data
    for (const Step& s : std::vector<Step>{{0, {"0"}, "foo0"}, {1, {"1", "2"}, "foo1"}, {2, {"3"}, "foo2"}}) {
        SCOPED_TRACE(s.row);
        moveTo(parent, s.row);
        EXPECT_EQ(column(rows, 0), s.ids);
        EXPECT_EQ(parentOf->FoundChild, QVariant(true));
        EXPECT_EQ(parentOf->rs1->Fields("data").Value().toText(), s.data.toStdString());
    }
    EXPECT_TRUE(prompts->messages.empty());
}

}  // namespace
