#pragma once

#include <string>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <tessaplan/lscm_statistics.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A vertex pinned by the caller at a chosen position of the plane.
    struct VertexPin
    {
        index_t vertex{0};
        Point<2> position;
    };

    /// A caller's pin that cannot be used; the message names it
    /// ("[solve_LSCM] Pin k ...").
    class PinError : public InvalidInputException
    {
    public:
        PinError(const std::string& message, std::size_t pin)
            : InvalidInputException(message), pin_(pin)
        {
        }
        /// The pin's place in the caller's list, counting from 0.
        std::size_t pin() const { return pin_; }

    private:
        std::size_t pin_;
    };

    /// What one least squares conformal map computation produced.
    struct LSCMSolution
    {
        /// The map, one point per vertex: map[v] is the image of vertex v.
        std::vector<Point<2>> map;
        /// The pinned vertices, two per piece in piece order, a vertex
        /// shared by pieces named once.
        std::vector<index_t> pinned_vertices;
        /// How long each step took and what the solver did.
        LSCMStatistics statistics;
    };

    /// Computes a least squares conformal map of `surface` into the plane.
    /// Each piece of the surface (triangles joined through edges of exactly
    /// two triangles) is oriented consistently and gets two pinned vertices
    /// at their projections onto the surface's mean plane (a vertex shared
    /// with an earlier piece counts as one of them); every other vertex gets
    /// the least-squares solution, and a vertex in no triangle keeps its
    /// projection. Returns the map with its pinned vertices and statistics;
    /// the surface, its attributes included, is not changed.
    ///
    /// Needs at least two vertices, every piece orientable and not all of
    /// its vertices projecting onto one point, a surface whose triangle
    /// normals do not cancel out, and counts that fit the solver's index
    /// types. Every point of the map it returns is finite. Throws
    /// InvalidInputException otherwise, naming the operation: a piece that
    /// cannot be oriented ("[LSCM::LSCM] Cannot orient piece ..."), no mean
    /// plane ("[LSCM::pin_vertices] Cannot find a mean plane: ..."), a piece
    /// whose vertices all project onto one point, counts too large; and
    /// ComputationException for a failed solve ("[LSCM::solve] Solving
    /// failed") or a map whose coordinates would not be finite.
    LSCMSolution solve_LSCM(const TriangulatedSurface<3>& surface);

    /// Computes the least squares conformal map of `surface` with the
    /// caller's pins: a piece holding two or more of `pins` is pinned at
    /// exactly those (and the vertices it shares with earlier pieces), one
    /// holding one gets one more pin as solve_LSCM chooses them (the
    /// extreme of its projections farther from the given pin, at its
    /// projection), one holding none is pinned as solve_LSCM pins it. Every
    /// given pin keeps its position; the other vertices get the
    /// least-squares solution under those constraints. The same vertex may
    /// be given twice at one position. Same needs and exceptions as
    /// solve_LSCM, and PinError ("[solve_LSCM] Pin k ...", k counting from
    /// 0 in `pins`) for a vertex out of range, a position
    /// that is not finite, one vertex given at two positions, or two pins
    /// of one piece at one position.
    LSCMSolution solve_LSCM(const TriangulatedSurface<3>& surface,
                            absl::Span<const VertexPin> pins);

    /// The least squares conformal map of `surface`, one point per vertex:
    /// solve_LSCM(surface).map. Same needs and exceptions as solve_LSCM.
    std::vector<Point<2>> compute_LSCM_map(
        const TriangulatedSurface<3>& surface);

    /// Computes the map of compute_LSCM_map and stores it as the vertex
    /// attribute `attribute_name` of Point<2> values, creating the attribute
    /// when it is absent. Same needs as solve_LSCM, and the name must be
    /// free or hold Point<2> values. Throws VelmoraException as solve_LSCM
    /// does, and "[AttributeManager::find_or_create_attribute] ..." when the
    /// name holds an attribute of another type (nothing is written then).
    /// When the solve itself fails ("[LSCM::solve] Solving failed") the
    /// attribute holds every vertex's projection.
    void compute_LSCM_parameterization(const TriangulatedSurface<3>& surface,
                                       absl::string_view attribute_name);
}  // namespace nodara
