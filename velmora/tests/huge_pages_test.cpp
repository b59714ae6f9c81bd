#include <velmora/basic/huge_pages.h>

#include <cstdint>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace nodara
{
    namespace
    {
        // The kernel flags of the mapping that holds `address`, from
        // /proc/self/smaps; empty when not found.
        std::string mapping_flags(const void* address)
        {
            const auto target = reinterpret_cast<std::uintptr_t>(address);
            std::ifstream smaps{"/proc/self/smaps"};
            std::string line;
            bool inside = false;
            while (std::getline(smaps, line))
            {
                std::uintptr_t begin = 0;
                std::uintptr_t end = 0;
                char dash = 0;
                std::istringstream range{line};
                if (range >> std::hex >> begin >> dash >> end && dash == '-')
                {
                    inside = begin <= target && target < end;
                }
                else if (inside && line.rfind("VmFlags:", 0) == 0)
                {
                    return line;
                }
            }
            return {};
        }

        bool huge_pages_supported()
        {
            return std::ifstream{"/sys/kernel/mm/transparent_hugepage/enabled"}
                .good();
        }
    }  // namespace

    TEST(HugePages, LargeVectorsAreAdvisedAndBehaveAsVectors)
    {
        // 16 MiB: several whole huge pages whatever the block's alignment.
        LargeVector<double> values(std::size_t{2} << 20);
        std::iota(values.begin(), values.end(), 0.0);
        const auto copy = values;
        EXPECT_EQ(copy, values);
        EXPECT_EQ(values[12345], 12345.0);
        if (!huge_pages_supported())
        {
            GTEST_SKIP() << "no transparent huge pages on this kernel";
        }
        const auto flags = mapping_flags(values.data() + values.size() / 2);
        ASSERT_FALSE(flags.empty());
        EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
    }

    TEST(HugePages, SmallOrEmptyRangesAreLeftAlone)
    {
        advise_huge_pages(nullptr, std::size_t{64} << 20);
        std::vector<char> small(4096, 'x');
        advise_huge_pages(small.data(), small.size());
        EXPECT_EQ(small.back(), 'x');
        LargeVector<int> empty;
        EXPECT_TRUE(empty.empty());
        empty.push_back(7);
        EXPECT_EQ(empty.front(), 7);
    }
}  // namespace nodara
