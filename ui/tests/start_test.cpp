// The main window right after start, before any ROM is loaded.
#include "gui_test.h"

using StartTest = GuiTest;

TEST_F(StartTest, ShowsAnEmptyWindow) {
    expectEmpty();
    EXPECT_TRUE(app.isEnabled(IDC_SWAP));
    EXPECT_EQ(app.progressPosition(), 0);
}

TEST_F(StartTest, SwapWithoutRomDoesNothing) {
    ASSERT_TRUE(app.clickAndSettle(IDC_SWAP));
    EXPECT_FALSE(app.hasOwnedDialog());
    expectEmpty();
    EXPECT_TRUE(app.isRunning());
}

TEST_F(StartTest, RadioWithoutRomOnlyMovesTheCheck) {
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_V64));
    EXPECT_EQ(app.checkedRadio(), IDC_TO_V64);
    // The three radio buttons form one group: choosing another clears the first.
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_LITTLE));
    EXPECT_EQ(app.checkedRadio(), IDC_TO_LITTLE);
    EXPECT_EQ(app.caption(), "Dornavel");
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), "");
    EXPECT_FALSE(app.isEnabled(IDC_CLOSE));
}
