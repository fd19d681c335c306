// Raw string values of the system's enumerations. An enumeration opts in by specialising
// EnumNames with its cases' texts in declaration order (its values must be 0, 1, 2, ...).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

template <class E>
struct EnumNames;  // static constexpr std::array<std::string_view, N> names;

template <class E>
concept NamedEnum = requires {
  EnumNames<E>::names;
};

template <NamedEnum E>
constexpr std::string_view toString(E value) {
  return EnumNames<E>::names[static_cast<std::size_t>(value)];
}

// The case whose raw value is exactly `text` (case-sensitive), or nothing.
template <NamedEnum E>
constexpr std::optional<E> enumFromString(std::string_view text) {
  const auto& names = EnumNames<E>::names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return static_cast<E>(i);
  }
  return std::nullopt;
}

// Every case, in declaration order.
template <NamedEnum E>
constexpr auto allCases() {
  constexpr std::size_t count = EnumNames<E>::names.size();
  std::array<E, count> cases{};
  for (std::size_t i = 0; i < count; ++i) cases[i] = static_cast<E>(i);
  return cases;
}

}  // namespace brimwell
