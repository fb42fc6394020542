// The where-clause builder: the fixed lists, sorted without regard to case,
// and picks written at the caret of the dialog's box.
#include <QComboBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>

#include "records/clausebuilder.h"
#include "support/app_fixture.h"

namespace {

QStringList items(QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
}

QStringList sortedNoCase(QStringList l) {
    std::stable_sort(l.begin(), l.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return l;
}

class BuilderTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        box = new QPlainTextEdit(&dialog);
        builder = new ClauseBuilder(&dialog, ClauseBuilder::Set::Where);
        builder->target = [this] { return box; };
        builder->LoadFields({"OrderID", "Unit Price", "Ship.City"});
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    // The user opens the list and picks `item`.
    void pick(QComboBox* combo, const QString& item) {
        combo->setFocus();
        combo->setCurrentIndex(combo->findText(item));
        emit combo->activated(combo->currentIndex());
    }
    QDialog dialog;
    QPlainTextEdit* box = nullptr;
    ClauseBuilder* builder = nullptr;
};

TEST_F(BuilderTest, PicksGoToTheCaretAndAClosingParenthesisTakesTheCaretInside) {
    struct Step { bool toEnd; QComboBox* ClauseBuilder::*combo; const char* item; const char* text; int caret; };
    const std::vector<Step> steps = {
        {false, &ClauseBuilder::ComboString, "Trim()", "Trim() ", 5},
        {true, &ClauseBuilder::ComboString, "Trim()", "Trim() Trim() ", 5},  // inside the first one found
        {false, &ClauseBuilder::ComboFields, "Unit Price", "Trim([Unit Price] ) Trim() ", 18},
        {false, &ClauseBuilder::ComboLogical, "Between x And y", "Trim([Unit Price] Between x And y ) Trim() ", 34},
        {false, &ClauseBuilder::ComboFields, "Ship.City", "Trim([Unit Price] Between x And y Ship.City ) Trim() ", 44},
        {false, &ClauseBuilder::ComboString, "Mid(str,start[,len])",
         "Trim([Unit Price] Between x And y Ship.City Mid(str,start[,len]) ) Trim() ", 63},
    };
    for (const Step& s : steps) {
        if (s.toEnd) QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        pick(builder->*s.combo, s.item);
        EXPECT_EQ(box->toPlainText(), s.text) << s.item;
        EXPECT_EQ(box->textCursor().position(), s.caret) << s.item;
        EXPECT_TRUE(box->hasFocus()) << s.item;
    }
    // A selection is replaced by the pick.
    box->selectAll();
    pick(builder->ComboMath, "#Date#");
    EXPECT_EQ(box->toPlainText(), "#Date# ");
    EXPECT_EQ((builder->ComboMath)->currentText(), "#Date#");  // the combo keeps showing its pick
}

TEST_F(BuilderTest, ALogicalPickCanBeRefusedWhenTheWhereBoxIsNotTheActiveOne) {
    builder->logicalAllowed = [] { return false; };
    pick(builder->ComboLogical, "AND");
    EXPECT_EQ(box->toPlainText(), "");
    EXPECT_EQ(prompts->lastText(), "The Where text box is not selected.");
    EXPECT_EQ(prompts->messages.back().caption, "Error");
    pick(builder->ComboMath, "+");
    EXPECT_EQ(box->toPlainText(), "+ ");
}

}  // namespace
