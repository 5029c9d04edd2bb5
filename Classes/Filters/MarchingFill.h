#pragma once

#include <cstdint>
#include <vector>

// Fills holes by marching in from their border, the pixels nearest to it first. Each pixel becomes a
// weighted mean of the known and already filled pixels within a small reach, each carried to it along
// its own gradient (to first order), and weighed by how squarely it lies behind the marching front, by
// its nearness and by how close it lies to the same distance from the border. A smooth membrane needs a
// border all round to span; where the photo's edge cuts a hole open, this carries the shading and the
// edges of the border that is there on into the hole instead of flattening it into a grey blob.
class MarchingFill
{
public:
    enum State : uint8_t
    {
        Known = 0,  // a pixel of the picture that the fill reads
        ToFill = 1, // a hole pixel to be filled
        Absent = 2, // neither read nor written (a hole left to another fill)
    };

    // `pixels`: four floats per pixel (premultiplied colour and alpha), `width` x `height`, rows in any
    // consistent order; `states` one per pixel. ToFill pixels are written, every channel within the
    // range of the pixels it is made from; the others are left as they are. `reach`: pixels.
    static void fill(int width, int height, float* pixels, const std::vector<uint8_t>& states,
                     double reach = 4);
};
