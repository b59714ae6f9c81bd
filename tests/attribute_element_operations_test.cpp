#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include <velmora/basic/attribute_manager.h>

#include <tessaplan/attribute/variable_attribute.h>

namespace nodara
{
    namespace
    {
        using PointAttribute = VariableAttribute<Point<2>>;

        Point<2> p(double x, double y)
        {
            return Point<2>{{x, y}};
        }

        // An attribute holding `values`, default (0, 0), flags (set, clear).
        std::shared_ptr<PointAttribute> make_attribute(
            const std::vector<Point<2>>& values)
        {
            auto attribute =
                std::make_shared<PointAttribute>(Point<2>{}, AttributeFlags{});
            attribute->resize(static_cast<index_t>(values.size()));
            for (index_t i = 0; i < values.size(); ++i)
            {
                attribute->set_value(i, values[i]);
            }
            return attribute;
        }

        std::vector<Point<2>> values_of(const PointAttribute& attribute)
        {
            std::vector<Point<2>> values;
            for (index_t i = 0; i < attribute.nb_values(); ++i)
            {
                values.push_back(attribute.value(i));
            }
            return values;
        }

        // n distinct values.
        std::vector<Point<2>> distinct_values(index_t n)
        {
            std::vector<Point<2>> values;
            for (index_t i = 0; i < n; ++i)
            {
                values.push_back(p(i, -0.5 * i));
            }
            return values;
        }

        const std::vector<Point<2>> kABCD{p(1, 2), p(3, 4), p(5, 6), p(7, 8)};
    }  // namespace

    TEST(AttributeElementOperations, RemoveElementsKeepsTheOthersInOrder)
    {
        auto attribute = make_attribute(kABCD);
        attribute->remove_elements({false, false, false, false});
        EXPECT_EQ(values_of(*attribute), kABCD);

        attribute->remove_elements({false, true, false, true});
        EXPECT_EQ(values_of(*attribute),
                  (std::vector<Point<2>>{kABCD[0], kABCD[2]}));

        attribute->remove_elements({true, true});
        EXPECT_EQ(attribute->nb_values(), 0u);

        // Runs of removed elements of every length, against a plain filter.
        std::mt19937 random{9};
        const auto values = distinct_values(200);
        for (const double share : {0.1, 0.5, 0.9})
        {
            std::bernoulli_distribution flag{share};
            std::vector<bool> to_remove;
            std::vector<Point<2>> expected;
            for (const auto& value : values)
            {
                to_remove.push_back(flag(random));
                if (!to_remove.back())
                {
                    expected.push_back(value);
                }
            }
            auto filtered = make_attribute(values);
            filtered->remove_elements(to_remove);
            EXPECT_EQ(values_of(*filtered), expected) << share;
        }
    }

    TEST(AttributeElementOperations, RemoveElementsRefusesAWrongFlagCount)
    {
        auto attribute = make_attribute(kABCD);
        EXPECT_THROW(attribute->remove_elements({true, false, true}),
                     VelmoraException);
        EXPECT_THROW(
            attribute->remove_elements({true, false, true, false, false}),
            VelmoraException);
        EXPECT_EQ(values_of(*attribute), kABCD);
    }

    TEST(AttributeElementOperations, ReorderElementsFollowsTheOrder)
    {
        auto attribute = make_attribute({kABCD[0], kABCD[1], kABCD[2]});
        const std::vector<index_t> order{2, 0, 1};
        attribute->reorder_elements(order);
        EXPECT_EQ(values_of(*attribute),
                  (std::vector<Point<2>>{kABCD[2], kABCD[0], kABCD[1]}));

        // Random permutations have cycles of many lengths and fixed points;
        // the result must match a plain copy through the order.
        std::mt19937 random{5};
        for (const index_t n : {1u, 2u, 7u, 64u, 301u})
        {
            const auto values = distinct_values(n);
            std::vector<index_t> permutation(n);
            std::iota(permutation.begin(), permutation.end(), 0);
            for (int round = 0; round < 4; ++round)
            {
                std::shuffle(permutation.begin(), permutation.end(), random);
                if (round == 3 && n > 2)
                {
                    // Mostly fixed points with one swap.
                    std::iota(permutation.begin(), permutation.end(), 0);
                    std::swap(permutation[0], permutation[n - 1]);
                }
                auto shuffled = make_attribute(values);
                shuffled->reorder_elements(permutation);
                std::vector<Point<2>> expected;
                for (const auto old : permutation)
                {
                    expected.push_back(values[old]);
                }
                ASSERT_EQ(values_of(*shuffled), expected)
                    << n << " values, round " << round;
            }
        }
    }

    TEST(AttributeElementOperations, ReorderElementsRefusesANonPermutation)
    {
        auto attribute = make_attribute(kABCD);
        const std::vector<std::vector<index_t>> bad{{0, 1, 2},
                                                    {0, 1, 2, 3, 4},
                                                    {0, 1, 1, 3},
                                                    {0, 1, 2, 4},
                                                    {3, 2, 1, NO_ID}};
        for (const auto& order : bad)
        {
            EXPECT_THROW(attribute->reorder_elements(order), VelmoraException);
            EXPECT_EQ(values_of(*attribute), kABCD);
        }
    }

    TEST(AttributeElementOperations, InterpolateValueSumsWeightedValues)
    {
        auto attribute = make_attribute({p(0, 0), p(2, 4), p(9, 9)});
        AttributeLinearInterpolation mean;
        mean.indices = {0, 1};
        mean.weights = {0.5, 0.5};
        attribute->interpolate_value(mean, 2);
        EXPECT_EQ(attribute->value(2), p(1, 2));

        AttributeLinearInterpolation skewed;
        skewed.indices = {1, 2};
        skewed.weights = {0.25, 2.0};
        attribute->interpolate_value(skewed, 0);
        EXPECT_EQ(attribute->value(0), p(0.5 + 2.0, 1.0 + 4.0));

        attribute->interpolate_value(AttributeLinearInterpolation{}, 1);
        EXPECT_EQ(attribute->value(1), p(0, 0));
    }

    TEST(AttributeElementOperations, InterpolateValueChecksIndices)
    {
        const std::vector<Point<2>> values{p(1, 1), p(2, 2)};
        auto attribute = make_attribute(values);
        AttributeLinearInterpolation past_end;
        past_end.indices = {0, 2};
        past_end.weights = {0.5, 0.5};
        EXPECT_THROW(attribute->interpolate_value(past_end, 1),
                     std::out_of_range);
        AttributeLinearInterpolation fine;
        fine.indices = {0};
        fine.weights = {3.0};
        EXPECT_THROW(attribute->interpolate_value(fine, 2), std::out_of_range);
        EXPECT_EQ(values_of(*attribute), values);
    }

    TEST(AttributeElementOperations, ReadsValuesAsFloats)
    {
        const auto attribute = make_attribute({p(1.5, -2.25), p(0.1, 1e300)});
        EXPECT_TRUE(attribute->has_float_values());
        EXPECT_EQ(attribute->nb_float_items(), 2u);
        EXPECT_EQ(attribute->float_value(0), 1.5f);
        EXPECT_EQ(attribute->float_item_value(0, 0), 1.5f);
        EXPECT_EQ(attribute->float_item_value(0, 1), -2.25f);
        EXPECT_EQ(attribute->float_value(1), static_cast<float>(0.1));
        EXPECT_EQ(attribute->float_item_value(1, 1), static_cast<float>(1e300));
        EXPECT_EQ(attribute->value_type_name(),
                  absl::string_view{typeid(Point<2>).name()});

        EXPECT_THROW(attribute->float_value(2), std::out_of_range);
        EXPECT_THROW(attribute->float_item_value(0, 2), std::out_of_range);
        // The element is checked before the item.
        try
        {
            attribute->float_item_value(0, 2);
            FAIL();
        }
        catch (const std::out_of_range& item_error)
        {
            try
            {
                attribute->float_item_value(2, 2);
                FAIL();
            }
            catch (const std::out_of_range& element_error)
            {
                EXPECT_STRNE(item_error.what(), element_error.what());
            }
        }
    }

    TEST(AttributeElementOperations, CopyFromTakesDefaultAndFirstValues)
    {
        auto source = std::make_shared<PointAttribute>(
            p(7, 8), AttributeFlags{false, true});
        source->resize(4);
        for (index_t i = 0; i < 4; ++i)
        {
            source->set_value(i, kABCD[i]);
        }
        const std::vector<Point<2>> own{p(-1, -1), p(-2, -2)};

        auto target = make_attribute(own);
        target->copy_from(*source, 0);
        EXPECT_EQ(target->default_value(), p(7, 8));
        EXPECT_EQ(values_of(*target), own);
        EXPECT_TRUE(target->flags().assignable);
        EXPECT_FALSE(target->flags().transferable);

        target->copy_from(*source, 3);
        EXPECT_EQ(values_of(*target),
                  (std::vector<Point<2>>{kABCD[0], kABCD[1], kABCD[2]}));
        EXPECT_TRUE(target->flags().assignable);
        target->resize(4);
        EXPECT_EQ(target->value(3), p(7, 8));

        // From itself: keeps its first values.
        target->copy_from(*target, 2);
        EXPECT_EQ(values_of(*target),
                  (std::vector<Point<2>>{kABCD[0], kABCD[1]}));
    }

    TEST(AttributeElementOperations, CopyFromFailsWithoutChanges)
    {
        const std::vector<Point<2>> own{p(-1, -1), p(-2, -2)};
        auto target = make_attribute(own);
        VariableAttribute<double> scalars{4.0, {}};
        scalars.resize(3);
        VariableAttribute<Point<3>> points{Point<3>{{1, 1, 1}}, {}};
        points.resize(3);
        EXPECT_THROW(target->copy_from(scalars, 0), std::bad_cast);
        EXPECT_THROW(target->copy_from(points, 2), std::bad_cast);
        auto short_source =
            std::make_shared<PointAttribute>(p(5, 5), AttributeFlags{});
        short_source->resize(1);
        EXPECT_THROW(target->copy_from(*short_source, 2), std::out_of_range);
        EXPECT_EQ(values_of(*target), own);
        EXPECT_EQ(target->default_value(), Point<2>{});
    }

    TEST(AttributeElementOperations, CloneIsIndependent)
    {
        auto original = std::make_shared<PointAttribute>(
            Point<2>{}, AttributeFlags{true, false});
        original->resize(3);
        for (index_t i = 0; i < 3; ++i)
        {
            original->set_value(i, kABCD[i]);
        }
        const auto base = original->clone();
        const auto clone = std::dynamic_pointer_cast<PointAttribute>(base);
        ASSERT_TRUE(clone);
        EXPECT_NE(clone, original);
        EXPECT_EQ(base.use_count(), 2);
        EXPECT_TRUE(clone->flags().assignable);
        EXPECT_FALSE(clone->flags().transferable);
        EXPECT_EQ(clone->default_value(), Point<2>{});
        EXPECT_EQ(values_of(*clone), values_of(*original));
        EXPECT_EQ(clone->capacity(), 10u);

        original->set_value(0, p(100, 100));
        clone->set_value(1, p(200, 200));
        clone->resize(5);
        EXPECT_EQ(original->value(1), kABCD[1]);
        EXPECT_EQ(original->nb_values(), 3u);
        EXPECT_EQ(clone->value(0), kABCD[0]);

        // A clone of many values holds them all.
        const auto large = make_attribute(distinct_values(50));
        const auto large_clone =
            std::dynamic_pointer_cast<PointAttribute>(large->clone());
        EXPECT_EQ(values_of(*large_clone), values_of(*large));
    }

    TEST(AttributeElementOperations, CopyValueIsBoundsChecked)
    {
        auto attribute = make_attribute(kABCD);
        attribute->copy_value(3, 1);
        attribute->copy_value(2, 2);
        EXPECT_EQ(
            values_of(*attribute),
            (std::vector<Point<2>>{kABCD[0], kABCD[3], kABCD[2], kABCD[3]}));
        const auto before = values_of(*attribute);
        EXPECT_THROW(attribute->copy_value(4, 0), std::out_of_range);
        EXPECT_THROW(attribute->copy_value(0, 4), std::out_of_range);
        EXPECT_EQ(values_of(*attribute), before);
    }

    TEST(AttributeManagerElementOperations, AppliesToEveryAttribute)
    {
        AttributeManager manager;
        manager.resize(4);
        auto points = make_attribute({});
        auto scalars =
            std::make_shared<VariableAttribute<double>>(0.0, AttributeFlags{});
        manager.register_attribute(points, "points");
        manager.register_attribute(scalars, "scalars");
        for (index_t i = 0; i < 4; ++i)
        {
            points->set_value(i, kABCD[i]);
            scalars->set_value(i, 10.0 * i);
        }

        AttributeManager copy;
        copy.copy(manager);
        EXPECT_EQ(copy.nb_elements(), 4u);
        const auto copied = std::dynamic_pointer_cast<PointAttribute>(
            copy.find_attribute_base("points"));
        ASSERT_TRUE(copied);
        EXPECT_NE(copied, points);
        EXPECT_EQ(values_of(*copied), kABCD);

        const std::vector<index_t> order{3, 1, 0, 2};
        manager.reorder_elements(order);
        EXPECT_EQ(
            values_of(*points),
            (std::vector<Point<2>>{kABCD[3], kABCD[1], kABCD[0], kABCD[2]}));
        EXPECT_EQ(scalars->value(0), 30.0);
        EXPECT_EQ(values_of(*copied), kABCD);

        AttributeLinearInterpolation mean;
        mean.indices = {0, 2};
        mean.weights = {0.5, 0.5};
        manager.interpolate_attribute_value(mean, 1);
        EXPECT_EQ(points->value(1), (kABCD[3] + kABCD[0]) * 0.5);
        EXPECT_EQ(scalars->value(1), 15.0);

        manager.copy_attribute_value(3, 0);
        EXPECT_EQ(points->value(0), kABCD[2]);
        EXPECT_EQ(scalars->value(0), 20.0);

        manager.remove_elements({true, false, false, true});
        EXPECT_EQ(manager.nb_elements(), 2u);
        EXPECT_EQ(points->nb_values(), 2u);
        EXPECT_EQ(scalars->nb_values(), 2u);
        EXPECT_EQ(scalars->value(0), 15.0);
        EXPECT_EQ(scalars->value(1), 0.0);
    }

    TEST(AttributeManagerElementOperations, BadArgumentsChangeNothing)
    {
        AttributeManager empty;
        empty.resize(3);
        // Checked even with no attribute to apply it to.
        EXPECT_THROW(empty.reorder_elements(std::vector<index_t>{0, 0, 1}),
                     VelmoraException);

        AttributeManager manager;
        manager.resize(4);
        auto points = make_attribute({});
        manager.register_attribute(points, "points");
        for (index_t i = 0; i < 4; ++i)
        {
            points->set_value(i, kABCD[i]);
        }
        EXPECT_THROW(manager.remove_elements({true, false}), VelmoraException);
        EXPECT_THROW(manager.reorder_elements(std::vector<index_t>{0, 1, 2}),
                     VelmoraException);
        EXPECT_THROW(manager.reorder_elements(std::vector<index_t>{0, 1, 2, 2}),
                     VelmoraException);
        AttributeLinearInterpolation past_end;
        past_end.indices = {0, 4};
        past_end.weights = {0.5, 0.5};
        EXPECT_THROW(manager.interpolate_attribute_value(past_end, 1),
                     VelmoraException);
        AttributeLinearInterpolation missing_weight;
        missing_weight.indices = {0, 1};
        missing_weight.weights = {1.0};
        EXPECT_THROW(manager.interpolate_attribute_value(missing_weight, 1),
                     VelmoraException);
        EXPECT_THROW(manager.copy_attribute_value(4, 0), VelmoraException);
        EXPECT_THROW(manager.copy_attribute_value(0, 4), VelmoraException);
        EXPECT_EQ(manager.nb_elements(), 4u);
        EXPECT_EQ(values_of(*points), kABCD);
    }
}  // namespace nodara
