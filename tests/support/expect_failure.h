// SPDX-License-Identifier: MIT
// EXPECT_FAILURE(statement, number): the statement throws the plug-in's
// Failure with that error number (an ErrorNumber or its int). A third
// argument, a matcher, also checks the description:
//   EXPECT_FAILURE(store.Write(...), 9102, HasSubstr("locked"));
// Anything else (no throw, another number, another exception) fails with
// what happened instead. FailureNumber is for loops that need the number.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <string>

#include "core/failure.h"

namespace lumivane::test {

// The number of the Failure the call throws, 0 if it returns.
template <typename Call>
int32_t FailureNumber(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

namespace detail {

inline const ::testing::Matcher<std::string>& AnyDescription() {
  static const ::testing::Matcher<std::string> any = ::testing::_;
  return any;
}

template <typename Call>
::testing::AssertionResult ThrowsFailure(
    Call&& call, const char* statement, int32_t number,
    const ::testing::Matcher<std::string>& description = AnyDescription()) {
  auto fails = [&] {
    return ::testing::AssertionFailure()
           << "Expected: " << statement << " fails with " << number << "\n  Actual: ";
  };
  try {
    call();
  } catch (const Failure& failure) {
    const std::string text(failure.description());
    if (failure.number() != number) {
      return fails() << "it fails with " << failure.number() << " (" << text << ")";
    }
    ::testing::StringMatchResultListener why;
    if (!description.MatchAndExplain(text, &why)) {
      return fails() << "it fails with " << number << " and the description \"" << text
                     << "\", which " << ::testing::DescribeMatcher<std::string>(description, true)
                     << (why.str().empty() ? "" : ", ") << why.str();
    }
    return ::testing::AssertionSuccess();
  } catch (const std::exception& other) {
    return fails() << "it throws another exception: " << other.what();
  } catch (...) {
    return fails() << "it throws something that is no exception";
  }
  return fails() << "it returns without a failure";
}

}  // namespace detail
}  // namespace lumivane::test

#define EXPECT_FAILURE(statement, number, ...)                                                  \
  switch (0)                                                                                    \
  case 0:                                                                                       \
  default:                                                                                      \
    if (const ::testing::AssertionResult lumivane_failure_check_ =                              \
            ::lumivane::test::detail::ThrowsFailure([&] { statement; }, #statement,             \
                                                    static_cast<int32_t>(number) __VA_OPT__(, ) \
                                                        __VA_ARGS__);                           \
        lumivane_failure_check_)                                                                \
      ;                                                                                         \
    else                                                                                        \
      GTEST_NONFATAL_FAILURE_(lumivane_failure_check_.message())
