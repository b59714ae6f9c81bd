#include "reading/gltf_references.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/cli_error.h"
#include "reading/confined_path.h"

namespace tessaplan
{
    namespace
    {
        CliError reference_error(const std::string& path,
                                 const std::string& uri, const std::string& why)
        {
            return CliError{ExitCode::invalid_input,
                            "'" + path + "' refers to '" + uri + "'" + why};
        }

        // A scheme such as "http:" or "file:" before any slash.
        bool has_scheme(const std::string& uri)
        {
            const auto colon = uri.find(':');
            return colon != std::string::npos && uri.find('/') > colon &&
                   colon > 0 &&
                   std::isalpha(static_cast<unsigned char>(uri[0])) != 0;
        }

        std::filesystem::path canonical_key(const std::string& file)
        {
            std::error_code error;
            auto key = std::filesystem::weakly_canonical(
                std::filesystem::absolute(file, error), error);
            return error ? std::filesystem::path{} : key;
        }

        std::uint64_t byte_length(const nlohmann::json& buffer)
        {
            const auto length = buffer.find("byteLength");
            return length != buffer.end() && length->is_number_unsigned()
                       ? length->get<std::uint64_t>()
                       : 0;
        }

        // Closes a descriptor when done.
        struct Descriptor
        {
            int value;
            ~Descriptor()
            {
                if (value >= 0)
                {
                    ::close(value);
                }
            }
        };
    }  // namespace

    bool decode_uri(const std::string& uri, std::string& decoded)
    {
        decoded.clear();
        for (std::size_t i = 0; i < uri.size(); ++i)
        {
            if (uri[i] != '%')
            {
                decoded += uri[i];
                continue;
            }
            if (i + 2 >= uri.size() ||
                std::isxdigit(static_cast<unsigned char>(uri[i + 1])) == 0 ||
                std::isxdigit(static_cast<unsigned char>(uri[i + 2])) == 0)
            {
                return false;
            }
            decoded +=
                static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        return decoded.find('\0') == std::string::npos;
    }

    GltfReferences::GltfReferences(const nlohmann::json& document,
                                   const std::string& path)
        : path_(path),
          folder_(confining_folder(std::filesystem::path{path}.parent_path()))
    {
        for (const char* key : {"buffers", "images"})
        {
            const auto list = document.find(key);
            if (list == document.end() || !list->is_array())
            {
                continue;
            }
            for (const auto& item : *list)
            {
                const auto uri =
                    item.is_object() ? item.find("uri") : item.end();
                if (uri != item.end() && uri->is_string())
                {
                    check(uri->get<std::string>(),
                          key[0] == 'b' ? byte_length(item) : 0);
                }
            }
        }
    }

    void GltfReferences::check(const std::string& uri, std::uint64_t length)
    {
        if (uri.rfind("data:", 0) == 0)
        {
            return;
        }
        std::string decoded;
        if (has_scheme(uri) || !decode_uri(uri, decoded) || decoded.empty() ||
            decoded.front() == '/')
        {
            throw reference_error(path_, uri,
                                  ", which is not a file beside it: a glTF "
                                  "file may only refer to data: URIs and to "
                                  "relative paths of regular files beside "
                                  "it or below");
        }
        const auto file =
            (std::filesystem::path{path_}.parent_path() / decoded).string();
        if (!is_confined_file(folder_, file))
        {
            throw reference_error(
                path_, uri,
                ", which is outside its folder or not a regular file: a file "
                "may only refer to regular files beside it or below");
        }
        std::error_code error;
        if (!std::filesystem::exists(file, error))
        {
            throw reference_error(path_, uri, ", which does not exist");
        }
        const auto size = std::filesystem::file_size(file, error);
        if (error)
        {
            throw reference_error(path_, uri, ", which cannot be read");
        }
        if (size < length)
        {
            throw reference_error(
                path_, uri,
                " of " + std::to_string(size) + " bytes, shorter than the " +
                    std::to_string(length) + " bytes its buffer claims");
        }
        auto& bytes = allowed_[canonical_key(file)];
        bytes = std::max(bytes, length);
    }

    tinygltf::FsCallbacks GltfReferences::callbacks()
    {
        return tinygltf::FsCallbacks{
            &GltfReferences::exists, &GltfReferences::expand,
            &GltfReferences::read, &GltfReferences::write, this};
    }

    bool GltfReferences::exists(const std::string& file, void* self)
    {
        const auto& references = *static_cast<GltfReferences*>(self);
        return references.allowed_.count(canonical_key(file)) > 0;
    }

    std::string GltfReferences::expand(const std::string& file, void*)
    {
        return file;
    }

    bool GltfReferences::read(std::vector<unsigned char>* data,
                              std::string* error, const std::string& file,
                              void* self)
    {
        const auto& references = *static_cast<GltfReferences*>(self);
        const auto found = references.allowed_.find(canonical_key(file));
        if (found == references.allowed_.end())
        {
            *error = "not a checked reference";
            return false;
        }
        // O_NONBLOCK: should the file have become a FIFO since the check,
        // the open does not wait for a writer, and fstat refuses it.
        const Descriptor descriptor{
            ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
        struct stat status
        {
        };
        if (descriptor.value < 0 || ::fstat(descriptor.value, &status) != 0 ||
            !S_ISREG(status.st_mode) ||
            static_cast<std::uint64_t>(status.st_size) < found->second)
        {
            *error = "no longer the regular file that was checked";
            return false;
        }
        data->resize(found->second);
        std::size_t done = 0;
        while (done < data->size())
        {
            const auto got = ::read(descriptor.value, data->data() + done,
                                    data->size() - done);
            if (got <= 0)
            {
                *error = got < 0 ? std::strerror(errno) : "file shrank";
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    bool GltfReferences::write(std::string* error, const std::string&,
                               const std::vector<unsigned char>&, void*)
    {
        *error = "writing is not allowed while reading";
        return false;
    }
}  // namespace tessaplan
