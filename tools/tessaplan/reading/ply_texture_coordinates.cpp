#include "reading/ply_texture_coordinates.h"

#include <array>
#include <fstream>
#include <utility>

#include <CGAL/IO/PLY.h>

#include "cli/cli_error.h"
#include "reading/ply_input.h"

namespace tessaplan
{
    namespace
    {
        using CGAL::IO::internal::PLY_element;

        // The names a vertex's texture coordinates go by.
        constexpr std::array<std::pair<const char*, const char*>, 4> uv_names{
            {{"s", "t"},
             {"u", "v"},
             {"texture_u", "texture_v"},
             {"texture_s", "texture_t"}}};

        const std::pair<const char*, const char*>* uv_tags(PLY_element& element)
        {
            for (const auto& names : uv_names)
            {
                if (element.has_property(names.first, double{}) &&
                    element.has_property(names.second, double{}))
                {
                    return &names;
                }
            }
            return nullptr;
        }

        CliError unreadable(const std::string& path)
        {
            return CliError{
                ExitCode::invalid_input,
                "cannot read the texture coordinates of '" + path + "'"};
        }
    }  // namespace

    void read_ply_texture_coordinates(const std::string& path,
                                      PolygonSoup& soup)
    {
        std::ifstream file{path, std::ios::binary};
        PlyInput ply{file};
        auto& stream = ply.stream();
        CGAL::IO::internal::PLY_reader reader(false);
        if (!file || !reader.init(stream))
        {
            throw unreadable(path);
        }
        std::vector<nodara::Point<2>> uvs;
        for (std::size_t e = 0; e < reader.number_of_elements(); ++e)
        {
            auto& element = reader.element(e);
            const bool vertices =
                element.name() == "vertex" || element.name() == "vertices";
            const auto* tags = vertices ? uv_tags(element) : nullptr;
            for (std::size_t j = 0; j < element.number_of_items(); ++j)
            {
                for (std::size_t k = 0; k < element.number_of_properties(); ++k)
                {
                    element.property(k)->get(stream);
                    if (stream.fail())
                    {
                        throw unreadable(path);
                    }
                }
                if (tags != nullptr)
                {
                    double u = 0;
                    double v = 0;
                    element.assign(u, tags->first);
                    element.assign(v, tags->second);
                    uvs.emplace_back(std::array<double, 2>{u, v});
                }
            }
            if (tags != nullptr)
            {
                break;
            }
        }
        if (uvs.empty())
        {
            return;
        }
        if (uvs.size() != soup.points.size())
        {
            throw unreadable(path);
        }
        soup.uvs = std::move(uvs);
        soup.uv_polygons = soup.polygons;
    }
}  // namespace tessaplan
