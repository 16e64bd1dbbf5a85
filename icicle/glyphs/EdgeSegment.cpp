// EdgeSegment: exact point-to-segment signed distances (closed form for lines and quadratics,
// Newton steps for cubics), the pseudo-distance beyond the ends, subdivision and scanline crossings.
#include "icicle/glyphs/EdgeSegment.h"

#include <algorithm>
#include <cmath>

namespace orvex::glyphs {

double length(Vec2 a) { return std::sqrt(dot(a, a)); }

Vec2 normalized(Vec2 a)
{
    double l = length(a);
    return l == 0 ? Vec2{} : Vec2{a.x / l, a.y / l};
}

bool SignedDistance::nearerThan(const SignedDistance& other) const
{
    double a = std::fabs(distance), b = std::fabs(other.distance);
    return a < b || (a == b && dot < other.dot);
}

namespace {

double signOf(double v) { return v > 0 ? 1.0 : -1.0; }

// Real roots of a·x² + b·x + c; a degenerate leading coefficient falls back to lower degree.
int solveQuadratic(double roots[2], double a, double b, double c)
{
    if (a == 0 || std::fabs(b) > 1e12 * std::fabs(a)) {
        if (b == 0)
            return 0;
        roots[0] = -c / b;
        return 1;
    }
    double discriminant = b * b - 4 * a * c;
    if (discriminant < 0)
        return 0;
    if (discriminant == 0) {
        roots[0] = -b / (2 * a);
        return 1;
    }
    double s = std::sqrt(discriminant);
    roots[0] = (-b + s) / (2 * a);
    roots[1] = (-b - s) / (2 * a);
    return 2;
}

// Real roots of a·x³ + b·x² + c·x + d (Cardano, trigonometric form for three real roots).
int solveCubic(double roots[3], double a, double b, double c, double d)
{
    if (a == 0 || std::fabs(b) > 1e6 * std::fabs(a))
        return solveQuadratic(roots, b, c, d);
    b /= a;
    c /= a;
    d /= a;
    double b2 = b * b;
    double q = (b2 - 3 * c) / 9;
    double r = (b * (2 * b2 - 9 * c) + 27 * d) / 54;
    double q3 = q * q * q;
    double shift = b / 3;
    if (r * r < q3) {
        double t = std::acos(std::clamp(r / std::sqrt(q3), -1.0, 1.0));
        double m = -2 * std::sqrt(q);
        const double pi = 3.14159265358979323846;
        roots[0] = m * std::cos(t / 3) - shift;
        roots[1] = m * std::cos((t + 2 * pi) / 3) - shift;
        roots[2] = m * std::cos((t - 2 * pi) / 3) - shift;
        return 3;
    }
    double u = -signOf(r) * std::cbrt(std::fabs(r) + std::sqrt(r * r - q3));
    double v = u == 0 ? 0 : q / u;
    roots[0] = (u + v) - shift;
    if (u == v || std::fabs(u - v) < 1e-12 * std::fabs(u + v)) {
        roots[1] = -0.5 * (u + v) - shift;
        return 2;
    }
    return 1;
}

Vec2 lerp(Vec2 a, Vec2 b, double t) { return a + t * (b - a); }

// The candidate nearest point at an end of a curve: distance to the end point, signed by the side
// of the end tangent, with the tangent projection as the parameter.
SignedDistance endDistance(Vec2 point, Vec2 end, Vec2 tangent, double base, double& parameter)
{
    Vec2 toPoint = point - end;
    double t2 = dot(tangent, tangent);
    parameter = base + (t2 == 0 ? 0 : dot(toPoint, tangent) / t2);
    double distance = length(toPoint);
    double cosine = distance == 0 || t2 == 0 ? 0 : std::fabs(dot(tangent, toPoint)) / (distance * std::sqrt(t2));
    return {signOf(cross(toPoint, tangent)) * distance, cosine};
}

} // namespace

Vec2 EdgeSegment::point(double t) const
{
    switch (degree) {
    case 1:
        return lerp(p[0], p[1], t);
    case 2:
        return lerp(lerp(p[0], p[1], t), lerp(p[1], p[2], t), t);
    default: {
        Vec2 a = lerp(p[0], p[1], t), b = lerp(p[1], p[2], t), c = lerp(p[2], p[3], t);
        return lerp(lerp(a, b, t), lerp(b, c, t), t);
    }
    }
}

Vec2 EdgeSegment::direction(double t) const
{
    switch (degree) {
    case 1:
        return p[1] - p[0];
    case 2: {
        Vec2 d = lerp(p[1] - p[0], p[2] - p[1], t);
        return d == Vec2{} ? p[2] - p[0] : d;
    }
    default: {
        Vec2 d = lerp(lerp(p[1] - p[0], p[2] - p[1], t), lerp(p[2] - p[1], p[3] - p[2], t), t);
        if (d == Vec2{})
            return t < 0.5 ? p[2] - p[0] : p[3] - p[1];
        return d;
    }
    }
}

SignedDistance EdgeSegment::signedDistance(Vec2 point, double& parameter) const
{
    if (degree == 1) {
        Vec2 ab = p[1] - p[0], aq = point - p[0];
        double t = dot(aq, ab) / dot(ab, ab);
        Vec2 nearEnd = (t > 0.5 ? p[1] : p[0]) - point;
        double endDist = length(nearEnd);
        parameter = t;
        if (t > 0 && t < 1) {
            double ortho = cross(aq, ab) / length(ab);
            if (std::fabs(ortho) < endDist)
                return {ortho, 0};
        }
        double cosine = endDist == 0 ? 0 : std::fabs(dot(normalized(ab), normalized(nearEnd)));
        return {signOf(cross(aq, ab)) * endDist, cosine};
    }

    double startParam, endParam;
    SignedDistance best = endDistance(point, p[0], direction(0), 0, startParam);
    parameter = startParam;
    SignedDistance atEnd = endDistance(point, end(), direction(1), 1, endParam);
    if (atEnd.nearerThan(best)) {
        best = atEnd;
        parameter = endParam;
    }

    auto consider = [&](double t) {
        if (!(t > 0 && t < 1))
            return;
        Vec2 toPoint = point - this->point(t);
        SignedDistance candidate{signOf(cross(toPoint, direction(t))) * length(toPoint), 0};
        if (candidate.nearerThan(best)) {
            best = candidate;
            parameter = t;
        }
    };

    if (degree == 2) {
        // d|B(t) - P|²/dt = 0 is a cubic in t.
        Vec2 q = p[0] - point, a = p[1] - p[0], b = p[2] - 2 * p[1] + p[0];
        double roots[3];
        int count = solveCubic(roots, dot(b, b), 3 * dot(a, b), 2 * dot(a, a) + dot(q, b), dot(q, a));
        for (int i = 0; i < count; ++i)
            consider(roots[i]);
        return best;
    }

    // Cubic: Newton steps on (B - P)·B' from several starts.
    for (int start = 0; start <= 4; ++start) {
        double t = start / 4.0;
        for (int step = 0; step < 4; ++step) {
            Vec2 q = this->point(t) - point;
            Vec2 d1 = 3 * lerp(lerp(p[1] - p[0], p[2] - p[1], t), lerp(p[2] - p[1], p[3] - p[2], t), t);
            Vec2 d2 = 6 * lerp(p[2] - 2 * p[1] + p[0], p[3] - 2 * p[2] + p[1], t);
            double denominator = dot(d1, d1) + dot(q, d2);
            if (denominator == 0)
                break;
            t -= dot(q, d1) / denominator;
            if (t <= 0 || t >= 1)
                break;
        }
        consider(t);
    }
    return best;
}

void EdgeSegment::toPseudoDistance(SignedDistance& distance, Vec2 point, double parameter) const
{
    if (parameter < 0) {
        Vec2 tangent = normalized(direction(0));
        Vec2 toPoint = point - p[0];
        if (dot(toPoint, tangent) < 0) {
            double pseudo = cross(toPoint, tangent);
            if (std::fabs(pseudo) <= std::fabs(distance.distance))
                distance = {pseudo, 0};
        }
    } else if (parameter > 1) {
        Vec2 tangent = normalized(direction(1));
        Vec2 toPoint = point - end();
        if (dot(toPoint, tangent) > 0) {
            double pseudo = cross(toPoint, tangent);
            if (std::fabs(pseudo) <= std::fabs(distance.distance))
                distance = {pseudo, 0};
        }
    }
}

void EdgeSegment::splitInThirds(EdgeSegment& first, EdgeSegment& second, EdgeSegment& third) const
{
    // The piece of the curve over [t0, t1], by blossoming the control points.
    auto piece = [this](double t0, double t1) {
        EdgeSegment out = *this;
        if (degree == 1) {
            out.p[0] = point(t0);
            out.p[1] = point(t1);
        } else if (degree == 2) {
            out.p[0] = point(t0);
            out.p[1] = lerp(lerp(p[0], p[1], t0), lerp(p[1], p[2], t0), t1);
            out.p[2] = point(t1);
        } else {
            auto blossom = [this](double a, double b, double c) {
                Vec2 l0 = lerp(p[0], p[1], a), l1 = lerp(p[1], p[2], a), l2 = lerp(p[2], p[3], a);
                Vec2 m0 = lerp(l0, l1, b), m1 = lerp(l1, l2, b);
                return lerp(m0, m1, c);
            };
            out.p[0] = point(t0);
            out.p[1] = blossom(t0, t0, t1);
            out.p[2] = blossom(t0, t1, t1);
            out.p[3] = point(t1);
        }
        return out;
    };
    first = piece(0, 1 / 3.0);
    second = piece(1 / 3.0, 2 / 3.0);
    third = piece(2 / 3.0, 1);
}

void EdgeSegment::crossings(double y, std::vector<std::pair<double, int>>& out) const
{
    // Parameters where y(t) turns, splitting the segment into y-monotonic pieces.
    double cuts[4] = {0};
    int cutCount = 1;
    if (degree == 2) {
        double denominator = p[0].y - 2 * p[1].y + p[2].y;
        if (denominator != 0) {
            double t = (p[0].y - p[1].y) / denominator;
            if (t > 0 && t < 1)
                cuts[cutCount++] = t;
        }
    } else if (degree == 3) {
        double a = -p[0].y + 3 * p[1].y - 3 * p[2].y + p[3].y;
        double b = 2 * (p[0].y - 2 * p[1].y + p[2].y);
        double c = p[1].y - p[0].y;
        double roots[2];
        int count = solveQuadratic(roots, a, b, c);
        for (int i = 0; i < count; ++i)
            if (roots[i] > 0 && roots[i] < 1)
                cuts[cutCount++] = roots[i];
        if (cutCount == 3 && cuts[1] > cuts[2])
            std::swap(cuts[1], cuts[2]);
    }
    cuts[cutCount++] = 1;
    for (int i = 0; i + 1 < cutCount; ++i) {
        double t0 = cuts[i], t1 = cuts[i + 1];
        double y0 = point(t0).y, y1 = point(t1).y;
        if (y0 == y1 || y < std::min(y0, y1) || y >= std::max(y0, y1))
            continue;
        // Bisection on the monotonic piece: exact to the last bit, with no special cases.
        bool rising = y1 > y0;
        for (int step = 0; step < 60; ++step) {
            double mid = 0.5 * (t0 + t1);
            if ((point(mid).y < y) == rising)
                t0 = mid;
            else
                t1 = mid;
        }
        out.push_back({point(0.5 * (t0 + t1)).x, rising ? 1 : -1});
    }
}

} // namespace orvex::glyphs
