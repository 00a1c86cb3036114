// The one pattern behind every tagged variant type of the library.
//
// A tagged variant type is a struct that nests one struct per alternative (named as the
// alternative, payload as named fields), holds them in the public member
//
//     std::variant<Alternatives...> alternative;
//
// in declaration order, converts implicitly from any alternative, and defaults == and <=>.
// std::variant orders by alternative position first and then by value, and a defaulted <=>
// compares fields in declaration order, so the total order of every such type follows from its
// declaration and is never written by hand.
//
// Callers inspect a value with the standard tools on that member:
//
//     if (auto* unknown = std::get_if<GraphError::UnknownValue>(&error.alternative)) ...
//     std::holds_alternative<TileStep::Exchange>(step.alternative)
//     std::visit(overloaded{...}, kind.alternative)
#pragma once

#include <concepts>
#include <type_traits>
#include <variant>

namespace vorn::detail {

template <class T, class Variant>
struct is_alternative_of : std::false_type {};

template <class T, class... Alternatives>
struct is_alternative_of<T, std::variant<Alternatives...>>
    : std::bool_constant<(std::same_as<T, Alternatives> || ...)> {};

// True when T (after removing references and cv) is exactly one of Variant's alternatives; used
// to constrain the converting constructor so that it never competes with copy and move.
template <class T, class Variant>
concept alternative_of = is_alternative_of<std::remove_cvref_t<T>, Variant>::value;

// The usual overload set for std::visit.
template <class... Fs>
struct overloaded : Fs... {
  using Fs::operator()...;
};

}  // namespace vorn::detail
