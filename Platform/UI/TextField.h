#pragma once

#include "Platform/UI/TextFieldCell.h"
#include "Platform/UI/View.h"

#include <QPointer>
#include <functional>
#include <memory>

#include <QLineEdit>
#include <QValidator>

namespace pf {

// A text field: a view with a text field's attributes (text, font, text colour, alignment, line
// breaking, background), drawn through a replaceable cell (TextFieldCell). An editable field edits in a
// QLineEdit that appears over it while it is the window's first responder (its focus proxy): every
// change of the text reaches the cell's textDidChange(). A formatter (any QValidator) checks the text
// as it is typed, and the field refuses to give up first responder while the text is not acceptable.
class TextField : public View
{
    Q_OBJECT

public:
    explicit TextField(const Rect& frame = Rect(), QWidget* parent = nullptr);
    ~TextField() override;

    TextFieldCell* cell() const { return m_cell.get(); }
    // Replaces the cell; the new one takes over the old one's attributes.
    void setCell(std::unique_ptr<TextFieldCell> cell);

    virtual QString stringValue() const { return m_cell->stringValue(); }
    virtual void setStringValue(const QString& text);
    QFont font() const { return m_cell->font(); }
    virtual void setFont(const QFont& font);
    QColor textColor() const { return m_cell->textColor(); }
    void setTextColor(const QColor& color);
    AttributedString::Alignment alignment() const { return m_cell->alignment(); }
    void setAlignment(AttributedString::Alignment alignment);
    AttributedString::LineBreak lineBreakMode() const { return m_cell->lineBreakMode(); }
    void setLineBreakMode(AttributedString::LineBreak mode);
    QColor backgroundColor() const { return m_cell->backgroundColor(); }
    void setBackgroundColor(const QColor& color);
    bool drawsBackground() const { return m_cell->drawsBackground(); }
    void setDrawsBackground(bool flag);

    virtual bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    // Checks typed text; not owned (give it the field as parent to tie their lives).
    QValidator* formatter() const { return m_formatter; }
    void setFormatter(QValidator* formatter);
    // Asked before editing ends; false keeps the field first responder.
    void setShouldEndEditing(std::function<bool(TextField*)> shouldEnd)
    {
        m_shouldEnd = std::move(shouldEnd);
    }
    // Sent when Return is pressed in the editor.
    void setAction(std::function<void(TextField*)> action) { m_action = std::move(action); }

    bool isEditing() const { return m_editing; }
    // The editor while editing (nullptr otherwise).
    QLineEdit* editor() const { return m_editing ? m_editor : nullptr; }

    bool acceptsFirstResponder() const override { return isEditable() && isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void beginEditing();
    void endEditing();
    void styleEditor();

    std::unique_ptr<TextFieldCell> m_cell;
    bool m_editable = false;
    bool m_editing = false;
    bool m_ending = false;
    // How many of the editor's signals are being handled now.
    int m_editorSignals = 0;
    QPointer<QLineEdit> m_editor;
    QPointer<QValidator> m_formatter;
    std::function<bool(TextField*)> m_shouldEnd;
    std::function<void(TextField*)> m_action;
};

} // namespace pf
