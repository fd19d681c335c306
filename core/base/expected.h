// Expected<T, E>: either a value or the error that prevented it. The code base reports every
// recoverable failure this way; exceptions never cross a module boundary.
#pragma once

#include <cassert>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace brimwell {

template <class E>
class Unexpected {
 public:
  explicit Unexpected(E error) : error_(std::move(error)) {}
  E& error() & { return error_; }
  E&& error() && { return std::move(error_); }

 private:
  E error_;
};

template <class E>
Unexpected(E) -> Unexpected<E>;

template <class T, class E>
class [[nodiscard]] Expected {
 public:
  using value_type = T;
  using error_type = E;

  Expected(const T& value) : storage_(std::in_place_index<0>, value) {}
  Expected(T&& value) : storage_(std::in_place_index<0>, std::move(value)) {}
  template <class G>
  Expected(Unexpected<G> failure) : storage_(std::in_place_index<1>, std::move(failure).error()) {}

  bool has_value() const { return storage_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  T& value() & { return checked<0>(); }
  const T& value() const& { return checked<0>(); }
  T&& value() && { return std::move(checked<0>()); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(checked<0>()); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  E& error() & { return checked<1>(); }
  const E& error() const& { return checked<1>(); }
  E&& error() && { return std::move(checked<1>()); }

  template <class U>
  T value_or(U&& fallback) const& {
    return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
  }

  friend bool operator==(const Expected&, const Expected&) = default;

 private:
  template <std::size_t I>
  auto& checked() {
    assert(storage_.index() == I);
    return *std::get_if<I>(&storage_);
  }
  template <std::size_t I>
  const auto& checked() const {
    assert(storage_.index() == I);
    return *std::get_if<I>(&storage_);
  }

  std::variant<T, E> storage_;
};

template <class E>
class [[nodiscard]] Expected<void, E> {
 public:
  using value_type = void;
  using error_type = E;

  Expected() = default;
  template <class G>
  Expected(Unexpected<G> failure) : error_(std::move(failure).error()) {}

  bool has_value() const { return !error_.has_value(); }
  explicit operator bool() const { return has_value(); }

  E& error() & { return *error_; }
  const E& error() const& { return *error_; }
  E&& error() && { return std::move(*error_); }

  friend bool operator==(const Expected&, const Expected&) = default;

 private:
  std::optional<E> error_;
};

}  // namespace brimwell
