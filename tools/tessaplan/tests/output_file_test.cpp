#include "writing/output_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace tessaplan
{
    namespace
    {
        // Runs `work` in a child process; returns its wait status.
        template <typename Work>
        int in_child(Work work)
        {
            const pid_t child = ::fork();
            if (child == 0)
            {
                work();
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            return status;
        }
    }  // namespace

    TEST(OutputFile, ASignalRemovesTheTemporaryFilesAndEndsWith128PlusIt)
    {
        const ScratchFolder folder;
        const auto status = in_child(
            [&]
            {
                remove_outputs_on_signals();
                OutputFile obj{(folder.path() / "a.obj").string()};
                OutputFile svg{(folder.path() / "a.svg").string()};
                obj.write(std::string(3 << 20, 'x'));
                ::raise(SIGTERM);
            });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
        EXPECT_EQ(folder.nb_entries(), 0u);
    }

    TEST(OutputFile, OutputsAreCommittedTogetherOrNotAtAll)
    {
        // The picture cannot be written in full (a file size limit stands
        // in for a full disk): the mesh of the same run must not stay.
        const ScratchFolder folder;
        const auto status = in_child(
            [&]
            {
                ::signal(SIGXFSZ, SIG_IGN);
                // Under the write buffer's megabyte, so that the picture
                // fails only when the outputs are committed.
                const rlimit limit{1 << 19, 1 << 19};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                bool refused = false;
                try
                {
                    OutputFile obj{(folder.path() / "a.obj").string()};
                    OutputFile svg{(folder.path() / "a.svg").string()};
                    obj.write("v 0 0 0\n");
                    svg.write(std::string(700 << 10, 'x'));
                    commit_together({&obj, &svg});
                }
                catch (const CliError&)
                {
                    refused = true;
                }
                ::_exit(refused ? 6 : 0);
            });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 6);
        EXPECT_EQ(folder.nb_entries(), 0u);
    }
}  // namespace tessaplan
