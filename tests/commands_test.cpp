#include "fake_window_services.h"
#include "translate/instruction_table.h"
#include "window/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class Commands : public ::testing::Test {
protected:
  Commands() { commands.Form_Load(); }

  // Clears the record of calls, so a test sees only those of the command it runs.
  void Forget() {
    fake.calls.clear();
    fake.messages.clear();
  }

  FakeWindowServices fake;
  window::Form1Commands commands{fake};
};

TEST(FormLoad, FillsTheMnemonicTable) {
  translate::Mnemonics = {};
  FakeWindowServices fake;
  window::Form1Commands commands(fake);
  commands.Form_Load();
  EXPECT_EQ(translate::Mnemonics[0], "NOP");
  EXPECT_EQ(translate::Mnemonics[65], "DATA");
  EXPECT_TRUE(fake.calls.empty()) << "loading touches no control";
}

TEST_F(Commands, AssembleWritesTheListing) {
  fake.source = "JUN NEXT\r\nNOP\r\nNEXT:\r\nJZ NEXT\r\n";
  commands.Command2_Click();
  EXPECT_EQ(fake.calls, (Calls{"GetText Source", "SetText Listing"}));
  EXPECT_EQ(fake.listing, "000    40 03\r\n002    00\r\n003    14 03\r\n");
}

TEST_F(Commands, AssembleShowsARejectedLineAndSelectsIt) {
  fake.listing = "previous listing";
  fake.source = "NOP\r\nSRC 8\r\nNOP\r\n";
  commands.Command2_Click();
  EXPECT_EQ(fake.calls,
            (Calls{"GetText Source", "ShowMessage", "SetSourceFocus", "SetSourceSelection 5 5"}));
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].first, "Register out of range");
  EXPECT_EQ(fake.messages[0].second, "Error");
  EXPECT_EQ(fake.listing, "previous listing");
}

TEST_F(Commands, AssembleShowsASecondPassErrorWithTheLinesBefore) {
  fake.source = "NOP\r\nJUN FAR\r\n";
  commands.Command2_Click();
  EXPECT_EQ(fake.calls, (Calls{"GetText Source", "SetText Listing", "ShowMessage"}));
  EXPECT_EQ(fake.messages[0].first, "Undefined Label");
  EXPECT_EQ(fake.listing, "000    00\r\n");
  EXPECT_FALSE(fake.selection);
}

TEST_F(Commands, OpenLoadsTheFileAsText) {
  // ISO-8859-1 bytes, a zero byte, and every kind of line end.
  fake.files["/p/prog.asm"] = std::string("NOP ; caf\xE9\nN") + '\0' + "OP\rDATA 1\r\nEND:";
  fake.dialogAnswers = {"/p/prog.asm"};
  fake.listing = "listing";
  commands.Command1_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowOpen", "ReadFile /p/prog.asm", "DecodeText", "SetText Source",
                               "MarkSourceUnchanged", "SetText Listing"}));
  EXPECT_EQ(fake.source, "NOP ; caf\xC3\xA9\r\nNOP\r\nDATA 1\r\nEND:");
  EXPECT_EQ(fake.listing, "") << "the last assembly's listing is not the new program's";
}

TEST_F(Commands, OpenFailuresLeaveTheSourceAsItWas) {
  fake.source = "kept";
  fake.dialogAnswers = {std::nullopt};
  commands.Command1_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowOpen"}));

  fake.readErrors["/locked.asm"] = "Permission denied";
  for (const std::string path : {"/missing.asm", "/locked.asm"}) {
    SCOPED_TRACE(path);
    Forget();
    fake.dialogAnswers = {path};
    commands.Command1_Click();
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_TRUE(fake.messages[0].first.starts_with("Cannot open \"" + path + "\": "));
    EXPECT_TRUE(fake.messages[0].first.ends_with(".")) << "ends like the save messages";
    EXPECT_EQ(fake.messages[0].second, "Error");
    EXPECT_EQ(fake.source, "kept");
  }
  EXPECT_TRUE(fake.files.empty()) << "opening never creates a file";
}

TEST_F(Commands, SaveWritesOneBytePerCharacter) {
  fake.source = "; caf\xC3\xA9 \xC2\xA0\r\nNOP\r\n" + std::string(40000, 'x');
  fake.dialogAnswers = {"/p/out.asm"};
  commands.Command3_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowSave", "GetText Source", "EncodeText", "ReplaceFile /p/out.asm",
                               "MarkSourceUnchanged"}));
  EXPECT_EQ(fake.files["/p/out.asm"], "; caf\xE9 \xA0\r\nNOP\r\n" + std::string(40000, 'x'));
  EXPECT_TRUE(fake.messages.empty());
}

TEST_F(Commands, SaveRefusesCharactersWithoutASingleByteCode) {
  fake.files["/p/out.asm"] = "old";
  fake.source = "NOP\r\nNOP\r\nNOP ; 5 \xE2\x82\xAC\r\n";
  fake.dialogAnswers = {"/p/out.asm"};
  fake.replaceAnswers = {true};
  commands.Command3_Click();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].first,
            "Cannot save \"/p/out.asm\": the character \"\xE2\x82\xAC\" (U+20AC) on line 3 has "
            "no single-byte code. No file was written.");
  EXPECT_EQ(fake.files["/p/out.asm"], "old");
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "ReplaceFile /p/out.asm"), 0);
}

TEST_F(Commands, SaveReportsAFailedWriteAndCancelIsSilent) {
  fake.files["/p/out.asm"] = "old";
  fake.writeErrors["/p/out.asm"] = "No space left on device";
  fake.writeErrors["/p/new.asm"] = "Permission denied";
  fake.source = "NOP\r\n";
  fake.dialogAnswers = {"/p/out.asm", "/p/new.asm", std::nullopt};
  fake.replaceAnswers = {true};
  commands.Command3_Click();
  commands.Command3_Click();
  ASSERT_EQ(fake.messages.size(), 2u);
  EXPECT_EQ(fake.messages[0].first, "Cannot save \"/p/out.asm\": No space left on device. The "
                                    "file is left as it was.");
  EXPECT_EQ(fake.files["/p/out.asm"], "old");
  // Where there was no file, none is said to be left as it was.
  EXPECT_EQ(fake.messages[1].first,
            "Cannot save \"/p/new.asm\": Permission denied. Nothing was written.");

  Forget();
  commands.Command3_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowSave"}));
  EXPECT_TRUE(fake.messages.empty());
}

TEST_F(Commands, SaveBinaryWritesTheLastAssembledImage) {
  fake.source = "JUN NEXT\r\nNOP\r\nNEXT:\r\nJZ NEXT\r\n";
  commands.Command2_Click();
  // Edited after assembling: the image is still the assembled one.
  fake.source = "NOP\r\n";
  Forget();
  fake.files["/p/out.bin"] = "a much longer earlier image";
  fake.dialogAnswers = {"/p/out.bin", "/p/again.bin"};
  fake.replaceAnswers = {true};
  commands.Command4_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowSave", "AskReplace /p/out.bin", "ReplaceFile /p/out.bin"}));
  EXPECT_EQ(fake.files["/p/out.bin"], std::string("\x40\x03\x00\x14\x03", 5));
  commands.Command4_Click();
  EXPECT_EQ(fake.files["/p/again.bin"], fake.files["/p/out.bin"]);

  // A program without instructions gives an empty image.
  fake.source = "; nothing\r\n";
  commands.Command2_Click();
  fake.dialogAnswers = {"/p/out.bin"};
  fake.replaceAnswers = {true}; // no longer the image last saved
  commands.Command4_Click();
  EXPECT_EQ(fake.files["/p/out.bin"], "");
}

TEST_F(Commands, SaveBinaryNeedsACompletedAssembly) {
  const auto expectRefusal = [&](const std::string& when) {
    SCOPED_TRACE(when);
    Forget();
    fake.dialogAnswers = {"/p/out.bin"};
    commands.Command4_Click();
    EXPECT_EQ(fake.calls, (Calls{"ShowMessage"})) << "no dialog, no file";
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].second, "Error");
    EXPECT_NE(fake.messages[0].first.find("There is no assembled program to save"),
              std::string::npos);
    EXPECT_EQ(fake.files.count("/p/out.bin"), 0u);
    fake.dialogAnswers.clear();
  };
  expectRefusal("before any assembly");

  fake.source = "NOP\r\nBAD\r\n";
  commands.Command2_Click();
  expectRefusal("after a rejected line");

  fake.source = "NOP\r\n";
  commands.Command2_Click();
  fake.source = "NOP\r\nJUN NOWHERE\r\n";
  commands.Command2_Click();
  expectRefusal("after a second-pass error that followed a good run");
}

TEST_F(Commands, SaveBinaryReportsAFailedWriteAndCancelIsSilent) {
  fake.source = "NOP\r\n";
  commands.Command2_Click();
  Forget();
  fake.dialogAnswers = {std::nullopt, "/p/out.bin"};
  commands.Command4_Click();
  EXPECT_EQ(fake.calls, (Calls{"ShowSave"}));

  fake.files["/p/out.bin"] = "old";
  fake.writeErrors["/p/out.bin"] = "File too large";
  fake.replaceAnswers = {true};
  commands.Command4_Click();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].first,
            "Cannot save \"/p/out.bin\": File too large. The file is left as it was.");
  EXPECT_EQ(fake.files["/p/out.bin"], "old");
}

// Closing asks only when the source changed; Save closes only once the source is saved.
TEST_F(Commands, ClosingAsksToSaveOnlyWhatChanged) {
  EXPECT_TRUE(commands.Form_QueryUnload());
  EXPECT_EQ(fake.calls, Calls{}) << "nothing changed: no question";
  fake.sourceChanged = true;
  fake.source = "NOP\r\n";
  fake.saveAnswers = {services::SaveChoice::Cancel, services::SaveChoice::Discard,
                      services::SaveChoice::Save, services::SaveChoice::Save};
  fake.dialogAnswers = {std::nullopt, "/p/kept.asm"};
  EXPECT_FALSE(commands.Form_QueryUnload()) << "Cancel";
  EXPECT_TRUE(commands.Form_QueryUnload()) << "Discard";
  EXPECT_FALSE(commands.Form_QueryUnload()) << "Save, but the save dialog was cancelled";
  EXPECT_TRUE(commands.Form_QueryUnload()) << "Save";
  EXPECT_EQ(fake.files["/p/kept.asm"], "NOP\r\n");
  EXPECT_FALSE(fake.sourceChanged);
}

// A file that is not the window's own is replaced only when the user says so; the window's own
// source (last opened or saved) and image (last saved) are replaced without a question.
TEST_F(Commands, OnlyTheWindowsOwnFilesAreReplacedWithoutAQuestion) {
  fake.files = {{"/p/mine.asm", "NOP\r\n"}, {"/p/victim.asm", "precious"}};
  fake.dialogAnswers = {"/p/mine.asm", "/p/victim.asm", "/p/mine.asm", "/p/mine.asm"};
  commands.Command1_Click();
  commands.Command3_Click(); // the window's own: no question
  commands.Command3_Click(); // another file: No
  EXPECT_EQ(fake.files["/p/victim.asm"], "precious");
  commands.Command2_Click();
  commands.Command4_Click(); // the image over the source: No
  EXPECT_EQ(fake.files["/p/mine.asm"], "NOP\r\n");
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "AskReplace /p/victim.asm"), 1);
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "AskReplace /p/mine.asm"), 1);
}

} // namespace
