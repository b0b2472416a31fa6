// The fixture of the window tests: a running Dornavel.exe and a scratch folder for its ROMs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app_driver.h"
#include "resources/resource.h"
#include "scratch_files.h"

// The order display's texts, word for word.
const char* const kBigLabel = "Big Endian [ A B C D ]";
const char* const kLittleLabel = "Little Endian [ D C B A ]";
const char* const kV64Label = "Doctor V64 [ B A D C ]";
const char* const kUnknownLabel = " Formato sconosciuto ";

// Asked before a file of no known order is converted.
const char* const kUnknownQuestion =
    "Non riconosco l'ordine dei byte di questa ROM. La tratto come Big Endian?";

// Each test starts the program; the program is ended before the scratch folder is removed.
class GuiTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.start()); }

    // Writes a ROM into the scratch folder and loads it; gives its full path.
    bool loadRom(const std::string& name, const Bytes& bytes, std::string& path) {
        path = scratch.path(name);
        if (!writeFile(path, bytes)) {
            ADD_FAILURE() << "cannot write " << path;
            return false;
        }
        return app.load(path);
    }

    // Chooses the target order with its radio button, presses "Esegui Swap" and answers
    // the two questions (first Yes to taking an unrecognised file as big-endian); waits
    // until the swap is over.
    bool swap(int targetRadio, int backupAnswer, int finalAnswer, bool unrecognised = false) {
        if (!app.clickAndSettle(targetRadio)) return false;
        app.click(IDC_SWAP);
        if (unrecognised && !app.answerQuestion(kUnknownQuestion, IDYES)) return false;
        if (!app.answerQuestion(kBackupQuestion, backupAnswer)) return false;
        if (!app.answerQuestion(kFinalQuestion, finalAnswer)) return false;
        return app.settle();
    }

    // Waits for an error box, expects its error icon and the file's path in its text, and
    // presses OK; waits until the program is idle again.
    bool acknowledgeErrorNaming(const std::string& path) {
        OwnedDialog error;
        if (!app.waitForMessageBox(error)) return false;
        EXPECT_TRUE(error.hasIcon);
        EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
        return app.answer(error, IDOK) && app.settle();
    }

    // Expects the window of a loaded ROM: its caption, order display and checked radio.
    void expectLoaded(const std::string& title, const std::string& label, int radio) {
        EXPECT_EQ(app.caption(), "Dornavel - " + title);
        EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), label);
        EXPECT_EQ(app.checkedRadio(), radio);
        EXPECT_FALSE(app.isEnabled(IDC_LOAD));
        EXPECT_TRUE(app.isEnabled(IDC_CLOSE));
        EXPECT_TRUE(app.isEnabled(IDC_EXIT));
        EXPECT_TRUE(app.isEnabled(IDC_ABOUT));
        EXPECT_TRUE(app.isEnabled(IDC_SWAP));
    }

    // Expects the window with no ROM loaded.
    void expectEmpty() {
        EXPECT_EQ(app.caption(), "Dornavel");
        EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), "");
        EXPECT_EQ(app.checkedRadio(), 0);
        EXPECT_TRUE(app.isEnabled(IDC_LOAD));
        EXPECT_FALSE(app.isEnabled(IDC_CLOSE));
        EXPECT_TRUE(app.isEnabled(IDC_EXIT));
        EXPECT_TRUE(app.isEnabled(IDC_ABOUT));
    }

    ScratchFolder scratch;
    DornavelApp app;
};
