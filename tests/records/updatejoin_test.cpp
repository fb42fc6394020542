// Update Table Join: a parent field filled from the matching record of a
// child table grid, or with a value, when a child is found or meets a test.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "grids/frmGrid.h"
#include "records/frmUpdateTableJoin.h"
#include "relations/classrelation.h"
#include "relations/relationsmanager.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class UpdateJoinTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);  // Customer "C<n mod 7>", Qty n
        auto db = openDb(path);
        db->Execute("CREATE INDEX ByCustomer ON Orders (Customer)");
        db->Execute("CREATE TABLE Cust (Name Text(10), Nick Text(1), Credit Long)");
        db->Execute("INSERT INTO Cust (Name) VALUES ('C3'), ('C5'), ('Zed')");
        parent = openQuery(0, path, "SELECT * FROM Cust", "Cust", "Cust");
        child = openTable(1, path, "Orders", "Orders");
        ASSERT_TRUE(parent && child);
        child->rs1->SetIndex("ByCustomer");
        auto* r = new ClassRelation;
        r->RelationType = "ChildIndex";
        r->Child = child;
        r->ChildField1 = "Customer";
        r->ParentField1 = "Name";
        parent->ColRelations.append(r);
        RelationsManager::RefreshRelations();
        selectLine(0);
    }
    static void choose(QComboBox* combo, const QString& text) {
        combo->setCurrentIndex(combo->findText(text));
        emit combo->activated(combo->currentIndex());
    }
    bool run(const std::function<void(frmUpdateTableJoin&)>& inDialog) { return runDialog(main()->mnuUpdateTableJoin, inDialog); }
    std::vector<std::vector<std::string>> cust() {
        std::vector<std::vector<std::string>> out;
        for (auto rs = openDb(path)->OpenRecordset("SELECT Name, Nick, Credit FROM Cust ORDER BY Name"); !rs->EOF_(); rs->MoveNext())
            out.push_back({rs->Fields("Name").Value().toText(), rs->Fields("Nick").Value().toText(), rs->Fields("Credit").Value().toText()});
        return out;
    }
    std::string path;
    frmGrid* parent = nullptr;
    frmGrid* child = nullptr;
};

TEST_F(UpdateJoinTest, RefusalsComeInOrderAndChangeNothing) {
    run([&](frmUpdateTableJoin& d) {
        EXPECT_EQ(d.windowTitle(), "Update Table Join  Cust");
        EXPECT_EQ(d.ComboComparison->count(), 6);
        struct Step { std::function<void()> act; const char* refusal; };
        const std::vector<Step> steps = {
            {[] {}, "No field to update was supplied."},
            {[&] { choose(d.ComboUpdateField, "Credit"); }, "No Child was selected."},
            {[&] { choose(d.ComboPickChild, "Orders"); }, "No replacement field was selected."},
            {[&] { d.OptionWith[1]->click(); }, "No replacement value was supplied."},
            {[&] { QTest::keyClicks(d.txtWithValue, "7"); choose(d.ComboWhereFields, "Qty"); }, "The where condition is incomplete."},
            {[&] { d.ComboComparison->setCurrentIndex(2); QTest::keyClicks(d.txtWhereValue, "ten"); },
             "Comparators <, >, <= and >= require a numeric value to compare to."},
            {[&] { d.ComboComparison->setCurrentIndex(0); d.txtWhereValue->setText("O'Brien"); },
             "Values to search for should not be enclosed in quotes."},
        };
        for (const Step& s : steps) {
            s.act();
            d.cmdReplace->click();
            EXPECT_EQ(prompts->lastText(), s.refusal);
            EXPECT_TRUE(d.isVisible() && parent->subWindow()->isVisible());
        }
        EXPECT_TRUE(d.OptionWhere[2]->isChecked());  // picking a field to test chose the condition
        d.cmdCancel->click();
    });
    EXPECT_EQ(cust(), (std::vector<std::vector<std::string>>{{"C3", "", ""}, {"C5", "", ""}, {"Zed", "", ""}}));
}

TEST_F(UpdateJoinTest, MatchedParentsTakeTheChildValueCutToSizeOrAValueWhenTheChildMeetsTheTest) {
    run([&](frmUpdateTableJoin& d) {
        choose(d.ComboUpdateField, "Nick");
        choose(d.ComboPickChild, "Orders");
        choose(d.ComboChildField, "Customer");  // into Text(1): what fits
        d.cmdReplace->click();
    });
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_EQ(cust(), (std::vector<std::vector<std::string>>{{"C3", "C", ""}, {"C5", "C", ""}, {"Zed", "", ""}}));
    EXPECT_EQ(main()->StatusText(), "  Cust  2  Updates");
    EXPECT_TRUE(parent->subWindow()->isVisible());

    run([&](frmUpdateTableJoin& d) {
        choose(d.ComboUpdateField, "Credit");
        choose(d.ComboPickChild, "Orders");
        QTest::keyClicks(d.txtWithValue, "7");
        choose(d.ComboWhereFields, "Qty");
        d.ComboComparison->setCurrentIndex(2);  // >
        QTest::keyClicks(d.txtWhereValue, "4");
        d.cmdReplace->click();
    });
    // The first order of C3 by the index has Qty 3; of C5, Qty 5.
    EXPECT_EQ(cust(), (std::vector<std::vector<std::string>>{{"C3", "C", ""}, {"C5", "C", "7"}, {"Zed", "", ""}}));
    EXPECT_EQ(main()->StatusText(), "  Cust  1  Updates");

    // Text into a Long: warned, then the engine's refusal ends the run and the grid comes back.
    run([&](frmUpdateTableJoin& d) {
        choose(d.ComboUpdateField, "Credit");
        choose(d.ComboPickChild, "Orders");
        choose(d.ComboChildField, "Customer");
        d.cmdReplace->click();
    });
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->messages[0].text, "The Source and destination data type are not the same. The update may not work.");
    EXPECT_EQ(prompts->messages[0].caption, "Warning");
    EXPECT_EQ(prompts->messages[1].caption, Prompts::kAppTitle);
    EXPECT_EQ(cust(), (std::vector<std::vector<std::string>>{{"C3", "C", ""}, {"C5", "C", "7"}, {"Zed", "", ""}}));
    EXPECT_TRUE(parent->subWindow()->isVisible());
}

TEST_F(UpdateJoinTest, OnlyChildTableGridsCount) {
    qDeleteAll(parent->ColRelations);
    parent->ColRelations.clear();
    auto* r = new ClassRelation;
    r->RelationType = "ChildQuery";
    r->Child = openQuery(2, path, "SELECT * FROM Orders", "Q");
    r->ChildField1 = "Customer";
    r->ParentField1 = "Name";
    parent->ColRelations.append(r);
    selectLine(0);
    EXPECT_FALSE(run([](frmUpdateTableJoin&) {}));
    EXPECT_EQ(prompts->lastText(), "No child tables are set.");
}

}  // namespace
