// The installer template, filled as "Create setup" fills it, compiled by the
// real NSIS compiler for every combination the tool can produce.
#include "InstallerScript.h"

#include "base/Paths.h"

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
    case Languages::Several: {
        // Every language the installer's texts are translated into, and one they are not.
        std::vector<std::string> names = {"Farsi"};
        for (const std::string& file : ListFolderEntries(DistFolder() + "translations\\*.nsh"))
            names.push_back(file.substr(0, file.size() - 4));
        return names;
    }
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
    static const char* const names[] = {"NoLanguage", "EnglishOnly", "FrenchOnly", "EveryTranslation"};
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
    const int tables = languages == Languages::Several ? static_cast<int>(inputs.Languages.size()) : 1;
    EXPECT_EQ(SummaryCount(run.Output, "Install:", "language table"), tables) << run.Output;
    EXPECT_EQ(run.Output.find("Uninstall:") != std::string::npos, uninstaller) << run.Output;
}

INSTANTIATE_TEST_SUITE_P(EveryCombination, TemplateCompiles,
                         testing::Combine(testing::Values(Languages::None, Languages::EnglishOnly, Languages::OneOther,
                                                          Languages::Several),
                                          testing::Bool(), testing::Bool(), testing::Values("WFX", "WLX")),
                         CombinationName);

namespace {

// The texts of a translation file by name, each as what every translation of
// it keeps: what the installer fills in, line breaks, and how many "&".
std::map<std::string, std::string> FilledIn(const std::string& file)
{
    static const std::regex line("^LangString (TEXT_\\w+) \\$\\{SETUP_TEXTS_LANGUAGE\\} \"(.*)\"$");
    static const std::regex filled("\\$\\([^)]*\\)|\\$\\\\[rnt]|\\$\\w+");
    std::map<std::string, std::string> texts;
    std::istringstream lines(ReadWholeFile(file));
    std::smatch match;
    for (std::string text; std::getline(lines, text);) {
        if (!std::regex_match(text, match, line))
            continue;
        const std::string value = match[2];
        std::vector<std::string> parts(std::sregex_token_iterator(value.begin(), value.end(), filled), {});
        std::sort(parts.begin(), parts.end());
        texts[match[1]] = testing::PrintToString(parts) + std::to_string(std::count(value.begin(), value.end(), '&'));
    }
    return texts;
}

} // namespace

// The compiles above show that none lacks a text: the compiler would warn.
TEST(Translations, EveryFileHoldsEveryTextWithWhatTheInstallerFillsIn)
{
    const std::string folder = DistFolder() + "translations\\";
    const auto english = FilledIn(folder + "English.nsh");
    for (const std::string& file : ListFolderEntries(folder + "*.nsh")) {
        // Without its mark the compiler would read the file in the system's code page.
        EXPECT_EQ(ReadWholeFile(folder + file).rfind("\xEF\xBB\xBF", 0), 0u) << file;
        EXPECT_EQ(FilledIn(folder + file), english) << file;
    }
}
