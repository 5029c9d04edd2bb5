#include "Classes/Document/GMPreferencesWindow.h"

#include "Classes/Document/DocumentHandler.h"
#include "Platform/Foundation/Localization.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The two "forever" entries of the span table and the two "unlimited" ones of the count table are one
// choice each: the last of the list stands for both.
constexpr int choices = 5;

} // namespace

QString GMPreferencesWindow::spanText(int index)
{
    switch (index) {
    case 0:
        return pf::localized(QStringLiteral("for 3 days"));
    case 1:
        return pf::localized(QStringLiteral("for 7 days"));
    case 2:
        return pf::localized(QStringLiteral("for 31 days"));
    case 3:
        return pf::localized(QStringLiteral("for 92 days"));
    default:
        return pf::localized(QStringLiteral("until you remove them"));
    }
}

GMPreferencesWindow::GMPreferencesWindow(DocumentHandler* documents, QWidget* parent)
    : QDialog(parent), m_documents(documents)
{
    setWindowTitle(pf::localized(QStringLiteral("Preferences")));
    setObjectName(QStringLiteral("preferences"));
    auto* root = new QVBoxLayout(this);
    auto* intro = new QLabel(pf::localized(
        QStringLiteral("When you retouch a photo file, its untouched original and your layers are "
                       "kept in the application's working area, so that you can go on later.")));
    intro->setWordWrap(true);
    root->addWidget(intro);
    auto* form = new QFormLayout;
    m_span = new QComboBox;
    for (const char* text : {"3 days", "7 days", "31 days", "92 days", "Forever"})
        m_span->addItem(pf::localized(QString::fromLatin1(text)));
    m_count = new QComboBox;
    for (const char* text : {"5 photos", "10 photos", "50 photos", "100 photos", "Unlimited"})
        m_count->addItem(pf::localized(QString::fromLatin1(text)));
    form->addRow(pf::localized(QStringLiteral("Keep the edits of a photo:")), m_span);
    form->addRow(pf::localized(QStringLiteral("Keep the edits of at most:")), m_count);
    root->addLayout(form);
    refresh();
    connect(m_span, &QComboBox::activated, this,
            [this](int index) { m_documents->setShadowKeepSpan(index == choices - 1 ? 5 : index); });
    connect(m_count, &QComboBox::activated, this,
            [this](int index) { m_documents->setShadowKeepCount(index == choices - 1 ? 5 : index); });
}

void GMPreferencesWindow::refresh()
{
    m_span->setCurrentIndex(std::min(m_documents->shadowKeepSpan(), choices - 1));
    m_count->setCurrentIndex(std::min(m_documents->shadowKeepCount(), choices - 1));
}
