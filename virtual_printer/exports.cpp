// The exported entry points: one C function per entry of the driver's list,
// with the driver's exact parameter types, each passing its call on to
// HandleCall. Everything else in the library is compiled with hidden
// visibility, so these are the only symbols it exports, less those that the
// test variant being built lacks (variants.h).
#include <cstdint>
#include <type_traits>

#include "driver/entry_points.h"
#include "virtual_printer/call.h"
#include "virtual_printer/variants.h"

#if defined(_WIN32)
#define VP_EXPORT __declspec(dllexport)
#define VP_HIDDEN
#else
#define VP_EXPORT __attribute__((visibility("default")))
#define VP_HIDDEN __attribute__((visibility("hidden")))
#endif

// VP_EXPORT, or VP_HIDDEN for a name the variant lacks: VP_LACKS_<name>
// expands to "~, VP_HIDDEN" and pushes VP_HIDDEN into second place.
#define VP_SECOND(first, second, ...) second
#define VP_SECOND_OF(...) VP_SECOND(__VA_ARGS__)
#define VP_LINKAGE(name) VP_SECOND_OF(VP_LACKS_##name, VP_EXPORT, ~)

// The list names argument kinds as the driver namespace spells them.
using zentrada::driver::BufferArg;
using zentrada::driver::IntArg;
using zentrada::driver::NumberArg;
using zentrada::driver::TextArg;

// Turns a list of kinds into numbered items: VP_NUMBERED_0(m, K, L) gives
// m(K, a0), m(L, a1). Each step is its own macro, so the expansion of one
// may call the next. A list longer than 16 stops at the undefined
// VP_TOO_MANY_ARGUMENTS.
#define VP_NUMBERED_0(m, k, ...) m(k, a0) __VA_OPT__(, VP_NUMBERED_1(m, __VA_ARGS__))
#define VP_NUMBERED_1(m, k, ...) m(k, a1) __VA_OPT__(, VP_NUMBERED_2(m, __VA_ARGS__))
#define VP_NUMBERED_2(m, k, ...) m(k, a2) __VA_OPT__(, VP_NUMBERED_3(m, __VA_ARGS__))
#define VP_NUMBERED_3(m, k, ...) m(k, a3) __VA_OPT__(, VP_NUMBERED_4(m, __VA_ARGS__))
#define VP_NUMBERED_4(m, k, ...) m(k, a4) __VA_OPT__(, VP_NUMBERED_5(m, __VA_ARGS__))
#define VP_NUMBERED_5(m, k, ...) m(k, a5) __VA_OPT__(, VP_NUMBERED_6(m, __VA_ARGS__))
#define VP_NUMBERED_6(m, k, ...) m(k, a6) __VA_OPT__(, VP_NUMBERED_7(m, __VA_ARGS__))
#define VP_NUMBERED_7(m, k, ...) m(k, a7) __VA_OPT__(, VP_NUMBERED_8(m, __VA_ARGS__))
#define VP_NUMBERED_8(m, k, ...) m(k, a8) __VA_OPT__(, VP_NUMBERED_9(m, __VA_ARGS__))
#define VP_NUMBERED_9(m, k, ...) m(k, a9) __VA_OPT__(, VP_NUMBERED_10(m, __VA_ARGS__))
#define VP_NUMBERED_10(m, k, ...) m(k, a10) __VA_OPT__(, VP_NUMBERED_11(m, __VA_ARGS__))
#define VP_NUMBERED_11(m, k, ...) m(k, a11) __VA_OPT__(, VP_NUMBERED_12(m, __VA_ARGS__))
#define VP_NUMBERED_12(m, k, ...) m(k, a12) __VA_OPT__(, VP_NUMBERED_13(m, __VA_ARGS__))
#define VP_NUMBERED_13(m, k, ...) m(k, a13) __VA_OPT__(, VP_NUMBERED_14(m, __VA_ARGS__))
#define VP_NUMBERED_14(m, k, ...) m(k, a14) __VA_OPT__(, VP_NUMBERED_15(m, __VA_ARGS__))
#define VP_NUMBERED_15(m, k, ...) m(k, a15) __VA_OPT__(, VP_TOO_MANY_ARGUMENTS)

#define VP_PARAMETER(kind, argument) kind::CType argument
#define VP_ARGUMENT(kind, argument) argument

// "TextArg, IntArg" gives "TextArg::CType a0, IntArg::CType a1" and "a0, a1".
#define VP_PARAMETERS(...) __VA_OPT__(VP_NUMBERED_0(VP_PARAMETER, __VA_ARGS__))
#define VP_ARGUMENTS(...) __VA_OPT__(VP_NUMBERED_0(VP_ARGUMENT, __VA_ARGS__))

#define VP_DEFINE_ENTRY_POINT(name, ...)                                                            \
    extern "C" VP_LINKAGE(name) std::int32_t ZENTRADA_DRIVER_CALL name(                        \
        VP_PARAMETERS(__VA_ARGS__)) {                                                                \
        return zentrada::virtual_printer::Dispatch<__VA_ARGS__>(#name __VA_OPT__(, )                 \
                                                                     VP_ARGUMENTS(__VA_ARGS__));     \
    }                                                                                                \
    static_assert(std::is_same_v<decltype(&name), zentrada::driver::DriverFunction<__VA_ARGS__>>,   \
                  #name " does not have the type the agent calls it with");

ZENTRADA_DRIVER_ENTRY_POINTS(VP_DEFINE_ENTRY_POINT)
