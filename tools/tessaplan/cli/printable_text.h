#pragma once

#include <string>

#include <absl/strings/string_view.h>

namespace tessaplan
{
    /// `text` made safe to show on a terminal or in UTF-8 XML: control
    /// characters (C0, DEL and C1) and bytes that are not part of valid
    /// UTF-8 become "\xNN" escapes; other text, valid multi-byte
    /// characters included, is kept.
    std::string printable(absl::string_view text);
}  // namespace tessaplan
