#include "reading/confined_path.h"

#include <algorithm>

#include <sys/stat.h>

namespace tessaplan
{
    namespace
    {
        bool is_inside(const std::filesystem::path& folder,
                       const std::filesystem::path& path)
        {
            const auto ends = std::mismatch(folder.begin(), folder.end(),
                                            path.begin(), path.end());
            return ends.first == folder.end();
        }
    }  // namespace

    std::filesystem::path confining_folder(const std::filesystem::path& folder)
    {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(
            folder.empty() ? std::filesystem::path{"."} : folder));
    }

    bool is_confined_file(const std::filesystem::path& folder,
                          const std::string& file)
    {
        std::error_code error;
        auto path = std::filesystem::absolute(file, error);
        if (!error)
        {
            path = std::filesystem::weakly_canonical(path, error);
        }
        struct stat status
        {
        };
        const bool exists = !error && ::stat(path.c_str(), &status) == 0;
        return !error && is_inside(folder, path) &&
               (!exists || S_ISREG(status.st_mode));
    }
}  // namespace tessaplan
