#pragma once

#include "Platform/Foundation/Rect.h"

#include <vector>

// The geometry of a vertically scrolling grid of equal cells in sections, shared by the toolkit's grid
// view controller and the welcome window's image grid. The usable width is the view's width less the
// margins and the scroller, the columns as many cells and spacings as fit (at least one), and the spare
// width is spread between the columns. Sections follow each other from the top without a gap, each with
// a title area above its rows. Everything is y-up in the container, whose height is at least the
// visible height.
//
// Measures that are not finite count as 0, and none counts beyond largestMeasure either way, so that
// every coordinate of the result is finite whatever the parameters.
//
// One object per grid also remembers the column count of its last full layout, so that a layout while
// resizing can leave the cells alone until the count changes.
class OVGridLayout
{
public:
    static constexpr double largestMeasure = 1e6;
    // The tallest a widget can be (Qt's QWIDGETSIZE_MAX): a container the layout makes taller would be
    // cut to it.
    static constexpr double largestContainerHeight = 16777215;
    static constexpr int largestColumnCount = 100000;

    struct Parameters
    {
        double width = 0;         // the scroll view's width
        double scrollerWidth = 0; // the vertical scroller's, 0 without one or for an overlay scroller
        double visibleHeight = 0; // the scroll view's height
        pf::Size margin{5, 35};
        pf::Size spacing{15, 15};
        pf::Size cell{200, 200};
        // Off: the columns stand at the spacing from each other and the spare width stays at the right,
        // and the columns are those that fit beside the margins and one spacing.
        bool spreadSpareWidth = true;
    };
    struct Section
    {
        int itemCount = 0;
        double titleHeight = 0;
    };
    struct Result
    {
        int columns = 1;
        double gap = 0;
        double usableWidth = 0;
        double containerHeight = 0;
        std::vector<pf::Rect> backgrounds;        // one per section
        std::vector<std::vector<pf::Rect>> cells; // for each section, for each item
    };

    static int columnCount(const Parameters& parameters);
    static Result compute(const Parameters& parameters, const std::vector<Section>& sections);
    // The container's height alone, without placing a cell.
    static double containerHeight(const Parameters& parameters, const std::vector<Section>& sections);
    // A rectangle of the cell size centred in `visible`.
    static pf::Rect centredCell(const pf::Rect& visible, pf::Size cell);
    // Where an item of that aspect ratio (width / height) sits in a cell: as large as fits, centred.
    static pf::Rect fitted(const pf::Rect& cell, double aspectRatio);

    int lastColumnCount() const { return m_lastColumnCount; }
    // Whether a layout that only follows a resize may skip moving the cells: the column count did not
    // change since the last layout that moved them. Otherwise the new count is remembered.
    bool keepsCells(int columns, bool onlyOnColumnChange);

private:
    int m_lastColumnCount = 1;
};
