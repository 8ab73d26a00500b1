// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds files to a fuzz target's entry function, as a libFuzzer program does
// with the files it is given, for builds without libFuzzer: each argument is
// a file, or a folder whose files are all fed. A kept input that breaks the
// target aborts the program, naming the input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path argument(argv[i]);
        if (std::filesystem::is_directory(argument)) {
            for (const auto &entry : std::filesystem::directory_iterator(argument)) {
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
            }
        } else {
            inputs.push_back(argument);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    // Nothing fed is nothing tested: a folder moved away must not pass.
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...: no input found\n", argv[0]);
        return 2;
    }
    for (const auto &input : inputs) {
        std::ifstream stream(input, std::ios::binary);
        if (!stream) {
            std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
            return 2;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "%s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs fed, none broke the target\n", inputs.size());
    return 0;
}
