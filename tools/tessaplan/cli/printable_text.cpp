#include "cli/printable_text.h"

#include <array>

namespace tessaplan
{
    namespace
    {
        bool in_range(absl::string_view text, std::size_t at, unsigned char low,
                      unsigned char high)
        {
            if (at >= text.size())
            {
                return false;
            }
            const auto c = static_cast<unsigned char>(text[at]);
            return c >= low && c <= high;
        }

        // The length of the valid UTF-8 character at `at`, 0 if there is
        // none (RFC 3629: no overlong forms, surrogates or values past
        // U+10FFFF).
        std::size_t character_length(absl::string_view text, std::size_t at)
        {
            const auto c = static_cast<unsigned char>(text[at]);
            if (c < 0x80)
            {
                return 1;
            }
            // Lead byte ranges, with the allowed range of the second byte.
            struct Lead
            {
                unsigned char low, high, second_low, second_high;
                std::size_t length;
            };
            static constexpr std::array<Lead, 7> leads{{
                {0xC2, 0xDF, 0x80, 0xBF, 2},
                {0xE0, 0xE0, 0xA0, 0xBF, 3},
                {0xE1, 0xEC, 0x80, 0xBF, 3},
                {0xED, 0xED, 0x80, 0x9F, 3},
                {0xEE, 0xEF, 0x80, 0xBF, 3},
                {0xF0, 0xF0, 0x90, 0xBF, 4},
                {0xF1, 0xF4, 0x80, 0xBF, 4},
            }};
            for (const auto& lead : leads)
            {
                if (c < lead.low || c > lead.high)
                {
                    continue;
                }
                const auto second_high = c == 0xF4
                                             ? static_cast<unsigned char>(0x8F)
                                             : lead.second_high;
                if (!in_range(text, at + 1, lead.second_low, second_high))
                {
                    return 0;
                }
                for (std::size_t k = 2; k < lead.length; ++k)
                {
                    if (!in_range(text, at + k, 0x80, 0xBF))
                    {
                        return 0;
                    }
                }
                return lead.length;
            }
            return 0;
        }

        bool is_control(absl::string_view character)
        {
            const auto c = static_cast<unsigned char>(character[0]);
            return c < 0x20 || c == 0x7F ||
                   (c == 0xC2 &&
                    static_cast<unsigned char>(character[1]) < 0xA0);
        }

        void append_escaped(std::string& out, absl::string_view bytes)
        {
            static constexpr char digits[] = "0123456789abcdef";
            for (const char byte : bytes)
            {
                const auto c = static_cast<unsigned char>(byte);
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 0xF];
            }
        }
    }  // namespace

    std::string printable(absl::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        std::size_t at = 0;
        while (at < text.size())
        {
            const auto length = character_length(text, at);
            const auto character = text.substr(at, length == 0 ? 1 : length);
            if (length == 0 || is_control(character))
            {
                append_escaped(out, character);
            }
            else
            {
                out.append(character.data(), character.size());
            }
            at += character.size();
        }
        return out;
    }
}  // namespace tessaplan
