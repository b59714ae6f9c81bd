// Fuzz target for one reader: the input is written to a file named with
// the reader's extension (FUZZ_EXTENSION), then read as the command line
// reads it: by the exact reader of that format, with FUZZ_GLTF by the glTF
// reader (tinygltf and the checks around it), or with FUZZ_CAGED through
// assimp in its caged child process (this program again). Refusals
// (CliError) are expected; anything else, a crash, a sanitizer report or
// another exception, is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "cli/cli_error.h"
#if defined(FUZZ_CAGED)
#include "reading/assimp_cage.h"
#elif defined(FUZZ_GLTF)
#include "reading/gltf_reader.h"
#endif
#include "reading/exact_reader.h"
#include "reading/input_file.h"
#include "reading/mesh_format.h"
#include "reading/vertex_welding.h"

namespace
{
    void remove_scratch_file();

    // One file per process, removed when it ends.
    const std::string& scratch_path()
    {
        static const std::string path = []
        {
            std::atexit(remove_scratch_file);
            return "/tmp/tessaplan-fuzz-" + std::to_string(::getpid()) +
                   FUZZ_EXTENSION;
        }();
        return path;
    }

    void remove_scratch_file()
    {
        ::unlink(scratch_path().c_str());
    }

    bool indices_in_range(const tessaplan::PolygonSoup& soup)
    {
        for (const auto& polygon : soup.polygons)
        {
            for (const auto corner : polygon)
            {
                if (corner >= soup.points.size())
                {
                    return false;
                }
            }
        }
        return true;
    }
}  // namespace

// The caged reader runs this program again with the child's argument:
// it reads the file and ends before the fuzzer starts.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
#ifdef FUZZ_CAGED
    if (*argc == 3 &&
        std::string{(*argv)[1]} == tessaplan::assimp_child_argument)
    {
        std::exit(tessaplan::run_assimp_child((*argv)[2]));
    }
#else
    static_cast<void>(argc);
    static_cast<void>(argv);
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size)
{
    const auto& path = scratch_path();
    {
        std::ofstream file{path, std::ios::binary | std::ios::trunc};
        file.write(reinterpret_cast<const char*>(data),
                   static_cast<std::streamsize>(size));
    }
    try
    {
        const auto file_size = tessaplan::check_input_file(path);
        const auto format = tessaplan::detect_format(path, file_size);
#if defined(FUZZ_CAGED)
        if (format != tessaplan::MeshFormat::other)
        {
            return 0;
        }
        auto soup = tessaplan::read_with_assimp_caged(path, file_size);
#elif defined(FUZZ_GLTF)
        if (format != tessaplan::MeshFormat::gltf)
        {
            return 0;
        }
        auto soup = tessaplan::read_gltf(path, file_size).soup;
#else
        if (format == tessaplan::MeshFormat::other ||
            format == tessaplan::MeshFormat::gltf)
        {
            return 0;
        }
        auto soup = tessaplan::read_exact(path, format, file_size);
#endif
        if (indices_in_range(soup))
        {
            tessaplan::weld_vertices(soup);
        }
    }
    catch (const tessaplan::CliError&)
    {
    }
    return 0;
}
