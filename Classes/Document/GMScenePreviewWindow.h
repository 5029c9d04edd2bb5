#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/Window.h"

#include <QImage>
#include <QPointer>
#include <QVariantMap>

class GMFittedPictureView;
class OVButton;

// A plain picture window showing the document's picture as a card standing in a scene over a
// background: turned away a little (rotation y -25 degrees, x 8 degrees, depth factor 3), 1.2 half
// widths wide. The "Flat" switch shows the same sprite composed flat instead; "Final Quality" renders
// the scene on the software renderer instead of the default device. It reads the pictures it is
// given and writes nothing anywhere. Main thread only; each change renders at once.
class GMScenePreviewWindow
{
public:
    GMScenePreviewWindow(const pf::Image& background, const pf::Image& picture);
    ~GMScenePreviewWindow();
    GMScenePreviewWindow(const GMScenePreviewWindow&) = delete;
    GMScenePreviewWindow& operator=(const GMScenePreviewWindow&) = delete;

    pf::Window* window() const { return m_window; }
    OVButton* flatSwitch() const { return m_flatSwitch; }
    OVButton* finalQualitySwitch() const { return m_finalQualitySwitch; }

    bool isFlat() const;
    void setFlat(bool flat);
    bool isFinalQuality() const;
    void setFinalQuality(bool finalQuality);

    // The scene as shown now; null when it could not be rendered (the window then says so).
    QImage sceneImage() const { return m_scene; }
    // The scene's size: the background's, fitted inside the largest scene (never enlarged).
    pf::Size sceneSize() const { return m_size; }
    static constexpr double largestSceneWidth = 1280;
    static constexpr double largestSceneHeight = 800;

    // The card: the picture scaled to the rectangle's pixel size in a scene of that size.
    static QVariantMap cardSprite(const pf::Image& picture, const pf::Size& sceneSize);

private:
    void render();
    // Turns a switch on or off and renders again, when that changes it.
    void setSwitch(OVButton* button, bool on);

    QPointer<pf::Window> m_window;
    GMFittedPictureView* m_view = nullptr;
    OVButton* m_flatSwitch = nullptr;
    OVButton* m_finalQualitySwitch = nullptr;
    pf::Image m_background; // at the scene's size, its extent at the origin (null without one)
    QVariantMap m_card;
    pf::Size m_size;
    QImage m_scene;
};
