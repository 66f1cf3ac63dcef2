// A command is a row of a family table: its code, its name (which is also
// the driver entry point it calls) and the kinds of the driver's arguments in
// the driver's order. Parameters are taken from the command line in order for
// the input kinds; output kinds are areas the handler provides, and their
// contents follow the status in the response record, in the same order.
//
// ZENTRADA_ROW checks at compile time that the row's kinds fit the entry
// point's argument list, so a row that disagrees with its binding slot does
// not build.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "driver/binding.h"

namespace zentrada::commands {

enum class KindId : std::uint8_t { Text, Int, Bool, Char, Out, OutInt, OutFlag };

// Parameter kinds (taken from the command line).
struct Text {
    static constexpr KindId id = KindId::Text;
};
struct Int {
    static constexpr KindId id = KindId::Int;
};
struct Bool {
    static constexpr KindId id = KindId::Bool;
};
struct Char {
    static constexpr KindId id = KindId::Char;
};
// Output kinds (provided by the handler, filled by the driver).
template <int N>
struct Out {
    static constexpr KindId id = KindId::Out;
    static constexpr int size = N;
};
struct OutInt {
    static constexpr KindId id = KindId::OutInt;
};
// A number written to the response as "S" (non-zero) or "N" (zero).
struct OutFlag {
    static constexpr KindId id = KindId::OutFlag;
};

struct KindSpec {
    KindId id = KindId::Text;
    int size = 0;  // bytes of an Out buffer
};

inline constexpr bool IsParameter(KindId id) {
    return id == KindId::Text || id == KindId::Int || id == KindId::Bool || id == KindId::Char;
}

// One driver argument as the frame prepares it.
struct DriverArgument {
    const char* text = nullptr;
    std::int32_t value = 0;
    char* buffer = nullptr;
    std::int32_t* number = nullptr;
};

enum class RowRule : std::uint8_t {
    Normal,
    NeverExecuted,  // answered as a wrong parameter count, never called
    SetsDriverLog,  // also sets the driver log kept by the idle poll
};

inline constexpr int kMaxDriverArguments = 16;
// The output buffers of one command together; the frame keeps them on its stack.
inline constexpr int kMaxOutputBytes = 6000;

struct CommandRow {
    std::int32_t code = 0;
    const char* name = nullptr;
    RowRule rule = RowRule::Normal;
    int parameterCount = 0;
    int kindCount = 0;
    std::array<KindSpec, kMaxDriverArguments> kinds{};
    // Calls the bound entry point with the prepared arguments.
    std::int32_t (*call)(const driver::DriverBinding&, const DriverArgument*) = nullptr;
    // Whether the library has the entry point.
    bool (*resolved)(const driver::DriverBinding&) = nullptr;
};

namespace detail {

// How a row kind meets a driver argument kind.
template <typename RowKind, typename DriverKind>
struct Fits : std::false_type {};
template <>
struct Fits<Text, driver::TextArg> : std::true_type {};
template <>
struct Fits<Int, driver::IntArg> : std::true_type {};
template <>
struct Fits<Bool, driver::IntArg> : std::true_type {};
template <>
struct Fits<Char, driver::IntArg> : std::true_type {};
template <int N, int M>
struct Fits<Out<N>, driver::BufferArg<M>> : std::bool_constant<(N >= M)> {};
template <>
struct Fits<OutInt, driver::NumberArg> : std::true_type {};
template <>
struct Fits<OutFlag, driver::NumberArg> : std::true_type {};

template <typename... Kinds>
struct KindList {};

template <typename RowList, typename DriverList>
struct ListFits : std::false_type {};
template <typename... R, typename... D>
    requires(sizeof...(R) == sizeof...(D))
struct ListFits<KindList<R...>, KindList<D...>> : std::bool_constant<(Fits<R, D>::value && ...)> {};

template <typename Kind>
auto Argument(const DriverArgument& a) {
    if constexpr (Kind::id == KindId::Text) return a.text;
    else if constexpr (Kind::id == KindId::Out) return a.buffer;
    else if constexpr (Kind::id == KindId::OutInt || Kind::id == KindId::OutFlag) return a.number;
    else return a.value;
}

template <auto Slot, typename... Kinds, std::size_t... I>
std::int32_t CallWith(const driver::DriverBinding& binding, const DriverArgument* args,
                      std::index_sequence<I...>) {
    return (binding.*Slot)(Argument<Kinds>(args[I])...);
}

template <auto Slot, typename... Kinds>
std::int32_t Call(const driver::DriverBinding& binding, [[maybe_unused]] const DriverArgument* args) {
    return CallWith<Slot, Kinds...>(binding, args, std::index_sequence_for<Kinds...>{});
}

template <auto Slot>
bool Resolved(const driver::DriverBinding& binding) {
    return binding.*Slot != nullptr;
}

template <typename Kind>
constexpr KindSpec SpecOf() {
    if constexpr (Kind::id == KindId::Out) return {Kind::id, Kind::size};
    else return {Kind::id, 0};
}

}  // namespace detail

// The argument kinds of each entry point, as types, for the rows' check.
namespace entry {
#define ZENTRADA_ENTRY_KINDS(name, ...)                                   \
    struct name {                                                         \
        using ArgumentKinds = ::zentrada::commands::detail::KindList<__VA_ARGS__>; \
    };
using namespace ::zentrada::driver;
ZENTRADA_DRIVER_ENTRY_POINTS(ZENTRADA_ENTRY_KINDS)
#undef ZENTRADA_ENTRY_KINDS
}  // namespace entry

template <std::int32_t Code, auto Slot, typename Entry, RowRule Rule, typename... Kinds>
constexpr CommandRow MakeRow(const char* name) {
    static_assert(detail::ListFits<detail::KindList<Kinds...>, typename Entry::ArgumentKinds>::value,
                  "the row's kinds do not fit the driver entry point's arguments");
    static_assert(sizeof...(Kinds) <= kMaxDriverArguments);
    static_assert((0 + ... + detail::SpecOf<Kinds>().size) <= kMaxOutputBytes,
                  "the row's output buffers do not fit the frame's");
    CommandRow row;
    row.code = Code;
    row.name = name;
    row.rule = Rule;
    row.kindCount = static_cast<int>(sizeof...(Kinds));
    row.kinds = {detail::SpecOf<Kinds>()...};
    row.parameterCount = static_cast<int>((0 + ... + (IsParameter(Kinds::id) ? 1 : 0)));
    row.call = &detail::Call<Slot, Kinds...>;
    row.resolved = &detail::Resolved<Slot>;
    return row;
}

}  // namespace zentrada::commands

#define ZENTRADA_ROW_WITH_RULE(rule, code, name, ...)                                              \
    ::zentrada::commands::MakeRow<code, &::zentrada::driver::DriverBinding::name,                  \
                                  ::zentrada::commands::entry::name, rule __VA_OPT__(, ) __VA_ARGS__>( \
        #name)

// A command row: code, entry point name, argument kinds in the driver's order.
#define ZENTRADA_ROW(code, name, ...) \
    ZENTRADA_ROW_WITH_RULE(::zentrada::commands::RowRule::Normal, code, name __VA_OPT__(, ) __VA_ARGS__)
