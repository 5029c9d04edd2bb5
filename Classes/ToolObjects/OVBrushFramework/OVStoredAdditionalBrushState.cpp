#include "Classes/ToolObjects/OVBrushFramework/OVStoredAdditionalBrushState.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"

pf::Image OVStoredAdditionalBrushState::stockPicture(const QString& what, const QString& name,
                                                     const QString& type, const QString& without)
{
    const QString path = pf::Bundle::main().pathForResource(name, type);
    QString error;
    pf::Image image;
    if (!path.isEmpty())
        image = pf::Image::fromFile(path, &error);
    if (image.isNull())
        pf::warning(QStringLiteral("The %1 \"%2.%3\" is missing or unreadable%4; %5")
                        .arg(what, name, type,
                             error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(error), without));
    return image;
}
