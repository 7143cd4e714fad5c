// Measures ReplaceAll on a 64 MiB text with sparse and with dense matches
// against one search pass over the same bytes (a find loop that produces no
// output), and at 1 MiB with 10,000 matches against the method that copies
// the rest of the text after every match. Prints medians and ratios.
#include "app/ReplaceAll.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kPattern = "*plugin_name*";
const std::string kReplacement = "MyFileSystemPlugin";

// `size` bytes of script-like text with the pattern every `spacing` bytes.
std::string MakeSource(std::size_t size, std::size_t spacing)
{
    const std::string filler = "  File /r \"C:\\plugins\\source\\*.*\" ; installs every file\r\n";
    std::string text;
    text.reserve(size + spacing);
    std::size_t next = spacing / 2;
    while (text.size() < size) {
        if (text.size() >= next) {
            text += kPattern;
            next += spacing;
        } else {
            text += filler.substr(0, std::min(filler.size(), next - text.size()));
        }
    }
    text.resize(size);
    return text;
}

double MedianSeconds(const std::function<void()>& work, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::size_t volatile sink = 0;

std::size_t SearchPass(const std::string& source)
{
    std::size_t count = 0;
    for (std::size_t hit = source.find(kPattern); hit != std::string::npos;
         hit = source.find(kPattern, hit + kPattern.size()))
        ++count;
    return count;
}

std::string CopyRestReplace(const std::string& source)
{
    std::string result;
    std::string rest = source;
    for (std::size_t hit = rest.find(kPattern); hit != std::string::npos; hit = rest.find(kPattern)) {
        result += rest.substr(0, hit) + kReplacement;
        rest = rest.substr(hit + kPattern.size());
    }
    return result + rest;
}

void CompareWithSearch(const char* label, std::size_t spacing)
{
    const std::string source = MakeSource(64u << 20, spacing);
    const double search = MedianSeconds([&] { sink = SearchPass(source); }, 5);
    const double replace = MedianSeconds([&] { sink = ReplaceAll(source, kPattern, kReplacement).size(); }, 5);
    std::printf("%-28s matches %8zu  search %7.1f ms  ReplaceAll %7.1f ms  ratio %.2f (goal <= 3)\n", label,
                SearchPass(source), search * 1000, replace * 1000, replace / search);
}

} // namespace

int main()
{
    CompareWithSearch("64 MiB, sparse matches", 64u << 10);
    CompareWithSearch("64 MiB, dense matches", 64);

    const std::string source = MakeSource(1u << 20, (1u << 20) / 10000);
    if (CopyRestReplace(source) != ReplaceAll(source, kPattern, kReplacement)) {
        std::printf("the two methods disagree\n");
        return 1;
    }
    const double naive = MedianSeconds([&] { sink = CopyRestReplace(source).size(); }, 3);
    const double linear = MedianSeconds([&] { sink = ReplaceAll(source, kPattern, kReplacement).size(); }, 3);
    std::printf("%-28s matches %8zu  copy-rest %7.1f ms  ReplaceAll %7.3f ms  ReplaceAll is %.0f times faster\n",
                "1 MiB, 10,000 matches", SearchPass(source), naive * 1000, linear * 1000, naive / linear);
    return 0;
}
