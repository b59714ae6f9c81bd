#include "cli/path_checks.h"

#include <filesystem>

#include <sys/stat.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        bool same_file(const std::string& a, const std::string& b)
        {
            struct stat first
            {
            };
            struct stat second
            {
            };
            const bool first_exists = ::stat(a.c_str(), &first) == 0;
            const bool second_exists = ::stat(b.c_str(), &second) == 0;
            if (first_exists && second_exists)
            {
                return first.st_dev == second.st_dev &&
                       first.st_ino == second.st_ino;
            }
            // Absolute first: a relative path that does not exist stays
            // relative under weakly_canonical.
            std::error_code error;
            const auto resolve = [&error](const std::string& path)
            {
                return std::filesystem::weakly_canonical(
                    std::filesystem::absolute(path, error), error);
            };
            const auto resolved_a = resolve(a);
            const auto resolved_b = resolve(b);
            return !error && resolved_a == resolved_b;
        }

        void check_pair(const std::string& a, const std::string& b,
                        const std::string& what)
        {
            if (same_file(a, b))
            {
                throw CliError{ExitCode::usage, what + " are the same file ('" +
                                                    a + "' and '" + b + "')"};
            }
        }
    }  // namespace

    void check_distinct_files(const std::string& input,
                              const std::string& output, const std::string& svg,
                              const std::string& png)
    {
        check_pair(input, output, "the input and the output");
        if (!svg.empty())
        {
            check_pair(input, svg, "the input and the SVG file");
            check_pair(output, svg, "the output and the SVG file");
        }
        if (!png.empty())
        {
            check_pair(input, png, "the input and the PNG file");
            check_pair(output, png, "the output and the PNG file");
        }
        if (!svg.empty() && !png.empty())
        {
            check_pair(svg, png, "the SVG file and the PNG file");
        }
    }

    void check_replaceable(const std::string& path)
    {
        struct stat status
        {
        };
        if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        {
            throw CliError{ExitCode::cannot_write_output,
                           "cannot write '" + path +
                               "': it exists and is not a regular file, so "
                               "it is not replaced"};
        }
    }
}  // namespace tessaplan
