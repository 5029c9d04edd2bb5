#pragma once

#include "Classes/Framework/OVFilter.h"

// One step of the iterative solver that fills a masked area smoothly from its surroundings (a
// membrane over the hole, as healing needs), chosen by "inputMode": 0 a relaxation step inside the mask,
// 1 the residual of the current solution, 2 a relaxation step of the residual equation (right-hand side
// "inputResiduum"), 3 the correction by a solved residual, 4 and 6 the conversions between signed values
// and their positive encoding around one half, 5 clearing, any other value cutting the image to the
// mask. The filter keeps no state: each step's output feeds the next step's inputs. Without a mode there
// is no output.
class OVImproveSolution : public OVFilter
{
public:
    explicit OVImproveSolution(const QString& className = QStringLiteral("OVImproveSolution"));
    static void registerClass();

    pf::Image outputImage() const override;
};
