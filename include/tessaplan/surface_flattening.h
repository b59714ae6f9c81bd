#pragma once

#include <memory>
#include <string>
#include <vector>

#include <tessaplan/arap.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/solve_selection.h>
#include <tessaplan/true_size.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A piece of a surface that could not be flattened: its solve failed,
    /// or its map collapsed (flat area below collapsed_area_ratio of its 3D
    /// area). The message starts with "[flatten_surface]" and names the
    /// piece, one of its triangles and the likely cause.
    class PieceFlatteningError : public InvalidInputException
    {
    public:
        PieceFlatteningError(const std::string& message, index_t piece,
                             index_t triangle, bool closed)
            : InvalidInputException(message),
              piece_(piece),
              triangle_(triangle),
              closed_(closed)
        {
        }

        /// The piece, numbered as the flattening's distortion summary
        /// numbers them.
        index_t piece() const { return piece_; }
        /// One triangle of the piece, numbered as in the input surface.
        index_t triangle() const { return triangle_; }
        /// Whether the piece is closed (no border edge): it then cannot be
        /// flattened without cuts, which an atlas makes.
        bool closed() const { return closed_; }

    private:
        index_t piece_;
        index_t triangle_;
        bool closed_;
    };

    /// What flatten_surface minimises.
    enum struct FlatteningMethod
    {
        /// Least squares conformal maps: angles kept as well as can be.
        lscm,
        /// As rigid as possible (solve_ARAP from the LSCM map): lengths
        /// kept as well as can be, at the surface's own size.
        arap
    };

    /// How flatten_surface lays the pieces out.
    struct FlattenOptions
    {
        /// Lay the pieces side by side (pack_pieces).
        bool pack{false};
        /// What sets each piece's size (see FlatteningScale).
        FlatteningScale scale{FlatteningScale::pins};
        /// Vertices pinned at chosen positions (see solve_LSCM); with
        /// FlatteningScale::area their pieces are scaled too, so they keep
        /// their positions only with FlatteningScale::pins.
        std::vector<VertexPin> pins;
        /// The flattening's method; ARAP takes no pins and is at true size
        /// whatever `scale` says.
        FlatteningMethod method{FlatteningMethod::lscm};
    };

    /// A checked least squares conformal map of a whole surface, as the
    /// command line and the Python package compute it.
    struct SurfaceFlattening
    {
        /// One point per vertex of the input surface.
        std::vector<Point<2>> map;
        /// The triangles solved for and those left out.
        SolveSelection selection;
        /// The input without the left-out triangles (every vertex kept);
        /// null when no triangle was left out.
        std::unique_ptr<TriangulatedSurface<3>> reduced_surface;
        /// The distortion of the map on the solved surface (see
        /// solved_surface): per triangle of that surface, and its pieces.
        TriangleDistortions distortions;
        DistortionSummary summary;
        /// With packing: the pieces' boxes' share of the bounding square
        /// (see pack_pieces); 0 without.
        double pack_fill{0.0};
        /// With FlatteningMethod::arap, the iterations run and whether the
        /// energy settled before their bound; 0 and false otherwise.
        index_t arap_iterations{0};
        bool arap_converged{false};
        /// Seconds spent solving (the diagnosis of a failure included),
        /// measuring and packing.
        double solve_seconds{0.0};
        double measure_seconds{0.0};
        double pack_seconds{0.0};

        /// The surface the map was solved and measured on: the reduced
        /// surface, or `input` itself when no triangle was left out.
        const TriangulatedSurface<3>& solved_surface(
            const TriangulatedSurface<3>& input) const
        {
            return reduced_surface ? *reduced_surface : input;
        }
    };

    /// Flattens `surface` by compute_LSCM_map with the triangles that
    /// select_solved_triangles leaves out taken out of the solve, then
    /// measures the map. A surface without such triangles gets exactly the
    /// map of compute_LSCM_map. A vertex that only left-out triangles use
    /// takes the map of a vertex at the same position (as if the two were
    /// joined): a corner of its own triangle when one has a place, else the
    /// first solved vertex there; without one it keeps its projection.
    ///
    /// With `pack`, the pieces are then laid out side by side
    /// (pack_pieces on `surface`) and the packed map is what is measured,
    /// so that a piece that packing shrinks to nothing is caught.
    ///
    /// Throws PieceFlatteningError when a piece collapsed, open or closed,
    /// or when the solve failed and one piece can be blamed (a closed one,
    /// or one that fails on its own); otherwise the solve's or the
    /// packing's VelmoraException passes unchanged.
    SurfaceFlattening flatten_surface(const TriangulatedSurface<3>& surface,
                                      bool pack = false);

    /// Flattens as flatten_surface(surface, options.pack) does, with the
    /// caller's pins (solve_LSCM; PinError for a bad one); with
    /// FlatteningScale::area each group of pieces joined through vertices
    /// is first scaled about its centroid to its true size
    /// (scale_to_true_size), so that lengths in the map are lengths on the
    /// surface where the map keeps them; with FlatteningMethod::arap the
    /// LSCM map is then made as rigid as possible (solve_ARAP). Throws as
    /// flatten_surface does, solve_ARAP's exceptions, and
    /// InvalidInputException ("[flatten_surface] ...") for pins with ARAP.
    SurfaceFlattening flatten_surface(const TriangulatedSurface<3>& surface,
                                      const FlattenOptions& options);
}  // namespace nodara
