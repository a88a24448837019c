// Times building, writing and reading INI files of about 1 MB and 4 MB. Each step should take
// about four times as long for the larger file; much more would mean quadratic behaviour.
//
//   ini_bench [folder]      (default: a fresh folder under the system's temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/ini.h"

namespace {

using keelsong::IniDocument;
using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 10;

// One section holds items of every kind the program writes, including a string long enough to
// be split into pieces and bytes that need escaping.
void PutSection(IniDocument& document, int n) {
    char section[32];
    std::snprintf(section, sizeof section, "Section %06d", n);
    document.PutUInt(section, "Frequency", 1000u + static_cast<unsigned>(n));
    document.PutInt(section, "Level", -(n % 100));
    document.PutBoolean(section, "Enabled", n % 2 == 0);
    document.PutString(section, "Name", "item \"" + std::to_string(n) + "\"\twith C:\\path");
    document.PutString(section, "Notes", std::string(150, static_cast<char>('a' + n % 26)));
}

// Sections are put in shuffled order, so that sorted insertion is exercised.
IniDocument Build(int sections) {
    std::vector<int> order(static_cast<std::size_t>(sections));
    for (int i = 0; i < sections; ++i) {
        order[static_cast<std::size_t>(i)] = i;
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    IniDocument document;
    for (const int n : order) {
        PutSection(document, n);
    }
    return document;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The fastest of several runs, which is the one least disturbed by the rest of the machine.
// The step returns what it built, so that freeing it stays outside the time taken.
template <typename Step>
double Fastest(Step step) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        [[maybe_unused]] auto built = step();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

struct Figures {
    std::size_t bytes = 0;
    std::size_t sections = 0;
    double build = 0;
    double write = 0;
    double read = 0;
};

Figures Measure(const std::string& path, std::size_t target_bytes) {
    // The size of one section's text, from a small sample, gives the section count.
    const std::size_t sample = Build(100).ToText().size();
    const int sections = static_cast<int>(target_bytes * 100 / sample);

    Figures figures;
    figures.sections = static_cast<std::size_t>(sections);
    figures.build = Fastest([&] { return Build(sections); });
    const IniDocument document = Build(sections);
    figures.bytes = document.ToText().size();
    figures.write = Fastest([&] {
        if (document.WriteToFile(path) != 0) {
            std::fprintf(stderr, "writing %s failed\n", path.c_str());
            std::exit(1);
        }
        return 0;
    });
    figures.read = Fastest([&] {
        IniDocument back;
        if (back.ReadFromFile(path) != 0 || back.sections().size() != figures.sections) {
            std::fprintf(stderr, "reading %s failed\n", path.c_str());
            std::exit(1);
        }
        return back;
    });
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string folder;
    bool made_folder = false;
    if (argc > 1) {
        folder = argv[1];
    } else {
        std::string pattern = (fs::temp_directory_path() / "ini_bench_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
        made_folder = true;
    }

    const Figures small = Measure(folder + "/small.ini", 1u << 20);
    const Figures large = Measure(folder + "/large.ini", 4u << 20);
    // Only for the trend beyond the two sizes that are compared.
    const Figures huge = Measure(folder + "/huge.ini", 16u << 20);
    std::printf("%-6s %10s %9s %10s %10s %10s\n", "file", "bytes", "sections", "build s", "write s",
                "read s");
    for (const auto& [name, f] :
         {std::pair{"1 MB", small}, std::pair{"4 MB", large}, std::pair{"16 MB", huge}}) {
        std::printf("%-6s %10zu %9zu %10.4f %10.4f %10.4f\n", name, f.bytes, f.sections, f.build,
                    f.write, f.read);
    }
    std::printf("%-6s %10.2f %9s %10.2f %10.2f %10.2f   (4 MB / 1 MB)\n", "ratio",
                static_cast<double>(large.bytes) / static_cast<double>(small.bytes), "",
                large.build / small.build, large.write / small.write, large.read / small.read);
    std::printf("%-6s %10.2f %9s %10.2f %10.2f %10.2f   (16 MB / 4 MB)\n", "ratio",
                static_cast<double>(huge.bytes) / static_cast<double>(large.bytes), "",
                huge.build / large.build, huge.write / large.write, huge.read / large.read);
    std::printf("(fastest of %d runs each; writing includes formatting and fsync)\n", kRepeats);

    if (made_folder) {
        fs::remove_all(folder);
    }
    return 0;
}
