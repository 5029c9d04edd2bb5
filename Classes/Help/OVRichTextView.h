#pragma once

#include "Platform/UI/View.h"

#include <QTextDocument>

// Shows a rich text document, laid out at the view's width from its top. Read-only. Main thread.
class OVRichTextView : public pf::View
{
    Q_OBJECT
public:
    explicit OVRichTextView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    QTextDocument* document() { return &m_document; }
    // Reads an RTF file or RTFD folder; false (and an empty text) when it cannot be read.
    bool readFile(const QString& path);
    // The size the text takes laid out `width` wide: the widest line and the height of all lines.
    pf::Size usedSizeForWidth(double width);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QTextDocument m_document;
};
