#pragma once

#include "Classes/Editor/GMWindowRole.h"

#include <QImage>
#include <QString>
#include <memory>

namespace pf {
class Image;
class SerialQueue;
class Timer;
} // namespace pf

// The editor window's previews and live rendering: it owns the window's view mode (start, the cached
// preview, the layers in 3D, live editing), the queue the preview pictures are composed on and which of
// them is shown, the cards of the layers in 3D, and the timer that hands the canvas over to the live
// renderer's "standard" channel. The live channel goes when the preview that replaces it is there, unless
// editing was asked for again meanwhile. Main thread only; part of the window controller, which forwards
// to it.
class GMWindowPreviews : private GMWindowRole
{
public:
    static const QString standardChannel;
    static const QString loupeChannel;

    // The live picture and the preview are the same picture of the stack: the preview is made of pixels
    // the preview cache already holds, rendered once more into an 8-bit image for the layers.
    static QImage pictureOf(const pf::Image& image);

    explicit GMWindowPreviews(GMWindowController& hub);
    ~GMWindowPreviews();

    int viewMode() const { return m_viewMode; }
    void setViewMode(int mode) { m_viewMode = mode; }
    bool isPreviewPending() const { return m_previewPending; }
    int previewsShown() const { return m_previewsShown; }
    bool isEditSwitchPending() const;

    void showPreview(bool force);
    void fillLayerBrowser3D();
    // Each layer's card from `from` up, made from the stack below it.
    void refreshCards(int from);
    void prepareEditing(int kind);
    void prepareEditingTimed();
    // The canvas's channel live at once with the rectangle shown now (a stroke on the canvas needs it).
    void activateCanvasChannel();
    void channelDidBecomeVisible(const QString& channel);

    // Another picture replaces the stack: nothing asked for before is shown.
    void dropEditing();
    // The window closes: timers stop and pictures still under way are never shown.
    void close();
    // The controller goes: a composition under way finishes first; what it sends back finds nobody.
    void shutDown();

private:
    struct Requests;

    void requestPreview(int index);
    void deliverPreview(quint64 generation, const QImage& picture);

    int m_viewMode = 0;
    std::shared_ptr<pf::Timer> m_editSwitchTimer;
    bool m_editSwitchTimerLong = false; // started by a zoom or scroll that settled (kind 2)

    // Previews composed on the queue: only the newest request's picture is shown.
    std::unique_ptr<pf::SerialQueue> m_previewQueue;
    std::shared_ptr<Requests> m_previewRequests;
    quint64 m_previewGeneration = 0;
    bool m_previewPending = false;
    int m_previewsShown = 0;
    bool m_deactivateWithPreview = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
