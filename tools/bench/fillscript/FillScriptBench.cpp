// Measures FillSetupScript, the one-pass filling of "Create setup", on a
// 64 MiB template with sparse and with dense placeholders (each placeholder
// and the uninstaller marker in turn) against one search pass over the same
// text: a find loop for one placeholder that produces no output. Checks the
// filled text against the one the template was made for, then prints medians
// and their ratio, and for the record what a plain copy of the text into new
// memory costs, which no fill can go below.
#include "core/SetupScript.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct TExpansion {
    const char* Placeholder;
    const char* Text; // what the fill makes of it for the inputs below
};

// Plain values, which every kind of place takes as they stand.
const TExpansion kExpansions[] = {
    {kPluginNamePlaceholder, "BenchPlugin"},
    {kLocalFolderPlaceholder, "C:\\plugins\\bench\\"},
    {kMainFilePlaceholder, "bench.wfx"},
    {kPluginTypePlaceholder, "WFX"},
    {kPluginNameAmpersandsPlaceholder, "BenchPlugin"},
    {kPluginFolderNamePlaceholder, "BenchPlugin (bench)"},
    {kPublisherPlaceholder, "Bench Software"},
    {kVersionProductNamePlaceholder, "BenchPlugin"},
    {kVersionCompanyNamePlaceholder, "Bench Software"},
    {kUninstallerMarker, ""},
};

TSetupScriptInputs Inputs()
{
    TSetupScriptInputs inputs;
    inputs.PluginName = "BenchPlugin";
    inputs.Folder = "C:\\plugins\\bench\\";
    inputs.MainFile = "bench.wfx";
    inputs.PluginType = "WFX";
    inputs.Publisher = "Bench Software";
    inputs.Uninstaller = true;
    return inputs;
}

struct TTemplate {
    std::string Source;
    std::string Filled;
    std::size_t Placeholders = 0;
};

// `size` bytes of script text with a placeholder every `spacing` bytes, and
// the text the fill is to make of it.
TTemplate MakeTemplate(std::size_t size, std::size_t spacing)
{
    const std::string filler = "  ${DoUntil} ${FileExists} \"$1\\*.*\" ; each missing folder\r\n"
                               "  WriteRegStr HKLM $UninstallKey \"InstallLocation\" \"$INSTDIR\"\r\n";
    TTemplate result;
    result.Source.reserve(size + spacing);
    result.Filled.reserve(size + spacing);
    std::size_t next = spacing / 2;
    while (result.Source.size() < size) {
        if (result.Source.size() >= next) {
            const TExpansion& expansion = kExpansions[result.Placeholders++ % std::size(kExpansions)];
            result.Source += expansion.Placeholder;
            result.Filled += expansion.Text;
            next += spacing;
        } else {
            const std::string part = filler.substr(0, std::min(filler.size(), next - result.Source.size()));
            result.Source += part;
            result.Filled += part;
        }
    }
    return result;
}

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t volatile sink = 0;

std::size_t SearchPass(const std::string& text)
{
    const std::string pattern = kPluginNamePlaceholder;
    std::size_t count = 0;
    for (std::size_t hit = text.find(pattern); hit != std::string::npos; hit = text.find(pattern, hit + pattern.size()))
        ++count;
    return count;
}

// False when the fill does not give the expected text.
bool CompareWithSearch(const char* label, std::size_t spacing)
{
    const TTemplate text = MakeTemplate(64u << 20, spacing);
    const TSetupScriptInputs inputs = Inputs();
    if (FillSetupScript(text.Source, inputs) != text.Filled) {
        std::printf("%s: the filled script is not the expected one\n", label);
        return false;
    }
    // In turn, so that drift in the machine's load hits both alike.
    std::vector<double> searches, fills, copies;
    for (int run = 0; run < 9; ++run) {
        searches.push_back(Seconds([&] { sink = SearchPass(text.Source); }));
        fills.push_back(Seconds([&] { sink = FillSetupScript(text.Source, inputs).size(); }));
        copies.push_back(Seconds([&] { sink = std::string(text.Source).size(); }));
    }
    const double search = Median(searches), fill = Median(fills), copy = Median(copies);
    std::printf("%-28s placeholders %8zu  search %7.1f ms  fill %7.1f ms  ratio %.2f (goal <= 3)\n", label,
                text.Placeholders, search * 1000, fill * 1000, fill / search);
    // Any fill writes a new text: a copy into new memory is its floor.
    std::printf("%-28s a plain copy of the text %7.1f ms  ratio %.2f\n", "", copy * 1000, copy / search);
    return true;
}

} // namespace

int main()
{
    const bool sparse = CompareWithSearch("64 MiB, sparse placeholders", 64u << 10);
    const bool dense = CompareWithSearch("64 MiB, dense placeholders", 64);
    return sparse && dense ? 0 : 1;
}
