// Angle constants shared by the host and plug-ins: pi and the degree / radian
// factors, in float (the working precision of shading and line drawing) and
// in double. Each is defined once here so that every conversion of the same
// angle gives the same bits everywhere; saved images depend on that.
#pragma once

#include <numbers>

inline constexpr float kPi = std::numbers::pi_v<float>;
inline constexpr float kTwoPi = 2.0f * kPi;
// Multiply degrees by this for radians, and radians by kRadToDeg for degrees.
inline constexpr float kDegToRad = kPi / 180.0f;
inline constexpr float kRadToDeg = 180.0f / kPi;

inline constexpr double kPiD = std::numbers::pi;
inline constexpr double kTwoPiD = 2.0 * kPiD;
inline constexpr double kDegToRadD = kPiD / 180.0;
inline constexpr double kRadToDegD = 180.0 / kPiD;

// The float factors are the rounded decimal values stored settings and
// images were made with; kRadToDeg is not the double factor rounded to float
// (that differs in the last bit).
static_assert(kDegToRad == 0.017453292f && kDegToRad == 0.017453292519943295f);
static_assert(kRadToDeg == 57.295776f && kRadToDeg != static_cast<float>(kRadToDegD));
