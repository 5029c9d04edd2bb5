#include "Classes/Document/GMEditorWindowController.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/UI/Timer.h"

GMEditorWindowController::GMEditorWindowController(std::weak_ptr<pf::Document> document)
    : m_editor(std::make_unique<GMWindowController>())
{
    m_editor->setBlueprintCatalog(&GMDocument::blueprintCatalog());
    m_editor->setDocument(std::move(document));
    m_editor->loadWindow();
}

GMEditorWindowController::~GMEditorWindowController() = default;

void GMEditorWindowController::setOriginalImage(const pf::Image& image)
{
    m_editor->setOriginalImage(image);
}

void GMEditorWindowController::setUndoManager(std::shared_ptr<pf::UndoManager> undoManager)
{
    m_editor->setUndoManager(std::move(undoManager));
}

std::shared_ptr<PhotoToolChain> GMEditorWindowController::toolChain() const
{
    return m_editor->toolChain();
}

GMRenderForSaving GMEditorWindowController::previewForSaving()
{
    const auto chain = m_editor->toolChain();
    if (!chain)
        return {};
    return GMChainRenderer::renderForSaving(
        *chain, pf::Size(GMWindowController::previewSide, GMWindowController::previewSide));
}

GMRenderForSaving GMEditorWindowController::imageForSaving()
{
    const auto chain = m_editor->toolChain();
    return chain ? GMChainRenderer::renderForSaving(*chain) : GMRenderForSaving();
}

void GMEditorWindowController::showOpeningPreview(const QImage& preview, const pf::Size& photoSize)
{
    m_editor->showOpeningPreview(preview, photoSize);
}

void GMEditorWindowController::showLoadingPreview(const QImage& preview)
{
    m_editor->showLoadingPreview(preview);
}

void GMEditorWindowController::startActivity(const QString& message, std::function<void()> block)
{
    if (OVActivityPanel* panel = m_editor->activityPanel()) {
        panel->startActivity(message, std::move(block));
        return;
    }
    // No panel to slide in: the work runs at the next turn, as the panel would run it.
    if (block)
        pf::Timer::afterThisEvent(std::move(block));
}

void GMEditorWindowController::stopActivity(const QString& message)
{
    if (OVActivityPanel* panel = m_editor->activityPanel())
        panel->stopActivity(message);
}

pf::Window* GMEditorWindowController::window() const
{
    return m_editor->window();
}
