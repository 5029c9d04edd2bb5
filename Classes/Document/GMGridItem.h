#pragma once

#include "Classes/Framework/Toolkit/OVGridItem.h"

// One picture tile of the welcome window's grid: the toolkit's grid item with the tile's own rules.
// There is no drag source and no title strip that stays, the pin button shows and acts only when the
// tile is made pinnable, a button acts only when pressed and released on it, and an item that opens on
// one click opens once per click sequence (a double click does not open it twice). A tile without a
// picture shows "GridItemNoPreview" rather than standing empty.
class GMGridItem : public OVGridItem
{
    Q_OBJECT

public:
    // The settings bits of OVGridItem, without the title strip that stays (64).
    explicit GMGridItem(unsigned settings = 0, QWidget* parent = nullptr);
    static GMGridItem* gridItemWithImage(const QImage& image, const QString& title, const QVariant& context,
                                         unsigned settings);

    // A null image shows the no-preview card.
    void setImage(const QImage& image);
    // Whether the tile shows a picture of its own (not the no-preview card).
    bool hasPicture() const { return m_hasPicture; }

    bool isPinnable() const { return m_pinnable; }
    void setPinnable(bool pinnable) { m_pinnable = pinnable; }

    // The request whose picture the tile waits for; a later request makes an earlier answer stale.
    quint64 pictureRequest() const { return m_pictureRequest; }
    void setPictureRequest(quint64 request) { m_pictureRequest = request; }

protected:
    bool dragsContext() const override { return false; }
    bool pinButtonActive() const override { return m_pinnable; }
    pf::TextAttributes titleAttributes() const override;
    bool executesOnRelease(const pf::Event& event) const override;
    bool buttonsNeedPressOnThem() const override { return true; }

private:
    bool m_hasPicture = false;
    bool m_pinnable = false;
    quint64 m_pictureRequest = 0;
};
