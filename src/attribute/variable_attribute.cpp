#include <tessaplan/attribute/variable_attribute.h>

namespace nodara
{
    template class VariableAttribute<double>;
    template class VariableAttribute<Point<2>>;
    template class VariableAttribute<Point<3>>;
}  // namespace nodara
