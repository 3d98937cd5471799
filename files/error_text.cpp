#include "files/error_text.h"

#include <cstring>

namespace orvalin {

std::string errorText(int errnoValue) {
    return std::strerror(errnoValue);
}

Failure systemFailure(FailureKind kind, int errnoValue) {
    return {
        .kind = kind, .error = errnoValue, .text = QString::fromLocal8Bit(errorText(errnoValue))};
}

}  // namespace orvalin
