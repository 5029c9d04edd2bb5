#include "Classes/Help/OVRichTextView.h"

#include "Platform/Foundation/Log.h"
#include "Platform/UI/RichText.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <cmath>

OVRichTextView::OVRichTextView(const pf::Rect& frame, QWidget* parent) : pf::View(frame, parent)
{
    m_document.setDocumentMargin(0);
}

bool OVRichTextView::readFile(const QString& path)
{
    QString error;
    if (!pf::RichText::readFile(path, &m_document, &error)) {
        pf::warning(QStringLiteral("Help text \"%1\" cannot be shown: %2").arg(path, error));
        m_document.clear();
        setNeedsDisplay();
        return false;
    }
    setNeedsDisplay();
    return true;
}

pf::Size OVRichTextView::usedSizeForWidth(double width)
{
    m_document.setTextWidth(std::max(1.0, width));
    // Lays the text out now: the lines are measured below.
    const double height = m_document.size().height();
    double used = 0;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (!layout)
            continue;
        for (int i = 0; i < layout->lineCount(); ++i)
            used = std::max(used, layout->lineAt(i).naturalTextWidth() + layout->position().x());
    }
    return pf::Size(std::min(width, std::ceil(used)), std::ceil(height));
}

void OVRichTextView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect area = bounds();
    m_document.setTextWidth(std::max(1.0, area.size.width));
    painter.save();
    // The document lays out downwards from its top: flip the view's y-up painter for it.
    painter.translate(0, area.size.height);
    painter.scale(1, -1);
    m_document.drawContents(&painter, QRectF(0, 0, area.size.width, area.size.height));
    painter.restore();
}
