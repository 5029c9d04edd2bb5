#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Image/Filter.h"
#include "Platform/UI/View.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

// Shows one filter applied to a sample picture of the bundle, set up entirely by key paths so a built
// interface can place it: "filter.<input>" sets a filter input, "bind.<defaults key>" keeps the filter
// input named by the value in step with that user default. Main thread only.
class OVFilterPreview : public pf::View
{
public:
    explicit OVFilterPreview(const pf::Rect& frame = pf::Rect());
    ~OVFilterPreview() override;

    // An unknown name leaves no filter: nothing is loaded and nothing but the frame line is drawn.
    void setFilterName(const QString& name);
    QString filterName() const { return m_filterName; }
    void setFilter(pf::FilterPtr filter);
    pf::Filter* filter() const { return m_filter.get(); }
    // An image resource of the main bundle ("Samples/TestPerson", with or without its extension).
    void setImageName(const QString& name);
    QString imageName() const { return m_imageName; }
    pf::Image inputImage() const { return m_inputImage; }

    // Stretch the sample to the view's size before filtering (it may be distorted).
    void setAdjustImage(bool adjust);
    bool adjustImage() const { return m_adjustImage; }
    // Stretch the filter's whole output into the view; otherwise the view shows the output's part at
    // its bounds, unscaled.
    void setAdjustResult(bool adjust);
    bool adjustResult() const { return m_adjustResult; }

    // Defaults key -> filter input key.
    const QHash<QString, QString>& bindings() const { return m_bindings; }

    // "bind.<d>" (value: a filter input key), "filter.<input>", or one of the properties above by name.
    void setValueForKeyPath(const QString& path, const QVariant& value);
    // "filter.<input>" or a property.
    void setValueForKey(const QString& key, const QVariant& value);
    // After set-up: pushes the bound defaults' current values into the filter.
    void awakeFromNib();

    // What is drawn: the filter's output, null without a filter or a sample.
    pf::Image outputImage() const;

protected:
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;

private:
    void setPropertyNamed(const QString& key, const QVariant& value);
    void loadImage();
    void adaptInput();

    QHash<QString, QString> m_bindings;
    std::vector<pf::ObserverToken> m_bindingTokens;
    pf::Image m_inputImage;
    bool m_adjustImage = false;
    bool m_adjustResult = false;
    QString m_imageName;
    QString m_filterName;
    pf::FilterPtr m_filter;
};
