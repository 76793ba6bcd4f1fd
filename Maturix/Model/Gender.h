#pragma once

// Sex codes shared by records, reference queries, height prediction, the
// chart's range and the link messages.
namespace Gender {
constexpr int Unspecified = 0;
constexpr int Male = 1;
constexpr int Female = 2;
} // namespace Gender
