#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/Rect.h"

#include <QImage>
#include <QPointer>
#include <functional>
#include <optional>

class OVCropView;
class OVImageView;
class QTextEdit;

// The crop dialog: the picture with an OVCropView over it, a rich-text description beside it, and
// Cancel and OK. Its interface "OVCropController" (built in code) is a borderless overlay that covers
// the whole of the owner's window, dimming it and taking every click, with the dialog's panel centred on
// it: presented with beginSheetForWindow, it is modal to that window only.
//
// The picture, the ratio and the description go to the interface's views, so they wait for the window
// to be loaded (window()); the crop rectangle is always the crop view's, in unit coordinates of the
// picture (0, 0 lower left, 1, 1 upper right). Main thread only.
class OVCropController : public OVWindowController
{
    Q_OBJECT

public:
    OVCropController();
    ~OVCropController() override;
    QStringList classChain() const override
    {
        return {QStringLiteral("OVCropController"), QStringLiteral("OVWindowController")};
    }

    // Presented by its owner (beginSheetForWindow), never on its own.
    void showWindow() {}

    // The image view's picture; the crop view takes its proportions. Nothing before the window loads.
    void setImage(const QImage& image);
    QImage image() const;
    void setCropRatio(double ratio);
    // The crop view's (1 while it has none).
    double cropRatio() const;
    // Reads an RTF file or RTFD folder into the description. False (description left empty) when it
    // cannot be read; nothing before the window loads.
    bool setDescriptionFile(const QString& path);

    // The crop view's rectangle. Set before the window loads, it is handed to the view when it does.
    pf::Rect cropRect() const;
    void setCropRect(const pf::Rect& rect);
    // Stored only.
    bool flexibleSize() const { return m_flexibleSize; }
    void setFlexibleSize(bool flag) { m_flexibleSize = flag; }

    // The crop rectangle in pixels of a picture of that size, rows counted from the top (as a QImage
    // stores them), rounded outwards to whole pixels and kept inside the picture.
    static QRect pixelRectForCropRect(const pf::Rect& cropRect, QSize pictureSize);

    // Lays the dialog over `parent` (loading the window when needed) and makes it key. OK or Return
    // calls `completion` with true, Cancel or Escape with false, after the dialog has been taken away.
    // A dialog that is already up is ended as cancelled first.
    void beginSheetForWindow(pf::Window* parent, std::function<void(bool accepted)> completion);
    // Takes the dialog away and reports; nothing when it is not up.
    void endSheet(bool accepted);
    bool isSheetUp() const { return m_sheetParent != nullptr; }

    // Outlets.
    QTextEdit* descriptionView() const;
    OVImageView* imageView() const;
    OVCropView* cropView() const;

    void windowDidLoad() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<pf::Rect> m_pendingCropRect;
    bool m_flexibleSize = false;
    QPointer<pf::Window> m_sheetParent;
    std::function<void(bool)> m_completion;
};
