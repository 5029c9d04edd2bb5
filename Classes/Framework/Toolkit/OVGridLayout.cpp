#include "Classes/Framework/Toolkit/OVGridLayout.h"

#include <algorithm>
#include <cmath>

namespace {

double measure(double value)
{
    return std::isfinite(value)
               ? std::clamp(value, -OVGridLayout::largestMeasure, OVGridLayout::largestMeasure)
               : 0.0;
}

pf::Size measure(pf::Size size)
{
    return pf::Size(measure(size.width), measure(size.height));
}

OVGridLayout::Parameters bounded(OVGridLayout::Parameters p)
{
    p.width = measure(p.width);
    p.scrollerWidth = measure(p.scrollerWidth);
    p.visibleHeight = measure(p.visibleHeight);
    p.margin = measure(p.margin);
    p.spacing = measure(p.spacing);
    p.cell = measure(p.cell);
    return p;
}

// At least one column, and never more than can be counted (a cell and spacing of no width fit any number).
int columnsOf(double columns)
{
    return int(std::min(std::max(1.0, columns), double(OVGridLayout::largestColumnCount)));
}

} // namespace

int OVGridLayout::columnCount(const Parameters& parameters)
{
    const Parameters p = bounded(parameters);
    if (!p.spreadSpareWidth) {
        const double usable = p.width - p.scrollerWidth - p.spacing.width - 2 * p.margin.width;
        return columnsOf(std::floor(usable / (p.cell.width + p.spacing.width)));
    }
    const double mw = p.margin.width;
    const double usable = p.width - std::max(mw, p.scrollerWidth) - mw - std::max(0.0, mw - p.scrollerWidth);
    return columnsOf(std::floor(usable / (p.cell.width + p.spacing.width)));
}

double OVGridLayout::containerHeight(const Parameters& parameters, const std::vector<Section>& sections)
{
    const Parameters p = bounded(parameters);
    const int n = columnCount(p);
    double titles = 0;
    double rows = 0;
    for (const Section& s : sections) {
        titles += measure(s.titleHeight);
        rows += std::ceil(double(s.itemCount) / n);
    }
    const double needed =
        titles + 2 * p.margin.height + 2 * p.spacing.height + rows * (p.cell.height + p.spacing.height);
    return std::max(needed, p.visibleHeight);
}

OVGridLayout::Result OVGridLayout::compute(const Parameters& parameters, const std::vector<Section>& sections)
{
    const Parameters p = bounded(parameters);
    Result r;
    const double mw = p.margin.width, mh = p.margin.height;
    const double sw = p.spacing.width, sh = p.spacing.height;
    const double iw = p.cell.width, ih = p.cell.height;
    r.usableWidth = p.width - std::max(mw, p.scrollerWidth) - mw - std::max(0.0, mw - p.scrollerWidth);
    const int n = columnCount(p);
    r.columns = n;
    if (p.spreadSpareWidth)
        r.gap = n != 1 ? (r.usableWidth - n * iw - sw) / (n - 1) : 0;
    else
        r.gap = sw;
    const double pitch = ih + sh;

    const double hc = containerHeight(p, sections);
    r.containerHeight = hc;

    double a = mh + sh;
    r.backgrounds.reserve(sections.size());
    r.cells.reserve(sections.size());
    for (const Section& s : sections) {
        const double rk = std::ceil(double(s.itemCount) / n);
        const double tk = measure(s.titleHeight);
        const int ck = std::min(n, s.itemCount);
        r.backgrounds.push_back(
            pf::Rect(mw, hc - (a - sh / 2 + tk + rk * pitch), ck * (iw + r.gap) + sw, rk * pitch + tk));
        std::vector<pf::Rect> cells;
        cells.reserve(std::size_t(std::max(0, s.itemCount)));
        for (int i = 0; i < s.itemCount; ++i) {
            const int column = i % n;
            const int row = i / n;
            cells.push_back(
                pf::Rect(column * (iw + r.gap) + sw + mw, hc - (row * pitch + a + tk + ih), iw, ih));
        }
        r.cells.push_back(std::move(cells));
        a += rk * pitch + tk;
    }
    return r;
}

pf::Rect OVGridLayout::centredCell(const pf::Rect& visible, pf::Size cell)
{
    return pf::Rect(visible.minX() + visible.width() / 2 - cell.width / 2,
                    visible.minY() + visible.height() / 2 - cell.height / 2, cell.width, cell.height);
}

pf::Rect OVGridLayout::fitted(const pf::Rect& cell, double aspectRatio)
{
    const double cw = cell.width(), ch = cell.height();
    double w, h;
    if (ch > 0 && cw / ch > aspectRatio) {
        h = ch;
        w = ch * aspectRatio;
    } else {
        w = cw;
        h = aspectRatio > 0 ? cw / aspectRatio : 0;
    }
    return pf::Rect(cell.minX() + (cw - w) / 2, cell.minY() + (ch - h) / 2, w, h);
}

bool OVGridLayout::keepsCells(int columns, bool onlyOnColumnChange)
{
    if (onlyOnColumnChange && columns == m_lastColumnCount)
        return true;
    m_lastColumnCount = columns;
    return false;
}
