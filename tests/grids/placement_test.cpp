// Where grid windows open: inside the frame's visible area, beside the
// database window when there is room, and never on top of each other.
#include <QMdiArea>
#include <QMdiSubWindow>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "shell/twips.h"
#include "support/app_fixture.h"

namespace {

class PlacementTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = makeSales();
        start();
    }
    QRect visible() const { return main()->mdiArea->viewport()->rect(); }
    std::string path;
};

TEST_F(PlacementTest, NewGridsTakeFreeStaggeredPlacesInsideTheFrame) {
    for (QSize frame : {QSize(1500, 900), QSize(900, 700)}) {
        SCOPED_TRACE(frame.width());
        main()->resize(frame);
        settle();
        std::vector<frmGrid*> grids = {openTable(0, path, "Orders"), openQuery(1, path, "SELECT Customer FROM Orders", "Names"),
                                       openQuery(2, path, "SELECT * FROM Orders WHERE Qty > 10", "Big")};
        for (frmGrid* g : grids) ASSERT_NE(g, nullptr);
        QRect viewFrame = view()->parentWidget()->geometry();
        for (size_t i = 0; i < grids.size(); ++i) {
            QRect g = grids[i]->subWindow()->geometry();
            EXPECT_TRUE(visible().contains(g)) << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_NE(g.topLeft(), grids[j]->subWindow()->geometry().topLeft()) << i << " sits on " << j;
            // With room beside the database window, the first grid leaves its list uncovered.
            if (i == 0 && viewFrame.right() + 1 + g.width() <= visible().width()) {
                EXPECT_FALSE(g.intersects(viewFrame)) << i;
            }
        }
        for (int slot = 0; slot < 3; ++slot) view()->ReleaseSlot(slot);
        settle();
    }
}

TEST_F(PlacementTest, ARecordedRectangleOutsideTheFrameIsMovedIn) {
    main()->resize(1200, 800);
    settle();
    frmGrid* g = openTable(0, path, "Orders");
    ASSERT_NE(g, nullptr);
    g->MoveTwips(60000, -3000, 6000, 3000);
    QRect r = g->subWindow()->geometry();
    EXPECT_TRUE(visible().contains(r));
    EXPECT_EQ(r.size(), QSize(Twips::toPixelsX(6000), Twips::toPixelsY(3000))) << "the recorded size is kept";
    g->MoveTwips(300, 300, 6000, 3000);
    EXPECT_EQ(g->subWindow()->pos(), QPoint(Twips::toPixelsX(300), Twips::toPixelsY(300))) << "inside: kept exactly";
}

}  // namespace
