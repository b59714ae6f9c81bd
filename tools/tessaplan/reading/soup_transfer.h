#pragma once

#include <string>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// `soup` as bytes, to hand from a reading process to its parent.
    std::string encode_soup(const PolygonSoup& soup);

    /// The soup that encode_soup made `bytes` from. Nothing in `bytes` is
    /// trusted: throws CliError (invalid_input) when it is cut short, too
    /// long or claims counts it does not hold.
    PolygonSoup decode_soup(const std::string& bytes, const std::string& path);
}  // namespace tessaplan
