#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"

#include "Platform/Foundation/Log.h"

OVContentContainer::OVContentContainer()
    : m_imageContainer(std::make_shared<OVImageContainer>(pf::Image(), true)),
      m_additionalImageContainer(std::make_shared<OVImageContainer>(pf::Image(), false))
{}

OVContentContainer::OVContentContainer(OVImageContainerPtr mask, OVImageContainerPtr additional)
    : m_imageContainer(mask ? std::move(mask) : std::make_shared<OVImageContainer>(pf::Image(), true)),
      m_additionalImageContainer(additional ? std::move(additional)
                                            : std::make_shared<OVImageContainer>(pf::Image(), false))
{}

std::shared_ptr<OVContentContainer> OVContentContainer::readFromFolder(const QString& folder,
                                                                       QString* problem)
{
    QString reason;
    if (!OVImageContainer::folderIsReadable(folder, &reason)) {
        if (reason.isEmpty())
            reason = QStringLiteral("%1 does not exist").arg(folder);
        else
            pf::error(QStringLiteral("A mask folder cannot be read: %1").arg(reason));
        if (problem)
            *problem = reason;
        return std::make_shared<OVContentContainer>();
    }
    QString maskProblem, additionalProblem;
    auto container = std::make_shared<OVContentContainer>(
        OVImageContainer::readFromFolder(folder + QStringLiteral("/imageContainer"), &maskProblem),
        OVImageContainer::readFromFolder(folder + QStringLiteral("/additionalImageContainer"),
                                         &additionalProblem));
    if (problem)
        *problem = !maskProblem.isEmpty() ? maskProblem : additionalProblem;
    return container;
}

bool OVContentContainer::flush(QString* errorMessage)
{
    const bool mask = m_imageContainer->flush(errorMessage);
    return m_additionalImageContainer->flush(mask ? errorMessage : nullptr) && mask;
}

bool OVContentContainer::writeToFolder(const QString& folder, QString* errorMessage) const
{
    // Both pictures become pixels before anything is written, so a picture that cannot be rendered
    // leaves the folder's earlier pair whole instead of half replaced.
    QString flushError;
    if (!m_imageContainer->flush(&flushError) || !m_additionalImageContainer->flush(&flushError)) {
        if (errorMessage)
            *errorMessage = QStringLiteral("%1 was not written: %2").arg(folder, flushError);
        return false;
    }
    return m_imageContainer->writeToFolder(folder + QStringLiteral("/imageContainer"), errorMessage) &&
           m_additionalImageContainer->writeToFolder(folder + QStringLiteral("/additionalImageContainer"),
                                                     errorMessage);
}

std::shared_ptr<OVContentContainer> OVContentContainer::contentContainerWithRect(const pf::Rect& rect,
                                                                                 const pf::Size& size) const
{
    auto part = std::make_shared<OVContentContainer>();
    part->imageContainer()->setImage(m_imageContainer->imageWithRect(rect, size));
    if (!m_additionalImageContainer->isEmpty())
        part->additionalImageContainer()->setImage(m_additionalImageContainer->imageWithRect(rect, size));
    return part;
}
