#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <memory>

// The brush in use: the kind of stroke, its size in pixels of the image painted on, smoothness,
// hardness ("pressure") and, for the smart brush, the name of the mask kernel that guides it.
class OVBrush
{
public:
    enum Type : qint32
    {
        Draw = 0,
        Eraser = 1,
        SmartBrush = 2,
        Click = 3
    };
    enum SubType : qint32
    {
        None = 0,
        IrisReplacement = 1,
        Healing = 2,
        Beard = 3
    };

    qint32 type = Draw;
    qint32 brushSubType = None;
    double size = 0;
    double smoothness = 0;
    double pressure = 0;
    // Kept for older documents (an archived colour, held as it was read); no stroke reads it.
    QVariant allowedColor;
    QString kernelName;
    double tolerance = 0;
    double fadeTolerance = 0;
    double coherenceTolerance = 0;

    // Registers the archived class "OVBrush" (keys "type", "allowedColor", "size", "smoothness",
    // "pressure", "tolerance", "fadeTolerance", "coherenceTolerance"; subtype and kernel name are not
    // archived). Called once at start-up.
    static void registerArchiveClass();
};

using OVBrushPtr = std::shared_ptr<OVBrush>;
Q_DECLARE_METATYPE(OVBrushPtr)
