#include "Classes/Document/GMPreviewWindowController.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

// The picture, fitted and centred on a dark ground, with the busy message over its foot.
class GMPreviewWindowController::PreviewView : public pf::View
{
public:
    using View::View;

    void setImage(const QImage& image)
    {
        m_image = image;
        setNeedsDisplay();
    }

    void drawRect(QPainter& painter, const pf::Rect&) override
    {
        const pf::Rect area = bounds();
        painter.fillRect(area.toQRectF(), QColor(30, 31, 34));
        if (!m_image.isNull()) {
            const pf::Rect inner = area.insetBy(24, 24);
            const double scale =
                std::min({inner.width() / m_image.width(), inner.height() / m_image.height(), 1.0});
            const double w = m_image.width() * scale;
            const double h = m_image.height() * scale;
            pf::drawImage(painter, m_image, pf::Rect(inner.midX() - w / 2, inner.midY() - h / 2, w, h));
        }
    }

private:
    QImage m_image;
};

GMPreviewWindowController::GMPreviewWindowController(bool showsWindow) : m_showsWindow(showsWindow)
{
    m_window = new pf::Window(pf::Rect(120, 120, 900, 640));
    m_window->setMinimumSize(320, 240);
    m_view = new PreviewView(pf::Rect(0, 0, 900, 640));
    m_view->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    m_window->setContentView(m_view);
    m_activityPanel = std::make_unique<OVActivityPanel>();
    // A window kept off screen has no panel to slide: its activities run at the next turn.
    if (m_showsWindow)
        m_activityPanel->setWindow(m_window);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        m_window->move(available.center() - QPoint(450, 320));
    }
}

GMPreviewWindowController::~GMPreviewWindowController()
{
    m_changes.reset();
    if (m_window)
        m_window->deleteLater();
}

pf::Window* GMPreviewWindowController::window() const
{
    return m_showsWindow ? m_window.data() : nullptr;
}

void GMPreviewWindowController::setOriginalImage(const pf::Image& image)
{
    setPreparedOriginal(PhotoToolChain::prepareOriginal(image));
}

void GMPreviewWindowController::setPreparedOriginal(const PhotoToolChain::Original& original)
{
    m_chain = std::make_shared<PhotoToolChain>(original);
    m_chain->setUndoManager(m_undoManager);
    m_chain->setUndoDenomination(QStringLiteral("Effect"));
    m_changes = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVRCContentDidChange"), m_chain.get(), [this](const pf::Notification&) {
            // Many changes in one turn (loading a document) compose once.
            if (m_refreshPending)
                return;
            m_refreshPending = true;
            pf::Timer::afterThisEvent([this] { refresh(); }, m_lifetime.get());
        });
    refresh();
}

void GMPreviewWindowController::setUndoManager(std::shared_ptr<pf::UndoManager> undoManager)
{
    m_undoManager = std::move(undoManager);
    if (m_chain)
        m_chain->setUndoManager(m_undoManager);
}

GMRenderForSaving GMPreviewWindowController::previewForSaving()
{
    if (!m_chain)
        return {};
    return GMChainRenderer::renderForSaving(
        *m_chain, pf::Size(GMChainRenderer::previewSide, GMChainRenderer::previewSide));
}

GMRenderForSaving GMPreviewWindowController::imageForSaving(pf::Bitmap::Format format)
{
    if (!m_chain)
        return {};
    return GMChainRenderer::renderForSaving(*m_chain, std::nullopt, format);
}

void GMPreviewWindowController::refresh()
{
    m_refreshPending = false;
    if (!m_chain || !m_showsWindow || !m_view)
        return;
    if (const auto picture = GMChainRenderer::renderForSaving(*m_chain, pf::Size(1600, 1600))())
        m_view->setImage(picture->toQImage());
}

void GMPreviewWindowController::showLoadingPreview(const QImage& preview)
{
    if (m_view)
        m_view->setImage(preview);
}

void GMPreviewWindowController::startActivity(const QString& message, std::function<void()> block)
{
    // As in the editor: no waiting for a slide behind a window that is not on the screen.
    if (m_activityPanel->window() && !m_activityPanel->window()->isVisible()) {
        m_activityPanel->startActivity(message, {});
        if (block)
            pf::Timer::afterThisEvent(std::move(block));
        return;
    }
    m_activityPanel->startActivity(message, std::move(block));
}

void GMPreviewWindowController::stopActivity(const QString& message)
{
    m_activityPanel->stopActivity(message);
}

QStringList GMPreviewWindowController::activities() const
{
    return m_activityPanel->activities();
}
