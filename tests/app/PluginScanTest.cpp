// The plugin folder scan in the real main window: real folders, real plugin
// libraries asked by the real name helpers, the fields read back from the
// controls.
#include "core/PluginScan.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Programs.h"
#include "toolkit/Thread.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

// Puts a copy of a test plugin into `folder` under `name`.
void CopyPlugin(const TempFolder& folder, const std::string& plugin, const std::string& name)
{
    CopyFileTo(TestPlugin(plugin), folder.Path() + name);
}

} // namespace

class PluginScan : public MainWindowTest {
protected:
    // The user types a folder into the folder field.
    void TypeFolder(const std::string& text) { TypeInto(form_->EditFolder, text); }
    void TypeName(const std::string& text) { TypeInto(form_->EditName, text); }
    void ChooseType(int index) { SendMessageA(form_->ComboBoxType->Handle(), CB_SETCURSEL, index, 0); }

    std::vector<std::string> MainFiles() const
    {
        std::vector<std::string> items;
        for (int i = 0; i < form_->ComboBoxMainFile->Count(); ++i)
            items.push_back(form_->ComboBoxMainFile->Item(i));
        return items;
    }
    std::string Folder() const { return form_->EditFolder->Text(); }
    std::string Name() const { return form_->EditName->Text(); }
    std::string Type() const { return form_->ComboBoxType->SelectedText(); }
    std::string MainFile() const { return form_->ComboBoxMainFile->SelectedText(); }

    // Serves the window until the plugin asked has answered or been ended.
    bool AnswerIn() { return Eventually([&] { return !form_->NameHelper->Running(); }, 30000); }
};

TEST_F(PluginScan, TypedFolderIsScannedButNeverRewritten)
{
    TempFolder folder;
    folder.MakeFolder("ab");
    folder.Write("ab\\in-ab.txt");
    folder.Write("abc\\in-abc.txt");
    TypeFolder(folder.Path());
    const std::vector<std::string> topEntries = EntriesOf(folder.Path() + "*.*");
    ASSERT_EQ(MainFiles(), topEntries);

    // Key by key, as a user types: the field holds exactly what was typed,
    // and the list follows each folder the text names.
    HWND edit = form_->EditFolder->Handle();
    const int end = GetWindowTextLengthA(edit);
    SendMessageA(edit, EM_SETSEL, end, end);
    auto type = [&](char c) { SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1); };
    const std::pair<char, const char*> keys[] = {{'a', nullptr}, {'b', "ab"}, {'c', "abc"}, {'\\', "abc"},
                                                 {'\b', "abc"}, {'\b', "ab"}};
    std::string typed = folder.Path();
    for (const auto& [key, listed] : keys) {
        type(key);
        typed = key == '\b' ? typed.substr(0, typed.size() - 1) : typed + key;
        EXPECT_EQ(Folder(), typed);
        EXPECT_EQ(MainFiles(), listed ? EntriesOf(folder.Path() + listed + "\\*.*") : topEntries) << typed;
    }
}

TEST_F(PluginScan, LastPluginEntryInFileSystemOrderWinsAndTypeFollowsIt)
{
    // Two folders with the same two kinds of plugin, named so that either
    // kind comes last in one of them on a file system that sorts by name.
    for (const auto& names : {std::pair<std::string, std::string>{"alpha.wfx", "beta.wlx"},
                              std::pair<std::string, std::string>{"gamma.wfx", "beta.wlx"}}) {
        TempFolder folder;
        CopyPlugin(folder, "testfs.wfx", names.first);
        CopyPlugin(folder, "viewer.wlx", names.second);
        folder.Write("readme.txt");
        folder.MakeFolder("docs");

        const std::vector<std::string> entries = EntriesOf(folder.Path() + "*.*");
        int last = -1;
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            if (entries[i] == names.first || entries[i] == names.second)
                last = i;
        }
        ASSERT_GE(last, 0);
        const bool wfxLast = entries[last] == names.first;

        TypeName("Former");
        TypeFolder(WithoutTrailingBackslash(folder.Path()));
        ASSERT_TRUE(AnswerIn());
        EXPECT_EQ(MainFiles(), entries);
        EXPECT_EQ(form_->ComboBoxMainFile->ItemIndex(), last);
        EXPECT_EQ(Type(), wfxLast ? "WFX" : "WLX");
        EXPECT_EQ(Name(), wfxLast ? "TestFS" : "beta");
    }
}

TEST_F(PluginScan, AnotherMainFileGivesItsTypeAndNameAsAScanWould)
{
    TempFolder folder;
    CopyPlugin(folder, "testfs.wfx", "alpha.wfx");
    CopyPlugin(folder, "viewer.wlx", "beta.wlx");
    folder.Write("readme.txt");
    TypeFolder(folder.Path());
    ASSERT_TRUE(AnswerIn());
    // As the user picks an entry of the list: the list tells its parent.
    const auto select = [&](const std::string& entry) {
        const std::vector<std::string> items = MainFiles();
        const auto index = std::find(items.begin(), items.end(), entry) - items.begin();
        const HWND list = form_->ComboBoxMainFile->Handle();
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(form_->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        AnswerIn();
    };
    const struct {
        const char* entry;
        const char* typed; // typed into the name field before, or null
        const char* type;
        const char* name;
    } picks[] = {
        {"beta.wlx", nullptr, "WLX", "beta"},
        {"alpha.wfx", nullptr, "WFX", "TestFS"},
        {"readme.txt", nullptr, "WFX", ""}, // no plugin: the type stays, a derived name goes
        {"beta.wlx", "Mine", "WLX", "beta"}, // another plugin names itself, as in a new folder
        {"readme.txt", "Mine", "WLX", "Mine"}, // a typed name stays where none is found
    };
    for (const auto& pick : picks) {
        if (pick.typed != nullptr)
            TypeName(pick.typed);
        select(pick.entry);
        EXPECT_EQ(MainFile(), pick.entry);
        EXPECT_EQ(Type(), pick.type) << pick.entry;
        EXPECT_EQ(Name(), pick.name) << pick.entry;
    }
}

TEST_F(PluginScan, FolderWithoutPluginListsEntriesKeepsTypeAndClearsADerivedName)
{
    TempFolder plugin, plain;
    CopyPlugin(plugin, "viewer.wlx", "viewer.wlx");
    plain.Write("readme.txt");
    plain.Write("setup.ini");
    TypeFolder(plugin.Path());
    ASSERT_EQ(Type(), "WLX");
    ASSERT_EQ(Name(), "viewer");

    TypeFolder(plain.Path());
    EXPECT_EQ(MainFiles(), EntriesOf(plain.Path() + "*.*"));
    EXPECT_EQ(form_->ComboBoxMainFile->ItemIndex(), -1);
    EXPECT_EQ(Type(), "WLX");
    EXPECT_EQ(Name(), ""); // its setup must not take over the viewer's entry
}

TEST_F(PluginScan, PathNamingNoFolderChangesNothing)
{
    TempFolder folder;
    CopyPlugin(folder, "viewer.wlx", "viewer.wlx");
    folder.Write("plain.txt");
    TypeFolder(folder.Path());
    const std::vector<std::string> listed = MainFiles();
    TypeName("Typed by hand");

    for (const std::string& text : {folder.Path() + "missing", folder.Path() + "plain.txt", std::string("")}) {
        TypeFolder(text);
        EXPECT_EQ(Folder(), text);
        EXPECT_EQ(MainFiles(), listed);
        EXPECT_EQ(MainFile(), "viewer.wlx");
        EXPECT_EQ(Name(), "Typed by hand");
    }
}

TEST_F(PluginScan, LicenceFieldChangesNoPluginField)
{
    TempFolder folder, other;
    CopyPlugin(folder, "testfs.wfx", "testfs.wfx");
    CopyPlugin(folder, "viewer.wlx", "viewer.wlx");
    CopyPlugin(other, "testfs.wfx", "other.wfx");
    TypeFolder(folder.Path());
    // What the user set by hand after the scan.
    TypeName("Typed by hand");
    SendMessageA(form_->ComboBoxMainFile->Handle(), CB_SETCURSEL, 0, 0);
    ChooseType(Type() == "WFX" ? 1 : 0);
    const std::string mainFile = MainFile(), type = Type();

    for (const std::string& licence : {folder.Path() + "testfs.wfx", other.Path(), std::string()}) {
        TypeInto(form_->EditLicense, licence);
        EXPECT_EQ(Name(), "Typed by hand");
        EXPECT_EQ(MainFile(), mainFile);
        EXPECT_EQ(Type(), type);
    }
}

TEST_F(PluginScan, EachPluginGivesItsTypeAndNameOrClearsOnlyADerivedName)
{
    struct Case {
        const char* plugin; // null: a subfolder of that name; empty: a file that is no library
        const char* fileName;
        std::string expected; // empty: the plugin cannot name itself
        // Another file beside it: a library it needs, another build.
        const char* besidePlugin = nullptr;
        const char* besideName = nullptr;
    };
    std::string alphabet;
    for (int i = 0; i < kRootNameCapacity; ++i)
        alphabet += static_cast<char>('a' + i % 26);
    const Case cases[] = {
        {"testfs.wfx", "testfs.wfx", "TestFS"},
        {"testfs.wfx", "\xE9t\xE9 fs.wfx", "TestFS"},
        {"ftpplugin.wfx", "ftp.wfx", "MyFTPPlugin20"},
        {"ftpplugin.wfx", "PLUGIN.WFX", "MyFTPPlugin20"},
        {"brackets.wfx", "brackets.wfx", "a_b[c]dez"},
        {"emptyname.wfx", "empty.wfx", ""},
        {"noentry.wfx", "noentry.wfx", ""},
        {"fullbuffer.wfx", "full.wfx", alphabet},
        {"refuseload.wfx", "refuse.wfx", ""},
        {"", "junk.wfx", ""},
        {"viewer.wlx", "my viewer.v2.wlx", "my viewer.v2"},
        {nullptr, "remote.wfx", ""},
        {"faultcall.wfx", "faultcall.wfx", ""},
        {"raisecall.wfx", "raisecall.wfx", ""},
        {"faultattach.wfx", "faultattach.wfx", ""},
        {"faultdetach.wfx", "faultdetach.wfx", ""},
        {"endprocess.wfx", "endprocess.wfx", ""},
        {"needsdep.wfx", "needsdep.wfx", "NeedsDep", "libdep.dll", "libdep.dll"},
        {"needsdep.wfx", "nodep.wfx", ""},
        {"testfs.wfx", "fs.wfx", "TestFS", "testfs64.wfx64", "fs.wfx64"},
        {"testfs64.wfx64", "fs.wfx64", "TestFS64"},
        {"testfs64.wfx64", "built64.wfx", "TestFS64"},
        {"viewer64.wlx64", "viewer.wlx64", "viewer"},
        {"testfs.wfx", "after.wfx", "TestFS"},
    };
    TempFolder named;
    CopyPlugin(named, "ftpplugin.wfx", "named.wfx");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        TempFolder folder;
        if (c.plugin == nullptr)
            folder.MakeFolder(c.fileName);
        else if (*c.plugin == '\0')
            folder.Write(c.fileName, "not a library");
        else
            CopyPlugin(folder, c.plugin, c.fileName);
        if (c.besidePlugin != nullptr)
            CopyPlugin(folder, c.besidePlugin, c.besideName);
        folder.Write("readme.txt");
        // After a name the user typed, then after one an earlier folder's
        // plugin gave: a plugin that cannot name itself keeps only the first.
        for (const bool typed : {true, false}) {
            if (typed)
                TypeName("Former");
            else
                TypeFolder(named.Path());
            ASSERT_TRUE(AnswerIn());
            // The type list shows the other type first.
            const bool wlx = PluginTypeOf(c.fileName) == kPluginTypeWlx;
            ChooseType(wlx ? 0 : 1);
            TypeFolder(folder.Path());
            ASSERT_TRUE(AnswerIn());
            EXPECT_EQ(MainFile(), c.fileName);
            EXPECT_EQ(Type(), wlx ? "WLX" : "WFX");
            EXPECT_EQ(Name(), !c.expected.empty() ? c.expected : typed ? "Former" : "");
        }
    }
}

TEST_F(PluginScan, AHangingPluginNeitherHoldsTheWindowNorOutlivesItsLimit)
{
    TempFolder named, hanging;
    CopyPlugin(named, "testfs.wfx", "testfs.wfx");
    CopyPlugin(hanging, "hang.wfx", "hang.wfx");
    TypeFolder(named.Path());
    ASSERT_TRUE(AnswerIn());
    ASSERT_EQ(Name(), "TestFS");

    // From another thread, as the system and other programs send them: the
    // folder, then two seconds of questions while the plugin hangs.
    bool answered = true;
    const std::string path = hanging.Path();
    ASSERT_TRUE(Answer([&] {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(form_->EditFolder->Handle(), WM_SETTEXT, 0,
                                       reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 1000, &result) != 0;
        for (int i = 0; i < 10 && answered; ++i) {
            Sleep(200);
            answered = SendMessageTimeoutA(form_->EditName->Handle(), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 1000,
                                           &result) != 0;
        }
    }));
    EXPECT_TRUE(answered);
    const DWORD helper = form_->NameHelper->ProcessId();
    ASSERT_NE(helper, 0u) << "the helper ended before its limit";
    EXPECT_EQ(Name(), ""); // the earlier folder's name is not this plugin's
    ASSERT_TRUE(AnswerIn());
    EXPECT_EQ(Name(), "");
    EXPECT_TRUE(ProcessGone(helper));
}

TEST_F(PluginScan, ALateAnswerNeverLands)
{
    TempFolder slow, other;
    CopyPlugin(slow, "slow.wfx", "slow.wfx");
    CopyPlugin(other, "testfs.wfx", "testfs.wfx");
    // What the user does while the slow plugin is asked, and the name then.
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { TypeFolder(other.Path()); }, "TestFS"},
        {[&] { TypeName("Mine"); }, "Mine"},
        {[&] { form_->ScanPluginFolder(slow.Path()); }, "Slow"},
    };
    for (const auto& [act, expected] : cases) {
        SCOPED_TRACE(expected);
        form_->ScanPluginFolder(slow.Path());
        const DWORD asked = form_->NameHelper->ProcessId();
        ASSERT_NE(asked, 0u);
        act();
        EXPECT_TRUE(ProcessGone(asked)) << "the earlier question's helper still runs";
        ASSERT_TRUE(AnswerIn());
        PumpFor(2000); // longer than the slow plugin takes
        EXPECT_EQ(Name(), expected);
    }
}

TEST_F(PluginScan, ClosingTheToolWhileAPluginIsAskedLeavesNothingBehind)
{
    TempFolder hanging;
    CopyPlugin(hanging, "hang.wfx", "hang.wfx");
    TypeFolder(hanging.Path());
    const DWORD helper = form_->NameHelper->ProcessId();
    ASSERT_NE(helper, 0u);
    CloseWindow();
    EXPECT_TRUE(ProcessGone(helper));
    EXPECT_TRUE(Eventually([] { return TThread::Running() == 0; }));
}

TEST_F(PluginScan, AHelperThatCannotBeStartedIsToldOnceAndNamesNothing)
{
    TempFolder first, second;
    CopyPlugin(first, "testfs.wfx", "testfs.wfx");
    CopyPlugin(second, "ftpplugin.wfx", "ftp.wfx");
    const std::string helper = tool_ + "PluginNameHelper.exe";
    ASSERT_TRUE(DeleteFileA(helper.c_str()));
    TypeName("Typed");

    const std::string told = FailureBoxOf([&] { TypeFolder(first.Path()); });
    EXPECT_NE(told.find(helper), std::string::npos) << told;
    EXPECT_EQ(FailureBoxOf([&] { TypeFolder(second.Path()); }, 2000), "");
    EXPECT_EQ(Name(), "Typed");
    EXPECT_FALSE(form_->NameHelper->Running());
}
