#include "bench/transforms_bench.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "engine/list_text.h"
#include "engine/transforms.h"

namespace quil::bench {
namespace {

// Text in, text out, as sed does it: the list split into lines, rewritten,
// and joined again.
std::string Rewrite(const std::string& text, const Replacement& replacement) {
    std::vector<std::string> lines = SplitLines(text);
    replacement.Apply(lines, Scope::Path, {}, '/');
    return JoinLines(lines);
}

}  // namespace

void BenchTransforms(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "level1-%d/level2-%d/IMG_%07d.jpg\n", i % 9, i % 10, i);
        text += line;
    }
    const std::string folder = MakeTempFolder("transforms");
    const std::string file = folder + "list.txt";
    std::ofstream(file, std::ios::binary) << text;
    struct Case {
        const char* label;
        const char* find;
        const char* replacement;
        const char* sed;
    };
    const Case cases[] = {
        {"regex with groups", "IMG_([0-9]+)\\.jpg$", "photo-$1.jpeg", "s/IMG_([0-9]+)\\.jpg$/photo-\\1.jpeg/"},
        {"literal", "IMG_", "photo-", "s/IMG_/photo-/g"},
    };
    const std::string count = lines == 1000000 ? "1,000,000" : std::to_string(lines);
    for (const Case& c : cases) {
        TransformError error;
        const auto replacement = Replacement::Make(c.find, c.replacement, true, true, error);
        std::size_t size = 0;
        const double ours = MedianMs(5, [&] { size += Rewrite(text, *replacement).size(); });
        const std::string command = std::string("LC_ALL=C.UTF-8 sed -E '") + c.sed + "' '" + file + "' >/dev/null";
        const double sed = MedianMs(5, [&] {
            if (std::system(command.c_str()) != 0) std::fprintf(stderr, "sed failed\n");
        });
        PrintRow(std::string("replace, ") + c.label + ", " + count + " lines", ours, "sed -E, same text", sed,
                 "<= 3x");
        if (size == 0) std::fprintf(stderr, "nothing rewritten\n");
    }
    RemoveTree(folder);
}

}  // namespace quil::bench
