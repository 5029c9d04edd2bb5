#pragma once

#include "Platform/UI/Animation.h"

#include <QString>

namespace pf {

// An animation of one layer value, named by its key ("opacity", "position", "transform", ...).
class PropertyAnimation : public Animation
{
public:
    const QString& keyPath() const { return m_keyPath; }
    void setKeyPath(const QString& keyPath) { m_keyPath = keyPath; }

    QStringList keyPaths() const override { return {m_keyPath}; }

protected:
    explicit PropertyAnimation(const QString& keyPath) : m_keyPath(keyPath) {}
    PropertyAnimation(const PropertyAnimation&) = default;

private:
    QString m_keyPath;
};

} // namespace pf
