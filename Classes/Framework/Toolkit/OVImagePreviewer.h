#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <QString>
#include <vector>

class OVImageView;
namespace pf {
class Layer;
class View;
} // namespace pf

// A window for looking at intermediate pictures: any part of the program may hand it an image, a
// bitmap, an engine image, a layer or a view, and it shows them one at a time with a bounded history
// ("PreviewerHistorySize", 10 by default), previous and next, clearing and saving as PNG. The names
// given to previews live in the history only. Main thread only.
class OVImagePreviewer : public OVWindowController
{
    Q_OBJECT

public:
    static inline const QString historySizeKey = QStringLiteral("PreviewerHistorySize");

    OVImagePreviewer();
    QStringList classChain() const override
    {
        return {QStringLiteral("OVImagePreviewer"), QStringLiteral("OVWindowController")};
    }

    static OVImagePreviewer& sharedImagePreviewer();
    // Each answers the name the preview was given ("name.PreviewerN", N counting every named preview of
    // the process), or nothing when it was refused (logged) or given no name.
    static QString showNSImage(const QImage& image, const QString& name = QString());
    static QString showCGImage(const pf::Bitmap& bitmap, const QString& name = QString());
    static QString showCIImage(const pf::Image& image, const QString& name = QString());
    static QString showLayer(pf::Layer* layer, const QString& name = QString());
    static QString showView(pf::View* view, const QString& name = QString());
    // How many previews have been given a name.
    static unsigned long namedPreviewCount();

    void addImage(const QImage& image, const QString& name = QString());
    void nextImage();
    void previousImage();
    void clearHistory();
    // Asks where to save the current picture as PNG; does nothing with an empty history.
    void save();

    int index() const { return m_index; }
    void setIndex(int index);
    unsigned historySize() const { return m_historySize; }
    void setHistorySize(unsigned size);
    void checkHistorySize();
    int historyLength() const { return int(m_history.size()); }
    QImage currentImage() const;
    QString currentName() const;

    bool hasNext() const { return m_index + 1 < historyLength(); }
    bool hasPrevious() const { return m_index > 0; }
    bool canSave() const { return !m_history.empty(); }

    // The view showing the current picture (the window is built first when needed).
    OVImageView* imageView();

signals:
    void hasNextChanged(bool hasNext);
    void hasPreviousChanged(bool hasPrevious);
    void canSaveChanged(bool canSave);

protected:
    void windowDidLoad() override;

private:
    struct Entry
    {
        QImage image;
        QString name;
    };
    void announce();

    std::vector<Entry> m_history;
    int m_index = 0;
    unsigned m_historySize = 10;
};
