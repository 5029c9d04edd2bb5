#pragma once

// The kernel language's values and built-ins in C++, for kernel texts translated at build time
// (KernelTranslator) and run on the CPU. Single-precision floats throughout, as the shading language's
// highp. Internal to the image engine.
//
// Translated code lives in a namespace nested in pf::kl, so that these names are found before any of
// the C library's (floor, abs, pow...) and the language's rules hold: no implicit double arithmetic,
// component-wise functions on vectors.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <type_traits>

namespace pf::kl {

struct vec2;
struct vec3;
struct vec4;

// Boolean vectors, for the relational built-ins.
template <int N> struct bvec
{
    bool v[N] = {};
    bool operator[](int i) const { return v[i]; }
};
template <class V> using bvecOf = bvec<V::size>;

// A swizzle written to (`c.rgb = ...`): assigns the named components of the vector it refers to.
template <class V, class R, int... I> struct SwizzleRef
{
    V& v;
    SwizzleRef& operator=(const R& r)
    {
        int k = 0;
        ((v[I] = r[k++]), ...);
        return *this;
    }
    SwizzleRef& operator+=(const R& r) { return *this = value() + r; }
    SwizzleRef& operator-=(const R& r) { return *this = value() - r; }
    SwizzleRef& operator*=(const R& r) { return *this = value() * r; }
    SwizzleRef& operator*=(float f) { return *this = value() * f; }
    SwizzleRef& operator/=(const R& r) { return *this = value() / r; }
    SwizzleRef& operator/=(float f) { return *this = value() / f; }
    R value() const { return R(v[I]...); }
};

#define PF_KL_VECTOR_COMMON(V, N)                                                                            \
    float& operator[](int i)                                                                                 \
    {                                                                                                        \
        return (&x)[i];                                                                                      \
    }                                                                                                        \
    float operator[](int i) const                                                                            \
    {                                                                                                        \
        return (&x)[i];                                                                                      \
    }                                                                                                        \
    template <int... I> auto swz() const                                                                     \
    {                                                                                                        \
        if constexpr (sizeof...(I) == 2)                                                                     \
            return vec2((*this)[I]...);                                                                      \
        else if constexpr (sizeof...(I) == 3)                                                                \
            return vec3((*this)[I]...);                                                                      \
        else                                                                                                 \
            return vec4((*this)[I]...);                                                                      \
    }                                                                                                        \
    template <int... I> auto swzRef()                                                                        \
    {                                                                                                        \
        using R =                                                                                            \
            std::conditional_t<sizeof...(I) == 2, vec2, std::conditional_t<sizeof...(I) == 3, vec3, vec4>>;  \
        return SwizzleRef<V, R, I...>{*this};                                                                \
    }                                                                                                        \
    static constexpr int size = N;

struct vec2
{
    float x = 0, y = 0;
    vec2() = default;
    explicit vec2(float s) : x(s), y(s) {}
    vec2(float a, float b) : x(a), y(b) {}
    explicit vec2(const vec3& v);
    explicit vec2(const vec4& v);
    explicit vec2(const bvec<2>& b) : x(b[0]), y(b[1]) {}
    PF_KL_VECTOR_COMMON(vec2, 2)
};

struct vec3
{
    float x = 0, y = 0, z = 0;
    vec3() = default;
    explicit vec3(float s) : x(s), y(s), z(s) {}
    vec3(float a, float b, float c) : x(a), y(b), z(c) {}
    vec3(const vec2& v, float c) : x(v.x), y(v.y), z(c) {}
    vec3(float a, const vec2& v) : x(a), y(v.x), z(v.y) {}
    explicit vec3(const vec4& v);
    explicit vec3(const bvec<3>& b) : x(b[0]), y(b[1]), z(b[2]) {}
    PF_KL_VECTOR_COMMON(vec3, 3)
};

struct vec4
{
    float x = 0, y = 0, z = 0, w = 0;
    vec4() = default;
    explicit vec4(float s) : x(s), y(s), z(s), w(s) {}
    vec4(float a, float b, float c, float d) : x(a), y(b), z(c), w(d) {}
    vec4(const vec3& v, float d) : x(v.x), y(v.y), z(v.z), w(d) {}
    vec4(float a, const vec3& v) : x(a), y(v.x), z(v.y), w(v.z) {}
    vec4(const vec2& a, const vec2& b) : x(a.x), y(a.y), z(b.x), w(b.y) {}
    vec4(const vec2& a, float c, float d) : x(a.x), y(a.y), z(c), w(d) {}
    vec4(float a, float b, const vec2& v) : x(a), y(b), z(v.x), w(v.y) {}
    explicit vec4(const bvec<4>& b) : x(b[0]), y(b[1]), z(b[2]), w(b[3]) {}
    PF_KL_VECTOR_COMMON(vec4, 4)
};

#undef PF_KL_VECTOR_COMMON

inline vec2::vec2(const vec3& v) : x(v.x), y(v.y) {}
inline vec2::vec2(const vec4& v) : x(v.x), y(v.y) {}
inline vec3::vec3(const vec4& v) : x(v.x), y(v.y), z(v.z) {}

template <class T>
inline constexpr bool isVector =
    std::is_same_v<T, vec2> || std::is_same_v<T, vec3> || std::is_same_v<T, vec4>;

template <class V, class F> V each(const V& a, F f)
{
    V r;
    for (int i = 0; i < V::size; ++i)
        r[i] = f(a[i]);
    return r;
}

template <class V, class F> V each(const V& a, const V& b, F f)
{
    V r;
    for (int i = 0; i < V::size; ++i)
        r[i] = f(a[i], b[i]);
    return r;
}

template <class V, class F> V each(const V& a, const V& b, const V& c, F f)
{
    V r;
    for (int i = 0; i < V::size; ++i)
        r[i] = f(a[i], b[i], c[i]);
    return r;
}

// Arithmetic, component-wise; a float on either side applies to every component.
#define PF_KL_OPERATOR(op)                                                                                   \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V operator op(const V& a, const V& b)         \
    {                                                                                                        \
        return each(a, b, [](float p, float q) { return p op q; });                                          \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V operator op(const V& a, float b)            \
    {                                                                                                        \
        return each(a, [b](float p) { return p op b; });                                                     \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V operator op(float a, const V& b)            \
    {                                                                                                        \
        return each(b, [a](float q) { return a op q; });                                                     \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V& operator op##=(V& a, const V& b)           \
    {                                                                                                        \
        return a = a op b;                                                                                   \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V& operator op##=(V& a, float b)              \
    {                                                                                                        \
        return a = a op b;                                                                                   \
    }
PF_KL_OPERATOR(+)
PF_KL_OPERATOR(-)
PF_KL_OPERATOR(*)
PF_KL_OPERATOR(/)
#undef PF_KL_OPERATOR

template <class V, std::enable_if_t<isVector<V>, int> = 0> V operator-(const V& a)
{
    return each(a, [](float p) { return -p; });
}

template <class V, std::enable_if_t<isVector<V>, int> = 0> bool operator==(const V& a, const V& b)
{
    for (int i = 0; i < V::size; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

template <class V, std::enable_if_t<isVector<V>, int> = 0> bool operator!=(const V& a, const V& b)
{
    return !(a == b);
}

// Arc tangents in a few multiplications, inlined into the row loops: the C library's take twice as
// long, and kernels that work with hues spend much of their time in them. Within a few units in the
// last place of the library's; infinities, NaN and zeros (whose signs decide the angle) are the
// library's.
namespace fast {

// atan of t in [0, 1]: around tan(pi / 8) the argument is moved by pi / 4 first; then an odd
// polynomial of degree 9.
inline float atanUnit(float t)
{
    float base = 0.0f;
    if (t > 0.414213562f) {
        base = 0.785398163f;
        t = (t - 1.0f) / (t + 1.0f);
    }
    const float z = t * t;
    return base + ((((0.0805374449f * z - 0.138776856f) * z + 0.199777106f) * z - 0.333329491f) * z * t + t);
}

inline float atan(float x)
{
    if (!std::isfinite(x))
        return std::atan(x);
    const float a = std::fabs(x);
    const float r = a > 1.0f ? 1.57079633f - atanUnit(1.0f / a) : atanUnit(a);
    return x < 0.0f ? -r : r;
}

inline float atan2(float y, float x)
{
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float most = ax > ay ? ax : ay;
    if (!(most > 0.0f) || !std::isfinite(most) || most > 1e37f)
        return std::atan2(y, x);
    float r = atanUnit((ax > ay ? ay : ax) / most);
    if (ay > ax)
        r = 1.57079633f - r;
    if (std::signbit(x))
        r = 3.14159265f - r;
    return std::signbit(y) ? -r : r;
}

// Powers with an exponent that changes seldom, as colour curves raise every channel of every pixel
// to the same constant: the C library's pow, called once a channel, took more time than the rest
// of such a kernel (a value alike: two calls a pixel cost the exposure's kernel more than six from
// tables). Once an exponent has been used often on a thread, its powers of x in
// [2^-10, 4) come from a table with 512 steps an octave, interpolated linearly; within 2e-6 of
// the exact power for exponents between -1.5 and 2.5, which is where tables are made. Other
// exponents, other x (zero, negative, tiny, huge, not finite) and an exponent's first uses are the
// library's.
struct PowTable
{
    float y = 0;
    unsigned uses = 0;
    std::unique_ptr<float[]> values;
};
inline constexpr int powStepsBits = 9;
inline constexpr std::uint32_t powLowest = (127u - 10u) << 23, powHighest = (127u + 2u) << 23;

// The table for exponent y on this thread, or null while it is not worth one.
inline const float* powTable(float y)
{
    if (!(std::fabs(y * (y - 1.0f)) <= 4.0f))
        return nullptr;
    thread_local PowTable tables[4];
    thread_local unsigned next = 0;
    for (PowTable& t : tables) {
        if (t.y != y || t.uses == 0)
            continue;
        if (t.values)
            return t.values.get();
        if (++t.uses < 256) // an exponent that changes from pixel to pixel never gets one
            return nullptr;
        const std::uint32_t count = ((powHighest - powLowest) >> (23 - powStepsBits)) + 1;
        t.values.reset(new float[count]);
        for (std::uint32_t i = 0; i < count; ++i)
            t.values[i] = float(
                std::pow(double(std::bit_cast<float>(powLowest + (i << (23 - powStepsBits)))), double(y)));
        return t.values.get();
    }
    // A new exponent takes the place of the least used one without a table.
    PowTable* free = nullptr;
    for (PowTable& t : tables)
        if (!t.values && (!free || t.uses < free->uses))
            free = &t;
    *(free ? free : &tables[next++ % 4]) = PowTable{y, 1, nullptr};
    return nullptr;
}

inline float powFrom(const float* table, float x, float y)
{
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    if (bits < powLowest || bits >= powHighest)
        return std::pow(x, y);
    const std::uint32_t u = bits - powLowest;
    const std::uint32_t i = u >> (23 - powStepsBits);
    const float f = float(u & ((1u << (23 - powStepsBits)) - 1)) * (1.0f / float(1u << (23 - powStepsBits)));
    return table[i] + f * (table[i + 1] - table[i]);
}

// Two to a power, remembering the last one on this thread: kernels raise two to a setting (an
// exposure's stops) at every pixel, and the library's exp2 there took a third of such a kernel's time.
// Compared bit for bit, so that every value, not-a-number included, gets its own power.
inline float exp2(float x)
{
    thread_local std::uint32_t lastBits = 0; // 0.0f
    thread_local float last = 1.0f;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    if (bits != lastBits) {
        lastBits = bits;
        last = std::exp2(x);
    }
    return last;
}

// Hyperbolic tangents in single precision, inlined into the row loops: the C library's works in double
// through expm1, and took a third of an effect's time on the CPU whose luma sharpening limits the
// light it adds with one. Near zero an odd polynomial; elsewhere (1 - t) / (1 + t) with t = e^(-2|x|), a
// power of two times a polynomial. Within 1.5e-7 of the exact value and 4e-7 of it relatively; infinities
// give +-1 and NaN stays NaN.
inline float tanh(float x)
{
    const float a = std::fabs(x);
    float r;
    if (a < 0.125f) {
        const float z = a * a;
        r = a + a * z * (-1.0f / 3.0f + z * (2.0f / 15.0f + z * (-17.0f / 315.0f + z * (62.0f / 2835.0f))));
    } else if (a < 9.0f) { // tanh(9) is 1 to a float
        // t = 2^y with y = -2 a log2(e) in (-26, 0): 2^n 2^f, n the whole number nearest y, and 2^f =
        // e^(f ln 2) to its seventh power (within 6e-9 for |f| <= 0.5).
        const float y = a * -2.88539008f;
        const int n = int(y - 0.5f);
        const float u = (y - float(n)) * 0.693147181f;
        float p = 1.0f / 5040.0f;
        for (const float c : {1.0f / 720.0f, 1.0f / 120.0f, 1.0f / 24.0f, 1.0f / 6.0f, 0.5f, 1.0f, 1.0f})
            p = p * u + c;
        const float t = p * std::bit_cast<float>(std::uint32_t(n + 127) << 23);
        r = (1.0f - t) / (1.0f + t);
    } else {
        r = a >= 9.0f ? 1.0f : a; // NaN stays
    }
    return std::copysign(r, x);
}

} // namespace fast

// Functions of one value, for floats and vectors alike.
#define PF_KL_UNARY(name, expression)                                                                        \
    inline float name(float x)                                                                               \
    {                                                                                                        \
        return expression;                                                                                   \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V name(const V& a)                            \
    {                                                                                                        \
        return each(a, [](float x) { return name(x); });                                                     \
    }
PF_KL_UNARY(radians, x * 0.017453292519943295f)
PF_KL_UNARY(degrees, x * 57.29577951308232f)
PF_KL_UNARY(sin, std::sin(x))
PF_KL_UNARY(cos, std::cos(x))
PF_KL_UNARY(tan, std::tan(x))
PF_KL_UNARY(asin, std::asin(x))
PF_KL_UNARY(acos, std::acos(x))
PF_KL_UNARY(exp, std::exp(x))
PF_KL_UNARY(log, std::log(x))
PF_KL_UNARY(exp2, fast::exp2(x))
PF_KL_UNARY(tanh, fast::tanh(x))
PF_KL_UNARY(log2, std::log2(x))
PF_KL_UNARY(sqrt, std::sqrt(x))
PF_KL_UNARY(inversesqrt, 1.0f / std::sqrt(x))
PF_KL_UNARY(abs, std::fabs(x))
PF_KL_UNARY(sign, x > 0.0f ? 1.0f : x < 0.0f ? -1.0f : 0.0f)
PF_KL_UNARY(floor, std::floor(x))
PF_KL_UNARY(ceil, std::ceil(x))
PF_KL_UNARY(trunc, std::trunc(x))
PF_KL_UNARY(round, std::round(x))
PF_KL_UNARY(roundEven, std::nearbyint(x))
PF_KL_UNARY(fract, x - std::floor(x))
#undef PF_KL_UNARY

inline int abs(int x)
{
    return x < 0 ? -x : x;
}
inline float atan(float y, float x)
{
    return fast::atan2(y, x);
}
inline float atan(float x)
{
    return fast::atan(x);
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V atan(const V& y, const V& x)
{
    return each(y, x, [](float p, float q) { return fast::atan2(p, q); });
}

// Functions of two or three values; a float may stand for a vector where the language allows it.
inline float pow(float x, float y)
{
    if (const float* table = fast::powTable(y))
        return fast::powFrom(table, x, y);
    return std::pow(x, y);
}
inline float mod(float x, float y)
{
    return x - y * std::floor(x / y);
}
inline float min(float x, float y)
{
    return y < x ? y : x;
}
inline float max(float x, float y)
{
    return x < y ? y : x;
}
inline int min(int x, int y)
{
    return y < x ? y : x;
}
inline int max(int x, int y)
{
    return x < y ? y : x;
}
inline float step(float edge, float x)
{
    return x < edge ? 0.0f : 1.0f;
}
inline float clamp(float x, float lo, float hi)
{
    return min(max(x, lo), hi);
}
inline int clamp(int x, int lo, int hi)
{
    return min(max(x, lo), hi);
}
inline float mix(float x, float y, float a)
{
    return x * (1.0f - a) + y * a;
}
inline float smoothstep(float e0, float e1, float x)
{
    const float t = clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

#define PF_KL_BINARY(name)                                                                                   \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V name(const V& a, const V& b)                \
    {                                                                                                        \
        return each(a, b, [](float p, float q) { return name(p, q); });                                      \
    }                                                                                                        \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> V name(const V& a, float b)                   \
    {                                                                                                        \
        return each(a, [b](float p) { return name(p, b); });                                                 \
    }
PF_KL_BINARY(mod)
PF_KL_BINARY(min)
PF_KL_BINARY(max)
#undef PF_KL_BINARY

template <class V, std::enable_if_t<isVector<V>, int> = 0> V pow(const V& a, float b)
{
    if (const float* table = fast::powTable(b))
        return each(a, [table, b](float p) { return fast::powFrom(table, p, b); });
    return each(a, [b](float p) { return std::pow(p, b); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V pow(const V& a, const V& b)
{
    for (int i = 1; i < V::size; ++i)
        if (b[i] != b[0])
            return each(a, b, [](float p, float q) { return pow(p, q); });
    return pow(a, b[0]);
}

template <class V, std::enable_if_t<isVector<V>, int> = 0> V step(const V& edge, const V& x)
{
    return each(edge, x, [](float e, float v) { return step(e, v); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V step(float edge, const V& x)
{
    return each(x, [edge](float v) { return step(edge, v); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V clamp(const V& x, const V& lo, const V& hi)
{
    return each(x, lo, hi, [](float v, float l, float h) { return clamp(v, l, h); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V clamp(const V& x, float lo, float hi)
{
    return each(x, [lo, hi](float v) { return clamp(v, lo, hi); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V mix(const V& x, const V& y, const V& a)
{
    return each(x, y, a, [](float p, float q, float t) { return mix(p, q, t); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V mix(const V& x, const V& y, float a)
{
    return each(x, y, [a](float p, float q) { return mix(p, q, a); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V mix(const V& x, const V& y, const bvecOf<V>& a)
{
    V r;
    for (int i = 0; i < V::size; ++i)
        r[i] = a[i] ? y[i] : x[i];
    return r;
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V smoothstep(const V& e0, const V& e1, const V& x)
{
    return each(e0, e1, x, [](float a, float b, float v) { return smoothstep(a, b, v); });
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V smoothstep(float e0, float e1, const V& x)
{
    return each(x, [e0, e1](float v) { return smoothstep(e0, e1, v); });
}

// Geometry.
inline float dot(float a, float b)
{
    return a * b;
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> float dot(const V& a, const V& b)
{
    float s = 0;
    for (int i = 0; i < V::size; ++i)
        s += a[i] * b[i];
    return s;
}
inline float length(float a)
{
    return std::fabs(a);
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> float length(const V& a)
{
    return std::sqrt(dot(a, a));
}
template <class V> float distance(const V& a, const V& b)
{
    return length(a - b);
}
inline float distance(float a, float b)
{
    return std::fabs(a - b);
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V normalize(const V& a)
{
    return a / length(a);
}
inline vec3 cross(const vec3& a, const vec3& b)
{
    return vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// Relational.
#define PF_KL_RELATION(name, op)                                                                             \
    template <class V, std::enable_if_t<isVector<V>, int> = 0> bvecOf<V> name(const V& a, const V& b)        \
    {                                                                                                        \
        bvecOf<V> r;                                                                                         \
        for (int i = 0; i < V::size; ++i)                                                                    \
            r.v[i] = a[i] op b[i];                                                                           \
        return r;                                                                                            \
    }
PF_KL_RELATION(lessThan, <)
PF_KL_RELATION(lessThanEqual, <=)
PF_KL_RELATION(greaterThan, >)
PF_KL_RELATION(greaterThanEqual, >=)
PF_KL_RELATION(equal, ==)
PF_KL_RELATION(notEqual, !=)
#undef PF_KL_RELATION

template <int N> bool any(const bvec<N>& b)
{
    for (int i = 0; i < N; ++i)
        if (b.v[i])
            return true;
    return false;
}
template <int N> bool all(const bvec<N>& b)
{
    for (int i = 0; i < N; ++i)
        if (!b.v[i])
            return false;
    return true;
}
template <int N> bvec<N> operator!(const bvec<N>& b)
{
    bvec<N> r;
    for (int i = 0; i < N; ++i)
        r.v[i] = !b.v[i];
    return r;
}

// The kernel language's own built-ins.
inline vec4 premultiply(const vec4& c)
{
    return vec4(c.x * c.w, c.y * c.w, c.z * c.w, c.w);
}
inline vec4 unpremultiply(const vec4& c)
{
    return c.w > 0.0f ? vec4(c.x / c.w, c.y / c.w, c.z / c.w, c.w) : vec4(0.0f);
}
inline float compare(float x, float y, float z)
{
    return x < 0.0f ? y : z;
}
template <class V, std::enable_if_t<isVector<V>, int> = 0> V compare(const V& x, const V& y, const V& z)
{
    return each(x, y, z, [](float a, float b, float c) { return a < 0.0f ? b : c; });
}

// How a translated kernel reads one of its samplers; the renderer fills it in.
struct Sampler
{
    // The point in working space -> the sampler's space (the inverse of the sampler's matrix).
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    vec4 extent;
    // The premultiplied value at a point of the sampler's space.
    vec4 (*read)(const Sampler& s, vec2 p) = nullptr;
    const void* source = nullptr;
    // Where the kernel reads this sampler only at the pixel it computes and the renderer has that row of
    // pixels in memory, aligned with the output row: RGBA floats from pixel column `rowX0` on. `read`
    // is then not called.
    const float* row = nullptr;
    int rowX0 = 0;
    // Where the image is pixels in memory on the sampler's own grid (moved by whole pixels at most):
    // reads at pixel centres, and every read of a nearest sampler, load straight from them; `read`
    // then serves only reads between pixels and outside the pixels held. `plane` (RGBA floats) or
    // `plane8` (RGBA bytes) points at pixel (planeX0, planeY0); rows go upward `planeStride` values
    // apart (negative for bitmaps, whose rows go down).
    const float* plane = nullptr;
    const unsigned char* plane8 = nullptr;
    int planeX0 = 0, planeY0 = 0, planeWidth = 0, planeHeight = 0;
    std::ptrdiff_t planeStride = 0;
    float planeDx = 0, planeDy = 0; // the sampler's space -> the pixels'
    bool nearest = false;
    // Crops and clamps between the sampler and its pixels, in the order a read meets them, as windows of
    // whole pixels of the sampler's space: a crop makes pixels outside its window transparent, a clamp
    // reads the window's edge pixel instead.
    struct Window
    {
        bool crop = true;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // [x0, x1) x [y0, y1)
    };
    static constexpr int MaxWindows = 3;
    Window windows[MaxWindows];
    int windowCount = 0;

    vec2 toSampler(vec2 p) const { return vec2(a * p.x + c * p.y + tx, b * p.x + d * p.y + ty); }
    // Pixel (i, j) of the sampler's space through the windows: false where a crop leaves it transparent.
    bool throughWindows(int& i, int& j) const
    {
        for (int w = 0; w < windowCount; ++w) {
            const Window& window = windows[w];
            if (window.crop) {
                if (i < window.x0 || j < window.y0 || i >= window.x1 || j >= window.y1)
                    return false;
            } else {
                i = std::clamp(i, window.x0, window.x1 - 1);
                j = std::clamp(j, window.y0, window.y1 - 1);
            }
        }
        return true;
    }
};

// The centre of the pixel being computed, in working space; set by the renderer for each pixel.
inline thread_local vec2 currentDestination;

inline vec2 destCoord()
{
    return currentDestination;
}
inline vec2 samplerTransform(const Sampler& s, vec2 p)
{
    return s.toSampler(p);
}
inline vec2 samplerCoord(const Sampler& s)
{
    return s.toSampler(currentDestination);
}
inline vec4 sample(const Sampler& s, vec2 p)
{
    if (s.row) {
        // floor, not truncation: pixels left of the origin have negative centres.
        const float* q = s.row + std::ptrdiff_t(int(std::floor(currentDestination.x)) - s.rowX0) * 4;
        return vec4(q[0], q[1], q[2], q[3]);
    }
    if (s.plane || s.plane8) {
        // Whole-pixel moves keep the fraction of the point: a centre in the sampler's space is one in
        // the pixels'.
        const float fx = std::floor(p.x), fy = std::floor(p.y);
        if ((s.nearest || (p.x - fx == 0.5f && p.y - fy == 0.5f)) && std::abs(fx) < 1e9f &&
            std::abs(fy) < 1e9f) {
            int i = int(fx), j = int(fy);
            if (s.windowCount > 0 && !s.throughWindows(i, j))
                return vec4(0.0f);
            i += int(s.planeDx) - s.planeX0;
            j += int(s.planeDy) - s.planeY0;
            if (unsigned(i) < unsigned(s.planeWidth) && unsigned(j) < unsigned(s.planeHeight)) {
                if (s.plane) {
                    const float* q = s.plane + std::ptrdiff_t(j) * s.planeStride + std::ptrdiff_t(i) * 4;
                    return vec4(q[0], q[1], q[2], q[3]);
                }
                const unsigned char* q = s.plane8 + std::ptrdiff_t(j) * s.planeStride + std::ptrdiff_t(i) * 4;
                return vec4(float(q[0]) / 255.0f, float(q[1]) / 255.0f, float(q[2]) / 255.0f,
                            float(q[3]) / 255.0f);
            }
        } else if (!s.nearest && s.windowCount == 0 && std::abs(p.x) < 1e6f && std::abs(p.y) < 1e6f) {
            // Between pixel centres (a walk across the photo, a point moved by a fraction): the four
            // pixels around the point blended as the general reader blends them, transparent outside.
            const float cx = (p.x + s.planeDx) - 0.5f, cy = (p.y + s.planeDy) - 0.5f;
            const float gx = std::floor(cx), gy = std::floor(cy);
            const float wx = cx - gx, wy = cy - gy;
            const int i = int(gx) - s.planeX0, j = int(gy) - s.planeY0;
            const auto at = [&s](int a, int b) {
                if (unsigned(a) >= unsigned(s.planeWidth) || unsigned(b) >= unsigned(s.planeHeight))
                    return vec4(0.0f);
                if (s.plane) {
                    const float* q = s.plane + std::ptrdiff_t(b) * s.planeStride + std::ptrdiff_t(a) * 4;
                    return vec4(q[0], q[1], q[2], q[3]);
                }
                const unsigned char* q = s.plane8 + std::ptrdiff_t(b) * s.planeStride + std::ptrdiff_t(a) * 4;
                return vec4(float(q[0]) / 255.0f, float(q[1]) / 255.0f, float(q[2]) / 255.0f,
                            float(q[3]) / 255.0f);
            };
            if (wx == 0.0f && wy == 0.0f)
                return at(i, j);
            return mix(mix(at(i, j), at(i + 1, j), wx), mix(at(i, j + 1), at(i + 1, j + 1), wx), wy);
        }
    }
    return s.read(s, p);
}
inline vec4 samplerExtent(const Sampler& s)
{
    return s.extent;
}
inline vec2 samplerOrigin(const Sampler& s)
{
    return vec2(s.extent.x, s.extent.y);
}
inline vec2 samplerSize(const Sampler& s)
{
    return vec2(s.extent.z, s.extent.w);
}

// A sampler that a kernel reads only at the pixel it computes, from a row of RGBA floats in memory: the
// row loop moves `p` along. Kernels whose samplers are all read so are translated a second time over
// it, so that a row is plain loads, arithmetic and stores the compiler can keep in registers.
//
// A sampler read at fixed offsets around the pixel (see KernelParser::Reach) is such a row too, with the
// rows above and below it `stride` floats apart: its coordinate is then the offset itself, constant
// where the kernel's body is inlined, so that every read is one load.
struct RowSampler
{
    const float* p = nullptr;
    vec4 extent;
    std::ptrdiff_t stride = 0;
};
inline vec2 samplerTransform(const RowSampler&, vec2 p)
{
    return p;
}
inline vec2 samplerCoord(const RowSampler&)
{
    return vec2(0.0f); // only ever the point of a read, offset by whole pixels from the pixel itself
}
inline vec4 sample(const RowSampler& s, vec2 offset)
{
    const float* q = s.p + std::ptrdiff_t(int(offset.y)) * s.stride + std::ptrdiff_t(int(offset.x)) * 4;
    return vec4(q[0], q[1], q[2], q[3]);
}
inline vec4 samplerExtent(const RowSampler& s)
{
    return s.extent;
}
inline vec2 samplerOrigin(const RowSampler& s)
{
    return vec2(s.extent.x, s.extent.y);
}
inline vec2 samplerSize(const RowSampler& s)
{
    return vec2(s.extent.z, s.extent.w);
}

// A pixel computed by a translated row, stored as one 16-byte write rather than four of a float each.
static_assert(sizeof(vec4) == 4 * sizeof(float));
inline void _pf_store(float* out, const vec4& c)
{
    std::memcpy(out, &c, sizeof c);
}

// The shape of every translated kernel's entry point: samplers in parameter order, and each float or
// vector argument as its components.
using KernelEntry = vec4 (*)(const Sampler* const* samplers, const float* const* values);
// The same for `n` pixels of one row, from pixel column `x0`, at the height `y` of their centres: RGBA
// floats into `out`.
using KernelRowEntry = void (*)(const Sampler* const* samplers, const float* const* values, int x0, int n,
                                float y, float* out);
// The same where every sampler is a row in memory: `rows[k]` holds sampler k's pixels for the `n` pixels
// computed, `extents[k]` its extent. A sampler read at fixed offsets (KernelParser::Reach) has its rows
// from `down` below to `up` above, each n + left + right pixels, and `rows[k]` points at the first pixel
// computed in the middle one.
using KernelRowsEntry = void (*)(const float* const* rows, const vec4* extents, const float* const* values,
                                 int x0, int n, float y, float* out);

} // namespace pf::kl
