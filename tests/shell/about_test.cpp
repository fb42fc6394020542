// The about box: its texts, the version the build was made with, one window.
#include <QApplication>
#include <QLabel>

#include "shell/frmAbout.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class AboutTest : public StartedApp {
protected:
    QList<frmAbout*> shown() const {
        QList<frmAbout*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* a = qobject_cast<frmAbout*>(w); a && a->isVisible()) out << a;
        return out;
    }
};

TEST_F(AboutTest, ShowsNameVersionAndNoticeInOneWindow) {
    main()->mnuHelpAbout->trigger();
    settle();
    main()->mnuHelpAbout->trigger();
    settle();
    ASSERT_EQ(shown().size(), 1);
    frmAbout* about = shown().front();
    EXPECT_EQ(about->windowTitle(), "About Ledgerly");
    EXPECT_EQ(find<QLabel>(about, "lblTitle")->text(), "Ledgerly");
    EXPECT_EQ(find<QLabel>(about, "lblVersion")->text(), "Version " LEDGERLY_PROJECT_VERSION);
    EXPECT_EQ(find<QLabel>(about, "LabelLegal")->text(), "Legal:");
    const QString notice = find<QLabel>(about, "lblDisclaimer")->text();
    EXPECT_TRUE(notice.endsWith('.') && notice.count('.') == 1) << notice.toStdString();
    EXPECT_FALSE(find<QLabel>(about, "picIcon")->pixmap().isNull());

    // Closed with its close box, it comes back as one new window.
    about->close();
    settle();
    EXPECT_TRUE(shown().isEmpty());
    main()->mnuHelpAbout->trigger();
    settle();
    EXPECT_EQ(shown().size(), 1);
    shown().front()->close();
    settle();
}

}  // namespace
