// SPDX-License-Identifier: MIT
// Prints a table row by its name, so test listings show "PortName" rather
// than the row's bytes. A test file brings it in with
// `using lumivane::test::PrintTo;` in the namespace of its rows.
#pragma once

#include <ostream>

#include "tests/support/driver_caller.h"

namespace lumivane::test {

template <typename Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

inline void PrintTo(CallerKind kind, std::ostream* os) {
  *os << KindName(kind);
}

}  // namespace lumivane::test
