#include "reading/confined_io_system.h"

#include <algorithm>
#include <cstring>

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

    ConfinedIOSystem::ConfinedIOSystem(const std::filesystem::path& folder)
        : folder_(std::filesystem::weakly_canonical(std::filesystem::absolute(
              folder.empty() ? std::filesystem::path{"."} : folder)))
    {
    }

    bool ConfinedIOSystem::allowed(const char* file) const
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
        const bool refuse = error || !is_inside(folder_, path) ||
                            (exists && !S_ISREG(status.st_mode));
        if (refuse &&
            std::find(refused_.begin(), refused_.end(), file) == refused_.end())
        {
            refused_.emplace_back(file);
        }
        return !refuse;
    }

    bool ConfinedIOSystem::Exists(const char* file) const
    {
        return allowed(file) && DefaultIOSystem::Exists(file);
    }

    Assimp::IOStream* ConfinedIOSystem::Open(const char* file, const char* mode)
    {
        if (std::strchr(mode, 'w') != nullptr ||
            std::strchr(mode, 'a') != nullptr || !allowed(file))
        {
            return nullptr;
        }
        return DefaultIOSystem::Open(file, mode);
    }
}  // namespace tessaplan
