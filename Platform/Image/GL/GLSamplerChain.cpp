#include "Platform/Image/GL/GLSamplerChain.h"

namespace pf {

QString GLSamplerChain::shapeKey() const
{
    if (fusedMember >= 0)
        return QStringLiteral("F%1").arg(fusedMember);
    QString key;
    for (const GLChainStage& stage : stages) {
        key += stage.identityMap ? QLatin1Char('i') : QLatin1Char('m');
        key += stage.op == GLChainStage::Op::Crop ? QLatin1Char('c') : QLatin1Char('k');
    }
    switch (terminal) {
    case Terminal::Zero:
        key += QLatin1Char('Z');
        break;
    case Terminal::Constant:
        key += QLatin1Char('C');
        break;
    case Terminal::Texture:
        key += usesMipmap() ? QLatin1Char('M') : nearest ? QLatin1Char('N') : QLatin1Char('T');
        if (aligned)
            key += QLatin1Char('A');
        break;
    }
    return key;
}

} // namespace pf
