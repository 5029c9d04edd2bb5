#include "Platform/UI/TextField.h"

#include "Platform/UI/Window.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QValidator>
#include <cmath>

namespace pf {

TextField::TextField(const Rect& frame, QWidget* parent)
    : View(frame, parent), m_cell(std::make_unique<TextFieldCell>())
{
    m_cell->setControlView(this);
}

TextField::~TextField()
{
    if (!m_editor)
        return;
    m_editor->removeEventFilter(this);
    if (m_editorSignals > 0 || m_editing) {
        // Deleted from the editor's own signal (an action on Return) or while editing (from a key its
        // owners filter): the editor may still be inside its key handler, so it leaves with the field
        // and goes once control is back in the event loop.
        m_editor->hide();
        m_editor->setParent(nullptr);
        m_editor->deleteLater();
    }
}

void TextField::setCell(std::unique_ptr<TextFieldCell> cell)
{
    if (!cell)
        return;
    cell->takeAttributesOf(*m_cell);
    cell->setControlView(this);
    m_cell = std::move(cell);
    updateGeometry();
    setNeedsDisplay();
}

void TextField::setStringValue(const QString& text)
{
    m_cell->setStringValue(text);
    if (m_editing && m_editor && m_editor->text() != text)
        m_editor->setText(text);
    updateGeometry();
    setNeedsDisplay();
}

void TextField::setFont(const QFont& font)
{
    m_cell->setFont(font);
    styleEditor();
    updateGeometry();
    setNeedsDisplay();
}

void TextField::setTextColor(const QColor& color)
{
    m_cell->setTextColor(color);
    styleEditor();
    setNeedsDisplay();
}

void TextField::setAlignment(AttributedString::Alignment alignment)
{
    m_cell->setAlignment(alignment);
    styleEditor();
    setNeedsDisplay();
}

void TextField::setLineBreakMode(AttributedString::LineBreak mode)
{
    m_cell->setLineBreakMode(mode);
    setNeedsDisplay();
}

void TextField::setBackgroundColor(const QColor& color)
{
    m_cell->setBackgroundColor(color);
    setNeedsDisplay();
}

void TextField::setDrawsBackground(bool flag)
{
    m_cell->setDrawsBackground(flag);
    setNeedsDisplay();
}

void TextField::setEditable(bool editable)
{
    m_editable = editable;
    setAcceptsFirstResponder(editable);
    if (!editable && m_editing)
        endEditing();
}

void TextField::setFormatter(QValidator* formatter)
{
    m_formatter = formatter;
    if (m_editor)
        m_editor->setValidator(formatter);
}

// Editing ------------------------------------------------------------------------------------------

bool TextField::becomeFirstResponder()
{
    if (!acceptsFirstResponder())
        return false;
    beginEditing();
    return true;
}

bool TextField::resignFirstResponder()
{
    if (!m_editing)
        return true;
    if (m_editor && m_formatter) {
        QString text = m_editor->text();
        int position = m_editor->cursorPosition();
        if (m_formatter->validate(text, position) != QValidator::Acceptable)
            return false;
    }
    if (m_shouldEnd) {
        // Asking may delete the field: gone, it has nothing left to end.
        const QPointer<TextField> self(this);
        const std::function<bool(TextField*)> shouldEnd = m_shouldEnd;
        const bool ends = shouldEnd(this);
        if (!self)
            return true;
        if (!ends)
            return false;
    }
    endEditing();
    return true;
}

void TextField::beginEditing()
{
    if (m_editing)
        return;
    if (!m_editor) {
        m_editor = new QLineEdit(this);
        m_editor->setFrame(false);
        m_editor->installEventFilter(this);
        // Both run inside the editor's key handling; what they call may delete the field (see the
        // destructor).
        connect(m_editor, &QLineEdit::textEdited, this, [this](const QString& text) {
            const QPointer<TextField> self(this);
            ++m_editorSignals;
            m_cell->setStringValue(text);
            m_cell->textDidChange();
            if (!self)
                return;
            --m_editorSignals;
            updateGeometry();
        });
        connect(m_editor, &QLineEdit::returnPressed, this, [this] {
            const std::function<void(TextField*)> action = m_action;
            if (!action)
                return;
            const QPointer<TextField> self(this);
            ++m_editorSignals;
            action(this);
            if (self)
                --m_editorSignals;
        });
    }
    m_editor->setValidator(m_formatter);
    m_editor->setText(m_cell->stringValue());
    m_editor->setGeometry(rect());
    styleEditor();
    m_editing = true;
    m_editor->show();
    setFocusProxy(m_editor);
    setNeedsDisplay();
}

void TextField::endEditing()
{
    if (!m_editing)
        return;
    m_ending = true;
    m_editing = false;
    if (m_editor) {
        if (m_editor->text() != m_cell->stringValue())
            m_cell->setStringValue(m_editor->text());
        setFocusProxy(nullptr);
        m_editor->hide();
    }
    m_ending = false;
    updateGeometry();
    setNeedsDisplay();
}

void TextField::styleEditor()
{
    if (!m_editor)
        return;
    m_editor->setFont(m_cell->font());
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Text, m_cell->textColor());
    palette.setColor(QPalette::Base,
                     m_cell->drawsBackground() ? m_cell->backgroundColor() : QColor(Qt::transparent));
    m_editor->setPalette(palette);
    m_editor->setAutoFillBackground(false);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (m_cell->alignment() == AttributedString::Alignment::Center)
        horizontal = Qt::AlignHCenter;
    else if (m_cell->alignment() == AttributedString::Alignment::Right)
        horizontal = Qt::AlignRight;
    m_editor->setAlignment(horizontal | Qt::AlignVCenter);
}

bool TextField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::FocusOut && m_editing && !m_ending) {
        // The keyboard went elsewhere (a click, the tab key): the field resigns as a view would. A window
        // merely losing activation keeps its first responder.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            reason != Qt::MenuBarFocusReason)
            // Resigning tells the field's owners, who may delete it, while Qt goes on with the editor
            // and the widgets around it (hiding or reparenting them) after this event: the field
            // resigns at the next turn, unless the keyboard came back to it by then.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!m_editing || m_ending || (m_editor && m_editor->hasFocus()))
                        return;
                    if (Window* w = window())
                        w->noteFocusLeft(this);
                },
                Qt::QueuedConnection);
    }
    return View::eventFilter(watched, event);
}

void TextField::resizeEvent(QResizeEvent* event)
{
    View::resizeEvent(event);
    if (m_editor)
        m_editor->setGeometry(rect());
}

// Drawing and input ----------------------------------------------------------------------------------

void TextField::drawRect(QPainter& painter, const Rect&)
{
    if (m_editing) {
        // The editor shows the text; the cell draws the background only.
        if (m_cell->drawsBackground())
            painter.fillRect(bounds().toQRectF(), m_cell->backgroundColor());
        return;
    }
    m_cell->drawWithFrame(painter, bounds(), this);
}

void TextField::mouseDown(const Event& event)
{
    if (acceptsFirstResponder()) {
        // The last step: taking the keyboard may end another edit, whose owners may delete this field.
        if (Window* w = window())
            w->makeFirstResponder(this);
        return;
    }
    View::mouseDown(event);
}

QSize TextField::sizeHint() const
{
    const Size size = m_cell->attributedStringValue().size();
    return QSize(int(std::ceil(size.width)) + 4, int(std::ceil(size.height)));
}

} // namespace pf
