// The installer template, filled as "Create setup" fills it, compiled by the
// real NSIS compiler for every combination the tool can produce.
#include "InstallerScript.h"

#include "base/Paths.h"
#include "base/TextCodes.h"

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

namespace {

enum class Languages { None, EnglishOnly, OneOther, Several };

std::vector<std::string> CheckedLanguages(Languages languages)
{
    switch (languages) {
    case Languages::None: return {};
    case Languages::EnglishOnly: return {"English"};
    case Languages::OneOther: return {"French"};
    case Languages::Several: return {"English", "French", "German"};
    }
    return {};
}

// The number in the compiler's summary line that starts with `head`
// ("Install: 3 pages ..."), or -1.
int SummaryCount(const std::string& output, const std::string& head, const std::string& what)
{
    std::smatch match;
    const std::regex line(head + "[^\\n]*?(\\d+) " + what);
    return std::regex_search(output, match, line) ? std::stoi(match[1]) : -1;
}

using Combination = std::tuple<Languages, bool /*licence*/, bool /*uninstaller*/, const char* /*type*/>;

class TemplateCompiles : public testing::TestWithParam<Combination> {
protected:
    // One tool folder and one plugin folder serve every combination.
    static void SetUpTestSuite()
    {
        tool_ = std::make_unique<ToolFolder>();
        sources_ = std::make_unique<TempFolder>();
        plugin_ = MakePluginFolder(*sources_, "plugin with blanks", {"fsplugin.wfx"});
        sources_->Write("plugin with blanks\\viewer.wlx", "MZ viewer");
        licence_ = sources_->Write("licence\\licence text.txt", "Use it freely.\r\n");
    }
    static void TearDownTestSuite()
    {
        tool_.reset();
        sources_.reset();
    }

    static std::unique_ptr<ToolFolder> tool_;
    static std::unique_ptr<TempFolder> sources_;
    static std::string plugin_, licence_;
};

std::unique_ptr<ToolFolder> TemplateCompiles::tool_;
std::unique_ptr<TempFolder> TemplateCompiles::sources_;
std::string TemplateCompiles::plugin_, TemplateCompiles::licence_;

std::string CombinationName(const testing::TestParamInfo<Combination>& info)
{
    static const char* const names[] = {"NoLanguage", "EnglishOnly", "FrenchOnly", "ThreeLanguages"};
    return std::string(names[static_cast<int>(std::get<0>(info.param))]) +
           (std::get<1>(info.param) ? "_Licence" : "_NoLicence") +
           (std::get<2>(info.param) ? "_Uninstaller" : "_NoUninstaller") + "_" + std::get<3>(info.param);
}

} // namespace

TEST_P(TemplateCompiles, IntoTheMainFilesSetupInTheToolFolder)
{
    const auto [languages, licence, uninstaller, type] = GetParam();
    TSetupScriptInputs inputs;
    const bool wfx = std::string(type) == "WFX";
    // Every character from '0' to 'z' that is not a letter or digit, and a
    // name that ends with a backslash.
    inputs.PluginName = wfx ? "Sftp[\\]^_`:;<=>?@z09" : "Viewer\\";
    inputs.Folder = plugin_;
    inputs.MainFile = wfx ? "fsplugin.wfx" : "viewer.wlx";
    inputs.PluginType = type;
    inputs.Languages = CheckedLanguages(languages);
    inputs.LicensePath = licence ? licence_ : sources_->Path() + "no such licence.txt";
    inputs.LicenseExists = licence;
    inputs.Uninstaller = uninstaller;
    const std::string installer = tool_->Path() + inputs.MainFile + "_setup.exe";
    DeleteFileA(installer.c_str());

    const ProgramRun run = CompileSetupScript(*tool_, inputs);
    ASSERT_TRUE(run.Ended);
    ASSERT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(FileExistsAt(installer));
    EXPECT_EQ(run.Output.find("warning"), std::string::npos) << run.Output;

    // What the compiler built: the page that asks for whom, the licence page
    // only with a licence, one language table per loaded language (English by
    // default), and an uninstaller only when asked for.
    EXPECT_EQ(SummaryCount(run.Output, "Install:", "pages"), licence ? 4 : 3) << run.Output;
    const int tables = languages == Languages::Several ? 3 : 1;
    EXPECT_EQ(SummaryCount(run.Output, "Install:", "language table"), tables) << run.Output;
    EXPECT_EQ(run.Output.find("Uninstall:") != std::string::npos, uninstaller) << run.Output;
}

INSTANTIATE_TEST_SUITE_P(EveryCombination, TemplateCompiles,
                         testing::Combine(testing::Values(Languages::None, Languages::EnglishOnly, Languages::OneOther,
                                                          Languages::Several),
                                          testing::Bool(), testing::Bool(), testing::Values("WFX", "WLX")),
                         CombinationName);

namespace {

// The lines of `file` that match `line`, as its first two groups.
std::vector<std::pair<std::string, std::string>> Matches(const std::string& file, const std::regex& line)
{
    std::vector<std::pair<std::string, std::string>> found;
    std::istringstream lines(ReadWholeFile(file));
    std::smatch match;
    for (std::string text; std::getline(lines, text);)
        if (std::regex_search(text, match, line))
            found.emplace_back(match[1], match[2]);
    return found;
}

// What the installer fills into a text and its line breaks, sorted, and how
// many "&" it has: what every translation of it keeps.
std::string FilledIn(const std::string& text)
{
    static const std::regex filled("\\$\\([^)]*\\)|\\$\\\\[rnt]|\\$\\w+");
    std::vector<std::string> parts(std::sregex_token_iterator(text.begin(), text.end(), filled), {});
    std::sort(parts.begin(), parts.end());
    std::string joined;
    for (const std::string& part : parts)
        joined += part + " ";
    return joined + std::to_string(std::count(text.begin(), text.end(), '&'));
}

// The key the "&" of a label marks, in lower case.
std::string AcceleratorOf(const std::string& text)
{
    const std::size_t at = text.find('&') + 1;
    const unsigned char lead = at < text.size() ? text[at] : 0;
    std::string key = text.substr(at, lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4);
    CharLowerBuffA(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

TEST(Translations, EveryFileHoldsEveryTextTheInstallerShowsAndCompiles)
{
    // The texts the include shows are the language strings its defines name.
    std::vector<std::string> shown;
    for (const auto& [define, text] : Matches(DistFolder() + "PluginSetup.nsh", std::regex("^!define (TEXT_\\w+) \"\\$\\((\\w+)\\)\"")))
        shown.push_back(text);
    const std::string folder = DistFolder() + "translations\\";
    const std::regex langString("^LangString (\\w+) \\$\\{SETUP_TEXTS_LANGUAGE\\} \"(.*)\"\r?$");
    const auto english = Matches(folder + "English.nsh", langString);
    std::vector<std::string> names;
    for (const auto& [name, text] : english)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(names, shown);

    std::vector<std::string> languages;
    for (const std::string& file : ListFolderEntries(folder + "*.nsh")) {
        SCOPED_TRACE(file);
        // Without its mark the compiler would read the file in the system's code page.
        EXPECT_EQ(ReadWholeFile(folder + file).rfind(kUtf8Mark, 0), 0u);
        const auto texts = Matches(folder + file, langString);
        ASSERT_EQ(texts.size(), english.size());
        std::map<std::string, std::string> byName(texts.begin(), texts.end());
        for (const auto& [name, text] : english)
            EXPECT_EQ(FilledIn(byName[name]), FilledIn(text)) << name << ": " << byName[name];
        // The first page's two choices each have a key of their own.
        EXPECT_NE(AcceleratorOf(byName["TEXT_MODE_ALL_USERS"]), AcceleratorOf(byName["TEXT_MODE_ONLY_ME"]));
        languages.push_back(file.substr(0, file.size() - 4));
    }

    // Every one compiles, beside a language without a file of its own.
    ToolFolder tool;
    TempFolder sources;
    TSetupScriptInputs inputs;
    inputs.PluginName = "Polyglot";
    inputs.Folder = MakePluginFolder(sources, "plugin", {"fsplugin.wfx"});
    inputs.MainFile = "fsplugin.wfx";
    inputs.PluginType = "WFX";
    inputs.Uninstaller = true;
    inputs.Languages = languages;
    inputs.Languages.push_back("Farsi");
    const ProgramRun run = CompileSetupScript(tool, inputs);
    ASSERT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_EQ(run.Output.find("warning"), std::string::npos) << run.Output;
    EXPECT_EQ(SummaryCount(run.Output, "Install:", "language tables"), static_cast<int>(inputs.Languages.size()));
}
