#include "app/shell/ui.h"

#include <cmath>
#include <cstdlib>

namespace keelsong {

int Ui::IntValue(Panel panel, Control control) const {
    const ControlValue value = Value(panel, control);
    if (const int* i = std::get_if<int>(&value)) {
        return *i;
    }
    if (const double* d = std::get_if<double>(&value)) {
        return std::isfinite(*d) ? static_cast<int>(*d) : 0;
    }
    return std::atoi(std::get<std::string>(value).c_str());
}

double Ui::DoubleValue(Panel panel, Control control) const {
    const ControlValue value = Value(panel, control);
    if (const double* d = std::get_if<double>(&value)) {
        return *d;
    }
    if (const int* i = std::get_if<int>(&value)) {
        return *i;
    }
    return std::strtod(std::get<std::string>(value).c_str(), nullptr);
}

std::string Ui::TextValue(Panel panel, Control control) const {
    const ControlValue value = Value(panel, control);
    if (const std::string* s = std::get_if<std::string>(&value)) {
        return *s;
    }
    if (const int* i = std::get_if<int>(&value)) {
        return std::to_string(*i);
    }
    return std::to_string(std::get<double>(value));
}

}  // namespace keelsong
