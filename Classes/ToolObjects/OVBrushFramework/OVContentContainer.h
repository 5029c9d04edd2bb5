#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"

#include <memory>

// A painted mask in memory: the mask (monochrome) and an additional colour picture that some tools
// paint with it (replacement iris pixels, healed pixels). Written as the two sub-folders
// "imageContainer" and "additionalImageContainer", each present only when that picture exists.
class OVContentContainer
{
public:
    OVContentContainer();
    OVContentContainer(OVImageContainerPtr mask, OVImageContainerPtr additional);
    // Reads the two sub-folders. A folder that is missing or cannot be read, or a picture in it that
    // cannot be read, is described in `problem` (the unreadable ones are logged as errors); the
    // container then holds what could be read.
    static std::shared_ptr<OVContentContainer> readFromFolder(const QString& folder,
                                                              QString* problem = nullptr);

    OVImageContainerPtr imageContainer() const { return m_imageContainer; }
    OVImageContainerPtr additionalImageContainer() const { return m_additionalImageContainer; }
    void setImageContainer(OVImageContainerPtr container) { m_imageContainer = std::move(container); }
    void setAdditionalImageContainer(OVImageContainerPtr container)
    {
        m_additionalImageContainer = std::move(container);
    }

    pf::Size size() const { return m_imageContainer->size(); }
    // The part `rect` (normalised) of the mask, and of the additional picture when there is one, at `size`.
    std::shared_ptr<OVContentContainer> contentContainerWithRect(const pf::Rect& rect,
                                                                 const pf::Size& size) const;
    bool flush(QString* errorMessage = nullptr);
    bool writeToFolder(const QString& folder, QString* errorMessage = nullptr) const;

private:
    OVImageContainerPtr m_imageContainer;
    OVImageContainerPtr m_additionalImageContainer;
};

using OVContentContainerPtr = std::shared_ptr<OVContentContainer>;
Q_DECLARE_METATYPE(OVContentContainerPtr)
