// One call into the virtual printer as the exported entry points hand it over:
// the entry point's name and its arguments in the driver's order, each tagged
// with its kind so one non-template function can trace and answer every call.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "driver/entry_points.h"

namespace zentrada::virtual_printer {

struct Argument {
    enum class Kind { Text, Int, Buffer, Number };

    Kind kind = Kind::Int;
    const char* text = nullptr;      // Text
    std::int32_t value = 0;          // Int
    char* buffer = nullptr;          // Buffer
    int size = 0;                    // Buffer: the bytes the library may fill
    std::int32_t* number = nullptr;  // Number
};

inline Argument Describe(driver::TextArg, const char* text) {
    return {.kind = Argument::Kind::Text, .text = text};
}
inline Argument Describe(driver::IntArg, std::int32_t value) {
    return {.kind = Argument::Kind::Int, .value = value};
}
template <int N>
Argument Describe(driver::BufferArg<N>, char* buffer) {
    return {.kind = Argument::Kind::Buffer, .buffer = buffer, .size = N};
}
inline Argument Describe(driver::NumberArg, std::int32_t* number) {
    return {.kind = Argument::Kind::Number, .number = number};
}

// Appends the call to the trace file, then answers it from the script file:
// fills the output arguments and returns the status.
std::int32_t HandleCall(const char* name, std::span<const Argument> arguments);

template <typename... Kinds>
std::int32_t Dispatch(const char* name, typename Kinds::CType... values) {
    const std::array<Argument, sizeof...(Kinds)> arguments{Describe(Kinds{}, values)...};
    return HandleCall(name, arguments);
}

}  // namespace zentrada::virtual_printer
