#include <stdexcept>

#include <gtest/gtest.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr const char* kCreateMessage =
            "[AttributeManager::find_or_create_attribute] Do not instantiate "
            "an attribute if an instantiated attribute of the same name with "
            "different storage already exists.";
        constexpr const char* kFindMessage =
            "[AttributeManager::find_attribute] You have to create an "
            "attribute before using it. See find_or_create_attribute method "
            "and derived classes of ReadOnlyAttribute.";

        // A Point<2> attribute of another storage kind: one shared value.
        class ConstantPointAttribute : public ReadOnlyAttribute<Point<2>>
        {
        public:
            ConstantPointAttribute(Point<2> value, AttributeFlags)
                : value_(value)
            {
            }
            float float_value(index_t) const override { return 0; }
            float float_item_value(index_t, local_index_t) const override
            {
                return 0;
            }
            bool has_float_values() const override { return true; }
            local_index_t nb_float_items() const override { return 2; }
            absl::string_view value_type_name() const override { return ""; }
            std::shared_ptr<AttributeBase> clone() const override
            {
                return std::make_shared<ConstantPointAttribute>(value_,
                                                                flags());
            }
            void copy_from(const AttributeBase&, index_t) override {}
            void resize(index_t) override {}
            void reserve(index_t) override {}
            void remove_elements(const std::vector<bool>&) override {}
            void reorder_elements(absl::Span<const index_t>) override {}
            void interpolate_value(const AttributeLinearInterpolation&,
                                   index_t) override
            {
            }
            void copy_value(index_t, index_t) override {}
            const Point<2>& value(index_t) const override { return value_; }

        private:
            Point<2> value_;
        };

        template <typename Call>
        void expect_message(Call call, const char* message)
        {
            try
            {
                call();
                FAIL() << "expected: " << message;
            }
            catch (const VelmoraException& error)
            {
                EXPECT_STREQ(error.what(), message);
            }
        }

        std::shared_ptr<VariableAttribute<Point<2>>> point_attribute(
            AttributeManager& manager, absl::string_view name,
            Point<2> default_value = Point<2>{})
        {
            return find_or_create_attribute<VariableAttribute, Point<2>>(
                manager, name, default_value, {true, false});
        }
    }  // namespace

    TEST(FindOrCreateAttribute, CreatesOneValuePerVertexAndReusesIt)
    {
        const auto square = testing::make_unit_square();
        auto& manager = square->vertex_attribute_manager();
        const auto created = point_attribute(manager, "uv");
        ASSERT_EQ(created->nb_values(), 4u);
        for (index_t v = 0; v < 4; ++v)
        {
            EXPECT_EQ(created->value(v), Point<2>{});
        }
        EXPECT_TRUE(created->flags().assignable);
        EXPECT_FALSE(created->flags().transferable);
        created->set_value(1, Point<2>{{3, 4}});

        const auto again =
            find_or_create_attribute<VariableAttribute, Point<2>>(
                manager, "uv", Point<2>{{7, 7}}, {false, true});
        EXPECT_EQ(again, created);
        EXPECT_EQ(again->value(1), (Point<2>{{3, 4}}));
        EXPECT_EQ(again->default_value(), Point<2>{});
        EXPECT_TRUE(again->flags().assignable);
    }

    TEST(FindOrCreateAttribute, RefusesANameHeldByAnotherValueType)
    {
        const auto square = testing::make_unit_square();
        auto& manager = square->vertex_attribute_manager();
        const auto scalars =
            find_or_create_attribute<VariableAttribute, double>(manager, "uv",
                                                                1.5, {});
        expect_message([&] { point_attribute(manager, "uv"); }, kCreateMessage);
        EXPECT_EQ(manager.find_attribute_base("uv"), scalars);
        EXPECT_EQ(manager.attribute_names().size(), 1u);
    }

    TEST(FindAttribute, FindsAnyPointStorageAndRefusesTheRest)
    {
        const auto square = testing::make_unit_square();
        auto& manager = square->vertex_attribute_manager();
        expect_message([&] { find_attribute<Point<2>>(manager, "none"); },
                       kFindMessage);
        find_or_create_attribute<VariableAttribute, double>(manager, "d", 0.0,
                                                            {});
        expect_message([&] { find_attribute<Point<2>>(manager, "d"); },
                       kFindMessage);
        manager.register_attribute(std::make_shared<ConstantPointAttribute>(
                                       Point<2>{{1, 2}}, AttributeFlags{}),
                                   "constant");
        EXPECT_EQ(find_attribute<Point<2>>(manager, "constant")->value(3),
                  (Point<2>{{1, 2}}));
        // Another storage kind of Point<2> still blocks find_or_create.
        expect_message([&] { point_attribute(manager, "constant"); },
                       kCreateMessage);
    }

    TEST(VariableAttribute, GrowsByDoublingAndReservesExactly)
    {
        VariableAttribute<Point<2>> attribute{Point<2>{{5, 6}}, {}};
        EXPECT_EQ(attribute.capacity(), 10u);
        attribute.resize(10);
        EXPECT_EQ(attribute.capacity(), 10u);
        attribute.resize(11);
        EXPECT_EQ(attribute.capacity(), 20u);
        EXPECT_EQ(attribute.value(10), (Point<2>{{5, 6}}));

        VariableAttribute<Point<2>> large{Point<2>{}, {}};
        large.resize(25);
        EXPECT_EQ(large.capacity(), 25u);
        large.reserve(30);
        EXPECT_EQ(large.capacity(), 30u);
        large.reserve(12);
        EXPECT_EQ(large.capacity(), 30u);
        large.resize(3);
        EXPECT_EQ(large.nb_values(), 3u);
    }

    TEST(VariableAttribute, BoundsCheckedAccessChangesNothing)
    {
        VariableAttribute<Point<2>> attribute{Point<2>{}, {}};
        attribute.resize(2);
        attribute.set_value(1, Point<2>{{1, 1}});
        EXPECT_THROW(attribute.value(2), std::out_of_range);
        EXPECT_THROW(attribute.set_value(2, Point<2>{{9, 9}}),
                     std::out_of_range);
        EXPECT_EQ(attribute.nb_values(), 2u);
        EXPECT_EQ(attribute.value(1), (Point<2>{{1, 1}}));
    }

    TEST(AttributeManager, KeepsRegisteredAttributesSizedToTheVertices)
    {
        auto square = testing::make_unit_square();
        const auto attribute =
            point_attribute(square->vertex_attribute_manager(), "uv");
        TriangulatedSurfaceBuilder<3> builder{*square};
        builder.create_vertices(7);
        EXPECT_EQ(attribute->nb_values(), 11u);
        EXPECT_EQ(attribute->value(10), Point<2>{});
    }
}  // namespace nodara
