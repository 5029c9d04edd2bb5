#pragma once

#include "Classes/Frames/OVFrameDescription.h"
#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/UndoManager.h"

#include <QPointer>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/View.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>

class OVTexturedFrameFilter;
namespace pf {
class Layer;
class Timer;
} // namespace pf

// The picture frame editor: the user's frames (editable, renamed in place) above the system frames
// (grey, read-only) on the left; on the right the selected frame's texture, colour, cut switch, masks
// and a scrolling stack of shade rows, and a live preview of the frame around a sample picture. Every
// edit goes to the frame with undo through the window's undo manager; the user catalog saves it. One
// builder per process. Main thread only.
class OVFrameBuilder : public OVWindowController
{
    Q_OBJECT

public:
    enum LayoutFlag : unsigned
    {
        LayoutPlain = 1,
        LayoutAnimate = 4,
        LayoutScrollToTop = 256,
    };

    OVFrameBuilder();
    ~OVFrameBuilder() override;

    static OVFrameBuilder& sharedFrameBuilder();
    // The builder's undo manager when `window` is the builder's window, else null (the builder is not
    // made for the asking).
    static pf::UndoManager* undoManagerFor(const QWidget* window);
    // Registers the window's interface ("OVFrameBuilder").
    static void registerInterface();
    // The recipe of new frames: light oak, whole texture.
    static const QVariantMap& newFrameRecipe();

    QStringList classChain() const override
    {
        return {QStringLiteral("OVFrameBuilder"), QStringLiteral("OVWindowController")};
    }
    void windowDidLoad() override;

    bool isActive() const;
    // Shows the window, its content whole below a menu bar the application may have given it.
    void show();
    // The picture the preview frames (null: the sample picture).
    void setPreviewPicture(const pf::Image& picture);

    // Actions.
    void addUserFrame();
    void duplicateFrame();
    void removeUserFrame();
    void selectTexture();
    void selectTextureColor();
    void selectTextureCut();
    void selectExternalMask();
    void selectInternalMask();
    void addNewShade();
    void selectShade(int row);
    void selectBlendMode(int row);
    void adjustIntensity(int row);
    void removeShade(int row);

    void showFrameWithName(const QString& key);
    // The new frame's ID (empty when none was added).
    QString addUserFrame(const QVariantMap& dictionary, const QString& baseName);
    void setupForFrame(unsigned flags);
    void updateLayout(unsigned flags);
    void cleanSettings();

    // The list: user rows first, then the system rows (headers included).
    int numberOfRows() const;
    QString objectValueForRow(int row) const;
    bool shouldEditRow(int row) const;
    // A rename typed into a row.
    void setObjectValueForRow(const QString& value, int row);
    void selectRow(int row);
    int selectedRow() const;
    void tableViewSelectionDidChange();

    // For tests and the gallery.
    pf::UndoManager& undoManager() { return m_undoManager; }
    const OVFrameDescriptionPtr& currentDescription() const { return m_currentDescription; }
    OVTexturedFrameFilter* previewFilter() const { return m_previewFilter.get(); }
    struct ShadeRow
    {
        QPointer<OVPopupButton> shade;
        QPointer<OVPopupButton> blendMode;
        QPointer<OVSlider> intensity;
        QPointer<OVButton> remove;
    };
    const std::vector<ShadeRow>& shadesStack() const { return m_shadesStack; }
    OVPopupButton* textureButton() const { return m_textureButton; }
    OVColorWell* textureColorWell() const { return m_textureColorWell; }
    QCheckBox* textureCutButton() const { return m_textureCutButton; }
    OVPopupButton* externalMaskButton() const { return m_externalMaskButton; }
    OVPopupButton* internalMaskButton() const { return m_internalMaskButton; }
    OVPopupButton* newShadeButton() const { return m_newShadeButton; }
    QPushButton* addFrameButton() const { return m_addFrameButton; }
    QPushButton* removeFrameButton() const { return m_removeFrameButton; }
    QPushButton* duplicateFrameButton() const { return m_duplicateFrameButton; }
    QTableWidget* frameList() const { return m_frameList; }
    pf::View* shadesContainer() const { return m_shadesContainer; }
    QScrollArea* shadesScrollView() const { return m_shadesScrollView; }
    OVImageView* topShadow() const { return m_topShadow; }
    OVImageView* bottomShadow() const { return m_bottomShadow; }
    const std::shared_ptr<pf::Layer>& previewLayer() const { return m_previewLayer; }

    void previewHasChanged();
    void shadesViewDidScroll();

private:
    void setupShadeButtons(ShadeRow& row, const OVShadeDescription& shade, bool enabled);
    void addShade(const OVShadeDescription& shade, bool enabled);
    void removeRow(size_t index);
    void reloadList();
    void frameSettingWereUndone();
    void frameDidRename(const pf::Notification& notification);
    void frameWasAdded();
    void frameWasRemoved();
    void observeCurrentUndo();
    // Runs an edit of the current frame and renders the preview once, if the edit did not.
    void edit(const std::function<void()>& change);
    QString rowID(int row) const;

    pf::UndoManager m_undoManager;
    std::unique_ptr<OVTexturedFrameFilter> m_previewFilter;
    std::vector<ShadeRow> m_shadesStack;
    QPointer<QPushButton> m_addFrameButton;
    QPointer<QPushButton> m_duplicateFrameButton;
    QPointer<QPushButton> m_removeFrameButton;
    QPointer<QTableWidget> m_frameList;
    QPointer<OVPopupButton> m_textureButton;
    QPointer<OVColorWell> m_textureColorWell;
    QPointer<QCheckBox> m_textureCutButton;
    QPointer<OVPopupButton> m_externalMaskButton;
    QPointer<OVPopupButton> m_internalMaskButton;
    QPointer<QScrollArea> m_shadesScrollView;
    QPointer<pf::View> m_shadesContainer;
    QPointer<OVPopupButton> m_newShadeButton;
    QPointer<OVImageView> m_topShadow;
    QPointer<OVImageView> m_bottomShadow;
    QPointer<pf::LayerHostView> m_preView;
    std::shared_ptr<pf::Layer> m_previewLayer;
    OVFrameDescriptionPtr m_currentDescription;
    std::shared_ptr<pf::Timer> m_updateTimer;
    pf::Image m_samplePicture;
    bool m_reloading = false;
    quint64 m_previewRenders = 0;
    pf::ObserverToken m_previewObserver;
    pf::ObserverToken m_undoObserver;
    std::vector<pf::ObserverToken> m_catalogObservers;
};
