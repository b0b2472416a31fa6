// The conversion both front ends take: each question asked only when its answer matters, in
// one order, and a file the user was shown in another order left untouched.
#include "actions/convert_rom.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tests/test_files.h"

namespace {

// Eight bytes of a big-endian ROM, and the same bytes little-endian and byte-swapped.
const Bytes kBig = {0x80, 0x37, 0x12, 0x40, 0x01, 0x02, 0x03, 0x04};
const Bytes kLittle = {0x40, 0x12, 0x37, 0x80, 0x04, 0x03, 0x02, 0x01};
const Bytes kV64 = {0x37, 0x80, 0x40, 0x12, 0x02, 0x01, 0x04, 0x03};
// Eight bytes whose first names no order.
const Bytes kUnknown = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

// The questions a test answers, and which were put, in the order they were.
struct Answers {
    bool takeAsBig = false;
    bool backup = false;
    bool rename = false;
    std::string asked; // one letter per question: t(ake as big), b(ackup), r(ename)
};

ConvertQuestions questionsOf(Answers& answers) {
    ConvertQuestions questions;
    questions.takeAsBig = [&answers] { return answers.asked += 't', answers.takeAsBig; };
    questions.backup = [&answers] { return answers.asked += 'b', answers.backup; };
    questions.rename = [&answers] { return answers.asked += 'r', answers.rename; };
    return questions;
}

// How a file shown to the user as `shown` ends when converted to target, questions answered.
struct AskedCase {
    const char* what;
    Bytes content;
    ByteOrder shown;
    ByteOrder target;
    Answers answers;
    ConvertOutcome outcome;
    const char* asked;    // the questions put, in order
    Bytes after;          // the file's content afterwards
    bool backedUp;        // a FILE.bak holds the old content
    const char* name;     // the file's name afterwards
};

TEST(ConvertRom, EachQuestionOnlyWhenItsAnswerMatters) {
    const AskedCase cases[] = {
        // Nothing to do: no backup asked for, none written (the window used to write one).
        {"already big", kBig, ByteOrder::BigEndian, ByteOrder::BigEndian, {false, true, true, ""},
         ConvertOutcome::AlreadyInOrder, "", kBig, false, "rom.z64"},
        // The backup is asked before the first write, the rename after the last.
        {"big to little", kBig, ByteOrder::BigEndian, ByteOrder::LittleEndian, {false, true, true, ""},
         ConvertOutcome::Converted, "br", kLittle, true, "rom.bin"},
        {"big to v64, no rename", kBig, ByteOrder::BigEndian, ByteOrder::DoctorV64, {false, false, false, ""},
         ConvertOutcome::Converted, "br", kV64, false, "rom.z64"},
        // Unknown order: taken as big-endian only when the user says so.
        {"unknown taken as big", kUnknown, ByteOrder::None, ByteOrder::LittleEndian, {true, false, false, ""},
         ConvertOutcome::Converted, "tbr", {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55}, false, "rom.z64"},
        {"unknown left", kUnknown, ByteOrder::None, ByteOrder::LittleEndian, {false, true, true, ""},
         ConvertOutcome::Unrecognised, "t", kUnknown, false, "rom.z64"},
        // Shown as big, now little: another program changed it; nothing asked, nothing written.
        {"changed since shown", kLittle, ByteOrder::BigEndian, ByteOrder::DoctorV64, {true, true, true, ""},
         ConvertOutcome::OrderChanged, "", kLittle, false, "rom.z64"},
    };
    for (const AskedCase& c : cases) {
        ScratchFolder folder;
        writeFile(folder.path("rom.z64"), c.content);
        Answers answers = c.answers;
        ConvertRequest request;
        request.path = folder.path("rom.z64");
        request.target = c.target;
        request.expectOrder = true;
        request.expected = c.shown;
        const ConvertReport report = convertRom(request, questionsOf(answers));
        EXPECT_EQ(report.outcome, c.outcome) << c.what << ": " << report.error.reason;
        EXPECT_EQ(answers.asked, c.asked) << c.what;
        if (c.outcome == ConvertOutcome::OrderChanged) {
            EXPECT_EQ(report.source, ByteOrder::LittleEndian) << "the order read, for the window to show";
        }
        EXPECT_EQ(readFile(folder.path(c.name)), c.after) << c.what;
        EXPECT_EQ(fileExists(folder.path("rom.z64.bak")), c.backedUp) << c.what;
        if (c.backedUp) {
            EXPECT_EQ(readFile(folder.path("rom.z64.bak")), c.content) << c.what;
        }
    }
}

// A rename asked for up front that could only fail stops the conversion before its first
// write; asked for after the conversion, its failure leaves the converted file, told as such.
TEST(ConvertRom, ARenameThatCannotBeMade) {
    for (const bool askedAfter : {false, true}) {
        ScratchFolder folder;
        writeFile(folder.path("rom.z64"), kBig);
        writeFile(folder.path("rom.bin"), kUnknown); // takes the name little-endian wants
        ConvertRequest request;
        request.path = folder.path("rom.z64");
        request.target = ByteOrder::LittleEndian;
        request.rename = !askedAfter;
        ConvertQuestions questions;
        if (askedAfter) questions.rename = [] { return true; };
        const ConvertReport report = convertRom(request, questions);
        EXPECT_EQ(report.outcome, ConvertOutcome::Failed) << askedAfter;
        EXPECT_EQ(report.error.step, FileStep::Rename) << askedAfter;
        EXPECT_EQ(report.converted, askedAfter);
        EXPECT_EQ(readFile(folder.path("rom.z64")), askedAfter ? kLittle : kBig);
        EXPECT_EQ(readFile(folder.path("rom.bin")), kUnknown) << "never replaced";
    }
}

// A dry run tells the backup and the new name it would give, and writes nothing at all.
TEST(ConvertRom, DryRunWritesNothing) {
    ScratchFolder folder;
    writeFile(folder.path("rom.z64"), kBig);
    ConvertRequest request;
    request.path = folder.path("rom.z64");
    request.target = ByteOrder::DoctorV64;
    request.backup = request.rename = request.dryRun = true;
    const ConvertReport report = convertRom(request);
    EXPECT_EQ(report.outcome, ConvertOutcome::Converted);
    EXPECT_FALSE(report.converted);
    EXPECT_EQ(report.backup, folder.path("rom.z64.bak"));
    EXPECT_EQ(report.renamedTo, folder.path("rom.v64"));
    EXPECT_EQ(sortedNames(folder), std::vector<std::string>{"rom.z64"});
    EXPECT_EQ(readFile(folder.path("rom.z64")), kBig);
}

} // namespace
