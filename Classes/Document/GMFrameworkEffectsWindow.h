#pragma once

#include "Classes/Frames/OVEffectSuccessor.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Window.h"

#include <QImage>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class GMFittedPictureView;
class OVButton;
class OVEffect;
class OVEffectPicker;
class OVFilterPreview;
namespace pf {
class ScrollView;
}

// A small window that runs a chain of framework effects over a picture (normally the active document's,
// fitted in 1024 x 1024) and shows the chain's output: "Add Effect…" pops the effect picker over its
// button, previewing the highlighted effect on a bundle sample, and appends the chosen one (this window
// is the chain's last successor) with its settings view. Changes are undone with the window's own undo
// manager; nothing is written to the document. Main thread only.
class GMFrameworkEffectsWindow : public OVEffectSuccessor
{
public:
    // What "Crop…" and "Picture…" do, for whoever provides the crop dialog and the picture drawer; a
    // button without its handler is disabled.
    using Handler = std::function<void(GMFrameworkEffectsWindow&)>;
    static void setCropHandler(Handler handler);
    static void setPictureHandler(Handler handler);

    explicit GMFrameworkEffectsWindow(const pf::Image& picture, OVEffectPicker* picker = nullptr);
    ~GMFrameworkEffectsWindow() override;
    GMFrameworkEffectsWindow(const GMFrameworkEffectsWindow&) = delete;
    GMFrameworkEffectsWindow& operator=(const GMFrameworkEffectsWindow&) = delete;

    // The window's views, registered as the interface "GMFrameworkEffectsWindow" by the first window:
    // outlets "window", "pictureView", "columnView", "effectsScrollView" (in the column, whose document
    // view holds the effects' headers and settings views), "addEffectButton", "cropButton",
    // "pictureButton" and "effectPreview".
    static pf::Interface makeInterface(QObject* owner, const pf::Bundle& bundle);

    // The window most recently opened or brought to the front and not yet destroyed, if any.
    static GMFrameworkEffectsWindow* shown();
    // The effects window whose window `window` is, else null.
    static GMFrameworkEffectsWindow* forWindow(const QWidget* window);
    // The undo manager of the window `window` belongs to when it is one of these, else null.
    static pf::UndoManager* undoManagerFor(const QWidget* window);
    // Shows the window in front of the others with the keyboard, its chain as it is.
    void bringToFront();

    pf::Window* window() const { return m_window; }
    pf::UndoManager& undoManager() { return m_undoManager; }
    OVButton* addEffectButton() const { return m_addButton; }
    OVButton* cropButton() const { return m_cropButton; }
    OVButton* pictureButton() const { return m_pictureButton; }
    OVFilterPreview* effectPreview() const { return m_preview; }
    pf::ScrollView* effectsScrollView() const { return m_scroll; }

    // The chain's input: the photo as it is now, or the picture that replaced it, cropped as chosen.
    // Fitted in 1024 x 1024.
    pf::Image picture() const { return m_picture; }
    // The photo as it is now (no undo step: the window follows its photo). It is the chain's input,
    // cropped as chosen, while no other picture replaces it.
    void setPhoto(const pf::Image& photo);
    // While the photo is still being opened the window says so, and shows it once setPhoto brings it.
    void setWaitingForPhoto(bool waiting);
    bool isWaitingForPhoto() const { return m_waitingForPhoto; }
    // Another picture in place of the photo, uncropped (undoable, "Replace Picture"; undone, the
    // window works on its photo again).
    void setPicture(const pf::Image& picture);
    // Keeps the part `kept` of the picture, in the picture's coordinates (undoable, "Crop"); the part
    // stays chosen when the photo changes.
    void cropPicture(const pf::Rect& kept);
    static pf::Image fitted(const pf::Image& picture, double largestSide = 1024);
    // What the window says where it shows no picture.
    QString pictureMessage() const;

    const std::vector<std::unique_ptr<OVEffect>>& effects() const { return m_effects; }
    // The on/off switch in the header of the effect at `index` of the chain, if shown.
    OVButton* enableSwitch(size_t index) const;
    // Appends to the chain and shows the effect's settings view (undoable).
    void appendEffect(std::unique_ptr<OVEffect> effect);
    // Pops the picker up over "Add Effect…" and returns at once.
    void showEffectPicker();
    // The highlighted effect on the sample picture; null hides the preview.
    void previewEffect(std::unique_ptr<OVEffect> effect);

    // The chain's output as last received, and as shown.
    pf::Image output() const { return m_output; }
    QImage shownImage() const { return m_shown; }

    // OVEffectSuccessor: the end of the chain.
    void setInputImage(const pf::Image& image) override;
    void setGlobalSettings(const QVariantMap& settings) override;
    void removeImageInput() override;
    void addResourcesToArray(QStringList& resources) override;

private:
    class PickerClient;
    void relink();
    // The picture replacing the photo (null: none) and the part kept (null: all), as one undo step.
    void setSource(const pf::Image& replacement, const pf::Rect& crop, const QString& actionName);
    void updatePicture();
    void showMessage();
    void removeLastEffect();
    void layoutEffects();
    // The list as tall as its effects, and never shorter than the column; the part shown stays.
    void fitList();
    // Scrolls the column so that the effect's header and settings view show.
    void scrollToEffect(size_t index);
    // Each header's switch as its effect is now (an undo may have switched it).
    void showSwitches();
    // The bar's buttons highlighted only where the pointer is over them (after a menu or a sheet).
    void showButtonsUnderPointer();
    static bool hasEveryPart(const pf::Interface& interface);

    QPointer<pf::Window> m_window;
    GMFittedPictureView* m_pictureView = nullptr;
    pf::View* m_column = nullptr;
    pf::ScrollView* m_scroll = nullptr;
    pf::View* m_list = nullptr;
    double m_contentHeight = 0;
    double m_fittedClipHeight = -1;
    OVButton* m_addButton = nullptr;
    OVButton* m_cropButton = nullptr;
    OVButton* m_pictureButton = nullptr;
    OVFilterPreview* m_preview = nullptr;
    std::shared_ptr<OVEffect> m_previewEffect;
    std::shared_ptr<PickerClient> m_pickerClient;
    OVEffectPicker* m_picker;
    pf::UndoManager m_undoManager;
    pf::Image m_photo;
    pf::Image m_replacement;
    pf::Rect m_crop = pf::Rect::null();
    bool m_waitingForPhoto = false;
    pf::Image m_picture;
    pf::Image m_output;
    QImage m_shown;
    std::vector<std::unique_ptr<OVEffect>> m_effects;
    std::vector<QPointer<QWidget>> m_effectRows;
    std::vector<std::pair<QPointer<OVButton>, OVEffect*>> m_switches;
    std::vector<pf::ObserverToken> m_observers;
};
