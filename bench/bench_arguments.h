#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "surface_generators.h"

namespace nodara
{
    namespace bench
    {
        /// The items of a comma-separated list.
        inline std::vector<std::string> split_list(const std::string& list)
        {
            std::vector<std::string> items;
            std::stringstream stream{list};
            std::string item;
            while (std::getline(stream, item, ','))
            {
                items.push_back(item);
            }
            return items;
        }

        /// The positive whole numbers of a comma-separated list; `usage`,
        /// which ends the program, is called on any other item.
        template <typename Number>
        std::vector<Number> parse_numbers(const std::string& list,
                                          void (*usage)())
        {
            std::vector<Number> numbers;
            for (const auto& item : split_list(list))
            {
                const auto value = std::strtoul(item.c_str(), nullptr, 10);
                if (value == 0)
                {
                    usage();
                    std::exit(2);
                }
                numbers.push_back(static_cast<Number>(value));
            }
            return numbers;
        }

        /// The surface kind named "wavy" or "cap"; `usage`, which ends the
        /// program, is called on any other name.
        inline SurfaceKind kind_named(const std::string& name, void (*usage)())
        {
            if (name == "wavy")
            {
                return SurfaceKind::wavy_height_field;
            }
            if (name != "cap")
            {
                usage();
                std::exit(2);
            }
            return SurfaceKind::spherical_cap;
        }

        /// "wavy", or "wavy/47" for a surface cut into 47 pieces.
        inline std::string case_label(const std::string& kind_name,
                                      index_t pieces)
        {
            return pieces > 1 ? kind_name + "/" + std::to_string(pieces)
                              : kind_name;
        }
    }  // namespace bench
}  // namespace nodara
