#pragma once

#include <initializer_list>
#include <string>

#include <absl/strings/string_view.h>

namespace tessaplan
{
    /// A file written in full before it appears: the text goes to a
    /// temporary file in the destination's folder, which commit() renames
    /// onto the destination. Until then the destination is untouched, and a
    /// file never committed is removed when the object is destroyed.
    class OutputFile
    {
    public:
        /// Creates the temporary file. Throws CliError (cannot_write_output)
        /// when it cannot be created, or when the destination exists and is
        /// not a regular file (it is never replaced).
        explicit OutputFile(std::string path);
        OutputFile(const OutputFile&) = delete;
        OutputFile& operator=(const OutputFile&) = delete;
        ~OutputFile();

        /// Appends text. Throws CliError (cannot_write_output) when the
        /// system refuses the data.
        void write(absl::string_view text);

        /// Writes out what is buffered and makes it durable, with the
        /// permissions a new file gets, without renaming it yet. Throws
        /// CliError (cannot_write_output) on failure; the temporary file is
        /// then removed.
        void finish();

        /// Finishes the file (see finish) if not done yet and renames the
        /// temporary file onto the destination. Throws CliError
        /// (cannot_write_output) on failure; the temporary file is then
        /// removed.
        void commit();

        /// The destination.
        const std::string& path() const { return path_; }

    private:
        void flush();
        void discard();

        std::string path_;
        std::string temporary_path_;
        /// Where the temporary path is registered for removal on a signal.
        int cleanup_slot_{-1};
        std::string buffer_;
        int descriptor_{-1};
        bool committed_{false};
    };

    /// Finishes every file, then commits them: a failure while writing any
    /// of them (a full disk) leaves none behind. Throws CliError as
    /// OutputFile::finish and commit do.
    void commit_together(std::initializer_list<OutputFile*> files);

    /// Makes SIGINT, SIGTERM and SIGHUP remove every temporary file of an
    /// OutputFile not yet committed, then end the process with status 128 +
    /// the signal's number. Call once, early in main().
    void remove_outputs_on_signals();
}  // namespace tessaplan
