#pragma once

#include "Classes/Frames/OVEffectSuccessor.h"
#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Image/Filter.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <memory>
#include <vector>

namespace pf {
class UndoManager;
class View;
} // namespace pf

// One filter as an effect the user switches on and off, adjusts through a settings view built from its
// description, undoes, and chains: its output goes to its successor. Main thread only.
//
// Settings values: numbers as double, colours as pf::Color, gradients as pf::Gradient, pop-up choices as
// strings. The external form (settings()) holds the colour-like keys as text, plus "isEnabled" and
// "resource" (the temporary copies of user-chosen images).
class OVEffect : public pf::KeyValueCoding, public OVEffectSuccessor
{
public:
    // Null (after a warning) when no filter can be made.
    static std::unique_ptr<OVEffect> effectWithName(const QString& name, const QVariantMap& settings = {});
    static std::unique_ptr<OVEffect> create(const QVariantMap& description, const QVariantMap& settings = {});
    ~OVEffect() override;

    QString name() const { return m_name; }
    QString displayName() const { return m_displayName; }
    OVEffectSuccessor* successor() const { return m_successor; }
    void setSuccessor(OVEffectSuccessor* successor) { m_successor = successor; }
    pf::UndoManager* undoManager() const { return m_undoManager; }
    void setUndoManager(pf::UndoManager* manager) { m_undoManager = manager; }
    pf::Filter* filter() const { return m_filter.get(); }

    QVariantMap settings() const;
    void setSettings(const QVariantMap& settings);

    pf::Image inputImage() const;
    void setInputImage(const pf::Image& image) override;
    void removeImageInput() override;
    pf::Image outputImage();
    void setGlobalSettings(const QVariantMap& settings) override;
    void addResourcesToArray(QStringList& resources) override;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool waitingForUpdate() const { return m_waitingForUpdate; }

    // Built on first request and kept; owned by the effect.
    pf::View* settingsView();
    QList<QWidget*> settingsControls() const;
    void updateSettings();
    void controlValueChanged(QWidget* sender);
    void updatePopupButton(const QString& notificationName);
    void updateFilter();

    // "settings", a bound input key (undoable, reaches filter and successor), or nothing.
    void setValue(const QString& key, const QVariant& value);
    QVariant settingsValueForKey(const QString& key) const;
    static QVariant valueFromDicts(const QList<QVariantMap>& dicts, const QStringList& keys);

    QVariant valueForKey(const QString& key) const override;
    void setValueForKey(const QVariant& value, const QString& key) override;

    QString description() const;

    // Where the settings view's rows lie (top-down, in the view): row `index` of a view `rows` high.
    static constexpr double rowHeight = 27;
    static constexpr double firstRowHeight = 22;

private:
    OVEffect() = default;
    double proportionForWriting() const;
    double proportionForReading() const;
    // Every write to the filter goes through here, so relative keys are always scaled to the picture.
    void writeToFilter(const QString& key, const QVariant& value);
    void reapplyRelativeKeys();
    // Renders the input once into float pixels that the filter reads from then on, until a new input
    // arrives.
    void cacheInput();
    void passOn();
    QWidget* makeControl(const QVariantMap& entry, const QVariantMap& attributes, const QString& inputKey);
    void showValue(QWidget* control, const QVariant& value);
    bool registerUndo(const QString& key, const QVariant& oldValue);

    bool m_waitingForUpdate = false;
    bool m_inputCached = false;
    pf::UndoManager* m_undoManager = nullptr;
    QString m_name, m_displayName;
    OVEffectSuccessor* m_successor = nullptr;
    QVariantMap m_settings;
    QVariantMap m_baseSettings;
    QVariantMap m_settingsUIDict;
    QStringList m_settingsKeys;
    QVariantMap m_settingsPopupNames;
    std::unique_ptr<pf::View> m_settingsView;
    QStringList m_boundSettings;
    // The row each bound input key is shown in (its label's key), which names its undo steps.
    QMap<QString, QString> m_rowForInput;
    // The change being made comes from a run of wheel notches or key presses on a dial: one undo step.
    bool m_turning = false;
    QList<QPointer<QWidget>> m_settingsControls;
    double m_effectProportion = 0;
    pf::FilterPtr m_filter;
    QStringList m_relative;
    QVariantMap m_globals;
    QMap<QString, QPointer<QWidget>> m_notificationDict;
    QVariantMap m_imageResources;
    bool m_enabled = true;
    std::vector<pf::ObserverToken> m_observers;
    pf::ObserverToken m_settingsObserver;
};
