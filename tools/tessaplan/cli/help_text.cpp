#include "cli/help_text.h"

#include <cstdio>

#include <tessaplan/atlas.h>

namespace tessaplan
{
    namespace
    {
        const char* const program_help =
            R"(Usage: tessaplan COMMAND INPUT [OPTIONS]
       tessaplan COMMAND --help
       tessaplan --version

Flattens triangulated surfaces stored in mesh files.

Commands:
  flatten  Flatten a surface in one least squares conformal map (LSCM) and
           write it as texture coordinates, with a distortion report.
  atlas    Cut a surface (closed ones too) into charts flattened without
           folds and pack them into the unit square.

'tessaplan COMMAND --help' explains a command's options, outputs and exit
statuses.
)";

        const char* const reading_help =
            R"(INPUT is read exactly when it is OBJ, OFF, PLY (ASCII or binary) or STL
(ASCII or binary): the file's vertices in its order, coordinates as written
(ASCII numbers in double precision, binary ones at their stored precision),
and its faces in its order. glTF 2.0 (.gltf, or GLB by its content) is read
in single precision with its whole document: the default scene's triangles,
strips and fans, each placed by its node transforms; written back as .gltf
or .glb it keeps everything (nodes, materials, images, other attributes,
extensions) and gains texture coordinates. Every other format assimp reads
(COLLADA, 3DS, FBX, AC...) is read in single precision, each mesh placed by
its node transforms as the file's viewer shows it. Polygons are split into
triangles for the flattening and written back as they were; points and
lines are ignored. Counts the file cannot hold are refused before reading.
)";

        const char* const flatten_help =
            R"(Usage: tessaplan flatten INPUT [-o OUTPUT] [--weld | --no-weld] [--flat]
                         [--normalize] [--pack] [--scale pins|area]
                         [--pins FILE] [--seams FILE] [--seams-from-uv]
                         [--method lscm|arap] [--fail-on-fold] [--svg FILE]
                         [--png FILE] [--uv-set N] [--json]

Flattens a triangulated surface into the plane by least squares conformal
maps (LSCM), measures how much the flattening distorts every triangle, and
writes the result.

)";

        const char* const flatten_options =
            R"(
Triangles whose corners lie at fewer than three distinct positions, and
copies of an earlier triangle (the same vertices, either way round), are
left out of the solve (with a warning giving their count) and written with
the map of their vertices.

Options:
  -o, --output FILE  Where to write the result: .obj (or a name without an
                     extension), .ply (binary PLY), .gltf or .glb (glTF);
                     other extensions are refused. Default: <stem>-flat.obj
                     next to INPUT. Never the input, never an existing file
                     that is not a regular file.
  --weld             Join vertices at exactly the same position. Done by
                     default for STL, glTF and the formats read through
                     assimp, which split vertices per face.
  --no-weld          Keep vertices at the same position apart (a seam), also
                     for the formats read through assimp (not for STL,
                     which stores no shared vertices).
  --flat             Write the flattened surface itself (z = 0) instead of
                     the 3D surface with texture coordinates.
  --normalize        Scale the flattening uniformly, and move it, so that it
                     fits the unit square [0, 1] x [0, 1]. Without it the
                     coordinates are written as computed.
  --pack             Lay the pieces out side by side, their bounding boxes
                     apart, each moved rigidly (possibly turned by a quarter
                     turn) at the common scale, packed into a small square.
                     Pieces that share a vertex move together. Without it
                     each piece stays where its pinned vertices put it.
  --scale MODE       What sets each piece's size: 'pins' (the default)
                     keeps the scale the pinned vertices give; 'area'
                     scales each piece (pieces that share a vertex
                     together) about its centre so that its flat area is
                     its 3D area: a developable piece comes out at its true
                     size. The report gives each piece's length scale.
  --pins FILE        Pin vertices at chosen positions: one 'vertex u v'
                     per line (vertex numbers from 0, in the order of the
                     input's vertices, joined ones once; '#' starts a
                     comment line). A piece with two or more pins keeps
                     exactly those; one with one gets a second pin of its
                     own choosing; one with none is pinned as usual. A bad
                     pin fails the run (status 4), naming its line.
  --seams FILE       Cut the surface open along chosen edges first: one
                     'a b' per line (vertex numbers as for --pins). A
                     vertex along a seam gets one image per side, so seams
                     that cut a closed surface into discs let it flatten.
                     The output is then written as an atlas is (one texture
                     coordinate per corner of each piece); --flat and
                     --normalize are refused. A seam that is not an edge
                     fails the run (status 4), naming its line.
  --seams-from-uv    Cut the surface open, as --seams does, where the
                     input's own texture coordinates are discontinuous
                     (OBJ's vt, PLY's vertex s and t, glTF's TEXCOORD_0,
                     the first set of the formats read through assimp):
                     its UV islands become the pieces. With --seams,
                     along both. An input without texture coordinates for
                     every face fails the run (status 4).
  --method MODE      What the flattening keeps: 'lscm' (the default) keeps
                     angles as well as can be; 'arap' starts from that map
                     and makes it as rigid as possible (local/global
                     iterations, one factorisation), keeping lengths as
                     well as can be at the surface's own size (--scale
                     does not apply; --pins is refused). The report gives
                     the length distortion max(sigma1, 1/sigma2) for both.
  --fail-on-fold     Fail (exit status 5, nothing written) when the map
                     folds over itself (a triangle is flipped). Without it
                     a folded map is written with a warning.
  --svg FILE         Also draw the flattened surface as an SVG picture: every
                     triangle coloured by its conformal distortion (viridis
                     scale, with a legend), flipped triangles outlined in red.
  --png FILE         Also draw the same picture as a PNG image, 2048 pixels
                     on its longer side.
  --uv-set N         glTF input written as .gltf or .glb: the texture
                     coordinate set the map goes into, TEXCOORD_N (0 to 15;
                     default 0), added or replaced in every primitive of
                     triangles, one per vertex. Sets below N must exist.
  --json             Print the report as one JSON object instead of text.
  -h, --help         Print this help and exit.

Output: without --flat, the file holds the input's vertices (OBJ: v x y z,
in full precision), one texture coordinate per vertex (OBJ: vt u v, in the
same order; PLY: s and t; glTF: TEXCOORD_0 as (u, 1 - v), glTF's texture
space starting at the top left) and the input's faces (OBJ: "f a/a b/b
c/c"). With --flat the positions are the flattening (u v 0). Files are
written in full to temporary files next to the destinations and renamed
into place once all of them are, so a failed or interrupted run leaves no
file behind.

Report (on standard output): the input's format (and whether it was read in
single precision), whether node transforms were applied, the vertices
joined, vertices, triangles, border edges, the triangles left out of the
solve, the pieces (triangles joined through edges shared by exactly two
triangles, among those solved; per piece its triangles, its border edges -
also the sides of an edge shared by more than two triangles -, whether it is
closed, and its area ratio, the flat area over the 3D area), the time spent
reading, flattening and writing, and the distortion: mean, 95th percentile
and maximum of the conformal distortion (sigma1/sigma2 >= 1 of each
triangle's map; 1 keeps angles) and of the area distortion (a triangle's
share of the flat area divided by its share of the 3D area), the number of
flipped triangles (turned against the majority of their piece, read in the
piece's consistent orientation), of collapsed triangles (flat area below
1e-12 of the 3D area) and of triangles with zero area in 3D (left out of the
statistics); with --pack, the fill (the pieces' boxes' share of the
bounding square). With --json the keys are format, single_precision,
transforms_applied, joined_vertices, vertices, triangles, border_edges,
left_out_triangles {repeated_corners, duplicates}, pieces {count, list:
[{triangles, border_edges, closed, area_ratio, length_scale,
collapsed_triangles}]},
seconds {read, parameterize, measure, write}, conformal_distortion {mean,
p95, max}, area_distortion {mean, p95, max}, length_distortion {mean, p95,
max}, method, arap_iterations and arap_converged (null without ARAP),
flipped_triangles,
collapsed_triangles, degenerate_triangles, pack_fill (null without --pack),
input, output, svg, png (null when not asked for) and warnings; numbers that
are not finite are written as null. Warnings (for example for a closed
piece, which cannot be flattened without cuts, or for a map that folds over
itself) go to standard error, and while standard error is a terminal it
also shows which stage is running.

Exit status:
  0  success
  1  unexpected internal error
  2  wrong command line, an output that is the input or the other output,
     or an output extension the command does not write
  3  the input file cannot be opened (missing, unreadable, a folder, not a
     regular file)
  4  the input is not a usable surface: unknown or corrupt format, counts
     the file cannot hold, indices out of range, non-finite coordinates, no
     triangles, fewer than two vertices
  5  the flattening failed: the solve failed (the message names the piece
     and the likely cause), a piece collapsed (its flat area below 1e-12 of
     its 3D area; a closed piece cannot be flattened without cuts, and
     'tessaplan atlas' cuts it), or, with --fail-on-fold, the map folds; no
     output is written then
  6  an output file cannot be written, or exists and is not a regular file
Errors are reported as one line on standard error.
)";

        const char* const atlas_help =
            R"(Usage: tessaplan atlas INPUT [-o OUTPUT] [--weld | --no-weld]
                       [--max-distortion X] [--padding P] [--resolution R]
                       [--no-rotate] [--max-chart-area A]
                       [--max-boundary-length L] [--texels-per-unit T]
                       [--seams FILE] [--seams-from-uv] [--charts-from-uv]
                       [--svg FILE] [--png FILE] [--uv-set N] [--json]

Cuts a triangulated surface, closed ones and ones with handles included,
into charts that are topological discs, flattens each by LSCM without a
flipped or overlapping triangle, and packs them into the unit square. The
packed atlas is checked exactly before it is written.

)";

        const char* const atlas_options =
            R"(
Options:
  -o, --output FILE     Where to write the atlas: .obj (or a name without
                        an extension), .ply, .gltf or .glb; other extensions
                        are refused. Default: <stem>-atlas.obj next to
                        INPUT.
  --weld                Join vertices at exactly the same position. Done by
                        default for STL, glTF and the formats read
                        through assimp, which split vertices per face.
  --no-weld             Keep vertices at the same position apart.
  --max-distortion X    The bound on each chart's conformal distortion
                        (95th percentile), at least 1. Default: %MAXD%.
  --padding P           Texels between charts, at least 0. Default: %PAD%.
  --resolution R        Texels along the side of the square (of each page),
                        a whole number from 16 to 16777216. Default: %RES%.
  --no-rotate           Pack each chart as it was flattened: not turned to
                        its smallest enclosing rectangle nor by quarter
                        turns. --rotate turns them. Default: %ROT%.
  --max-chart-area A    Cut any chart whose 3D area (in the input's units)
                        is above A further; a single triangle never is. 0:
                        unbounded. Default: %MCA%.
  --max-boundary-length L
                        The same for the length of a chart's border in 3D.
                        0: unbounded. Default: %MBL%.
  --texels-per-unit T   Pack the charts at T texels per unit of 3D length
                        into as many squares (pages) of R texels as they
                        need; a chart larger than a page is an error. 0:
                        the largest density that fits one square. Default:
                        %TPU%.
  --seams FILE          Edges no chart may cross: one 'a b' per line (vertex
                        numbers from 0, in the order of the input's
                        vertices, joined ones once). Charts end at them;
                        other seams are added where needed. A seam that is
                        not an edge fails the run (status 4), naming its
                        line.
  --seams-from-uv       End charts, as --seams does, where the input's own
                        texture coordinates are discontinuous (OBJ's vt,
                        PLY's vertex s and t, glTF's TEXCOORD_0, the first
                        set of the formats read through assimp). An input
                        without texture coordinates for every face fails
                        the run (status 4).
  --charts-from-uv      Keep the input's UV islands as the charts: each is
                        flattened again by LSCM, whatever its distortion
                        ('given' in the report); one that LSCM folds keeps
                        its own texture coordinates, scaled to its 3D area,
                        when they lay it flat ('kept'); one that neither
                        lays flat (a closed island, or coordinates that
                        overlap) is cut into charts as usual ('cut'). The
                        charts are then checked and packed. --max-distortion
                        and the chart size bounds apply to the cut ones
                        only; --seams and --seams-from-uv are refused.
  --svg FILE            Also draw the packed atlas as an SVG picture,
                        coloured by conformal distortion, with the charts'
                        outlines.
  --png FILE            Also draw the same picture as a PNG image, 2048
                        pixels on its longer side.
  --uv-set N            glTF input written as .gltf or .glb: the texture
                        coordinate set of the atlas, TEXCOORD_N (0 to 15;
                        default 0). Sets below N must exist.
  --json                Print the report as one JSON object instead of text.
  -h, --help            Print this help and exit.

Output: the OBJ keeps the input's vertices (full precision) and faces in
their order and writes one texture coordinate per chart corner (a vertex on
a seam has one per chart), faces as "f v/vt v/vt ..."; a polygon whose
triangles fall into different charts is written as those triangles. PLY
and glTF hold the mesh split along the seams: one vertex per chart corner,
with its texture coordinates (PLY: s and t; glTF: TEXCOORD_0 as (u, 1 - v))
and the input vertex it comes from (PLY: original_index; glTF: the
attribute _ORIGINAL_INDEX, in floats, exact below 2^24), and the
triangles. With --texels-per-unit the output must be OBJ: when the charts
need more than one page, each triangle's texture coordinates lie in [0, 1]^2
of its page and each run of faces on page N (faces keep their order)
follows a line "usemtl page_N" (Blender makes a material, and a slot, per
page; give each its page's image); an OBJ input is then not copied line by
line, and the pictures draw every page over the same square. A glTF
input written as .gltf or .glb keeps its document, each
primitive of triangles split so (its other attributes copied to the split
vertices, _ORIGINAL_INDEX its own vertex number); a mesh that several
nodes use gets a copy per node.

Report (on standard output; --json: one JSON object, numbers that are not
finite as null): triangles, charts, pages and the charts on each, seam
edges, how many charts were cut, given and kept, texels per unit, efficiency (the share of the pages the triangles
cover), conformal and area distortion (mean, p95, max),
flipped triangles, overlapping pairs, zero-area triangles, faces split at
seams and the seconds spent.

Exit status:
  0  success
  1  unexpected internal error
  2  wrong command line, an output that is the input or the other output,
     or an output extension the command does not write
  3  the input file cannot be opened
  4  the input is not a usable surface
  5  no valid atlas could be made (the message gives the cause); nothing is
     written then
  6  an output file cannot be written, or exists and is not a regular file
Errors are reported as one line on standard error.
)";
    }  // namespace

    namespace
    {
        std::string number_text(double value)
        {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%g", value);
            return buffer;
        }

        void replace(std::string& text, const std::string& mark,
                     const std::string& value)
        {
            text.replace(text.find(mark), mark.size(), value);
        }

        // The atlas command's options, with the library's defaults.
        std::string atlas_options_text()
        {
            const nodara::AtlasOptions defaults;
            std::string text = atlas_options;
            replace(text, "%MAXD%", number_text(defaults.max_distortion));
            replace(text, "%PAD%", number_text(defaults.padding));
            replace(text, "%RES%", number_text(defaults.resolution));
            replace(text, "%ROT%", defaults.rotate ? "turned" : "not turned");
            replace(text, "%MCA%", number_text(defaults.max_chart_area));
            replace(text, "%MBL%", number_text(defaults.max_boundary_length));
            replace(text, "%TPU%", number_text(defaults.texels_per_unit));
            return text;
        }
    }  // namespace

    std::string help_text(const Options& options)
    {
        if (!options.has_command)
        {
            return program_help;
        }
        if (options.command == Command::atlas)
        {
            return std::string{atlas_help} + reading_help +
                   atlas_options_text();
        }
        return std::string{flatten_help} + reading_help + flatten_options;
    }

    std::string version_text()
    {
        return std::string{"tessaplan "} + TESSAPLAN_VERSION + "\n";
    }
}  // namespace tessaplan
