#include "Platform/UI/Transform3D.h"

#include "Platform/Foundation/ValueDescription.h"

#include <QtGui/QTransform>
#include <algorithm>
#include <cmath>

namespace pf {

namespace {

using Matrix = std::array<std::array<double, 4>, 4>;
using Vector3 = std::array<double, 3>;

Matrix toMatrix(const Transform3D& t)
{
    const std::array<double, 16> v = t.values();
    Matrix m;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            m[row][column] = v[row * 4 + column];
    return m;
}

Transform3D fromMatrix(const Matrix& m)
{
    std::array<double, 16> v;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            v[row * 4 + column] = m[row][column];
    return Transform3D::fromValues(v);
}

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix result{};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[row][k] * b[k][column];
            result[row][column] = sum;
        }
    return result;
}

// Gauss-Jordan elimination with partial pivoting; false for a singular matrix.
bool invert(Matrix m, Matrix& inverse)
{
    inverse = toMatrix(Transform3D::identity());
    double largest = 0;
    for (const auto& row : m)
        for (double value : row)
            largest = std::max(largest, std::abs(value));
    if (largest == 0 || !std::isfinite(largest))
        return false;
    const double tiny = largest * 1e-14;
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::abs(m[row][column]) > std::abs(m[pivot][column]))
                pivot = row;
        if (std::abs(m[pivot][column]) <= tiny)
            return false;
        std::swap(m[pivot], m[column]);
        std::swap(inverse[pivot], inverse[column]);
        const double scale = 1.0 / m[column][column];
        for (int k = 0; k < 4; ++k) {
            m[column][k] *= scale;
            inverse[column][k] *= scale;
        }
        for (int row = 0; row < 4; ++row) {
            if (row == column || m[row][column] == 0)
                continue;
            const double factor = m[row][column];
            for (int k = 0; k < 4; ++k) {
                m[row][k] -= factor * m[column][k];
                inverse[row][k] -= factor * inverse[column][k];
            }
        }
    }
    return true;
}

double dot(const Vector3& a, const Vector3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double length(const Vector3& v)
{
    return std::sqrt(dot(v, v));
}

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// M = (linear L, then translation t) followed by the perspective part (column q, corner r):
//   M = [L 0; t 1] * [I q; 0 r],  L = diag(scale) * skew * rotation  (rows, row vectors).
struct Decomposed
{
    std::array<double, 4> perspective{}; // q1, q2, q3, r
    Vector3 translation{};
    Vector3 scale{};
    Vector3 skew{};                     // xy, xz, yz
    std::array<double, 4> quaternion{}; // x, y, z, w
};

bool decompose(const Transform3D& transform, Decomposed& out)
{
    const Matrix m = toMatrix(transform);
    Matrix linear = toMatrix(Transform3D::identity());
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            linear[row][column] = m[row][column];
    Matrix inverseLinear;
    if (!invert(linear, inverseLinear))
        return false;

    // q = L^-1 p, with p the perspective column; r = m44 - t.q.
    const Vector3 p{m[0][3], m[1][3], m[2][3]};
    const Vector3 t{m[3][0], m[3][1], m[3][2]};
    Vector3 q{};
    for (int row = 0; row < 3; ++row)
        q[row] = inverseLinear[row][0] * p[0] + inverseLinear[row][1] * p[1] + inverseLinear[row][2] * p[2];
    out.perspective = {q[0], q[1], q[2], m[3][3] - dot(t, q)};
    out.translation = t;

    // Gram-Schmidt on the rows of L.
    std::array<Vector3, 3> rows;
    for (int row = 0; row < 3; ++row)
        rows[row] = {m[row][0], m[row][1], m[row][2]};
    auto normalize = [](Vector3& v, double len) {
        for (double& c : v)
            c /= len;
    };
    auto subtract = [](Vector3& v, const Vector3& w, double amount) {
        for (int i = 0; i < 3; ++i)
            v[i] -= w[i] * amount;
    };
    out.scale[0] = length(rows[0]);
    normalize(rows[0], out.scale[0]);
    out.skew[0] = dot(rows[0], rows[1]);
    subtract(rows[1], rows[0], out.skew[0]);
    out.scale[1] = length(rows[1]);
    normalize(rows[1], out.scale[1]);
    out.skew[0] /= out.scale[1];
    out.skew[1] = dot(rows[0], rows[2]);
    subtract(rows[2], rows[0], out.skew[1]);
    out.skew[2] = dot(rows[1], rows[2]);
    subtract(rows[2], rows[1], out.skew[2]);
    out.scale[2] = length(rows[2]);
    normalize(rows[2], out.scale[2]);
    out.skew[1] /= out.scale[2];
    out.skew[2] /= out.scale[2];

    // A mirror is carried by the scales, so the rows form a proper rotation.
    if (dot(rows[0], cross(rows[1], rows[2])) < 0)
        for (int i = 0; i < 3; ++i) {
            out.scale[i] = -out.scale[i];
            for (double& c : rows[i])
                c = -c;
        }

    // The rows are the transpose of the column-vector rotation matrix C: C[i][j] = rows[j][i].
    auto c = [&](int i, int j) { return rows[j][i]; };
    const double trace = c(0, 0) + c(1, 1) + c(2, 2);
    double x, y, z, w;
    if (trace > 0) {
        const double s = 0.5 / std::sqrt(trace + 1.0);
        w = 0.25 / s;
        x = (c(2, 1) - c(1, 2)) * s;
        y = (c(0, 2) - c(2, 0)) * s;
        z = (c(1, 0) - c(0, 1)) * s;
    } else if (c(0, 0) > c(1, 1) && c(0, 0) > c(2, 2)) {
        const double s = 2.0 * std::sqrt(1.0 + c(0, 0) - c(1, 1) - c(2, 2));
        w = (c(2, 1) - c(1, 2)) / s;
        x = 0.25 * s;
        y = (c(0, 1) + c(1, 0)) / s;
        z = (c(0, 2) + c(2, 0)) / s;
    } else if (c(1, 1) > c(2, 2)) {
        const double s = 2.0 * std::sqrt(1.0 + c(1, 1) - c(0, 0) - c(2, 2));
        w = (c(0, 2) - c(2, 0)) / s;
        x = (c(0, 1) + c(1, 0)) / s;
        y = 0.25 * s;
        z = (c(1, 2) + c(2, 1)) / s;
    } else {
        const double s = 2.0 * std::sqrt(1.0 + c(2, 2) - c(0, 0) - c(1, 1));
        w = (c(1, 0) - c(0, 1)) / s;
        x = (c(0, 2) + c(2, 0)) / s;
        y = (c(1, 2) + c(2, 1)) / s;
        z = 0.25 * s;
    }
    out.quaternion = {x, y, z, w};
    for (double v : out.quaternion)
        if (!std::isfinite(v))
            return false;
    return true;
}

Transform3D recompose(const Decomposed& d)
{
    const auto [x, y, z, w] = d.quaternion;
    // Row-vector rotation: the transpose of the column-vector matrix of the quaternion.
    Matrix rotation = toMatrix(Transform3D::identity());
    rotation[0][0] = 1 - 2 * (y * y + z * z);
    rotation[1][0] = 2 * (x * y - z * w);
    rotation[2][0] = 2 * (x * z + y * w);
    rotation[0][1] = 2 * (x * y + z * w);
    rotation[1][1] = 1 - 2 * (x * x + z * z);
    rotation[2][1] = 2 * (y * z - x * w);
    rotation[0][2] = 2 * (x * z - y * w);
    rotation[1][2] = 2 * (y * z + x * w);
    rotation[2][2] = 1 - 2 * (x * x + y * y);

    Matrix skew = toMatrix(Transform3D::identity());
    skew[1][0] = d.skew[0];
    skew[2][0] = d.skew[1];
    skew[2][1] = d.skew[2];

    Matrix scale = toMatrix(Transform3D::identity());
    for (int i = 0; i < 3; ++i)
        scale[i][i] = d.scale[i];

    Matrix affine = multiply(multiply(scale, skew), rotation);
    for (int i = 0; i < 3; ++i)
        affine[3][i] = d.translation[i];

    Matrix perspective = toMatrix(Transform3D::identity());
    for (int i = 0; i < 3; ++i)
        perspective[i][3] = d.perspective[i];
    perspective[3][3] = d.perspective[3];
    return fromMatrix(multiply(affine, perspective));
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

const auto describe = [](auto& stream, const Transform3D& t) {
    const std::array<double, 16> v = t.values();
    stream << "Transform3D(";
    for (int i = 0; i < 16; ++i)
        stream << (i == 0 ? "" : (i % 4 == 0 ? "; " : ", ")) << v[i];
    stream << ')';
};

} // namespace

Transform3D Transform3D::translation(double tx, double ty, double tz)
{
    return {.m41 = tx, .m42 = ty, .m43 = tz};
}

Transform3D Transform3D::scale(double sx, double sy, double sz)
{
    return {.m11 = sx, .m22 = sy, .m33 = sz};
}

Transform3D Transform3D::rotation(double radians, double x, double y, double z)
{
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0 || !std::isfinite(len))
        return {};
    x /= len;
    y /= len;
    z /= len;
    const auto [s, c] = exactSineCosine(radians);
    const double k = 1 - c;
    Transform3D t;
    t.m11 = x * x * k + c;
    t.m12 = x * y * k + z * s;
    t.m13 = x * z * k - y * s;
    t.m21 = y * x * k - z * s;
    t.m22 = y * y * k + c;
    t.m23 = y * z * k + x * s;
    t.m31 = z * x * k + y * s;
    t.m32 = z * y * k - x * s;
    t.m33 = z * z * k + c;
    return t;
}

Transform3D Transform3D::fromAffine(const AffineTransform& a)
{
    Transform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

Transform3D Transform3D::translated(double tx, double ty, double tz) const
{
    return translation(tx, ty, tz).concatenated(*this);
}

Transform3D Transform3D::scaled(double sx, double sy, double sz) const
{
    return scale(sx, sy, sz).concatenated(*this);
}

Transform3D Transform3D::rotated(double radians, double x, double y, double z) const
{
    return rotation(radians, x, y, z).concatenated(*this);
}

Transform3D Transform3D::concatenated(const Transform3D& then) const
{
    return fromMatrix(multiply(toMatrix(*this), toMatrix(then)));
}

double Transform3D::determinant() const
{
    const Matrix m = toMatrix(*this);
    auto minor3 = [&](int skipColumn) {
        int c[3];
        for (int i = 0, k = 0; i < 4; ++i)
            if (i != skipColumn)
                c[k++] = i;
        return m[1][c[0]] * (m[2][c[1]] * m[3][c[2]] - m[2][c[2]] * m[3][c[1]]) -
               m[1][c[1]] * (m[2][c[0]] * m[3][c[2]] - m[2][c[2]] * m[3][c[0]]) +
               m[1][c[2]] * (m[2][c[0]] * m[3][c[1]] - m[2][c[1]] * m[3][c[0]]);
    };
    return m[0][0] * minor3(0) - m[0][1] * minor3(1) + m[0][2] * minor3(2) - m[0][3] * minor3(3);
}

bool Transform3D::isInvertible() const
{
    Matrix inverse;
    return invert(toMatrix(*this), inverse);
}

Transform3D Transform3D::inverted() const
{
    Matrix inverse;
    if (!invert(toMatrix(*this), inverse))
        return *this;
    return fromMatrix(inverse);
}

bool Transform3D::isIdentity() const
{
    return *this == Transform3D();
}

bool Transform3D::isAffine() const
{
    return m13 == 0 && m14 == 0 && m23 == 0 && m24 == 0 && m31 == 0 && m32 == 0 && m33 == 1 && m34 == 0 &&
           m43 == 0 && m44 == 1;
}

AffineTransform Transform3D::affineTransform() const
{
    return {m11, m12, m21, m22, m41, m42};
}

QTransform Transform3D::flattened() const
{
    return QTransform(m11, m12, m14, m21, m22, m24, m41, m42, m44);
}

Transform3D Transform3D::interpolated(const Transform3D& from, const Transform3D& to, double fraction)
{
    if (fraction == 0)
        return from;
    if (fraction == 1)
        return to;
    Decomposed a, b;
    if (!decompose(from, a) || !decompose(to, b)) {
        const std::array<double, 16> va = from.values(), vb = to.values();
        std::array<double, 16> v;
        for (int i = 0; i < 16; ++i)
            v[i] = lerp(va[i], vb[i], fraction);
        return fromValues(v);
    }
    Decomposed r;
    for (int i = 0; i < 4; ++i)
        r.perspective[i] = lerp(a.perspective[i], b.perspective[i], fraction);
    for (int i = 0; i < 3; ++i) {
        r.translation[i] = lerp(a.translation[i], b.translation[i], fraction);
        r.scale[i] = lerp(a.scale[i], b.scale[i], fraction);
        r.skew[i] = lerp(a.skew[i], b.skew[i], fraction);
    }
    // Spherical interpolation the shorter way round.
    std::array<double, 4> qa = a.quaternion, qb = b.quaternion;
    double cosine = qa[0] * qb[0] + qa[1] * qb[1] + qa[2] * qb[2] + qa[3] * qb[3];
    if (cosine < 0) {
        cosine = -cosine;
        for (double& v : qb)
            v = -v;
    }
    double wa = 1 - fraction, wb = fraction;
    if (cosine < 0.9999995) {
        const double angle = std::acos(std::min(1.0, cosine));
        const double sine = std::sin(angle);
        wa = std::sin((1 - fraction) * angle) / sine;
        wb = std::sin(fraction * angle) / sine;
    }
    double norm = 0;
    for (int i = 0; i < 4; ++i) {
        r.quaternion[i] = wa * qa[i] + wb * qb[i];
        norm += r.quaternion[i] * r.quaternion[i];
    }
    norm = std::sqrt(norm);
    for (double& v : r.quaternion)
        v /= norm;
    return recompose(r);
}

std::array<double, 16> Transform3D::values() const
{
    return {m11, m12, m13, m14, m21, m22, m23, m24, m31, m32, m33, m34, m41, m42, m43, m44};
}

Transform3D Transform3D::fromValues(const std::array<double, 16>& v)
{
    return {v[0], v[1], v[2],  v[3],  v[4],  v[5],  v[6],  v[7],
            v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]};
}

QDebug operator<<(QDebug debug, const Transform3D& t)
{
    return describeToDebug(debug, t, describe);
}

void PrintTo(const Transform3D& t, std::ostream* stream)
{
    describe(*stream, t);
}

} // namespace pf
