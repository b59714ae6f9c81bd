// tessaplan: flattens triangulated surfaces from mesh files, in one map
// or as an atlas of charts.

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_error.h"
#include "cli/help_text.h"
#include "cli/options.h"
#include "cli/printable_text.h"
#include "commands/atlas_command.h"
#include "commands/flatten_command.h"
#include "reading/assimp_cage.h"
#include "writing/output_file.h"

namespace
{
    int report_error(const std::string& message, tessaplan::ExitCode code)
    {
        std::cerr << "tessaplan: error: " << tessaplan::printable(message)
                  << '\n';
        return static_cast<int>(code);
    }
}  // namespace

int main(int argc, char** argv)
{
    using tessaplan::ExitCode;
    // The child that reads a file through assimp for its parent.
    if (argc == 3 && std::string{argv[1]} == tessaplan::assimp_child_argument)
    {
        return tessaplan::run_assimp_child(argv[2]);
    }
    tessaplan::remove_outputs_on_signals();
    try
    {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        const auto options = tessaplan::parse_options(arguments);
        if (options.help)
        {
            std::cout << tessaplan::help_text(options);
            return static_cast<int>(ExitCode::success);
        }
        if (options.version)
        {
            std::cout << tessaplan::version_text();
            return static_cast<int>(ExitCode::success);
        }
        if (options.command == tessaplan::Command::atlas)
        {
            return tessaplan::run_atlas(options, std::cout);
        }
        return tessaplan::run_flatten(options, std::cout);
    }
    catch (const tessaplan::CliError& error)
    {
        return report_error(error.what(), error.code());
    }
    catch (const std::bad_alloc&)
    {
        return report_error("out of memory", ExitCode::internal_error);
    }
    catch (const std::exception& error)
    {
        return report_error(error.what(), ExitCode::internal_error);
    }
}
