// Runs a fuzz target once on every file given, and on every file of every
// folder given: the corpus and the regressions replayed by the tests,
// without libFuzzer (GCC builds have none).

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace
{
    void replay(const std::filesystem::path& path)
    {
        std::ifstream file{path, std::ios::binary};
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        LLVMFuzzerTestOneInput(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}  // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i)
    {
        const std::filesystem::path argument{argv[i]};
        if (!std::filesystem::is_directory(argument))
        {
            replay(argument);
            ++count;
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator{argument})
        {
            replay(entry.path());
            ++count;
        }
    }
    std::cout << "replayed " << count << " inputs\n";
    return count > 0 ? 0 : 1;
}
