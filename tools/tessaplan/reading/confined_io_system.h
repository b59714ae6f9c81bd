#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <assimp/DefaultIOSystem.h>

namespace tessaplan
{
    /// The files assimp may open while it reads an input: regular files
    /// inside the input's folder, for reading. Anything else a file refers
    /// to (a path that leaves the folder through ".." or is absolute
    /// elsewhere, a FIFO, a device, a folder) is refused as if missing and
    /// remembered, so that the reader can fail naming it rather than read
    /// another file's bytes or wait forever on a FIFO.
    class ConfinedIOSystem : public Assimp::DefaultIOSystem
    {
    public:
        /// Confines the reads to `folder` (made canonical).
        explicit ConfinedIOSystem(const std::filesystem::path& folder);

        bool Exists(const char* file) const override;
        Assimp::IOStream* Open(const char* file, const char* mode) override;

        /// The references refused so far, as assimp spelled them.
        const std::vector<std::string>& refused() const { return refused_; }

    private:
        /// Whether `file` may be read; remembers it when refused.
        bool allowed(const char* file) const;

        std::filesystem::path folder_;
        mutable std::vector<std::string> refused_;
    };
}  // namespace tessaplan
