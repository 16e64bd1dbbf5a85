// Folder picker on Linux against stand-in zenity and kdialog scripts, alone on PATH: the result
// codes, the chosen path's exact bytes (only the one trailing line feed stripped), which program is
// preferred, and that CANCEL and ERROR hand back no allocation.
#include "app/desktop/FolderPicker.h"
#include "DesktopTestSupport.h"

namespace {

using namespace desktoptest;

// The stand-in prints $VELBRIN_PICKED plus a line feed and exits with $VELBRIN_PICKER_STATUS;
// "killed" makes it kill itself instead. It records its name and arguments.
const char* pickerScript =
    "printf '%s\\0' \"${0##*/}\" \"$@\" > \"$VELBRIN_TEST_RECORD\"\n"
    "[ \"$VELBRIN_PICKER_STATUS\" = killed ] && kill -9 $$\n"
    "[ -n \"$VELBRIN_PICKED\" ] && printf '%s\\n' \"$VELBRIN_PICKED\"\n"
    "exit \"$VELBRIN_PICKER_STATUS\"\n";

struct PickerRow {
    const char* name;
    bool zenity;
    bool kdialog;
    const char* status;
    std::string picked;
    FolderPickerResult result;
    std::vector<std::string> command; // recorded name and arguments; empty when nothing may run
};

const std::string awkwardPath = "/srv/-new\nline \xff\xfe dir\n";

const PickerRow pickerRows[] = {
    { "ZenityOkayKeepsBytes", true, false, "0", awkwardPath, FolderPickerResult::OKAY,
        { "zenity", "--file-selection", "--directory" } },
    { "ZenityPreferredOverKdialog", true, true, "0", "/home", FolderPickerResult::OKAY,
        { "zenity", "--file-selection", "--directory" } },
    { "KdialogWhenNoZenity", false, true, "0", awkwardPath, FolderPickerResult::OKAY,
        { "kdialog", "--getexistingdirectory" } },
    { "ExitOneIsCancel", true, false, "1", "", FolderPickerResult::CANCEL, { "zenity", "--file-selection", "--directory" } },
    { "KdialogCancel", false, true, "1", "", FolderPickerResult::CANCEL, { "kdialog", "--getexistingdirectory" } },
    { "OtherStatusIsError", true, false, "5", "/home", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "KilledIsError", true, false, "killed", "/home", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "NoPathIsError", true, false, "0", "", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "NoPickerIsError", false, false, "0", "/home", FolderPickerResult::ERROR, {} },
};

class FolderPickerTest : public testing::TestWithParam<PickerRow> { };

TEST_P(FolderPickerTest, ResultAndPath)
{
    const PickerRow& row = GetParam();
    TemporaryDirectory directory;
    const fs::path bin = directory.path() / "bin", record = directory.path() / "record";
    fs::create_directories(bin);
    if (row.zenity)
        writeScript(bin / "zenity", pickerScript);
    if (row.kdialog)
        writeScript(bin / "kdialog", pickerScript);
    // A non-executable zenity earlier on PATH must be passed over.
    fs::create_directories(directory.path() / "plain");
    std::ofstream(directory.path() / "plain" / "zenity") << "not a program";
    const std::string path = (directory.path() / "plain").string() + ":" + bin.string();
    ScopedVariable pathVariable("PATH", path.c_str()), recordVariable("VELBRIN_TEST_RECORD", record.c_str()),
        status("VELBRIN_PICKER_STATUS", row.status), picked("VELBRIN_PICKED", row.picked.c_str());

    ASSERT_EQ(folderPickerInit(), FolderPickerResult::OKAY);
    char* chosen = reinterpret_cast<char*>(&directory); // must be overwritten in every outcome
    const FolderPickerResult result = folderPickerPickFolder(&chosen, nullptr);
    EXPECT_EQ(result, row.result) << folderPickerGetError();
    if (row.result == FolderPickerResult::OKAY) {
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(std::string(chosen), row.picked); // the stand-in added one line feed; only that one goes
        EXPECT_STREQ(folderPickerGetError(), "");
    } else {
        EXPECT_EQ(chosen, nullptr);
    }
    if (row.result == FolderPickerResult::ERROR) {
        EXPECT_STRNE(folderPickerGetError(), "");
    }
    folderPickerFreePath(chosen);
    folderPickerQuit();

    if (row.command.empty())
        EXPECT_FALSE(fs::exists(record));
    else
        EXPECT_EQ(splitAtNul(readWhole(record)), row.command);
}

INSTANTIATE_TEST_SUITE_P(Rows, FolderPickerTest, testing::ValuesIn(pickerRows),
    [](const testing::TestParamInfo<PickerRow>& info) { return std::string(info.param.name); });

} // namespace
