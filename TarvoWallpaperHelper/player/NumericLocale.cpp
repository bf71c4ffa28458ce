#include "NumericLocale.hpp"

#include <clocale>

namespace lumivo {

void useCNumericLocale() {
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace lumivo
