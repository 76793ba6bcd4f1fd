#pragma once

// Sex codes shared by records, reference queries, height prediction, the
// chart's range and the link messages.
namespace Gender {
constexpr int Unspecified = 0;
constexpr int Male = 1;
constexpr int Female = 2;

// The code's English name, as the command line reads and writes it.
inline const char *name(long long gender)
{
    return gender == Male ? "male" : gender == Female ? "female" : "unspecified";
}
} // namespace Gender
