#include "writing/atlas_obj_writer.h"

#include <cstdio>
#include <string>

#include "reading/mesh_reader.h"

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        // The triangles of one face: [first, end) of the surface's, and
        // whether its fan kept them all.
        struct FaceTriangles
        {
            index_t first{0};
            index_t end{0};
            bool whole{true};
        };

        FaceTriangles face_triangles(const Polygon& face, index_t first)
        {
            const auto count = static_cast<index_t>(fan_triangles(face).size());
            return {first, first + count, count + 2 == face.size()};
        }

        bool in_one_chart(const FaceTriangles& triangles,
                          const std::vector<index_t>& chart)
        {
            for (auto t = triangles.first; t < triangles.end; ++t)
            {
                if (chart[t] != chart[triangles.first])
                {
                    return false;
                }
            }
            return true;
        }

        void append_corner(std::string& text, const nodara::SeamCut& cut,
                           index_t t, nodara::local_index_t k)
        {
            const auto c = cut.surface->polygon_vertex({t, k});
            char corner[48];
            std::snprintf(corner, sizeof corner, " %u/%u", cut.source[c] + 1,
                          c + 1);
            text += corner;
        }

        // The face through its fan: corner 0 and corner 1 of the first
        // triangle, then corner 2 of each triangle.
        void append_face(std::string& text, const nodara::SeamCut& cut,
                         const FaceTriangles& triangles)
        {
            text += 'f';
            append_corner(text, cut, triangles.first, 0);
            append_corner(text, cut, triangles.first, 1);
            for (auto t = triangles.first; t < triangles.end; ++t)
            {
                append_corner(text, cut, t, 2);
            }
            text += '\n';
        }

        void append_triangles(std::string& text, const nodara::SeamCut& cut,
                              const FaceTriangles& triangles)
        {
            for (auto t = triangles.first; t < triangles.end; ++t)
            {
                text += 'f';
                for (nodara::local_index_t k = 0; k < 3; ++k)
                {
                    append_corner(text, cut, t, k);
                }
                text += '\n';
            }
        }
    }  // namespace

    std::size_t write_atlas_obj(const nodara::TriangulatedSurface<3>& surface,
                                const std::vector<Polygon>& faces,
                                const std::vector<nodara::index_t>& chart,
                                const nodara::SeamCut& cut, OutputFile& file,
                                const std::vector<nodara::index_t>* page)
    {
        std::string text =
            "# tessaplan atlas: 3D vertices, one texture coordinate per "
            "chart corner\n";
        char line[160];
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& p = surface.point(v);
            std::snprintf(line, sizeof line, "v %.17g %.17g %.17g\n", p[0],
                          p[1], p[2]);
            text += line;
        }
        for (const auto& p : cut.images)
        {
            std::snprintf(line, sizeof line, "vt %.17g %.17g\n", p[0], p[1]);
            text += line;
        }
        std::size_t nb_split = 0;
        index_t next = 0;
        index_t last_page = nodara::NO_ID;
        const auto use_page = [&](index_t t)
        {
            if (page != nullptr && t < page->size() && (*page)[t] != last_page)
            {
                last_page = (*page)[t];
                text += "usemtl page_" + std::to_string(last_page) + '\n';
            }
        };
        for (const auto& face : faces)
        {
            const auto triangles = face_triangles(face, next);
            next = triangles.end;
            if (triangles.whole && in_one_chart(triangles, chart))
            {
                use_page(triangles.first);
                append_face(text, cut, triangles);
                continue;
            }
            nb_split += triangles.end > triangles.first ? 1 : 0;
            for (auto t = triangles.first; t < triangles.end; ++t)
            {
                use_page(t);
                append_triangles(text, cut, {t, t + 1, true});
            }
        }
        file.write(text);
        return nb_split;
    }
}  // namespace tessaplan
