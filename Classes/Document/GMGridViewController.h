#pragma once

#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridItemDelegate.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Platform/UI/ScrollView.h"

#include <QImage>
#include <memory>

class GMGridViewDelegate;

namespace pf {
class OperationQueue;
}

// The picture grid of the welcome window: picture tiles (GMGridItem) in titled sections, built on the
// toolkit's grid with these differences. The columns stand one spacing apart from the left margin and the
// spare width stays at the right; a burst of changes is laid out at the next turn of the event loop and
// moves in 0.3 s; a removed tile goes at once; a 101st section is refused with an invalid index; and a
// tile leaves for its remove button only when its owner says that what it stands for went.
//
// Pictures named by path are read at tile size on a background queue; meanwhile a tile shows the picture
// it replaces or a blank card, and a picture that cannot be read shows as "no preview".
//
// Its interface "GMGridViewController" is built in code: a root view whose clicks go to the controller,
// a scroll view, and the container of the tiles as the scroll view's document view. Main thread only.
class GMGridViewController : public OVGridViewController
{
    Q_OBJECT

public:
    static constexpr double animationDuration = 0.3;
    // What addSectionWithSettings answers when it adds nothing.
    static constexpr unsigned invalidSection = notFound;

    explicit GMGridViewController(const pf::Bundle* bundle = nullptr);
    ~GMGridViewController() override;
    QString className() const override { return QStringLiteral("GMGridViewController"); }

    GMGridViewDelegate* delegate() const { return m_gridDelegate; }
    void setDelegate(GMGridViewDelegate* delegate) { m_gridDelegate = delegate; }

    // A section index, or invalidSection (logged) once the grid has all its sections.
    unsigned addSectionWithSettings(quint64 settings, pf::View* background = nullptr);
    // A tile with that picture (none: "no preview"); nullptr for a section that does not exist.
    GMGridItem* addImage(const QImage& image, const QString& title, const QVariant& context,
                         const QVariant& sortTag, unsigned section);
    // A tile whose picture is read from `path` at tile size in the background (an empty path or a file
    // that cannot be read: "no preview").
    GMGridItem* addImageAtPath(const QString& path, const QString& title, const QVariant& context,
                               const QVariant& sortTag, unsigned section);
    GMGridItem* gridItemForContext(const QVariant& context) const;
    // Pictures still being read.
    int picturesPending() const { return m_picturesPending; }
    // Full layout passes run so far.
    int layoutPasses() const { return m_layoutPasses; }

    // A picture read no larger than `bound` (the decoder scales while it decodes), turned upright; a null
    // image, and why in `error`, when it cannot be read. Callable from any thread.
    static QImage readPicture(const QString& path, QSize bound, QString* error = nullptr);

    void refreshLayout(int mode) override;
    OVGridLayout::Parameters layoutParameters() const override;

    // GMGridItemDelegate
    void gridItemWasExecuted(OVGridItem* item) override;
    void gridItemWasSelected(OVGridItem* item) override;
    void gridItemShouldRemove(OVGridItem* item) override;
    void gridItemChangedPinState(OVGridItem* item, bool pinned) override;
    void gridItemChangedHoverState(OVGridItem* item, bool hovered) override;

protected:
    double layoutAnimationDuration() const override { return animationDuration; }
    double removalFadeDuration() const override { return 0; }

private:
    void pictureArrived(quint64 request, const QVariant& context, const QImage& image, const QString& error);
    QSize pictureBound() const;

    GMGridViewDelegate* m_gridDelegate = nullptr;
    std::unique_ptr<pf::OperationQueue> m_readers;
    quint64 m_lastRequest = 0;
    int m_picturesPending = 0;
    int m_layoutPasses = 0;
};
