#include "reading/confined_io_system.h"

#include <algorithm>
#include <cstring>

#include "reading/confined_path.h"

namespace tessaplan
{
    ConfinedIOSystem::ConfinedIOSystem(const std::filesystem::path& folder)
        : folder_(confining_folder(folder))
    {
    }

    bool ConfinedIOSystem::allowed(const char* file) const
    {
        const bool refuse = !is_confined_file(folder_, file);
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
