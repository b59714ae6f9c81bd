#include "reading/soup_transfer.h"

#include <cstdint>
#include <cstring>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        constexpr char magic[8] = {'T', 'S', 'O', 'U', 'P', '1', '\n', '\0'};

        template <typename Value>
        void append(std::string& bytes, Value value)
        {
            bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        }

        void append_polygons(std::string& bytes,
                             const std::vector<Polygon>& polygons)
        {
            append<std::uint64_t>(bytes, polygons.size());
            for (const auto& polygon : polygons)
            {
                append<std::uint64_t>(bytes, polygon.size());
                for (const auto corner : polygon)
                {
                    append<std::uint64_t>(bytes, corner);
                }
            }
        }

        // Reads values from the bytes, refusing to read past their end.
        class Cursor
        {
        public:
            Cursor(const std::string& bytes, const std::string& path)
                : bytes_(bytes), path_(path)
            {
            }

            template <typename Value>
            Value next()
            {
                Value value{};
                if (bytes_.size() - offset_ < sizeof value)
                {
                    fail();
                }
                std::memcpy(&value, bytes_.data() + offset_, sizeof value);
                offset_ += sizeof value;
                return value;
            }

            // A count of items of `item_bytes` each that the rest can hold.
            std::uint64_t count(std::uint64_t item_bytes)
            {
                const auto value = next<std::uint64_t>();
                if (value > (bytes_.size() - offset_) / item_bytes)
                {
                    fail();
                }
                return value;
            }

            std::vector<Polygon> polygons()
            {
                std::vector<Polygon> polygons(count(sizeof(std::uint64_t)));
                for (auto& polygon : polygons)
                {
                    polygon.resize(count(sizeof(std::uint64_t)));
                    for (auto& corner : polygon)
                    {
                        corner = next<std::uint64_t>();
                    }
                }
                return polygons;
            }

            bool at_end() const { return offset_ == bytes_.size(); }

            [[noreturn]] void fail() const
            {
                throw CliError{ExitCode::invalid_input,
                               "cannot read '" + path_ +
                                   "': its reader handed back a damaged mesh"};
            }

        private:
            const std::string& bytes_;
            const std::string& path_;
            std::size_t offset_{0};
        };
    }  // namespace

    std::string encode_soup(const PolygonSoup& soup)
    {
        std::string bytes(magic, sizeof magic);
        append<std::uint8_t>(bytes, soup.single_precision ? 1 : 0);
        append<std::uint8_t>(bytes, soup.transforms_applied ? 1 : 0);
        append<std::uint64_t>(bytes, soup.points.size());
        for (const auto& point : soup.points)
        {
            for (std::size_t k = 0; k < 3; ++k)
            {
                append<double>(bytes, point[k]);
            }
        }
        append_polygons(bytes, soup.polygons);
        append<std::uint64_t>(bytes, soup.uvs.size());
        for (const auto& uv : soup.uvs)
        {
            append<double>(bytes, uv[0]);
            append<double>(bytes, uv[1]);
        }
        append_polygons(bytes, soup.uv_polygons);
        return bytes;
    }

    PolygonSoup decode_soup(const std::string& bytes, const std::string& path)
    {
        Cursor cursor{bytes, path};
        if (bytes.compare(0, sizeof magic, magic, sizeof magic) != 0)
        {
            cursor.fail();
        }
        for (std::size_t k = 0; k < sizeof magic; ++k)
        {
            cursor.next<char>();
        }
        PolygonSoup soup;
        soup.single_precision = cursor.next<std::uint8_t>() != 0;
        soup.transforms_applied = cursor.next<std::uint8_t>() != 0;
        soup.points.resize(cursor.count(3 * sizeof(double)));
        for (auto& point : soup.points)
        {
            for (std::size_t k = 0; k < 3; ++k)
            {
                point[k] = cursor.next<double>();
            }
        }
        soup.polygons = cursor.polygons();
        soup.uvs.resize(cursor.count(2 * sizeof(double)));
        for (auto& uv : soup.uvs)
        {
            uv[0] = cursor.next<double>();
            uv[1] = cursor.next<double>();
        }
        soup.uv_polygons = cursor.polygons();
        if (!cursor.at_end())
        {
            cursor.fail();
        }
        return soup;
    }
}  // namespace tessaplan
