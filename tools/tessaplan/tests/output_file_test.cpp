#include "writing/output_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        namespace fs = std::filesystem;

        // A fresh empty folder, removed with its contents afterwards.
        class ScratchFolder
        {
        public:
            ScratchFolder()
            {
                auto pattern =
                    (fs::temp_directory_path() / "output_file_test.XXXXXX")
                        .string();
                path_ = ::mkdtemp(pattern.data());
            }
            ~ScratchFolder() { fs::remove_all(path_); }
            const fs::path& path() const { return path_; }
            std::size_t nb_entries() const
            {
                return static_cast<std::size_t>(std::distance(
                    fs::directory_iterator{path_}, fs::directory_iterator{}));
            }

        private:
            fs::path path_;
        };

        std::string contents(const fs::path& path)
        {
            std::ifstream file{path, std::ios::binary};
            std::ostringstream text;
            text << file.rdbuf();
            return text.str();
        }
    }  // namespace

    TEST(OutputFile, AppearsOnlyOnCommitWithEverythingWritten)
    {
        const ScratchFolder folder;
        const auto destination = folder.path() / "result.obj";
        // Larger than the write buffer, so that part of it reaches the
        // temporary file before the commit.
        const std::string line(1000, 'x');
        {
            OutputFile file{destination.string()};
            for (int i = 0; i < 3000; ++i)
            {
                file.write(line);
                file.write("\n");
            }
            EXPECT_FALSE(fs::exists(destination));
            EXPECT_EQ(folder.nb_entries(), 1u);  // the temporary file
            file.commit();
        }
        EXPECT_EQ(fs::file_size(destination), 3000u * 1001u);
        EXPECT_EQ(contents(destination).substr(0, 1001), line + "\n");
        EXPECT_EQ(folder.nb_entries(), 1u);

        // A new file gets the permissions the umask allows, not the
        // private ones of a temporary file.
        struct stat status
        {
        };
        ASSERT_EQ(::stat(destination.c_str(), &status), 0);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
    }

    TEST(OutputFile, LeavesNothingWhenNotCommitted)
    {
        const ScratchFolder folder;
        const auto destination = folder.path() / "result.svg";
        {
            std::ofstream{destination} << "previous";
        }
        {
            OutputFile file{destination.string()};
            file.write(std::string(3 << 20, 'y'));
        }
        EXPECT_EQ(folder.nb_entries(), 1u);
        EXPECT_EQ(contents(destination), "previous");
    }

    TEST(OutputFile, ReportsAFolderThatCannotBeWritten)
    {
        const ScratchFolder folder;
        const auto destination = folder.path() / "missing" / "result.obj";
        try
        {
            OutputFile file{destination.string()};
            FAIL() << "no exception";
        }
        catch (const CliError& error)
        {
            EXPECT_EQ(error.code(), ExitCode::cannot_write_output);
            EXPECT_NE(std::string{error.what()}.find(destination.string()),
                      std::string::npos);
        }
        // A destination that exists and is not a regular file (a folder, a
        // FIFO) is refused before anything is written.
        fs::create_directory(folder.path() / "taken");
        ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
        for (const char* name : {"taken", "fifo"})
        {
            EXPECT_THROW(OutputFile{(folder.path() / name).string()}, CliError);
        }
        EXPECT_EQ(folder.nb_entries(), 2u);
    }
}  // namespace tessaplan
