#pragma once

#include <istream>
#include <string>

namespace tessaplan
{
    /// Whether `file` (read from its start; its position afterwards is
    /// undefined) is a text OFF file whose vertices carry colours (COFF,
    /// CNOFF, STCOFF...).
    bool is_text_off_with_colours(std::istream& file);

    /// The text of such a file as plain OFF: the keyword "OFF", and of each
    /// vertex line its first three numbers, the rest as it stands. CGAL's
    /// reader takes a colour from where it should be on a line without
    /// looking whether the line holds it; the atlas needs none. Throws
    /// CliError (invalid_input) for a header of another dimension (4OFF,
    /// nOFF), and for a file that ends before its vertices or has a vertex
    /// line of fewer than three numbers.
    std::string off_without_colours(std::istream& file,
                                    const std::string& path);
}  // namespace tessaplan
