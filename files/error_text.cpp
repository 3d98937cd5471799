#include "files/error_text.h"

#include <cstring>

namespace orvalin {

std::string errorText(int errnoValue) {
    return std::strerror(errnoValue);
}

}  // namespace orvalin
