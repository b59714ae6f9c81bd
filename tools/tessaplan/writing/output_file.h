#pragma once

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

        /// Writes out what is buffered, makes it durable and renames the
        /// temporary file onto the destination, with the permissions a new
        /// file gets. Throws CliError (cannot_write_output) on failure; the
        /// temporary file is then removed.
        void commit();

        /// The destination.
        const std::string& path() const { return path_; }

    private:
        void flush();
        void discard();

        std::string path_;
        std::string temporary_path_;
        std::string buffer_;
        int descriptor_{-1};
        bool committed_{false};
    };
}  // namespace tessaplan
