#pragma once

#include "Classes/Framework/Toolkit/OVRowViewDelegate.h"
#include "Classes/Framework/Toolkit/OVUpdatable.h"
#include "Platform/UI/View.h"

#include <QPointer>
#include <QVariant>

class OVListEntryViewDelegate;

// The base of the rows a list view stacks: a title, feature bits fixed at creation, a detail container
// below the head that the list reveals by giving the entry more height, selection, hover and an
// open/closed state. The entry knows nothing of its neighbours: it reports every user action to its
// delegate (the list), answers the list's questions about its preferred height, and derives its state
// from what the list tells it before and after each layout pass.
//
// Subclasses set up their own detail container: their constructors pass `Deferred` to this one and call
// setupDetailContainer() themselves, where their overrides are reached.
class OVListEntryView : public pf::View, public OVRowViewDelegate, public OVUpdatable
{
    Q_OBJECT

public:
    enum Feature : quint64
    {
        RemoveControl = 1,
        DragHandle = 2,
        MarkControl = 4,
        CopyPaste = 8,
        EditableTitle = 16,
        EnableBox = 32,
        DarkLook = 1024,
    };
    enum State : int
    {
        Closed = 0,
        Opening = 1,
        Open = 2,
        Closing = 3,
    };
    static constexpr double headHeight = 58;

    explicit OVListEntryView(quint64 features = 0, QWidget* parent = nullptr);
    ~OVListEntryView() override;

    quint64 features() const { return m_features; }
    bool rightAligned() const { return m_rightAligned; }
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    bool isHovered() const { return m_isHovered; }
    int state() const { return m_state; }
    virtual void setState(int state);
    QString title() const { return m_title; }
    // Through the "Controls" strings table.
    virtual void setTitle(const QString& title);
    QVariant context() const { return m_context; }
    void setContext(const QVariant& context) { m_context = context; }
    OVListEntryViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVListEntryViewDelegate* delegate) { m_delegate = delegate; }
    pf::View* detailContainer() const { return m_detailContainer; }

    virtual double preferredHeight() const;
    virtual void setupDetailContainer();
    void layoutWillChange();
    void layoutDidChange();

    // The entry's own controls.
    void enableEntry(bool on);
    void removeEntry();
    // Only a drag handle may move the entry; anything else is logged and ignored.
    void dragEntry(QObject* sender);
    virtual void copy();
    void paste();

    // OVUpdatable
    void needsUpdate(QObject* sender, bool instant) override;

    QString description() const;

protected:
    enum DeferSetup
    {
        Deferred
    };
    OVListEntryView(quint64 features, DeferSetup, QWidget* parent = nullptr);

    bool m_rightAligned = false;
    bool m_isHovered = false;
    QPointer<pf::View> m_detailContainer;

private:
    quint64 m_features;
    bool m_selected = false;
    int m_state = Closed;
    QString m_title;
    QVariant m_context;
    OVListEntryViewDelegate* m_delegate = nullptr;
};
