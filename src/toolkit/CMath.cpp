// CMath: the toolkit's plane geometry: angle conversion and normalisation, distances,
// headings, bearings, a Gaussian weight, points along a direction and line intersections.
//
// Every constant is the toolkit's own (pi is 3.1415926, not full precision) and every
// expression is evaluated in the order written, so results agree to the last bit on every
// machine: strategies compare headings for equality and replay behaviour across platforms.
#include <cmath>

#include "Toolkit.h"

namespace {

// Keeps an exact zero denominator out of crossPoint, e.g. for a line through the origin.
const double kCrossGuard = 1e-11;

}  // namespace

extern "C" {

double toDegrees(double radians) {
    return (radians * 180.0) / TOOLKIT_PI;
}

double toRadians(double degrees) {
    return (degrees * TOOLKIT_PI) / 180.0;
}

double anglePI(double radians) {
    return std::atan2(std::sin(radians), std::cos(radians));
}

double angleDoublePI(double radians) {
    double v = anglePI(radians);
    while (v >= TOOLKIT_DOUBLE_PI) v = v - TOOLKIT_DOUBLE_PI;
    // A lifted value is not tested again: a tiny negative one becomes TOOLKIT_DOUBLE_PI itself.
    while (v < 0) v = v + TOOLKIT_DOUBLE_PI;
    return v;
}

double angle360(double degrees) {
    return toDegrees(angleDoublePI(toRadians(degrees)));
}

double distance(double x1, double y1, double x2, double y2) {
    double dx = x1 - x2;
    double dy = y1 - y2;
    return std::sqrt(dx * dx + dy * dy);
}

double heading(double x1, double y1, double x2, double y2) {
    if (distance(x1, y1, x2, y2) == 0) return 0;
    return angleDoublePI(std::atan2(y2 - y1, x2 - x1));
}

double bearing(double angle, double reference) {
    return anglePI(angleDoublePI(angle) - angleDoublePI(reference));
}

double absBearing(double angle, double reference) {
    return std::fabs(bearing(angle, reference));
}

double gaussian(double x, double k) {
    return std::exp(((-k) * x) * x);
}

void nextPoint(double x, double y, double angle, double length, double* outX, double* outY) {
    if (outX != nullptr) *outX = std::cos(angle) * length + x;
    if (outY != nullptr) *outY = std::sin(angle) * length + y;
}

// Each line is written as p·x + q·y = 1 through its two points and the pair is solved by
// Cramer's rule, with the guard added to every numerator and denominator. Parallel lines give a
// far-away point, identical lines (1, 1); callers clamp or ignore such results.
void crossPoint(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                double y4, double* outX, double* outY) {
    const double e = kCrossGuard;
    double d1 = x2 * y1 - x1 * y2 + e;
    double p1 = (y1 - y2 + e) / d1;
    double q1 = (x2 - x1 + e) / d1;
    double d2 = x4 * y3 - x3 * y4 + e;
    double p2 = (y3 - y4 + e) / d2;
    double q2 = (x4 - x3 + e) / d2;
    if (outX != nullptr) *outX = (q1 - q2 + e) / (p2 * q1 - p1 * q2 + e);
    if (outY != nullptr) *outY = (p1 - p2 + e) / (q2 * p1 - q1 * p2 + e);
}

}  // extern "C"
