#pragma once

#include "Platform/Image/Filter.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// A graph of filters that behaves as one filter. Chosen inputs of members are exported as the group's
// inputs, chosen outputs as its outputs, and members' outputs feed other members' inputs. Setting an
// exported input forwards the value and marks the members behind it dirty; reading an exported output
// re-feeds only dirty members and those downstream of one.
//
// Members are identified by the object the caller passed (its address): the group works on its own copy
// of each, made once, so a template filter can be configured first and grouped into many groups. The
// caller keeps the passed objects alive while it builds the group.
class OVGroupedFilter : public pf::Filter
{
public:
    OVGroupedFilter();

    // Exports input or output `key` of `filter` under `name` (the key itself when empty).
    void exportKey(const QString& key, const pf::Filter* filter, const QString& name = QString());
    // The value of `source` at `sourceKey` feeds input `targetKey` of `target`. With no source key the
    // source value is a constant, set on the target at once.
    void connectObject(const pf::Filter* source, const QString& sourceKey, const pf::Filter* target,
                       const QString& targetKey);
    void connectConstant(const QVariant& value, const pf::Filter* target, const QString& targetKey);

    void setValue(const QVariant& value, const QString& key) override;
    QVariant value(const QString& key) const override;
    QStringList inputKeys() const override;
    QStringList outputKeys() const override;
    void setDefaults() override {}
    pf::Image outputImage() const override;
    // A new group rebuilt by replaying this one's construction over copies of its members.
    std::shared_ptr<pf::Filter> copy() const override;

    // The members by identity.
    QHash<QString, pf::FilterPtr> filters() const { return m_filters; }
    // "<- " and each exported input name with a blank, "-> " and each exported output name with a blank.
    QString description() const;
    // The members that must be re-fed before their output is read (for tests and diagnostics).
    QSet<QString> dirtyFilters() const { return m_dirty; }
    static QString identityOf(const pf::Filter* filter);

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    struct Target
    {
        QString object; // identity of the member
        QString key;
    };
    struct Connection
    {
        QString source;    // identity of the source (empty for a constant)
        QString sourceKey; // empty for a constant
        QString target;
        QString targetKey;
    };

    pf::Filter* intern(const pf::Filter* filter);
    void exportFromMember(const QString& key, const QString& identity, const QString& name);
    void calculateDirtyStateClosure(const QString& identity) const;
    QVariant pull(const QString& key, const QString& identity) const;

    QHash<QString, pf::FilterPtr> m_filters;
    QStringList m_inputValues; // in the order exported
    QStringList m_outputValues;
    QMap<QString, std::vector<Target>> m_inputMapping;
    QMap<QString, Target> m_outputMapping;
    std::vector<Connection> m_connections;
    QHash<QString, std::vector<Connection>> m_inverseMapping;
    mutable QSet<QString> m_dirty;
};
