#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <functional>

// The addresses the application opens, from one resource table ("Links.plist": key -> address): the
// web pages of the link actions ("HomePage", "NewsPage", "CommunityPage", "ProductPage") and the mail
// recipients ("FeedbackMail", "SupportMail"). A key without an address has no action: callers hide or
// disable what would open it.
class GMLinks
{
public:
    GMLinks() = delete;

    static QString address(const QString& key);
    static bool hasAddress(const QString& key) { return !address(key).isEmpty(); }
    // Opens the key's web page in the default browser; false when it has no address or nothing opened it.
    static bool open(const QString& key);
    // Opens a mail link in the mail client; false when no client took it.
    static bool openURL(const QUrl& url);

    // "mailto:<recipient>?SUBJECT=<subject>&BODY=<body>", each part escaped as UTF-8 with every byte
    // but RFC 3986's unreserved characters (letters, digits, "-", ".", "_", "~") percent-encoded.
    static QUrl mailtoURL(const QString& recipient, const QString& subject, const QString& body);
    static QString percentEscaped(const QString& text);

    // Replaces the table (tests); an empty map restores the resource's.
    static void setTableForTesting(const QVariantMap& table);
    // Replaces opening (tests): receives every URL instead of the desktop.
    static void setOpenerForTesting(std::function<bool(const QUrl&)> opener);
};
